#include "gtk-webkit/WebKitHarness.h"

namespace keln::testing {

void GtkEnvironment::SetUp() {
#if defined(__SANITIZE_ADDRESS__)
  // A window drawn with Mesa's GL driver under the sanitizer can stall, and the driver
  // leaves allocations LeakSanitizer cannot attribute: GTK draws without GL.
  g_setenv("GDK_DEBUG", "gl-disable", FALSE);
#endif
  ASSERT_TRUE(gtk_init_check()) << "no display: run under xvfb-run -a";
}

namespace {
[[maybe_unused]] ::testing::Environment* const gtkEnvironment = ::testing::AddGlobalTestEnvironment(new GtkEnvironment);
}  // namespace

}  // namespace keln::testing
