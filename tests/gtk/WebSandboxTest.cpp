// Whether WebKit's sandbox can start, told before a checkout is shown: where it cannot,
// WebKit would end the whole host process, so the payment ends with the reason instead.

#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "gtk/WebSandbox.h"

namespace keln::testing {
namespace {

// A stand-in for bubblewrap: a shell script that says `says` on its error output and exits
// with `status`.
std::filesystem::path fakeBubblewrap(const std::string& name, const std::string& says, int status) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("keln-bwrap-" + name + "-" + std::to_string(::getpid()));
  std::ofstream(path) << "#!/bin/sh\necho '" << says << "' >&2\nexit " << status << "\n";
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

TEST(WebSandbox, ReasonCarriesBubblewrapsWordsWhenItCannotStart) {
  struct Case {
    const char* name;
    std::string says;
    int status;
    bool executable;
    bool sandboxDisabled;
    std::optional<std::string> ending;  // how the reason ends; nullopt for none
  };
  const std::string namespaces =
      "bwrap: Creating new namespace failed: nesting depth or /proc/sys/user/max_*_namespaces exceeded (ENOSPC)";
  const Case cases[] = {
      {"no user namespaces", namespaces, 1, true, false, ": " + namespaces},
      {"root not a mount point", "bwrap: Failed to make / slave: Invalid argument", 1, true, false,
       ": bwrap: Failed to make / slave: Invalid argument"},
      {"fails silently", "", 1, true, false, "with / a mount point)"},
      {"starts", "", 0, true, false, std::nullopt},
      {"no bubblewrap there", namespaces, 1, false, false, std::nullopt},
      {"WebKit told to go without its sandbox", namespaces, 1, true, true, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path path = fakeBubblewrap("case", c.says, c.status);
    if (!c.executable) std::filesystem::remove(path);
    if (c.sandboxDisabled) g_setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", TRUE);
    const std::optional<std::string> reason = gtk::probeWebSandbox(path.string());
    g_unsetenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS");
    std::filesystem::remove(path);
    ASSERT_EQ(reason.has_value(), c.ending.has_value()) << reason.value_or("<none>");
    if (!reason) continue;
    EXPECT_TRUE(reason->starts_with("WebKit's sandbox cannot start here")) << *reason;
    EXPECT_TRUE(reason->ends_with(*c.ending)) << *reason;
  }
}

// The GTK tests load pages in WebKit: where they run, the sandbox starts.
TEST(WebSandbox, StartsWhereThePagesOfTheseTestsLoad) {
  EXPECT_EQ(gtk::webSandboxUnavailableReason(), std::nullopt) << *gtk::webSandboxUnavailableReason();
}

}  // namespace
}  // namespace keln::testing
