#include "ui/LockIndicators.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace vx::ui {

namespace {

bool Indicator(Display* display, const char* name) {
    Bool on = False;
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) {
        return false;
    }
    return on;
}

} // namespace

std::optional<LockStates> ReadLockStates() {
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = app ? app->display() : nullptr;
    if (!display) {
        return std::nullopt;
    }
    return LockStates{Indicator(display, "Caps Lock"), Indicator(display, "Num Lock"),
                      Indicator(display, "Scroll Lock")};
}

} // namespace vx::ui
