#include "ui/SliderToolBar.h"

#include "res/Resource.h"
#include "res/UiTables.h"
#include "ui/CommandActions.h"

#include <QSlider>

namespace vx::ui {

CSliderToolBar::CSliderToolBar(QWidget* parent) : QToolBar(parent) {
    setIconSize(QSize(16, 16));
    setStyleSheet("QToolBar { border-bottom: 1px solid palette(mid); }");
}

void CSliderToolBar::LoadToolBar(unsigned id, CCommandActions& actions) {
    for (unsigned command : res::ToolBar(id)) {
        if (command == 0) {
            addSeparator();
        } else if (command == res::ID_BLEND_SLIDER) {
            m_pSliderPlace = addSeparator(); // keeps its place until the slider is set up
        } else {
            addAction(actions.Get(command));
        }
    }
}

bool CSliderToolBar::SetUpSlider(std::function<void(int)> onMoved) {
    if (!m_pSliderPlace || m_pSlider) {
        return false;
    }
    m_pSlider = new QSlider(Qt::Horizontal, this);
    m_pSlider->setObjectName("BlendSlider");
    m_pSlider->setRange(0, 100);
    m_pSlider->setValue(50);
    m_pSlider->setFixedWidth(100);
    m_pSlider->setTickPosition(QSlider::NoTicks);
    m_pSlider->setToolTip(tr("Blend"));
    // Every movement, by drag, page, arrow key or wheel, changes the value.
    connect(m_pSlider, &QSlider::valueChanged, this,
            [onMoved = std::move(onMoved)](int value) { onMoved(value); });
    insertWidget(m_pSliderPlace, m_pSlider);
    removeAction(m_pSliderPlace);
    m_pSliderPlace = nullptr;
    return true;
}

} // namespace vx::ui
