#include "ui/ViewPict.h"

#include "document/KeltDoc.h"
#include "ui/Cursors.h"
#include "ui/DisplayPixels.h"
#include "ui/MyFrameWnd.h"

#include <QKeyEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <cmath>

namespace vx::ui {

namespace {

constexpr int kVkShift = 16;
constexpr int kVkLeft = 37;
constexpr int kVkUp = 38;
constexpr int kVkRight = 39;
constexpr int kVkDown = 40;

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

CViewPict::~CViewPict() {
    OnCaptureChanged(); // a drag ends with its view
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
    const QSize device = DeviceSize(*this);
    if (!picture || picture->Width() <= 0 || picture->Height() <= 0 || device.isEmpty()) {
        painter.fillRect(event->rect(), Qt::white);
        return;
    }
    // Stretched at the screen's pixels, so that a scale factor above 1 keeps the picture sharp.
    const QRect drawn =
        FittedRect(picture->Width(), picture->Height(), device.width(), device.height());
    const qreal ratio = devicePixelRatioF();
    const QRectF shown(QPointF(drawn.topLeft()) / ratio, QSizeF(drawn.size()) / ratio);
    // The bands around it; a band's edge on a fraction of a point is covered by the picture.
    const QRect inner(
        QPoint(int(std::ceil(shown.left())), int(std::ceil(shown.top()))),
        QPoint(int(std::floor(shown.right())) - 1, int(std::floor(shown.bottom())) - 1));
    for (const QRect& band : QRegion(event->rect()).subtracted(inner)) {
        painter.fillRect(band, Qt::white);
    }
    if (drawn.isEmpty()) {
        return;
    }
    if (m_drawn.size() != drawn.size()) {
        m_drawn = QImage(drawn.size(), QImage::Format_RGB32);
    }
    StretchUpright(*picture, m_drawn, m_drawn.rect());
    m_drawn.setDevicePixelRatio(ratio);
    painter.drawImage(shown.topLeft(), m_drawn);
}

void CViewPict::OnLButtonDown(int x, int y) {
    const QSize device = DeviceSize(*this);
    if (m_doc.BeginDrag(Slot(), x, y, device.width(), device.height())) {
        m_bDragging = true;
    }
}

void CViewPict::OnMouseMove(int x, int y) {
    const QSize device = DeviceSize(*this);
    if (m_bDragging && !m_doc.DragTo(x, y, device.width(), device.height())) {
        OnCaptureChanged();
    }
}

void CViewPict::OnCaptureChanged() {
    if (m_bDragging) {
        m_doc.EndDrag();
    }
    m_bDragging = false;
}

bool CViewPict::OnKeyDown(int virtualKey, bool shift) {
    if (!m_doc.BothLoaded()) {
        return false;
    }
    constexpr EArrowKey arrows[] = {EArrowKey::Left, EArrowKey::Up, EArrowKey::Right,
                                    EArrowKey::Down};
    if (virtualKey >= kVkLeft && virtualKey <= kVkDown) {
        m_doc.StepPlacement(Slot(), arrows[virtualKey - kVkLeft], shift);
    }
    return true; // every other key is swallowed
}

void CViewPict::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint p = ToDevice(*this, event->position());
    OnLButtonDown(p.x(), p.y());
}

void CViewPict::mouseMoveEvent(QMouseEvent* event) {
    if (m_bDragging && !(event->buttons() & Qt::LeftButton)) {
        OnCaptureChanged(); // the release went elsewhere
        return;
    }
    const QPoint p = ToDevice(*this, event->position());
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
    // The panes carry no title of their own: the status bar names them under the pointer.
    auto* main = qobject_cast<QMainWindow*>(window());
    const QString caption = main ? Caption() : QString();
    if (!caption.isEmpty() && event->type() == QEvent::Enter) {
        main->statusBar()->showMessage(caption);
    } else if (!caption.isEmpty() && event->type() == QEvent::Leave &&
               main->statusBar()->currentMessage() == caption) {
        main->statusBar()->clearMessage();
    }
    return QWidget::event(event);
}

QString CViewPict::Caption() const {
    const QString slot = m_bSource ? tr("Source") : tr("Target");
    const CDibImage* picture = m_doc.GetPicture(Slot());
    if (!picture) {
        return slot;
    }
    const QString size = tr("%1 x %2 pixels").arg(picture->Width()).arg(picture->Height());
    const QString name = QString::fromStdString(picture->GetName());
    return name.isEmpty() ? tr("%1: %2").arg(slot, size) : tr("%1: %2, %3").arg(slot, name, size);
}

void CViewPict::UpdateCursor() {
    if (m_nCursorMode != m_doc.m_nEditMode) {
        m_nCursorMode = m_doc.m_nEditMode;
        setCursor(EditCursor(m_nCursorMode));
    }
}

} // namespace vx::ui
