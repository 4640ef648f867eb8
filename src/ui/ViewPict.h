// The view of one picture slot: shows the whole picture fitted and lets the user zoom, move and
// rotate it under the cropping rectangle with the mouse and the arrow keys.
#pragma once

#include "base/CmdTarget.h"
#include "document/KeltDoc.h"
#include "picture/PictFrame.h"
#include "picture/PicturePoint.h"

#include <QImage>
#include <QWidget>
#include <optional>
#include <utility>
#include <vector>

namespace vx::ui {

class CViewPict : public QWidget, public CCmdTarget {
    Q_OBJECT
public:
    CViewPict(CKeltDoc& doc, bool source, QWidget* parent);
    ~CViewPict() override;

    CKeltDoc& Doc() const { return m_doc; }
    ESlot Slot() const;

    // The gestures, in the screen's pixels over the view (DeviceSize), handed to the document;
    // the Qt events call them.
    void OnLButtonDown(int x, int y);
    // `shift`: a rotation turns in whole degrees.
    void OnMouseMove(int x, int y, bool shift = false);
    void OnCaptureChanged();
    // Arrow keys as virtual keys 37 ... 40; false for a key the view does not take.
    bool OnKeyDown(int virtualKey, bool shift);

    // Where a picture of w x h is drawn in a client area of W x H: fitted and centred.
    static QRect FittedRect(int w, int h, int W, int H);

    // Markers of Align by points. Where the view shows point p of the slot's picture, in its
    // device pixels (a pixel's centre at +0.5); nullopt when it does not show that slot.
    virtual std::optional<QPointF> PictureToDevice(ESlot slot, PicturePoint p) const;
    // The point of the slot's picture shown at device position d, kept on the picture.
    virtual std::optional<PicturePoint> DeviceToPicture(ESlot slot, QPointF d) const;
    // The marker within reach of device position d.
    std::optional<CKeltDoc::MarkerId> MarkerAt(QPointF d) const;

    bool m_bSource;
    bool m_bDragging = false; // the document's drag is this view's

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Opens the Placement dialog on the view's slot.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;
    // Image and movie files dropped here load into the slot under the drop; two fill both.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    virtual ESlot DropSlot(QPoint at) const;
    // What the status bar says while the pointer is over the view: the slot and its picture.
    // Empty: nothing.
    virtual QString Caption() const;
    // The slots whose markers the view shows, the first on top where they overlap.
    virtual std::vector<ESlot> MarkerSlots() const { return {Slot()}; }
    // The marker a click places while marking: the next one missing on the view's picture.
    virtual std::optional<CKeltDoc::MarkerId> MarkerToPlace() const;
    void DrawMarkers(QPainter& painter) const;
    // The slot's picture and where the view draws it, in device pixels; nullopt when it does not.
    std::optional<std::pair<const CDibImage*, QRect>> DrawnPicture(ESlot slot) const;
    // p moved onto the picture where it lies beyond its edge.
    static PicturePoint OnPicture(PicturePoint p, const CDibImage& picture);

private:
    // The cursor of the edit mode, of marking, or of a marker under the pointer.
    void UpdateCursor(std::optional<QPointF> pointer);

    // The pane's stretched picture, made again only when the picture or the drawn size changes.
    void DropDrawn();

    CKeltDoc& m_doc;
    QImage m_drawn;
    uint64_t m_nDrawnFrom = 0; // the serial of the picture m_drawn was stretched from
    int m_nCursorMode = 0;
    QString m_readout; // what the status bar shows of the drag under way
    std::optional<CKeltDoc::MarkerId> m_markerDrag;
};

} // namespace vx::ui
