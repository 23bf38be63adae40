#pragma once

#include <optional>
#include <string>

#include "DemoHost.h"
#include "DemoOptions.h"
#include "Narrator.h"

namespace keln::demo {

// Plays the user along the options' route on the checkout that `host` shows (the menu, or
// the gateway's page), until the user's last action; the result is left to arrive. On a
// gateway other than the embedded sandbox the demo does not know the form: it leaves the
// page alone. Returns why the route could not be played, or nullopt.
std::optional<std::string> playRoute(const DemoOptions& options, DemoHost& host, Narrator& narrator);

}  // namespace keln::demo
