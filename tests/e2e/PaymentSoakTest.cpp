// A thousand payments through one SDK in one process, by every route a user takes: the web
// form with status polling, the menu into the web form, the wallet sheet authorized or
// closed, and the close button. Every payment ends with its one result, and what a
// payment builds is given back: the live heap does not grow from one payment to the next.

#include <gtest/gtest.h>

#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "e2e/EndToEndHarness.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
// Exported by the sanitizer runtime: the bytes allocated and not yet freed.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace keln::testing {
namespace {

// The bytes the allocator has handed out and not taken back: glibc's in every arena and in
// blocks of their own, or the address sanitizer's, which replaces it. Unlike resident
// memory, this sees a few bytes kept per payment.
std::size_t liveHeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
// glibc's per-thread caches hold freed blocks that the statistics count as in use: a few
// kilobytes that come and go with each thread's traffic. Without them the count is exact.
// Tunables are read when a program starts, hence a child process.
constexpr const char* kNoThreadCaches = "glibc.malloc.tcache_count=0";

bool threadCachesOff() {
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  return tunables != nullptr && std::strstr(tunables, kNoThreadCaches) != nullptr;
}

// Runs the current test again in a child process without thread caches, its output going
// where this process's goes; the child's exit status, or -1 when it could not run.
int rerunWithoutThreadCaches() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  std::string program = "/proc/self/exe";
  const char* existing = std::getenv("GLIBC_TUNABLES");
  std::string tunables =
      std::string("GLIBC_TUNABLES=") + (existing ? std::string(existing) + ":" : "") + kNoThreadCaches;

  std::vector<char*> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "GLIBC_TUNABLES=", 15) != 0) environment.push_back(*entry);
  }
  environment.push_back(tunables.data());
  environment.push_back(nullptr);
  char* arguments[] = {program.data(), filter.data(), nullptr};

  std::fflush(stdout);
  pid_t child = 0;
  if (::posix_spawn(&child, program.c_str(), nullptr, nullptr, arguments, environment.data()) != 0) return -1;
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
#endif

class PaymentSoakTest : public EndToEndTest {
 protected:
  // One way through a checkout: the methods the gateway offers, what the user does once
  // the first screen shows, whether the payment ends paid, and the requests it makes.
  struct Route {
    const char* name;
    bool offersWallet;
    std::function<void(PaymentSoakTest&, HostScreen&, passkit::Wallet&)> act;
    bool paid;
    std::size_t requests;
  };

  static std::vector<Route> routes() {
    return {
        {"web form, one pending status", false,
         [](PaymentSoakTest&, HostScreen& host, passkit::Wallet&) {
           ASSERT_TRUE(host.webFormShown());
           host.completeWebForm();
         },
         true, 3},
        {"menu, web form", true,
         [](PaymentSoakTest& test, HostScreen& host, passkit::Wallet&) {
           ASSERT_TRUE(host.tapMenuItem(PaymentViewController::OTHER_METHOD_POSITION));
           ASSERT_TRUE(test.drive([&] { return host.webFormShown(); }));
           host.completeWebForm();
         },
         true, 3},
        {"wallet authorized", true,
         [](PaymentSoakTest&, HostScreen& host, passkit::Wallet& wallet) {
           wallet.setUserAction(passkit::Wallet::UserAction::authorize(R"({"version":"EC_v1","data":"soak"})"));
           ASSERT_TRUE(host.tapMenuItem(PaymentViewController::APPLE_PAY_POSITION));
         },
         true, 1},
        {"wallet sheet closed, then the checkout", true,
         [](PaymentSoakTest& test, HostScreen& host, passkit::Wallet& wallet) {
           wallet.setUserAction(passkit::Wallet::UserAction::cancel());
           ASSERT_TRUE(host.tapMenuItem(PaymentViewController::APPLE_PAY_POSITION));
           ASSERT_TRUE(test.drive([&] { return !wallet.isSheetOnScreen() && host.menuShown(); }));
           host.tapLeftButton();
         },
         false, 1},
        {"checkout closed on the menu", true,
         [](PaymentSoakTest&, HostScreen& host, passkit::Wallet&) { host.tapLeftButton(); }, false, 1},
    };
  }
};

TEST_F(PaymentSoakTest, AThousandPaymentsKeepTheHeapFlat) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a thousand payments are too slow under the thread sanitizer, and its allocator is not counted";
#elif !defined(__SANITIZE_ADDRESS__)
  if (!threadCachesOff()) {
    EXPECT_EQ(rerunWithoutThreadCaches(), 0) << "the soak run without thread caches failed";
    return;
  }
#endif
  constexpr int kWarmUp = 100;
  constexpr int kPayments = 1000;
  // A few kilobytes of slack for the allocator's own bookkeeping: under 10 bytes per payment
  // over half the run.
  constexpr double kAllowedGrowthBytes = 4096;

  std::mutex mutex;
  bool offersWallet = false;    // guarded by mutex
  int statusesThisPayment = 0;  // guarded by mutex
  LocalGateway gateway;
  gateway.setResponder([&](const RecordedRequest& request) {
    std::lock_guard lock(mutex);
    if (request.method == "POST") {
      statusesThisPayment = 0;
      return GatewayReply::json(200, checkoutReply(offersWallet ? std::vector<std::string>{"CARD", "XPAY", "BLIK"}
                                                                : std::vector<std::string>{"CARD", "BLIK"}));
    }
    return GatewayReply::json(200, statusReply(++statusesThisPayment < 2 ? "Pending" : "Success"));
  });
  auto wallet = installWallet();
  auto sdk = makeSDK(gateway.url());
  HostScreen host;
  const std::vector<Route> all = routes();

  auto pay = [&](int i) {
    const Route& route = all[static_cast<std::size_t>(i) % all.size()];
    SCOPED_TRACE(std::string(route.name) + ", payment " + std::to_string(i));
    {
      std::lock_guard lock(mutex);
      offersWallet = route.offersWallet;
    }
    wallet->setUserAction(std::nullopt);
    PaymentProbe probe;
    sdk->startPayment(host.controller(), paymentParams("order-" + std::to_string(i)), probe.completion());
    ASSERT_TRUE(drive([&] { return host.menuShown() || host.webFormShown() || probe.called(); }));
    route.act(*this, host, *wallet);
    if (HasFatalFailure()) return;
    // Virtual time moves on by whole polling intervals.
    ASSERT_TRUE(drive([&] { return probe.called() && !host.presentsAnything(); }, std::chrono::seconds(3)));
    runPending();

    ASSERT_EQ(probe.count(), 1u);
    if (route.paid) {
      ASSERT_TRUE(probe.result().isSuccess()) << describe(probe.result());
      EXPECT_TRUE(probe.result().value().isSuccess());
      EXPECT_EQ(probe.result().value().transactionID(), kCheckoutID);
    } else {
      expectSDKError(probe.result(), KelnSDKError::Kind::canceledByUser);
    }
    EXPECT_EQ(gateway.requestCount(), route.requests);
    gateway.clearRequests();
    checkAndClearLog();
  };

  // Each figure is the least of several samples taken between payments: what a payment
  // still holds while its session winds down (and the gateway's threads) comes and goes,
  // and only what stays counts. A leak grows the heap in both halves of the run; a cache
  // or pool that settles once under load grows one.
  constexpr int kSamples = 20;
  constexpr int kMiddle = (kWarmUp + kPayments) / 2;
  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  std::size_t warm = kNone;
  std::size_t middle = kNone;
  std::size_t end = kNone;
  for (int i = 0; i < kPayments && !HasFatalFailure(); ++i) {
    pay(i);
    if (i >= kWarmUp && i < kWarmUp + kSamples) warm = std::min(warm, liveHeapBytes());
    if (i >= kMiddle - kSamples && i < kMiddle) middle = std::min(middle, liveHeapBytes());
    if (i >= kPayments - kSamples) end = std::min(end, liveHeapBytes());
  }
  ASSERT_FALSE(HasFatalFailure());

  const double firstHalf = static_cast<double>(middle) - static_cast<double>(warm);
  const double secondHalf = static_cast<double>(end) - static_cast<double>(middle);
  const double steadyGrowth = std::min(firstHalf, secondHalf);
  std::printf("live heap after %d payments: %zu bytes; after %d: %zu (%+.0f); after %d: %zu (%+.0f)\n", kWarmUp, warm,
              kMiddle, middle, firstHalf, kPayments, end, secondHalf);
  EXPECT_LT(steadyGrowth, kAllowedGrowthBytes)
      << "the heap grew in both halves of the run, by " << firstHalf << " and " << secondHalf << " bytes";
  // Lets the last wallet payment's checkout go, and its kept-alive connection with it, so
  // that the gateway stops at once.
  forgetWalletSheet();
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

}  // namespace
}  // namespace keln::testing
