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
    ~CViewPict() override;

    CKeltDoc& Doc() const { return m_doc; }
    ESlot Slot() const;

    // The gestures, in the screen's pixels over the view (DeviceSize), handed to the document;
    // the Qt events call them.
    void OnLButtonDown(int x, int y);
    void OnMouseMove(int x, int y);
    void OnCaptureChanged();
    // Arrow keys as virtual keys 37 ... 40; false for a key the view does not take.
    bool OnKeyDown(int virtualKey, bool shift);

    // Where a picture of w x h is drawn in a client area of W x H: fitted and centred.
    static QRect FittedRect(int w, int h, int W, int H);

    bool m_bSource;
    bool m_bDragging = false; // the document's drag is this view's

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
    // What the status bar says while the pointer is over the view: the slot and its picture.
    // Empty: nothing.
    virtual QString Caption() const;

private:
    void UpdateCursor();

    CKeltDoc& m_doc;
    QImage m_drawn; // the stretched picture, reused while its size holds
    int m_nCursorMode = 0;
};

} // namespace vx::ui
