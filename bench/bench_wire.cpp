// Cost of the gateway wire model: decoding the two replies and encoding a checkout request.

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include <keln/foundation/JSONCoding.h>
#include <keln/model/CheckoutRequest.h>
#include <keln/model/TransactionStatus.h>

#include "model/CheckoutResponseDTO.h"
#include "support/WireSamples.h"

namespace {

using keln::foundation::JSONDecoder;
using keln::foundation::JSONEncoder;

// The gateway sends compact JSON.
std::string compact(const char* json) { return nlohmann::json::parse(json).dump(); }

void BM_DecodeCheckoutReply(benchmark::State& state) {
  const std::string reply = compact(keln::samples::kCheckoutReply);
  for (auto _ : state) {
    keln::CheckoutResponseDTO decoded = JSONDecoder().decode<keln::CheckoutResponseDTO>(reply);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_DecodeCheckoutReply);

void BM_DecodeStatusReply(benchmark::State& state) {
  const std::string reply = compact(keln::samples::kStatusReply);
  for (auto _ : state) {
    keln::TransactionStatusDTO decoded = JSONDecoder().decode<keln::TransactionStatusDTO>(reply);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_DecodeStatusReply);

// A request with every part present: merchant, transaction with three methods, customer
// with both addresses, tokenisation with two stored tokens.
keln::CheckoutRequest fullCheckoutRequest() {
  using namespace keln;
  const Address shipping("ul. Piotrkowska 104", "lok. 12", "Lodz", "90-926", "PL");
  const Address billing("ul. Marszalkowska 1", std::nullopt, "Warszawa", "00-624", "PL");
  return CheckoutRequest(
      Merchant(1234, "order-2024-0001", std::nullopt, "web", "https://shop.example/cart", "Order 2024-0001"),
      Transaction("2024-05-01T10:00:00.000Z", "Two books and a lamp", "PURS", Amount(149.99, "PLN"),
                  {PaymentMethod::card, PaymentMethod::applePay, PaymentMethod::blik}),
      Customer(CustomerInfo("Jan Kowalski", "jan.kowalski@example.com", shipping, billing)),
      TokenizationParams(TokenizationRequest(true), {Token("Visa", "CARD", "tok_4f5e6d", "4111********1111", "12/30"),
                                                     Token("CARD", "tok_9a8b7c")}));
}

void BM_EncodeCheckoutRequest(benchmark::State& state) {
  const keln::CheckoutRequest request = fullCheckoutRequest();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string body = JSONEncoder().encode(request);
    bytes += body.size();
    benchmark::DoNotOptimize(body);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_EncodeCheckoutRequest);

}  // namespace

BENCHMARK_MAIN();
