// The Preview window's view: paints the blended framed pictures 1:1 at the screen's pixels, and
// edits the chosen slot with the gestures of the picture view.
#pragma once

#include "ui/ViewPict.h"

namespace vx::ui {

class CViewPreview : public CViewPict {
    Q_OBJECT
public:
    CViewPreview(CKeltDoc& doc, QWidget* parent);

    // Builds the output frame for the current size when there is none.
    void OnInitialUpdate();

    // The off-screen image every Preview paints through; null before the first paint.
    static const QImage* OffscreenImage();

    // Markers of both pictures, where the renderer shows their points.
    std::optional<QPointF> PictureToDevice(ESlot slot, PicturePoint p) const override;
    std::optional<PicturePoint> DeviceToPicture(ESlot slot, QPointF d) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The Preview has its own window title.
    QString Caption() const override { return {}; }
    // The left half takes the source, the right half the target.
    ESlot DropSlot(QPoint at) const override;
    // Both slots' markers, the edited slot's on top; marking places whichever comes next.
    std::vector<ESlot> MarkerSlots() const override;
    std::optional<CKeltDoc::MarkerId> MarkerToPlace() const override;

private:
    // A slot's picture and frame and the view's size in device pixels, while both are loaded.
    struct Placed {
        const CDibImage* picture;
        const CPictFrame* frame;
        QSize device;
    };
    std::optional<Placed> PlacedPicture(ESlot slot) const;
    // The buffers follow the view's size in the screen's pixels, and the Preview renders anew.
    void ResizeBuffers();

    bool m_bResizePending = false;
};

} // namespace vx::ui
