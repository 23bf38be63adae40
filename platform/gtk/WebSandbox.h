#pragma once

#include <optional>
#include <string>

namespace keln::gtk {

// Where WebKitGTK's bubblewrap lives on the systems we build for.
inline constexpr const char* kBubblewrapPath = "/usr/bin/bwrap";

// Whether bubblewrap at `bubblewrapPath` can start a sandbox of the kind WebKit starts for
// each web page (new PID, network and UTS namespaces, its own /proc and /dev, /sys/dev
// bound in). When it cannot, WebKit ends the whole process as soon as a page is to load, so
// the checkout must not be shown: the answer is why not, ending with bubblewrap's own
// words. nullopt when it can, or when this cannot be known: no bubblewrap there, or WebKit
// told to go without its sandbox (WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS). Runs
// bubblewrap once, waiting for it (a few milliseconds).
std::optional<std::string> probeWebSandbox(const std::string& bubblewrapPath = kBubblewrapPath);

// probeWebSandbox() with the system's bubblewrap, asked once per process; main thread.
const std::optional<std::string>& webSandboxUnavailableReason();

}  // namespace keln::gtk
