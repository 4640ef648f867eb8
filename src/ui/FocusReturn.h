// Around a modal window of our own.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace vx::ui {

// Gives the keyboard back to the window and widget that had it before a modal window: some
// window managers leave it nowhere once a box over a dialog closes.
class CFocusReturn {
public:
    CFocusReturn()
        : m_window(QApplication::activeWindow()), m_widget(QApplication::focusWidget()) {}
    ~CFocusReturn() {
        if (m_window && m_window->isVisible()) {
            m_window->activateWindow();
            if (m_widget && m_widget->isVisible()) {
                m_widget->setFocus(Qt::ActiveWindowFocusReason);
            }
        }
    }
    CFocusReturn(const CFocusReturn&) = delete;
    CFocusReturn& operator=(const CFocusReturn&) = delete;

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_widget;
};

} // namespace vx::ui
