// The checkout in its GTK window with WebKit showing the web form, as a GTK host opens it,
// against a local gateway over loopback that answers the checkout request after 250 ms.
// Needs a display: run it under `xvfb-run -a`.
//
// The gateway runs in a process of its own, started before anything else, so that its
// threads take nothing from the measuring process.
//
// BM_StartPaymentToFormPageLoaded: from startPayment() to the gateway's form page loaded in
// the checkout's window (the checkout fetched, the checkout page loaded and posted, the
// form page loaded). The first payment of the process is reported apart (first_ms), with
// the memory in use while its form is shown.
// BM_BareViewLoadsTheFormPage: the same checkout page (filled as the SDK fills it) loaded
// by a bare WebKitGTK view in a window of its own, whose processes already run, until the
// same form page has loaded: what WebKit alone needs.
// At the end: the payment's median against 250 ms plus the bare view's median.
//
// BM_CheckoutClosedBeforeItsReply (run it alone, --benchmark_filter=ClosedBefore): a
// checkout closed before the gateway answered, so no page ever loads; the memory then in
// use, one second after the payment ended.
//
// Memory: RSS and PSS (from /proc/PID/smaps_rollup) of this process and of WebKit's
// processes below it, in kB. The SDK's log lines are captured rather than written.

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <keln/gtk/WindowViewController.h>
#include <webkit/webkit.h>
#include <nlohmann/json.hpp>

#include <keln/foundation/JSONCoding.h>

#include "core/SDKConfigFactory.h"
#include "core/flow/HTMLTemplate.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "model/CheckoutResponseDTO.h"
#include "sdk/SDKAccess.h"
#include "support/GatewayFormPage.h"
#include "support/GtkTestSupport.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace {

using Clock = std::chrono::steady_clock;
using keln::testing::findOfType;
using keln::testing::GatewayReply;
using keln::testing::iterateUntil;
using keln::testing::LocalGateway;
using keln::testing::RecordedRequest;

constexpr auto kCheckoutDelay = std::chrono::milliseconds(250);
// The longest a step may take before the run is given up.
constexpr auto kStepLimit = std::chrono::seconds(30);
constexpr const char* kRedirectURL = "keln://transfer/success";

// The gateway's root, served by the child process.
std::string gatewayRoot;

// Milliseconds of each measured iteration, for the summary at the end.
std::vector<double> paymentTimes;
std::vector<double> bareTimes;

nlohmann::json checkoutReply() {
  nlohmann::json reply = nlohmann::json::parse(keln::samples::kCheckoutReply);
  reply["paymentMethodList"] = {"CARD", "BLIK"};
  return reply;
}

// Starts the gateway in a child process and returns its pid; its root goes to
// gatewayRoot. Called first in main(), while this process has a single thread.
pid_t startGatewayProcess() {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    {
      LocalGateway gateway;
      gateway.setResponder([](const RecordedRequest& request) {
        if (request.method == "POST" && request.path == "/api/v1/payments") {
          GatewayReply reply = keln::testing::closingConnection(GatewayReply::json(200, checkoutReply().dump()));
          reply.delay = kCheckoutDelay;
          return reply;
        }
        return keln::testing::formPageReply(request);
      });
      const std::string root = gateway.url() + "\n";
      if (write(fds[1], root.data(), root.size()) != static_cast<ssize_t>(root.size())) _exit(1);
      close(fds[1]);
      // Serves until the parent ends it, or ends itself.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() == 1) _exit(0);
      for (;;) pause();
    }
  }
  close(fds[1]);
  char buffer[128] = {};
  const ssize_t got = child > 0 ? read(fds[0], buffer, sizeof buffer - 1) : -1;
  close(fds[0]);
  if (got > 0) gatewayRoot.assign(buffer, static_cast<std::size_t>(got) - 1);
  return child;
}

// The form page has loaded in `view`.
bool formLoaded(GtkWidget* view) {
  if (view == nullptr) return false;
  const char* uri = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(view));
  return uri != nullptr && gatewayRoot + "/" == uri && !webkit_web_view_is_loading(WEBKIT_WEB_VIEW(view));
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
  double webRSS = 0, webPSS = 0, networkRSS = 0, networkPSS = 0, webProcesses = 0;
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
      ++webProcesses;
    } else if (name.rfind("WebKitNetworkPr", 0) == 0) {
      networkRSS += rss;
      networkPSS += pss;
    }
  }
  if (proc != nullptr) closedir(proc);
  state.counters["web_processes"] = webProcesses;
  state.counters["web_rss_kB"] = webRSS;
  state.counters["web_pss_kB"] = webPSS;
  state.counters["network_rss_kB"] = networkRSS;
  state.counters["network_pss_kB"] = networkPSS;
}

bool startGtk(benchmark::State& state) {
  g_setenv("NO_AT_BRIDGE", "1", FALSE);
  g_setenv("GTK_A11Y", "none", FALSE);
  if (gatewayRoot.empty()) {
    state.SkipWithError("the gateway's process did not start");
    return false;
  }
  if (!keln::gtk::initialize()) {
    state.SkipWithError("no display: run under xvfb-run -a");
    return false;
  }
  return true;
}

// A GTK host: its window, its view controller and the SDK on the gateway.
struct Host {
  Host()
      : window(GTK_WINDOW(gtk_window_new())),
        controller((gtk_window_set_default_size(window, 390, 700), gtk_window_present(window),
                    keln::gtk::WindowViewController::make(window))),
        sdk(keln::SDKAccess::make(keln::SDKConfigFactory::withRoot(gatewayRoot, "bench-client", "bench-token"))) {}
  ~Host() {
    sdk.reset();
    controller.reset();
    gtk_window_destroy(window);
  }

  GtkWidget* pageView() const {
    GtkWindow* shown = controller->presentedWindow();
    return shown != nullptr ? findOfType(GTK_WIDGET(shown), WEBKIT_TYPE_WEB_VIEW) : nullptr;
  }

  void startPayment(bool& ended) {
    const keln::TransactionParamsSDK params(
        1234, "Shop order", "order-bench", "Two coffees", 149.99, "PLN", {keln::PaymentMethod::card}, "Jane Doe",
        "jane@example.com", "https://shop.example/cart", std::nullopt, std::nullopt, std::nullopt, std::nullopt);
    sdk->startPayment(controller, params, [&ended](keln::Result<keln::TransactionResultSDK>) { ended = true; });
  }

  GtkWindow* window;
  std::shared_ptr<keln::gtk::WindowViewController> controller;
  std::unique_ptr<keln::SDK> sdk;
};

void BM_StartPaymentToFormPageLoaded(benchmark::State& state) {
  if (!startGtk(state)) return;
  keln::foundation::ScopedLogCapture capture;
  Host host;
  bool first = true;
  for (auto _ : state) {
    bool ended = false;
    const auto start = Clock::now();
    host.startPayment(ended);
    if (!iterateUntil([&] { return formLoaded(host.pageView()); }, kStepLimit)) {
      state.SkipWithError("the form page never loaded");
      break;
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    state.SetIterationTime(elapsed.count());
    if (first) {
      state.counters["first_ms"] = elapsed.count() * 1000;
      recordMemory(state);
      first = false;
    } else {
      paymentTimes.push_back(elapsed.count() * 1000);
    }
    gtk_window_close(host.controller->presentedWindow());
    if (!iterateUntil([&] { return ended; }, kStepLimit)) {
      state.SkipWithError("the closed checkout never ended");
      break;
    }
    capture.clear();
  }
}
BENCHMARK(BM_StartPaymentToFormPageLoaded)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(11);

// The checkout page as the SDK fills it for the gateway's checkout reply.
std::string checkoutPage() {
  const std::optional<std::filesystem::path> url = keln::foundation::Bundle::module().url("payment_template", "html");
  keln::HTMLTemplate page(keln::foundation::Bundle::readText(url.value_or("")).value_or(""));
  const std::optional<keln::CheckoutResponse> checkout =
      keln::foundation::JSONDecoder().decode<keln::CheckoutResponseDTO>(checkoutReply().dump()).parse();
  if (checkout) page.fill(*checkout, gatewayRoot, kRedirectURL);
  return page.description();
}

void BM_BareViewLoadsTheFormPage(benchmark::State& state) {
  if (!startGtk(state)) return;
  const std::string page = checkoutPage();
  GtkWindow* window = GTK_WINDOW(gtk_window_new());
  gtk_window_set_default_size(window, 390, 700);
  GtkWidget* view = GTK_WIDGET(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", webkit_network_session_new_ephemeral(), nullptr));
  gtk_window_set_child(window, view);
  gtk_window_present(window);
  int finished = 0;
  g_signal_connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, int* count) {
                     if (event == WEBKIT_LOAD_FINISHED) ++*count;
                   }),
                   &finished);
  // The checkout page, then the form page it posts to.
  auto load = [&] {
    finished = 0;
    webkit_web_view_load_html(WEBKIT_WEB_VIEW(view), page.c_str(), "about:blank");
    return iterateUntil([&] { return finished >= 2 && formLoaded(view); }, kStepLimit);
  };
  // Once unmeasured: WebKit's processes start.
  if (!load()) state.SkipWithError("the form page never loaded");
  for (auto _ : state) {
    const auto start = Clock::now();
    if (!load()) {
      state.SkipWithError("the form page never loaded");
      break;
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    state.SetIterationTime(elapsed.count());
    bareTimes.push_back(elapsed.count() * 1000);
  }
  gtk_window_destroy(window);
}
BENCHMARK(BM_BareViewLoadsTheFormPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_CheckoutClosedBeforeItsReply(benchmark::State& state) {
  if (!startGtk(state)) return;
  keln::foundation::ScopedLogCapture capture;
  Host host;
  for (auto _ : state) {
    bool ended = false;
    host.startPayment(ended);
    if (!iterateUntil([&] { return host.controller->presentedWindow() != nullptr; }, kStepLimit)) {
      state.SkipWithError("the checkout never opened");
      break;
    }
    gtk_window_close(host.controller->presentedWindow());
    if (!iterateUntil([&] { return ended; }, kStepLimit)) {
      state.SkipWithError("the closed checkout never ended");
      break;
    }
  }
  iterateUntil([] { return false; }, std::chrono::seconds(1));
  recordMemory(state);
}
BENCHMARK(BM_CheckoutClosedBeforeItsReply)->Unit(benchmark::kMillisecond)->Iterations(1);

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const pid_t gateway = startGatewayProcess();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!paymentTimes.empty() && !bareTimes.empty()) {
    const double payment = median(paymentTimes);
    const double bare = median(bareTimes);
    const double reference = static_cast<double>(kCheckoutDelay.count()) + bare;
    std::printf(
        "startPayment to form page (median of %zu after the first): %.1f ms; 250 ms + bare view (median %.1f ms) = "
        "%.1f ms; ratio %.3f (limit 1.10)\n",
        paymentTimes.size(), payment, bare, reference, payment / reference);
  }
  if (gateway > 0) {
    kill(gateway, SIGTERM);
    waitpid(gateway, nullptr, 0);
  }
  return 0;
}
