#include "gtk/KeyboardInput.h"

// After GTK: the X11 headers define macros (None, Status, Bool) that GTK's headers use as
// names.
#include <gdk/x11/gdkx.h>

#include <X11/extensions/XTest.h>

namespace keln::testing {
namespace {

Display* testDisplay() {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return nullptr;
  Display* x = gdk_x11_display_get_xdisplay(display);
  int eventBase = 0;
  int errorBase = 0;
  int major = 0;
  int minor = 0;
  return XTestQueryExtension(x, &eventBase, &errorBase, &major, &minor) ? x : nullptr;
}

}  // namespace

bool canPressKeys() { return testDisplay() != nullptr; }

bool pressKey(guint keyval, bool shift) {
  Display* x = testDisplay();
  if (x == nullptr) return false;
  const KeyCode key = XKeysymToKeycode(x, keyval);  // GDK's key values are X's key symbols
  const KeyCode shiftKey = XKeysymToKeycode(x, XK_Shift_L);
  if (key == 0 || (shift && shiftKey == 0)) return false;
  if (shift) XTestFakeKeyEvent(x, shiftKey, True, CurrentTime);
  XTestFakeKeyEvent(x, key, True, CurrentTime);
  XTestFakeKeyEvent(x, key, False, CurrentTime);
  if (shift) XTestFakeKeyEvent(x, shiftKey, False, CurrentTime);
  XFlush(x);
  return true;
}

}  // namespace keln::testing
