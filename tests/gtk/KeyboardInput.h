#pragma once

// Key presses as a person's keyboard makes them: through the X server's test extension, so
// that each press reaches the focused window by the display's own event path (GDK's event
// source, the window's event controllers, its key bindings and shortcuts), as a real
// keyboard's does. X11 only (the tests run under xvfb-run).

#include <gtk/gtk.h>

namespace keln::testing {

// True when presses can be made on the default display.
bool canPressKeys();

// Presses and releases the key of `keyval` (a GDK key value), holding Shift when `shift`,
// then flushes the requests to the X server. The press goes to whichever window has the
// keyboard focus. False when the display cannot make it.
bool pressKey(guint keyval, bool shift = false);

}  // namespace keln::testing
