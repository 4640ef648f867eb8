#include "ui/ViewPict.h"

#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "ui/Cursors.h"
#include "ui/DisplayPixels.h"
#include "ui/MyFrameWnd.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace vx::ui {

namespace {

constexpr int kVkShift = 16;
constexpr int kVkLeft = 37;
constexpr int kVkUp = 38;
constexpr int kVkRight = 39;
constexpr int kVkDown = 40;

constexpr double kZoomIn = 1.0025;
constexpr double kZoomOut = 0.9975062344139651; // 1 / 1.0025
constexpr double kRotate = 0.01745;
constexpr double kCoarseZoomIn = 2.005;
constexpr double kCoarseZoomOut = 0.49875311720698257; // 1 / 2.005
constexpr double kCoarseRotate = 4.0;
constexpr int kCoarseMove = 16;

// p turned by minus `angle`, each coordinate truncated toward zero.
CPoint Unrotate(CPoint p, double angle) {
    const double ca = std::cos(-angle);
    const double sa = std::sin(-angle);
    return CPoint{static_cast<int>(std::trunc(p.x * ca - p.y * sa)),
                  static_cast<int>(std::trunc(p.x * sa + p.y * ca))};
}

int VirtualKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Left:
        return kVkLeft;
    case Qt::Key_Up:
        return kVkUp;
    case Qt::Key_Right:
        return kVkRight;
    case Qt::Key_Down:
        return kVkDown;
    case Qt::Key_Shift:
        return kVkShift;
    default:
        return 0;
    }
}

} // namespace

CViewPict::CViewPict(CKeltDoc& doc, bool source, QWidget* parent)
    : QWidget(parent), m_bSource(source), m_doc(doc) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent); // painting covers the whole area
    setMouseTracking(true);                // the cursor follows the edit mode while hovering
    UpdateCursor();
}

ESlot CViewPict::Slot() const {
    return m_bSource ? ESlot::Source : ESlot::Target;
}

QRect CViewPict::FittedRect(int w, int h, int W, int H) {
    int dw = W;
    int dh = H;
    if (int64_t(h) * W > int64_t(w) * H) {
        dw = static_cast<int>(int64_t(w) * H / h);
    } else {
        dh = static_cast<int>(int64_t(h) * W / w);
    }
    return QRect((W - dw) / 2, (H - dh) / 2, dw, dh);
}

void CViewPict::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const CDibImage* picture = m_doc.GetPicture(Slot());
    if (!picture || picture->Width() <= 0 || picture->Height() <= 0 || width() <= 0 ||
        height() <= 0) {
        painter.fillRect(event->rect(), Qt::white);
        return;
    }
    const QRect drawn = FittedRect(picture->Width(), picture->Height(), width(), height());
    QRegion bands = QRegion(event->rect()).subtracted(drawn);
    for (const QRect& band : bands) {
        painter.fillRect(band, Qt::white);
    }
    if (drawn.isEmpty()) {
        return;
    }
    if (m_drawn.size() != drawn.size()) {
        m_drawn = QImage(drawn.size(), QImage::Format_RGB32);
    }
    StretchUpright(*picture, m_drawn, m_drawn.rect());
    painter.drawImage(drawn.topLeft(), m_drawn);
}

bool CViewPict::CanDrag() const {
    return m_doc.m_pPreview && m_doc.m_pSource && m_doc.m_pTarget;
}

void CViewPict::BeginGesture(int x, int y) {
    CPictFrame* frame = m_doc.GetFrame(Slot());
    const CPoint p = m_doc.OutputToCrop(x, y, width(), height());
    m_ptBaseOffset = frame->offset;
    m_dBaseZoom = frame->zoom;
    m_dBaseAngle = frame->angle;
    m_ptStart = m_doc.m_nEditMode == res::EDIT_MODE_MOVE ? Unrotate(p, m_dBaseAngle) : p;
    m_ptLast = QPoint(x, y);
}

void CViewPict::OnLButtonDown(int x, int y) {
    if (!CanDrag() || !m_doc.GetFrame(Slot())) {
        return;
    }
    m_bDragging = true;
    m_bCoarse = true;
    BeginGesture(x, y);
}

void CViewPict::OnMouseMove(int x, int y) {
    if (!m_bDragging) {
        return;
    }
    CPictFrame* frame = m_doc.GetFrame(Slot());
    if (!frame) {
        OnCaptureChanged();
        return;
    }
    m_ptLast = QPoint(x, y);
    const CPoint q = m_doc.OutputToCrop(x, y, width(), height());
    const CPoint s = m_ptStart;
    switch (m_doc.m_nEditMode) {
    case res::EDIT_MODE_ZOOM: {
        const int64_t from = int64_t(s.x) * s.x + int64_t(s.y) * s.y;
        const int64_t to = int64_t(q.x) * q.x + int64_t(q.y) * q.y;
        if (from == 0 || to == 0) {
            return; // at the very centre the ratio is undefined or zero
        }
        frame->SetZoom(m_dBaseZoom * (static_cast<double>(from) / static_cast<double>(to)));
        break;
    }
    case res::EDIT_MODE_MOVE: {
        const CPoint r = Unrotate(q, m_dBaseAngle);
        frame->SetOffset(m_ptBaseOffset.x + (s.x - r.x), m_ptBaseOffset.y + (r.y - s.y));
        break;
    }
    case res::EDIT_MODE_ROTATE:
        frame->SetAngle(m_dBaseAngle + (std::atan2(s.x, s.y) - std::atan2(q.x, q.y)));
        break;
    default:
        return;
    }
    m_doc.MarkChanged(Slot());
}

void CViewPict::OnCaptureChanged() {
    m_bDragging = false;
    m_bCoarse = false;
}

bool CViewPict::OnKeyDown(int virtualKey, bool shift) {
    if (!m_doc.m_pSource || !m_doc.m_pTarget) {
        return false;
    }
    CPictFrame* frame = m_doc.GetFrame(Slot());
    if (virtualKey < kVkLeft || virtualKey > kVkDown || !frame) {
        return true; // every other key is swallowed
    }
    m_ptBaseOffset = frame->offset;
    m_dBaseZoom = frame->zoom;
    m_dBaseAngle = frame->angle;
    const bool coarse = m_bCoarse || shift;
    const bool leftOrUp = virtualKey == kVkLeft || virtualKey == kVkUp;
    switch (m_doc.m_nEditMode) {
    case res::EDIT_MODE_ZOOM:
        frame->SetZoom(m_dBaseZoom * (leftOrUp ? (coarse ? kCoarseZoomIn : kZoomIn)
                                               : (coarse ? kCoarseZoomOut : kZoomOut)));
        break;
    case res::EDIT_MODE_MOVE: {
        const int s = m_doc.m_dAspect >= 1.0 ? static_cast<int>(std::trunc(m_doc.m_dAspect)) : 1;
        const int dx = coarse ? kCoarseMove : 1;
        const int dy = coarse ? static_cast<int>(std::trunc(kCoarseMove / m_doc.m_dAspect * s)) : s;
        int x = m_ptBaseOffset.x;
        int y = m_ptBaseOffset.y;
        switch (virtualKey) {
        case kVkLeft:
            x += dx;
            break;
        case kVkRight:
            x -= dx;
            break;
        case kVkUp:
            y -= dy;
            break;
        default:
            y += dy;
            break;
        }
        frame->SetOffset(x, y);
        break;
    }
    case res::EDIT_MODE_ROTATE: {
        const double step = coarse ? kRotate * kCoarseRotate : kRotate;
        frame->SetAngle(m_dBaseAngle + (leftOrUp ? -step : step));
        break;
    }
    default:
        return true;
    }
    m_doc.MarkChanged(Slot());
    if (m_bDragging) {
        // The drag goes on from the frame's new values at the pointer, without a jump.
        BeginGesture(m_ptLast.x(), m_ptLast.y());
    }
    return true;
}

void CViewPict::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint p = event->position().toPoint();
    OnLButtonDown(p.x(), p.y());
}

void CViewPict::mouseMoveEvent(QMouseEvent* event) {
    if (m_bDragging && !(event->buttons() & Qt::LeftButton)) {
        OnCaptureChanged(); // the release went elsewhere
        return;
    }
    const QPoint p = event->position().toPoint();
    OnMouseMove(p.x(), p.y());
}

void CViewPict::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnCaptureChanged();
    }
}

void CViewPict::keyPressEvent(QKeyEvent* event) {
    if (!OnKeyDown(VirtualKey(event->key()), event->modifiers() & Qt::ShiftModifier)) {
        QWidget::keyPressEvent(event);
    }
}

void CViewPict::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (auto* frame = CMyFrameWnd::Of(this)) {
        frame->SetActiveView(this);
    }
}

void CViewPict::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // Another window took the pointer or the keyboard: the drag ends where it is.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) {
        OnCaptureChanged();
    }
}

void CViewPict::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    OnCaptureChanged();
}

bool CViewPict::event(QEvent* event) {
    // The cursor follows the edit mode, which any command may change.
    if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove ||
        event->type() == QEvent::MouseButtonPress) {
        UpdateCursor();
    }
    return QWidget::event(event);
}

void CViewPict::UpdateCursor() {
    if (m_nCursorMode != m_doc.m_nEditMode) {
        m_nCursorMode = m_doc.m_nEditMode;
        setCursor(EditCursor(m_nCursorMode));
    }
}

} // namespace vx::ui
