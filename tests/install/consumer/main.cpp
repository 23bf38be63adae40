// Uses the installed SDK as a host would: starts a payment and queries a status with an
// empty token, which the SDK must refuse before sending anything. Exits 0 when both
// answers are the expected "Incorrect token" (the payment's answer also shows that the
// installed library found its page template).

#include <keln/KelnSDK.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

int main() {
  if (KelnSDKVersionNumber != 1.0 || std::strcmp(reinterpret_cast<const char*>(KelnSDKVersionString),
                                                 "@(#)PROGRAM:KelnSDK  PROJECT:KelnSDK-1\n") != 0) {
    std::cerr << "unexpected version symbols\n";
    return 1;
  }

  keln::SDK sdk("consumer-client", "", keln::EnvironmentSDK::quality);

  std::optional<std::string> statusAnswer;
  sdk.getTransactionStatus("tx-1", [&](keln::Result<keln::TransactionStatus> result) {
    statusAnswer = result.isFailure() ? result.error()->localizedDescription() : "success";
  });

  auto host = std::make_shared<keln::uikit::ViewController>();
  keln::TransactionParamsSDK params(1, std::nullopt, "order-1", "Consumer order", 10.0, "PLN",
                                    {keln::PaymentMethod::card}, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                    std::nullopt, std::nullopt, std::nullopt);
  std::optional<std::string> paymentAnswer;
  sdk.startPayment(host, params, [&](keln::Result<keln::TransactionResultSDK> result) {
    paymentAnswer = result.isFailure() ? result.error()->localizedDescription() : "success";
  });

  keln::dispatch::MainQueue::main().runUntil([&] { return statusAnswer && paymentAnswer; }, std::chrono::seconds(10));
  std::cout << "status query: " << statusAnswer.value_or("(none)") << "\n"
            << "payment: " << paymentAnswer.value_or("(none)") << "\n";
  return statusAnswer == "Incorrect token" && paymentAnswer == "Incorrect token" ? 0 : 1;
}
