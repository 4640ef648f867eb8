#include "ui/ViewPict.h"

#include "base/Platform.h"
#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "ui/Cursors.h"
#include "ui/DisplayPixels.h"
#include "ui/MainFrame.h"
#include "ui/MyFrameWnd.h"

#include <QKeyEvent>
#include <QMainWindow>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace vx::ui {

namespace {

constexpr int kVkShift = 16;
constexpr int kVkEscape = 27;
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
    case Qt::Key_Escape:
        return kVkEscape;
    default:
        return 0;
    }
}

// The local files a drag carries; empty when it carries anything else.
std::vector<std::string> DroppedFiles(const QMimeData* data) {
    std::vector<std::string> files;
    for (const QUrl& url : data ? data->urls() : QList<QUrl>()) {
        if (!url.isLocalFile()) {
            return {};
        }
        files.push_back(url.toLocalFile().toStdString());
    }
    return files;
}

// Markers, in points: the ring's radius and how near a press must be to take one.
constexpr qreal kMarkerRadius = 7;
constexpr qreal kMarkerReach = 10;
// Cursor kinds beside the edit modes.
constexpr int kCursorMarker = -1;
constexpr int kCursorMarking = -2;

} // namespace

CViewPict::CViewPict(CKeltDoc& doc, bool source, QWidget* parent)
    : QWidget(parent), m_bSource(source), m_doc(doc) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent); // painting covers the whole area
    setMouseTracking(true);                // the cursor follows the edit mode while hovering
    setAcceptDrops(true);
    UpdateCursor(std::nullopt);
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
        DropDrawn();
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
    // Stretching a large picture costs far more than copying the result, and a pane repaints at
    // every step of a marker drag and at every expose.
    if (m_drawn.size() != drawn.size() || m_nDrawnFrom != picture->Serial()) {
        if (m_drawn.size() != drawn.size()) {
            m_drawn = QImage(drawn.size(), QImage::Format_RGB32);
        }
        StretchUpright(*picture, m_drawn, m_drawn.rect());
        m_nDrawnFrom = picture->Serial();
    }
    m_drawn.setDevicePixelRatio(ratio);
    painter.drawImage(shown.topLeft(), m_drawn);
    DrawMarkers(painter);
}

void CViewPict::DropDrawn() {
    m_drawn = QImage();
    m_nDrawnFrom = 0;
}

PicturePoint CViewPict::OnPicture(PicturePoint p, const CDibImage& picture) {
    return {std::clamp(p.x, -0.5, picture.Width() - 0.5),
            std::clamp(p.y, -0.5, picture.Height() - 0.5)};
}

std::optional<std::pair<const CDibImage*, QRect>> CViewPict::DrawnPicture(ESlot slot) const {
    const CDibImage* picture = m_doc.GetPicture(slot);
    if (slot != Slot() || !picture || picture->Width() <= 0 || picture->Height() <= 0) {
        return std::nullopt;
    }
    const QSize device = DeviceSize(*this);
    const QRect drawn =
        FittedRect(picture->Width(), picture->Height(), device.width(), device.height());
    if (drawn.isEmpty()) {
        return std::nullopt;
    }
    return std::pair(picture, drawn);
}

// Drawn pixel d shows the picture pixel under d w / dw (StretchUpright), the picture's edges
// counted from 0: so the centre of d stands for the picture at d w / dw.
std::optional<QPointF> CViewPict::PictureToDevice(ESlot slot, PicturePoint p) const {
    const auto drawn = DrawnPicture(slot);
    if (!drawn) {
        return std::nullopt;
    }
    const auto& [picture, rect] = *drawn;
    return QPointF(rect.left() + (p.x + 0.5) * rect.width() / picture->Width() + 0.5,
                   rect.top() + (p.y + 0.5) * rect.height() / picture->Height() + 0.5);
}

std::optional<PicturePoint> CViewPict::DeviceToPicture(ESlot slot, QPointF d) const {
    const auto drawn = DrawnPicture(slot);
    if (!drawn) {
        return std::nullopt;
    }
    const auto& [picture, rect] = *drawn;
    return OnPicture({(d.x() - 0.5 - rect.left()) * picture->Width() / rect.width() - 0.5,
                      (d.y() - 0.5 - rect.top()) * picture->Height() / rect.height() - 0.5},
                     *picture);
}

std::optional<CKeltDoc::MarkerId> CViewPict::MarkerAt(QPointF d) const {
    // The slot listed first wins wherever its markers are within reach: aligned markers lie on
    // one another, and the one on top is taken.
    for (ESlot slot : MarkerSlots()) {
        std::optional<CKeltDoc::MarkerId> nearest;
        qreal best = kMarkerReach * devicePixelRatioF();
        for (int i = 0; i < CKeltDoc::kMarkerCount; ++i) {
            const auto& marker = m_doc.Marker(slot, i);
            const auto at = marker ? PictureToDevice(slot, *marker) : std::nullopt;
            if (at && QLineF(*at, d).length() < best) {
                best = QLineF(*at, d).length();
                nearest = CKeltDoc::MarkerId{slot, i};
            }
        }
        if (nearest) {
            return nearest;
        }
    }
    return std::nullopt;
}

std::optional<CKeltDoc::MarkerId> CViewPict::MarkerToPlace() const {
    return m_doc.NextMarker(Slot());
}

void CViewPict::DrawMarkers(QPainter& painter) const {
    const std::vector<ESlot> shown = MarkerSlots();
    const qreal ratio = devicePixelRatioF();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    // The first slot's markers last, on top.
    for (auto slot = shown.rbegin(); slot != shown.rend(); ++slot) {
        const QColor colour = *slot == ESlot::Source ? QColor(255, 90, 40) : QColor(40, 180, 255);
        for (int i = 0; i < CKeltDoc::kMarkerCount; ++i) {
            const auto& marker = m_doc.Marker(*slot, i);
            const auto at = marker ? PictureToDevice(*slot, *marker) : std::nullopt;
            if (!at) {
                continue;
            }
            const QPointF c = *at / ratio;
            const QString number = QString::number(i + 1);
            const QPointF label = c + QPointF(kMarkerRadius + 2, -kMarkerRadius - 1);
            // A dark edge under the colour shows on light and dark pictures alike; the ring
            // leaves the marked pixel itself in view.
            for (const auto& [pen, width] : {std::pair{QColor(0, 0, 0, 170), 3.5}, {colour, 1.5}}) {
                painter.setPen(QPen(pen, width));
                painter.setBrush(Qt::NoBrush);
                painter.drawEllipse(c, kMarkerRadius, kMarkerRadius);
                for (const QPointF& dir :
                     {QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)}) {
                    painter.drawLine(c + dir * (kMarkerRadius - 3), c + dir * (kMarkerRadius + 3));
                }
            }
            painter.setPen(QColor(0, 0, 0, 200));
            painter.drawText(label + QPointF(1, 1), number);
            painter.setPen(colour);
            painter.drawText(label, number);
        }
    }
    painter.restore();
}

void CViewPict::OnLButtonDown(int x, int y) {
    // Markers first: one within reach is dragged; while marking a press places the next.
    const QPointF at(x + 0.5, y + 0.5);
    if (const auto hit = MarkerAt(at)) {
        m_markerDrag = hit;
        return;
    }
    if (m_doc.Marking()) {
        const auto next = MarkerToPlace();
        const auto point = next ? DeviceToPicture(next->slot, at) : std::nullopt;
        if (point) {
            m_doc.SetMarker(next->slot, next->index, *point);
            m_markerDrag = next;
        } else {
            m_doc.Platform().Beep(); // this picture has its points: the prompt names the other
        }
        return;
    }
    const QSize device = DeviceSize(*this);
    if (m_doc.BeginDrag(Slot(), x, y, device.width(), device.height())) {
        m_bDragging = true;
    }
}

void CViewPict::OnMouseMove(int x, int y, bool shift) {
    if (m_markerDrag) {
        if (const auto point = DeviceToPicture(m_markerDrag->slot, QPointF(x + 0.5, y + 0.5))) {
            m_doc.SetMarker(m_markerDrag->slot, m_markerDrag->index, *point);
        }
        return;
    }
    if (!m_bDragging) {
        return;
    }
    const QSize device = DeviceSize(*this);
    if (!m_doc.DragTo(x, y, device.width(), device.height(), shift)) {
        OnCaptureChanged();
        return;
    }
    // The numbers of the placement while it changes.
    if (auto* main = qobject_cast<QMainWindow*>(window())) {
        m_readout = QString::fromStdString(m_doc.PlacementReadout(Slot()));
        main->statusBar()->showMessage(m_readout);
    }
}

void CViewPict::OnCaptureChanged() {
    if (m_markerDrag) {
        m_markerDrag.reset();
        m_doc.EndMarkerPlacement(); // the last marker of marking aligns
    }
    if (m_bDragging) {
        m_doc.EndDrag();
    }
    m_bDragging = false;
    auto* main = qobject_cast<QMainWindow*>(window());
    if (main && !m_readout.isEmpty() && main->statusBar()->currentMessage() == m_readout) {
        main->statusBar()->clearMessage();
    }
    m_readout.clear();
}

bool CViewPict::OnKeyDown(int virtualKey, bool shift) {
    if (virtualKey == kVkEscape && m_doc.Marking()) {
        m_doc.StopMarking();
        UpdateCursor(std::nullopt);
        return true;
    }
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
    if ((m_bDragging || m_markerDrag) && !(event->buttons() & Qt::LeftButton)) {
        OnCaptureChanged(); // the release went elsewhere
        return;
    }
    const QPoint p = ToDevice(*this, event->position());
    OnMouseMove(p.x(), p.y(), event->modifiers() & Qt::ShiftModifier);
}

void CViewPict::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnCaptureChanged();
    }
}

void CViewPict::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    OnCaptureChanged();
    if (auto* main = qobject_cast<CMainFrame*>(window())) {
        main->OpenPlacementDialog(Slot());
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
    DropDrawn(); // a hidden pane needs no stretched copy
}

bool CViewPict::event(QEvent* event) {
    // The cursor follows the edit mode, which any command may change, and the markers.
    if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove ||
        event->type() == QEvent::MouseButtonPress) {
        const auto* pointer = dynamic_cast<QSinglePointEvent*>(event);
        UpdateCursor(pointer ? std::optional(QPointF(ToDevice(*this, pointer->position())) +
                                             QPointF(0.5, 0.5))
                             : std::nullopt);
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

ESlot CViewPict::DropSlot(QPoint) const {
    return Slot();
}

void CViewPict::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void CViewPict::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void CViewPict::dropEvent(QDropEvent* event) {
    std::vector<std::string> files = DroppedFiles(event->mimeData());
    if (files.empty()) {
        return;
    }
    event->acceptProposedAction();
    const ESlot slot = DropSlot(event->position().toPoint());
    // Once the drop is over: the program the files came from waits until it is, and a load
    // may ask questions.
    QTimer::singleShot(0, this, [this, slot, files = std::move(files)] {
        m_doc.m_filesToOpen = files;
        m_doc.m_slotToOpen = slot;
        CCommandRouter router([this] { return std::vector<CCmdTarget*>{&m_doc}; },
                              m_doc.Platform());
        router.Execute(res::ID_OPEN_FILES);
    });
}

void CViewPict::UpdateCursor(std::optional<QPointF> pointer) {
    const int mode = m_markerDrag || (pointer && MarkerAt(*pointer)) ? kCursorMarker
                     : m_doc.Marking()                               ? kCursorMarking
                                                                     : m_doc.m_nEditMode;
    if (m_nCursorMode == mode) {
        return;
    }
    m_nCursorMode = mode;
    if (mode == kCursorMarker) {
        setCursor(Qt::SizeAllCursor);
    } else if (mode == kCursorMarking) {
        setCursor(Qt::CrossCursor);
    } else {
        setCursor(EditCursor(mode));
    }
}

} // namespace vx::ui
