// Takes one payment end to end through the SDK, as a host application would, and tells
// each step: against the sandbox gateway it embeds (on 127.0.0.1), or against a gateway
// root given with --gateway.
//
// The demo plays the user: it reads the screen the SDK shows, taps menu entries and the
// close button, completes the web form by taking the page to its final redirect, and
// answers the wallet sheet. Time is real (3 s between status queries, 5 s before a retry)
// unless --fast lets the sandbox's waits pass on a virtual clock; network exchanges always
// run for real.

#include <charconv>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include <keln/KelnSDK.h>

#include "DemoHost.h"
#include "DemoOptions.h"
#include "Narrator.h"
#include "Routes.h"
#include "sandbox/SandboxGateway.h"

namespace {

using namespace keln;
using dispatch::MainQueue;

std::string amountText(double amount) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, amount);
  return error == std::errc() ? std::string(buffer, end) : "?";
}

// Tells each exchange the sandbox serves, with the status or checkout it answered.
void narrateExchanges(sandbox::SandboxGateway& sandbox, demo::Narrator& narrator) {
  sandbox.setObserver([&narrator](const sandbox::SandboxExchange& exchange) {
    std::string summary =
        "Gateway: " + exchange.method + " " + exchange.path + " -> " + std::to_string(exchange.status);
    const nlohmann::json reply = nlohmann::json::parse(exchange.responseBody, nullptr, false);
    if (reply.is_object() && reply.contains("paymentStatus") && reply["paymentStatus"].is_string()) {
      summary += " (" + reply["paymentStatus"].get<std::string>() + ")";
    } else if (reply.is_object() && reply.contains("transactionID") && reply["transactionID"].is_string()) {
      summary += " (checkout " + reply["transactionID"].get<std::string>() + ")";
    }
    narrator.say("gateway-exchange", summary,
                 {{"method", exchange.method}, {"path", exchange.path}, {"status", exchange.status}});
  });
}

void tellResult(const Result<TransactionResultSDK>& result, demo::Narrator& narrator) {
  if (!result.isSuccess()) {
    const std::string reason = result.error()->localizedDescription();
    narrator.say("result", "Result: error: " + reason,
                 {{"error", result.error()->description()}, {"localizedDescription", reason}});
    return;
  }
  const auto& value = result.value();
  std::string text = std::string("Result: payment ") + (value.isSuccess() ? "succeeded" : "did not succeed");
  nlohmann::json details = {{"isSuccess", value.isSuccess()}};
  if (value.transactionID()) {
    text += ", transaction " + *value.transactionID();
    details["transactionID"] = *value.transactionID();
  }
  if (value.paymentStatus()) {
    text += ", status " + rawValue(*value.paymentStatus());
    details["paymentStatus"] = rawValue(*value.paymentStatus());
  }
  narrator.say("result", text, details);
}

// Plays one payment; the process's exit code: 0 once a result arrived (whatever it is),
// 1 when the demo could not play its route.
int run(const demo::DemoOptions& options) {
  std::shared_ptr<dispatch::ManualClock> manualClock;
  if (options.fast) {
    manualClock = std::make_shared<dispatch::ManualClock>();
    MainQueue::main().setClock(manualClock);
  } else {
    MainQueue::main().setClock(std::make_shared<dispatch::SystemClock>());
  }
  demo::Narrator narrator(options.json, MainQueue::main().clock());

  std::unique_ptr<sandbox::SandboxGateway> sandbox;
  std::string root;
  if (options.gateway) {
    root = *options.gateway;
    narrator.say("gateway", "Using the gateway at " + root + " (real time)", {{"root", root}});
  } else {
    sandbox::SandboxOptions sandboxOptions;
    sandboxOptions.paymentMethods = options.methods;
    sandboxOptions.statuses = options.statuses;
    sandbox = std::make_unique<sandbox::SandboxGateway>(sandboxOptions);
    root = sandbox->root();
    narrator.say("gateway",
                 "Sandbox gateway listening on " + root + (options.fast ? " (virtual time)" : " (real time)"),
                 {{"root", root}});
    narrateExchanges(*sandbox, narrator);
  }

  demo::DemoHost host(options, root, narrator, manualClock);
  auto fail = [&](const std::string& why) {
    narrator.say("error", "Demo stopped: " + why);
    return 1;
  };
  const auto finished = [&] { return host.outcome().has_value(); };

  const std::string transactionID = "ORDER-" + std::to_string(std::time(nullptr) % 100000);
  narrator.say("start",
               "Host starts a payment: transaction " + transactionID + ", " + amountText(options.amount) + " " +
                   options.currency,
               {{"transactionID", transactionID}, {"amount", options.amount}, {"currency", options.currency}});
  host.startPayment(transactionID);

  if (!host.checkoutPresented()) {
    if (!host.waitFor(finished)) return fail("the checkout was not shown");
  } else {
    narrator.say("screen", "Checkout presented full screen; loading");
    if (!host.waitFor([&] { return host.menuShown() || host.webFormShown() || finished(); })) {
      return fail("the checkout did not open");
    }
  }
  if (!finished()) {
    if (auto failure = demo::playRoute(options.route, host, narrator)) return fail(*failure);
    if (!host.waitFor(finished)) return fail("no result arrived");
  }

  host.waitFor([&] { return !host.checkoutPresented(); });
  tellResult(*host.outcome(), narrator);
  if (!host.checkoutPresented()) narrator.say("screen", "Checkout dismissed; the host's screen is back");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const keln::demo::DemoOptions options = keln::demo::parseOptions(argc, argv);
  return run(options);
}
