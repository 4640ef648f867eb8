// A child window of the main frame: toolbar over one client widget, a close that only hides.
#pragma once

#include "base/CmdTarget.h"
#include "ui/ScreenFit.h"

#include <QMdiSubWindow>
#include <QRect>
#include <memory>
#include <optional>
#include <vector>

class QToolBar;
class QSlider;

namespace vx::ui {

class CCommandActions;
class CMainFrame;
class CSliderToolBar;

// Where the stored placement puts a frame: `moveAndSize` false means centred at half the screen.
struct Placement {
    bool moveAndSize = false;
    QRect rect;
};
Placement ComputePlacement(int x, int y, int width, int height, QSize screen, QSize area);

class CMyFrameWnd : public QMdiSubWindow, public CCmdTarget {
    Q_OBJECT
public:
    // `closeHides` false gives a plain child that is destroyed on close.
    CMyFrameWnd(CMainFrame& main, bool closeHides);
    ~CMyFrameWnd() override;

    // Toolbar `id` of the resources; its buttons reach this frame's view first.
    CSliderToolBar* CreateToolBar(unsigned id);
    void SetClient(QWidget* client);
    CCmdTarget* ActiveView() const { return m_pActiveView; }
    void SetActiveView(CCmdTarget* view) { m_pActiveView = view; }
    CCommandActions* ToolBarActions() const { return m_pToolActions.get(); }
    QToolBar* ToolBar() const;
    QSlider* Slider() const;

    // Placement in the settings file (section with the empty name). What is applied stays
    // inside the frame area, and follows that area's size until the frame is moved or sized.
    void ApplyPlacement(const std::string& profile);
    // A placement of the program's own, kept inside the frame area in the same way.
    void PlaceInArea(QRect rect);
    void SavePlacement(const std::string& profile);
    QRect RestoreRect() const { return m_restoreRect; }

    // The child frame that holds `widget`, or null.
    static CMyFrameWnd* Of(QWidget* widget);

    // The screen size the placement clamps to; tests can simulate another.
    static void SetScreenSizeOverride(QSize size);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    CMainFrame& m_main;

private:
    bool m_bCloseHides;
    QWidget* m_pContainer;
    CSliderToolBar* m_pToolBar = nullptr;
    std::unique_ptr<CCommandActions> m_pToolActions;
    CCmdTarget* m_pActiveView = nullptr;
    QRect m_restoreRect;
    // The stored X, Y, WIDTH, HEIGHT and the geometry they gave, while the area is followed.
    std::vector<int> m_stored;
    QRect m_placed;
    std::optional<QRect> m_fixed;
    bool m_bFollowArea = false;

    void FollowArea();
    void FitPlacement();
};

} // namespace vx::ui
