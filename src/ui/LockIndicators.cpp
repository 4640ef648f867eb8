#include "ui/LockIndicators.h"

#include <QGuiApplication>

#ifdef VEXEL_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace vx::ui {

#ifdef VEXEL_HAVE_X11
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
#else
// Without X11 the lock states are unknown, as on any display server but X.
std::optional<LockStates> ReadLockStates() {
    return std::nullopt;
}
#endif

} // namespace vx::ui
