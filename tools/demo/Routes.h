#pragma once

#include <optional>
#include <string>

#include "DemoHost.h"
#include "DemoOptions.h"
#include "Narrator.h"

namespace keln::demo {

// Plays the user along `route` on the checkout that `host` has shown (a menu or the web
// form), until the user's last action; the result is left to arrive. Returns why the route
// could not be played, or nullopt.
std::optional<std::string> playRoute(Route route, DemoHost& host, Narrator& narrator);

}  // namespace keln::demo
