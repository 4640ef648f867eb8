// The view of one picture slot: shows the whole picture fitted and lets the user zoom, move and
// rotate it under the cropping rectangle with the mouse and the arrow keys.
#pragma once

#include "base/CmdTarget.h"
#include "picture/PictFrame.h"

#include <QImage>
#include <QWidget>

namespace vx {
class CKeltDoc;
enum class ESlot;
} // namespace vx

namespace vx::ui {

class CViewPict : public QWidget, public CCmdTarget {
    Q_OBJECT
public:
    CViewPict(CKeltDoc& doc, bool source, QWidget* parent);

    CKeltDoc& Doc() const { return m_doc; }
    ESlot Slot() const;

    // The gestures, in client pixels; the Qt events call them.
    void OnLButtonDown(int x, int y);
    void OnMouseMove(int x, int y);
    void OnCaptureChanged();
    // Arrow keys as virtual keys 37 ... 40; false for a key the view does not take.
    bool OnKeyDown(int virtualKey, bool shift);

    // Where a picture of w x h is drawn in a client area of W x H: fitted and centred.
    static QRect FittedRect(int w, int h, int W, int H);

    bool m_bSource;
    bool m_bDragging = false;
    CPoint m_ptStart;
    CPoint m_ptBaseOffset;
    double m_dBaseZoom = 1.0;
    double m_dBaseAngle = 0.0;
    // Coarse key steps while a drag is held, or while Shift is down.
    bool m_bCoarse = false;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

    // Whether a press may start a drag.
    bool CanDrag() const;

private:
    // The frame's values become the base, and the start point is the given client point.
    void BeginGesture(int x, int y);
    void UpdateCursor();

    CKeltDoc& m_doc;
    QPoint m_ptLast; // client point of the latest press or drag step
    QImage m_drawn;  // the stretched picture, reused while its size holds
    int m_nCursorMode = 0;
};

} // namespace vx::ui
