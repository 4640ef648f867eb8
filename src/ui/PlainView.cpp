#include "ui/PlainView.h"

#include "ui/MyFrameWnd.h"

#include <QPainter>

namespace vx::ui {

CPlainView::CPlainView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPlainView::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), palette().base());
}

void CPlainView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (auto* frame = CMyFrameWnd::Of(this)) {
        frame->SetActiveView(this);
    }
}

} // namespace vx::ui
