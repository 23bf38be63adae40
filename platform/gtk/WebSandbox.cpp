#include "gtk/WebSandbox.h"

#include <glib.h>

#include <vector>

namespace keln::gtk {

std::optional<std::string> probeWebSandbox(const std::string& bubblewrapPath) {
  if (g_getenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS") != nullptr) return std::nullopt;
  if (!g_file_test(bubblewrapPath.c_str(), G_FILE_TEST_IS_EXECUTABLE)) return std::nullopt;
  std::vector<const char*> arguments{bubblewrapPath.c_str(),
                                     "--die-with-parent",
                                     "--unshare-pid",
                                     "--unshare-net",
                                     "--unshare-uts",
                                     "--ro-bind",
                                     "/",
                                     "/",
                                     "--proc",
                                     "/proc",
                                     "--dev",
                                     "/dev",
                                     "--ro-bind",
                                     "/sys/dev",
                                     "/sys/dev",
                                     "--",
                                     "true",
                                     nullptr};
  gchar* errors = nullptr;
  gint status = 0;
  GError* error = nullptr;
  const gboolean ran = g_spawn_sync(nullptr, const_cast<gchar**>(arguments.data()), nullptr, G_SPAWN_STDOUT_TO_DEV_NULL,
                                    nullptr, nullptr, nullptr, &errors, &status, &error);
  std::optional<std::string> reason;
  if (!ran) {
    // Not started at all: nothing is known about the sandbox.
    g_clear_error(&error);
  } else if (!g_spawn_check_wait_status(status, nullptr)) {
    std::string said = errors != nullptr ? g_strstrip(errors) : "";
    if (const std::size_t end = said.find('\n'); end != std::string::npos) said.resize(end);
    reason =
        "WebKit's sandbox cannot start here, so the checkout's web page cannot be shown (it needs bubblewrap "
        "and unprivileged user namespaces, or root, with / a mount point)" +
        (said.empty() ? std::string() : ": " + said);
  }
  g_free(errors);
  return reason;
}

const std::optional<std::string>& webSandboxUnavailableReason() {
  static const std::optional<std::string> reason = probeWebSandbox();
  return reason;
}

}  // namespace keln::gtk
