#pragma once

#include <string>

namespace keln::gtk {

// Opens a link with the desktop's default handler for its scheme. Only the links that
// the application's default opener accepts (http, https and mailto, visible ASCII) are
// handed on; anything else (javascript:, file:, data:, the app's own schemes) opens
// nothing. True when the handler was started. Main thread.
bool openWithDesktopHandler(const std::string& url);

// Makes the application's URL opener use openWithDesktopHandler(). Main thread.
void installDesktopURLOpener();

}  // namespace keln::gtk
