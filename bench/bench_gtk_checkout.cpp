// The checkout in its GTK window with WebKit showing the web form, as a GTK host opens it,
// on a local gateway over loopback. Needs a display: run it under `xvfb-run -a`.
//
// Time: from startPayment() to the gateway's form page loaded in the window (the checkout
// fetched, the checkout page loaded and posted, the form page loaded). The first payment
// of the process also starts WebKit's own processes; it is reported apart (first_ms).
// Memory, with the first checkout open: RSS and PSS (from /proc/PID/smaps_rollup) of this
// process and of WebKit's processes below it, in kB.
//
// The SDK's log lines are captured rather than written.

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include <keln/gtk/WindowViewController.h>
#include <webkit/webkit.h>
#include <nlohmann/json.hpp>

#include "core/SDKAccess.h"
#include "core/SDKConfigFactory.h"
#include "foundation/Log.h"
#include "support/GatewayFormPage.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace {

using Clock = std::chrono::steady_clock;
using keln::testing::GatewayReply;
using keln::testing::LocalGateway;
using keln::testing::RecordedRequest;

GtkWidget* findOfType(GtkWidget* root, GType type) {
  if (root == nullptr) return nullptr;
  if (G_TYPE_CHECK_INSTANCE_TYPE(root, type)) return root;
  for (GtkWidget* child = gtk_widget_get_first_child(root); child != nullptr;
       child = gtk_widget_get_next_sibling(child)) {
    if (GtkWidget* found = findOfType(child, type)) return found;
  }
  return nullptr;
}

// Iterates GLib's default context (which runs the SDK's main queue) until `done`; false
// after 30 s.
bool iterateUntil(const std::function<bool()>& done) {
  const auto giveUp = Clock::now() + std::chrono::seconds(30);
  const guint tick = g_timeout_add(
      10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  bool reached = false;
  while (!(reached = done()) && Clock::now() < giveUp) g_main_context_iteration(nullptr, TRUE);
  g_source_remove(tick);
  return reached;
}

// A number field ("Rss:", "Pss:", "PPid:") of a /proc file; 0 when absent.
long procField(const std::string& path, const std::string& key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
  }
  return 0;
}

bool descendsFrom(long pid, long ancestor) {
  for (int depth = 0; depth < 8 && pid > 1; ++depth) {
    pid = procField("/proc/" + std::to_string(pid) + "/status", "PPid:");
    if (pid == ancestor) return true;
  }
  return false;
}

void recordMemory(benchmark::State& state) {
  const std::string self = "/proc/self/smaps_rollup";
  state.counters["self_rss_kB"] = static_cast<double>(procField(self, "Rss:"));
  state.counters["self_pss_kB"] = static_cast<double>(procField(self, "Pss:"));
  double webRSS = 0, webPSS = 0, networkRSS = 0, networkPSS = 0;
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
    const long pid = std::strtol(entry->d_name, nullptr, 10);
    if (pid <= 0 || !descendsFrom(pid, getpid())) continue;
    const std::string dir = "/proc/" + std::to_string(pid);
    std::string name;
    std::getline(std::ifstream(dir + "/comm"), name);
    const double rss = static_cast<double>(procField(dir + "/smaps_rollup", "Rss:"));
    const double pss = static_cast<double>(procField(dir + "/smaps_rollup", "Pss:"));
    if (name.rfind("WebKitWebProces", 0) == 0) {
      webRSS += rss;
      webPSS += pss;
    } else if (name.rfind("WebKitNetworkPr", 0) == 0) {
      networkRSS += rss;
      networkPSS += pss;
    }
  }
  if (proc != nullptr) closedir(proc);
  state.counters["web_rss_kB"] = webRSS;
  state.counters["web_pss_kB"] = webPSS;
  state.counters["network_rss_kB"] = networkRSS;
  state.counters["network_pss_kB"] = networkPSS;
}

void BM_StartPaymentToFormPageLoaded(benchmark::State& state) {
  g_setenv("NO_AT_BRIDGE", "1", FALSE);
  g_setenv("GTK_A11Y", "none", FALSE);
  if (!keln::gtk::initialize()) {
    state.SkipWithError("no display: run under xvfb-run -a");
    return;
  }
  keln::foundation::ScopedLogCapture capture;
  LocalGateway gateway;
  gateway.setResponder([](const RecordedRequest& request) {
    if (request.method == "POST" && request.path == "/api/v1/payments") {
      nlohmann::json reply = nlohmann::json::parse(keln::samples::kCheckoutReply);
      reply["paymentMethodList"] = {"CARD", "BLIK"};
      return keln::testing::closingConnection(GatewayReply::json(200, reply.dump()));
    }
    return keln::testing::formPageReply(request);
  });
  const std::string formURL = gateway.url() + "/";
  auto sdk = keln::SDKAccess::make(keln::SDKConfigFactory::withRoot(gateway.url(), "bench-client", "bench-token"));
  GtkWindow* hostWindow = GTK_WINDOW(gtk_window_new());
  gtk_window_set_default_size(hostWindow, 390, 700);
  gtk_window_present(hostWindow);
  auto host = keln::gtk::WindowViewController::make(hostWindow);
  const keln::TransactionParamsSDK params(
      1234, "Shop order", "order-bench", "Two coffees", 149.99, "PLN", {keln::PaymentMethod::card}, "Jane Doe",
      "jane@example.com", "https://shop.example/cart", std::nullopt, std::nullopt, std::nullopt, std::nullopt);
  auto formLoaded = [&] {
    GtkWindow* window = host->presentedWindow();
    GtkWidget* view = window != nullptr ? findOfType(GTK_WIDGET(window), WEBKIT_TYPE_WEB_VIEW) : nullptr;
    const char* uri = view != nullptr ? webkit_web_view_get_uri(WEBKIT_WEB_VIEW(view)) : nullptr;
    return uri != nullptr && formURL == uri && !webkit_web_view_is_loading(WEBKIT_WEB_VIEW(view));
  };

  bool first = true;
  for (auto _ : state) {
    bool ended = false;
    const auto start = Clock::now();
    sdk->startPayment(host, params, [&ended](keln::Result<keln::TransactionResultSDK>) { ended = true; });
    if (!iterateUntil(formLoaded)) {
      state.SkipWithError("the form page never loaded");
      break;
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    state.SetIterationTime(elapsed.count());
    if (first) {
      state.counters["first_ms"] = elapsed.count() * 1000;
      recordMemory(state);
      first = false;
    }
    gtk_window_close(host->presentedWindow());
    if (!iterateUntil([&] { return ended; })) {
      state.SkipWithError("the closed checkout never ended");
      break;
    }
    capture.clear();
  }
  sdk.reset();
  host.reset();
  gtk_window_destroy(hostWindow);
}
BENCHMARK(BM_StartPaymentToFormPageLoaded)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
