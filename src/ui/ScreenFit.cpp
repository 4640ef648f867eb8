#include "ui/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace vx::ui {

QRect KeepInside(QRect rect, QSize area, QSize minimum) {
    if (area.isEmpty()) {
        return rect;
    }
    const QSize size = rect.size().boundedTo(area).expandedTo(minimum);
    // Where the area is smaller than the frame, its top-left corner (title and toolbar) wins.
    const int x = std::max(0, std::min(rect.x(), area.width() - size.width()));
    const int y = std::max(0, std::min(rect.y(), area.height() - size.height()));
    return QRect(QPoint(x, y), size);
}

void KeepOnScreen(QWidget& window) {
    QScreen* screen = window.screen();
    if (QWidget* parent = window.parentWidget(); parent && parent->window()->isVisible()) {
        screen = parent->window()->screen();
    }
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (!screen) {
        return;
    }
    const QRect available = screen->availableGeometry();
    // Before the window manager has framed the window its frame is unknown: leave room for a
    // title bar and borders as the style draws them. (A window's position is its frame's.)
    QRect frame = window.frameGeometry();
    QSize margins = frame.size() - window.geometry().size();
    if (margins.isNull() && window.isWindow()) {
        const int title = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
        const int border =
            window.style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
        margins = QSize(2 * border, title + 2 * border);
        frame.setSize(frame.size() + margins);
    }
    const QRect wanted(frame.topLeft() - available.topLeft(), frame.size());
    const QRect fitted = KeepInside(wanted, available.size(), window.minimumSize() + margins);
    if (fitted.size() != frame.size()) {
        window.resize(fitted.size() - margins);
    }
    if (fitted.topLeft() != wanted.topLeft()) {
        window.move(fitted.topLeft() + available.topLeft());
    }
}

} // namespace vx::ui
