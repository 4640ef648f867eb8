#include "ui/ViewPreview.h"

#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "ui/DisplayPixels.h"

#include <QPaintEvent>
#include <QPainter>
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
    // Pixel for pixel from the top-left corner.
    const CDibImage& buffer = *doc.m_pPreview;
    StretchUpright(buffer, *offscreen, QRect(0, 0, buffer.Width(), buffer.Height()));
    painter.drawImage(QPoint(0, 0), *offscreen);
}

void CViewPreview::resizeEvent(QResizeEvent* event) {
    CViewPict::resizeEvent(event);
    Doc().CreatePreviewBuffers(width(), height());
    Doc().RequestRender(0);
}

} // namespace vx::ui
