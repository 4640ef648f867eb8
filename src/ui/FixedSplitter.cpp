#include "ui/FixedSplitter.h"

#include <QMouseEvent>

namespace vx::ui {

namespace {
// Presses and moves go to the plain widget handling, so the bar never moves.
class CFixedHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void mousePressEvent(QMouseEvent* event) override { QWidget::mousePressEvent(event); }
    void mouseMoveEvent(QMouseEvent* event) override { QWidget::mouseMoveEvent(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { QWidget::mouseReleaseEvent(event); }
};
} // namespace

CFixedSplitter::CFixedSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
    setHandleWidth(kBar);
    setChildrenCollapsible(false);
}

QSplitterHandle* CFixedSplitter::createHandle() {
    auto* handle = new CFixedHandle(orientation(), this);
    handle->setCursor(Qt::ArrowCursor);
    return handle;
}

void CFixedSplitter::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    if (count() == 2 && width() > 0 && height() > 0) {
        int column = ColumnWidth(width());
        setSizes({column, column});
    }
}

} // namespace vx::ui
