#include "gtk-webkit/WebKitHarness.h"

namespace keln::testing {

void GtkEnvironment::SetUp() { ASSERT_TRUE(gtk_init_check()) << "no display: run under xvfb-run -a"; }

namespace {
[[maybe_unused]] ::testing::Environment* const gtkEnvironment = ::testing::AddGlobalTestEnvironment(new GtkEnvironment);
}  // namespace

}  // namespace keln::testing
