// A thousand payments through one SDK in one process: every payment ends with its one
// result, and what a payment builds is given back, so the memory in use stays flat.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

#include "e2e/EndToEndHarness.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define KELN_E2E_SANITIZED 1
// Exported by the sanitizer runtime: the bytes allocated and not yet freed.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace keln::testing {
namespace {

// The memory the process holds: resident pages or, under the address sanitizer, whose
// quarantine keeps freed memory resident for a while, the bytes allocated and not freed.
std::size_t memoryInUse() {
#if defined(KELN_E2E_SANITIZED)
  return __sanitizer_get_current_allocated_bytes();
#else
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0;
  std::size_t resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
#endif
}

using PaymentSoakTest = EndToEndTest;

TEST_F(PaymentSoakTest, AThousandPaymentsKeepMemoryFlat) {
  constexpr int kWarmUp = 50;
  constexpr int kPayments = 1000;
  // The local gateway forgets each payment's requests, so that what it records does not
  // count as the SDK's memory.
  LocalGateway gateway;
  gateway.setDefaultReply(GatewayReply::json(200, samples::kCheckoutReply));
  const std::string checkoutID = "3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f";
  auto wallet = installWallet();
  wallet->setUserAction(passkit::Wallet::UserAction::authorize(R"({"version":"EC_v1","data":"soak"})"));
  auto sdk = makeSDK(gateway.url());
  HostScreen host;

  // Even payments are authorized on the wallet sheet, odd ones closed from the menu.
  auto pay = [&](int i) {
    PaymentProbe probe;
    sdk->startPayment(host.controller(), paymentParams("order-" + std::to_string(i)), probe.completion());
    ASSERT_TRUE(drive([&] { return host.menuShown() || probe.called(); }));
    ASSERT_EQ(gateway.requestCount(), 1u);
    gateway.clearRequests();
    if (i % 2 == 0) {
      ASSERT_TRUE(host.tapMenuItem(PaymentViewController::APPLE_PAY_POSITION));
    } else {
      host.tapLeftButton();
    }
    ASSERT_TRUE(drive([&] { return probe.called() && !host.presentsAnything(); }));
    runPending();
    ASSERT_EQ(gateway.requestCount(), 0u) << "nothing is sent after the checkout";
    ASSERT_EQ(probe.count(), 1u);
    if (i % 2 == 0) {
      ASSERT_TRUE(probe.result().isSuccess()) << describe(probe.result());
      EXPECT_EQ(probe.result().value().transactionID(), checkoutID);
    } else {
      expectSDKError(probe.result(), KelnSDKError::Kind::canceledByUser);
    }
    checkAndClearLog();
  };

  for (int i = 0; i < kWarmUp && !HasFatalFailure(); ++i) pay(i);
  const std::size_t warm = memoryInUse();
  for (int i = kWarmUp; i < kPayments && !HasFatalFailure(); ++i) pay(i);
  ASSERT_FALSE(HasFatalFailure());
  const std::size_t end = memoryInUse();

  const double growthMiB = (static_cast<double>(end) - static_cast<double>(warm)) / (1024.0 * 1024.0);
  std::printf("memory in use after %d payments: %.1f MiB; after %d: %.1f MiB (%+.2f MiB)\n", kWarmUp,
              static_cast<double>(warm) / (1024.0 * 1024.0), kPayments, static_cast<double>(end) / (1024.0 * 1024.0),
              growthMiB);
  EXPECT_LT(growthMiB, 2.0);
  forgetWalletSheet();
#if defined(KELN_E2E_SANITIZED)
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

}  // namespace
}  // namespace keln::testing
