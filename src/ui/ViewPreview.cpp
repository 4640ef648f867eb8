#include "ui/ViewPreview.h"

#include "document/KeltDoc.h"
#include "picture/CropGeometry.h"
#include "picture/PointAlignment.h"
#include "res/Resource.h"
#include "ui/DisplayPixels.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <cmath>
#include <memory>

namespace vx::ui {

namespace {

// Shared by all Preview views and kept while the client size holds.
std::unique_ptr<QImage>& Offscreen() {
    static std::unique_ptr<QImage> image;
    return image;
}

} // namespace

CViewPreview::CViewPreview(CKeltDoc& doc, QWidget* parent) : CViewPict(doc, true, parent) {
    OnCommand(res::ID_EDIT_SOURCE, [this] { m_bSource = true; });
    OnCommand(res::ID_EDIT_TARGET, [this] { m_bSource = false; });
    OnUpdate(res::ID_EDIT_SOURCE, [this](CCmdUI& ui) { ui.SetCheck(m_bSource); });
    OnUpdate(res::ID_EDIT_TARGET, [this](CCmdUI& ui) { ui.SetCheck(!m_bSource); });
}

void CViewPreview::OnInitialUpdate() {
    const QSize device = DeviceSize(*this);
    Doc().GetOutputFrame(device.width(), device.height());
}

const QImage* CViewPreview::OffscreenImage() {
    return Offscreen().get();
}

void CViewPreview::paintEvent(QPaintEvent* event) {
    CKeltDoc& doc = Doc();
    QPainter painter(this);
    if (!doc.m_pSource || !doc.m_pTarget) {
        painter.fillRect(event->rect(), palette().dark()); // the default erase
        return;
    }
    if (!doc.m_pPreview) {
        return;
    }
    // One buffer pixel for each pixel of the screen: at a scale factor of 2 the Preview is
    // rendered at twice the view's size in points, and drawn back at it.
    const QSize device = DeviceSize(*this);
    const CDibImage& buffer = *doc.m_pPreview;
    if (buffer.Width() != device.width() || buffer.Height() != device.height()) {
        // The scale factor changed without a resize (another screen): render for the new one.
        if (!m_bResizePending) {
            m_bResizePending = true;
            QTimer::singleShot(0, this, [this] {
                m_bResizePending = false;
                ResizeBuffers();
            });
        }
        return;
    }
    std::unique_ptr<QImage>& offscreen = Offscreen();
    if (!offscreen || offscreen->size() != device) {
        offscreen = std::make_unique<QImage>(device, QImage::Format_RGB32);
        offscreen->fill(Qt::black);
    }
    offscreen->setDevicePixelRatio(devicePixelRatioF());
    // Until a pass is complete the screen keeps the previous picture.
    if (!doc.m_bPreviewReady) {
        return;
    }
    {
        QPainter memory(offscreen.get());
        memory.fillRect(event->rect(), Qt::black);
    }
    // Pixel for pixel from the top-left corner.
    StretchUpright(buffer, *offscreen, QRect(0, 0, buffer.Width(), buffer.Height()));
    painter.drawImage(QPointF(0, 0), *offscreen);
    DrawMarkers(painter);
}

std::optional<CViewPreview::Placed> CViewPreview::PlacedPicture(ESlot slot) const {
    CKeltDoc& doc = Doc();
    const CDibImage* picture = doc.GetPicture(slot);
    const CPictFrame* frame = doc.GetFrame(slot);
    if (!doc.BothLoaded() || !picture || !frame) {
        return std::nullopt;
    }
    return Placed{picture, frame, DeviceSize(*this)};
}

std::optional<QPointF> CViewPreview::PictureToDevice(ESlot slot, PicturePoint p) const {
    const auto placed = PlacedPicture(slot);
    if (!placed) {
        return std::nullopt;
    }
    const auto& [picture, frame, device] = *placed;
    const PointF out = CropToOutputF(PictureToCrop(*frame, picture->Width(), picture->Height(), p),
                                     device.width(), device.height(), Doc().m_dAspect);
    if (!std::isfinite(out.x) || !std::isfinite(out.y)) {
        return std::nullopt;
    }
    // Output row y is drawn as the view's row H - 1 - y (the buffer is bottom row first).
    return QPointF(out.x + 0.5, device.height() - 1 - out.y + 0.5);
}

std::optional<PicturePoint> CViewPreview::DeviceToPicture(ESlot slot, QPointF d) const {
    const auto placed = PlacedPicture(slot);
    if (!placed) {
        return std::nullopt;
    }
    const auto& [picture, frame, device] = *placed;
    const PointF crop = OutputToCropF({d.x() - 0.5, device.height() - 1 - (d.y() - 0.5)},
                                      device.width(), device.height(), Doc().m_dAspect);
    const PicturePoint p = CropToPicture(*frame, picture->Width(), picture->Height(), crop);
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
        return std::nullopt;
    }
    return OnPicture(p, *picture);
}

std::vector<ESlot> CViewPreview::MarkerSlots() const {
    return {Slot(), Slot() == ESlot::Source ? ESlot::Target : ESlot::Source};
}

std::optional<CKeltDoc::MarkerId> CViewPreview::MarkerToPlace() const {
    return Doc().NextMarker();
}

ESlot CViewPreview::DropSlot(QPoint at) const {
    return at.x() < width() / 2 ? ESlot::Source : ESlot::Target;
}

void CViewPreview::resizeEvent(QResizeEvent* event) {
    CViewPict::resizeEvent(event);
    ResizeBuffers();
}

void CViewPreview::ResizeBuffers() {
    const QSize device = DeviceSize(*this);
    Doc().CreatePreviewBuffers(device.width(), device.height());
    Doc().RequestRender(0);
}

} // namespace vx::ui
