// The session bus's org.freedesktop.ScreenSaver service as Clayvane's screen-saver bus.
#pragma once

#include "sculpt/screen_saver.h"

#include <memory>

namespace clay {

// The bus when a session bus is configured (DBUS_SESSION_BUS_ADDRESS or the user's runtime
// bus socket) and can be reached; else null, and the screen saver is left alone. Never starts
// a bus of its own.
std::unique_ptr<CScreenSaverBus> SessionScreenSaverBus();

}  // namespace clay
