#include "desktop/keyboard_state.h"

#ifdef PG_HAVE_X11
#include <X11/Xlib.h>
#include <X11/keysym.h>
#endif
#include <cstdlib>

namespace pg5400 {

StartKeys ReadStartKeys() {
    StartKeys keys;
#ifdef PG_HAVE_X11
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return keys;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return keys;
    char map[32] = {};
    XQueryKeymap(dpy, map);
    auto held = [&](KeySym sym) {
        const KeyCode code = XKeysymToKeycode(dpy, sym);
        return code != 0 && (map[code / 8] & (1 << (code % 8))) != 0;
    };
    keys.space = held(XK_space);
    keys.leftShift = held(XK_Shift_L);
    XCloseDisplay(dpy);
#endif
    return keys;
}

} // namespace pg5400
