#include "gtk/DesktopURLOpener.h"

#include <gio/gio.h>

#include <keln/uikit/Application.h>

#include "foundation/Log.h"

namespace keln::gtk {

bool openWithDesktopHandler(const std::string& url) {
  if (!uikit::Application::defaultOpenerAccepts(url)) return false;
  GError* error = nullptr;
  const bool opened = g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error);
  if (error != nullptr) {
    foundation::systemLog(std::string("No application opened a link: ") + error->message);
    g_error_free(error);
  }
  return opened;
}

void installDesktopURLOpener() { uikit::Application::shared().setURLOpener(openWithDesktopHandler); }

}  // namespace keln::gtk
