// Takes one payment end to end through the SDK, as a GTK host application would, and tells
// each step: against the sandbox gateway it embeds (on 127.0.0.1), or against a gateway
// root given with --gateway.
//
// A host window shows the order and a Pay button; the checkout opens from it in its own
// window, with the gateway's web form in WebKit. A person pays by hand, or with --auto the
// demo plays the user: it clicks the widgets the checkout names, clicks in the sandbox's
// form through the page's DOM, and answers the wallet sheet. Each screen is saved as a
// PNG. Time is real (3 s between status queries, 5 s before a retry) unless --fast skips
// those waits: every time printed is then real time plus the waits skipped, so the times
// still add up; network exchanges and WebKit always run for real.

#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include <keln/KelnSDK.h>

#include <keln/gtk/WindowViewController.h>

#include "DemoHost.h"
#include "DemoOptions.h"
#include "Narrator.h"
#include "OutputCapture.h"
#include "Routes.h"
#include "sandbox/SandboxGateway.h"

namespace {

using namespace keln;
using dispatch::MainQueue;

using namespace std::chrono_literals;

// How long the demo waits for a gateway it does not know to end the payment by itself.
constexpr auto kUnknownGatewayLimit = 120s;
// How long a person may take; the demo then gives up.
constexpr auto kPersonLimit = std::chrono::duration_cast<std::chrono::seconds>(24h);

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

std::string snapshotFolder(const demo::DemoOptions& options) {
  if (options.snapshots) {
    g_mkdir_with_parents(options.snapshots->c_str(), 0755);
    return *options.snapshots;
  }
  GError* error = nullptr;
  char* folder = g_dir_make_tmp("keln-demo-XXXXXX", &error);
  g_clear_error(&error);
  std::string path = folder != nullptr ? folder : g_get_tmp_dir();
  g_free(folder);
  return path;
}

// Plays one payment; the process's exit code: 0 once a result arrived (whatever it is),
// 1 when the demo could not play its route.
int run(const demo::DemoOptions& options) {
  std::shared_ptr<demo::FastClock> fastClock;
  if (options.fast) {
    fastClock = std::make_shared<demo::FastClock>();
    MainQueue::main().setClock(fastClock);
  } else {
    MainQueue::main().setClock(std::make_shared<dispatch::SystemClock>());
  }
  // With --json, standard output carries our events only: the SDK's own lines become
  // events too.
  std::optional<demo::OutputCapture> capture;
  if (options.json) capture.emplace();
  demo::Narrator narrator(options.json, MainQueue::main().clock(), capture ? capture->output() : stdout);
  if (capture) capture->start([&narrator](const std::string& line) { narrator.say("sdk-output", line); });
  // The capture's last lines reach the narrator before it goes.
  struct EndCapture {
    std::optional<demo::OutputCapture>& capture;
    ~EndCapture() { capture.reset(); }
  } endCapture{capture};
  auto fail = [&](const std::string& why) {
    narrator.say("error", "Demo stopped: " + why);
    return 1;
  };

  // No session or accessibility bus on a virtual display: GTK need not look for them.
  g_setenv("NO_AT_BRIDGE", "1", FALSE);
  g_setenv("GTK_A11Y", "none", FALSE);
  if (!gtk::initialize()) {
    return fail("no display could be opened (scripts/demo runs the demo on a virtual display when there is none)");
  }

  std::unique_ptr<sandbox::SandboxGateway> sandbox;
  std::string root;
  if (options.gateway) {
    root = *options.gateway;
    narrator.say("gateway", "Using the gateway at " + root + " (real time)", {{"root", root}});
  } else {
    sandbox::SandboxOptions sandboxOptions;
    sandboxOptions.paymentMethods = options.methods;
    if (options.statuses) sandboxOptions.statuses = sandboxOptions.statusesAfterPay = *options.statuses;
    sandbox = std::make_unique<sandbox::SandboxGateway>(sandboxOptions);
    root = sandbox->root();
    narrator.say(
        "gateway",
        "Sandbox gateway listening on " + root + (options.fast ? " (the SDK's waits skipped)" : " (real time)"),
        {{"root", root}});
    narrateExchanges(*sandbox, narrator);
  }

  const std::string folder = snapshotFolder(options);
  narrator.say("snapshots", "Pictures of the screens go to " + folder, {{"folder", folder}});
  demo::DemoHost host(options, root, folder, narrator, fastClock);
  const auto finished = [&] { return host.outcome().has_value(); };
  const auto person = options.autoPlay ? 60s : kPersonLimit;

  host.show("ORDER-" + std::to_string(std::time(nullptr) % 100000));
  if (options.autoPlay) {
    if (!host.clickPay()) return fail("the host's Pay button is not on screen");
  } else {
    narrator.say("wait", "Click Pay in the host's window to start the payment");
    if (!host.waitFor([&] { return host.paymentStarted(); }, kPersonLimit)) {
      return fail("the host's window was closed before the payment started");
    }
  }
  if (!host.waitFor([&] { return host.menuShown() || host.gatewayPageShown() || finished(); }, person)) {
    return fail(host.paymentStarted() ? "the checkout did not open" : "the payment did not start");
  }
  if (!finished()) {
    if (options.autoPlay) {
      if (auto failure = demo::playRoute(options, host, narrator)) return fail(*failure);
    } else {
      narrator.say("wait", "Pay in the checkout's window, or close it to cancel");
    }
    auto limit = person;
    if (options.autoPlay && options.gateway) {
      limit = kUnknownGatewayLimit;
      narrator.say("wait", "Waiting at most " + std::to_string(limit.count()) + " s for the result",
                   {{"limit", limit.count()}});
    }
    if (!host.waitFor(finished, limit)) {
      return fail(options.gateway && options.autoPlay
                      ? "no result within " + std::to_string(limit.count()) +
                            " s: the gateway's page did not reach the redirect by itself"
                      : "no result arrived");
    }
  }

  host.waitFor([&] { return !host.checkoutOpen(); }, 10s);
  host.snapshot("back-at-host");
  tellResult(*host.outcome(), narrator);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const keln::demo::DemoOptions options = keln::demo::parseOptions(argc, argv);
  return run(options);
}
