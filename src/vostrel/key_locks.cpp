#include "vostrel/key_locks.h"

#include <QGuiApplication>

#if defined(LND_HAVE_XKB)
#include <X11/XKBlib.h>
#endif

namespace lnd {

std::optional<KeyLocks> queryKeyLocks() {
#if defined(LND_HAVE_XKB)
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) return std::nullopt;
    auto lit = [display](const char* name) {
        const Atom atom = XInternAtom(display, name, True);
        Bool on = False;
        if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return false;
        return on == True;
    };
    return KeyLocks{lit("Caps Lock"), lit("Num Lock"), lit("Scroll Lock")};
#else
    return std::nullopt;
#endif
}

}  // namespace lnd
