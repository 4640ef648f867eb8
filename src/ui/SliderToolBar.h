// The toolbar of the child windows; the Preview window's one carries the blend slider in place
// of button 32790.
#pragma once

#include <QToolBar>
#include <functional>

class QSlider;

namespace vx::ui {

class CCommandActions;

class CSliderToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit CSliderToolBar(QWidget* parent);

    // The buttons of toolbar resource `id`, each running through `actions`.
    void LoadToolBar(unsigned id, CCommandActions& actions);
    // Puts a 100 pixel slider 0 ... 100 at 50 where button 32790 is; every movement calls
    // `onMoved` with the new position. False when the toolbar has no such button.
    bool SetUpSlider(std::function<void(int)> onMoved);

    QSlider* Slider() const { return m_pSlider; }

private:
    QSlider* m_pSlider = nullptr;
    QAction* m_pSliderPlace = nullptr;
};

} // namespace vx::ui
