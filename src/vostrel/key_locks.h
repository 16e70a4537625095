// The keyboard's lock states for the status bar indicators, where the platform tells them.
#pragma once

#include <optional>

namespace lnd {

struct KeyLocks {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The current lock states, or nothing when the window system does not say (not X11).
std::optional<KeyLocks> queryKeyLocks();

}  // namespace lnd
