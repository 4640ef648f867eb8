#include "ui/PlainView.h"

#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "ui/MyFrameWnd.h"

#include <QImage>
#include <QPainter>

namespace vx::ui {

namespace {

// The picture-buffer bytes as an upright image, without a copy.
QImage Wrap(const CDibImage& picture) {
    return QImage(picture.Bits(), picture.Width(), picture.Height(), picture.Stride(),
                  QImage::Format_BGR888);
}

} // namespace

CPlainView::CPlainView(CKeltDoc& doc, Kind kind, QWidget* parent)
    : QWidget(parent), m_bSource(kind != Kind::TargetPane), m_doc(doc), m_kind(kind) {
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (kind == Kind::Preview) {
        OnCommand(res::ID_EDIT_SOURCE, [this] { m_bSource = true; });
        OnCommand(res::ID_EDIT_TARGET, [this] { m_bSource = false; });
        OnUpdate(res::ID_EDIT_SOURCE, [this](CCmdUI& ui) { ui.SetCheck(m_bSource); });
        OnUpdate(res::ID_EDIT_TARGET, [this](CCmdUI& ui) { ui.SetCheck(!m_bSource); });
    }
}

void CPlainView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_kind == Kind::Blank) {
        painter.fillRect(rect(), palette().base());
        return;
    }
    if (m_kind == Kind::Preview) {
        if (!m_doc.BothLoaded() || !m_doc.m_pPreview) {
            painter.fillRect(rect(), palette().dark());
            return;
        }
        if (!m_doc.m_bPreviewReady) {
            return; // keep what is on the screen until the pass is complete
        }
        painter.fillRect(rect(), Qt::black);
        const CDibImage& buffer = *m_doc.m_pPreview;
        painter.translate(0, buffer.Height());
        painter.scale(1, -1); // row 0 is the bottom row
        painter.drawImage(0, 0, Wrap(buffer));
        return;
    }
    painter.fillRect(rect(), palette().dark());
    const CDibImage* picture = m_doc.GetPicture(m_bSource ? ESlot::Source : ESlot::Target);
    if (!picture || picture->Width() <= 0 || picture->Height() <= 0) {
        return;
    }
    QSize fitted = QSize(picture->Width(), picture->Height()).scaled(size(), Qt::KeepAspectRatio);
    QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
    painter.translate(0, target.top() * 2 + target.height());
    painter.scale(1, -1);
    painter.drawImage(target, Wrap(*picture));
}

void CPlainView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_kind == Kind::Preview && width() > 0 && height() > 0) {
        m_doc.CreatePreviewBuffers(width(), height());
        m_doc.RequestRender(0);
    }
}

void CPlainView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* frame = dynamic_cast<CMyFrameWnd*>(w)) {
            frame->SetActiveView(this);
            break;
        }
    }
}

} // namespace vx::ui
