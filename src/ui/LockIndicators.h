// The keyboard's lock lights for the status bar, where the window system tells them.
#pragma once

#include <optional>

namespace vx::ui {

struct LockStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// Read from the X server's keyboard indicators; nullopt on other window systems.
std::optional<LockStates> ReadLockStates();

} // namespace vx::ui
