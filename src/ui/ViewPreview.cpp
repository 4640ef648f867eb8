#include "ui/ViewPreview.h"

#include "document/KeltDoc.h"
#include "res/Resource.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <memory>

namespace vx::ui {

namespace {

// Shared by all Preview views and kept while the client size holds.
std::unique_ptr<QImage>& Offscreen() {
    static std::unique_ptr<QImage> image;
    return image;
}

// The bottom-row-first buffer upright into `out` at (0, 0), pixel for pixel.
void CopyUpright(const CDibImage& buffer, QImage& out) {
    const int w = std::min(buffer.Width(), out.width());
    const int h = std::min(buffer.Height(), out.height());
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = buffer.Row(buffer.Height() - 1 - y);
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x, src += 3) {
            dst[x] = qRgb(src[2], src[1], src[0]);
        }
    }
}

} // namespace

CViewPreview::CViewPreview(CKeltDoc& doc, QWidget* parent) : CViewPict(doc, true, parent) {
    OnCommand(res::ID_EDIT_SOURCE, [this] { m_bSource = true; });
    OnCommand(res::ID_EDIT_TARGET, [this] { m_bSource = false; });
    OnUpdate(res::ID_EDIT_SOURCE, [this](CCmdUI& ui) { ui.SetCheck(m_bSource); });
    OnUpdate(res::ID_EDIT_TARGET, [this](CCmdUI& ui) { ui.SetCheck(!m_bSource); });
}

void CViewPreview::OnInitialUpdate() {
    Doc().GetOutputFrame(width(), height());
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
    std::unique_ptr<QImage>& offscreen = Offscreen();
    if (!offscreen || offscreen->size() != size()) {
        offscreen = std::make_unique<QImage>(size(), QImage::Format_RGB32);
        offscreen->fill(Qt::black);
    }
    // Until a pass is complete the screen keeps the previous picture.
    if (!doc.m_bPreviewReady) {
        return;
    }
    {
        QPainter memory(offscreen.get());
        memory.fillRect(event->rect(), Qt::black);
    }
    CopyUpright(*doc.m_pPreview, *offscreen);
    painter.drawImage(QPoint(0, 0), *offscreen);
}

void CViewPreview::resizeEvent(QResizeEvent* event) {
    CViewPict::resizeEvent(event);
    Doc().CreatePreviewBuffers(width(), height());
    Doc().RequestRender(0);
}

} // namespace vx::ui
