#pragma once

#include <optional>
#include <string>
#include <vector>

namespace keln::demo {

// What the user does on the checkout.
enum class Route { web, menuWeb, decline, wallet, walletCancel, close };

// The demo's command line.
struct DemoOptions {
  Route route = Route::web;
  std::vector<std::string> methods;  // the methods the sandbox lists
  // What the sandbox answers after Pay on its form, and for a transaction whose form never
  // opened; none keeps the sandbox's own answers.
  std::optional<std::vector<std::string>> statuses;
  double amount = 149.99;
  std::string currency = "PLN";
  std::optional<std::string> gateway;  // a gateway root instead of the embedded sandbox
  std::string clientId = "demo-client";
  std::string token = "demo-token";
  bool json = false;
  bool fast = false;                     // the SDK's waits skipped
  bool autoPlay = false;                 // the demo plays the user instead of waiting for a person
  std::optional<std::string> snapshots;  // where the screens' pictures go; a new temporary folder when unset
};

// Reads the command line. Prints the usage and exits the process: with 0 for --help, with
// 2 for an unknown option or route, a missing value, a malformed number, or --fast with
// --gateway (a real gateway always sees real time).
DemoOptions parseOptions(int argc, char** argv);

}  // namespace keln::demo
