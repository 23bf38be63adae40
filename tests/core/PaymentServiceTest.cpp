#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <keln/core/KelnSDKError.h>

#include "core/GatewayClientHarness.h"
#include "core/flow/DefaultPaymentService.h"
#include "support/WireSamples.h"

namespace keln::testing {
namespace {

using Reply = GatewayReply;

std::string statusReplyWith(const std::string& pointer, nlohmann::json value) {
  nlohmann::json reply = nlohmann::json::parse(samples::kStatusReply);
  reply[nlohmann::json::json_pointer(pointer)] = std::move(value);
  return reply.dump();
}

class PaymentServiceTest : public GatewayClientTest {
 protected:
  DefaultPaymentService makeService(const std::string& root, const std::string& token = kToken) {
    return DefaultPaymentService(makeClient(root, kClientID, token));
  }
};

TEST_F(PaymentServiceTest, StatusQueryIsSuccessfulWhateverThePaymentStatus) {
  LocalGateway gateway;
  DefaultPaymentService service = makeService(gateway.url());
  for (auto [text, status] :
       {std::pair{"Pending", PaymentStatus::pending}, std::pair{"Declined", PaymentStatus::declined},
        std::pair{"Error", PaymentStatus::error}, std::pair{"Success", PaymentStatus::success}}) {
    SCOPED_TRACE(text);
    gateway.enqueue(Reply::json(200, statusReplyWith("/paymentStatus", text)));
    CompletionProbe<TransactionStatus> probe;
    service.getTransactionStatus("tx-42", probe.completion());
    drive([&] { return probe.called(); });
    ASSERT_TRUE(probe.result().isSuccess()) << probe.result().error()->description();
    EXPECT_EQ(probe.result().value().paymentStatus(), status);
    EXPECT_EQ(probe.result().value().merchant().terminalId(), 7);
  }
  EXPECT_TRUE(standardOutput().empty());
  for (const RecordedRequest& request : gateway.requests()) EXPECT_EQ(request.target, "/api/v1/payments/tx-42/status");
}

TEST_F(PaymentServiceTest, StatusQueryWithoutTokenFailsAtOnceAndPrintsTheReason) {
  LocalGateway gateway;
  DefaultPaymentService service = makeService(gateway.url(), "");
  CompletionProbe<TransactionStatus> probe;
  service.getTransactionStatus("tx-42", probe.completion());
  ASSERT_EQ(probe.results.size(), 1u);
  const auto* error = dynamic_cast<const KelnSDKError*>(probe.result().error().get());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->errorDescription(), "Incorrect token");
  EXPECT_EQ(standardOutput(), std::vector<std::string>{"Incorrect token"});
  settle();
  EXPECT_EQ(gateway.requestCount(), 0u);
}

TEST_F(PaymentServiceTest, StatusQueryForAnEmptyTransactionIdFailsAtOnceAndSendsNothing) {
  LocalGateway gateway;
  gateway.setDefaultReply(Reply::json(200, samples::kStatusReply));
  DefaultPaymentService service = makeService(gateway.url());
  CompletionProbe<TransactionStatus> probe;
  service.getTransactionStatus("", probe.completion());
  ASSERT_EQ(probe.results.size(), 1u);
  const auto* error = dynamic_cast<const KelnSDKError*>(probe.result().error().get());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->kind(), KelnSDKError::Kind::invalidParameter);
  EXPECT_EQ(error->description(), "invalidParameter(\"Missing transactionID\")");
  EXPECT_EQ(error->localizedDescription(), "Missing transactionID");
  EXPECT_EQ(standardOutput(), std::vector<std::string>{"Missing transactionID"});
  settle();
  EXPECT_EQ(probe.results.size(), 1u);
  EXPECT_EQ(gateway.requestCount(), 0u);
  EXPECT_EQ(gateway.acceptedConnections(), 0u);
}

TEST_F(PaymentServiceTest, FailedStatusQueryPrintsTheGatewayError) {
  LocalGateway gateway;
  gateway.setDefaultReply(Reply::json(503, "{}"));
  DefaultPaymentService service = makeService(gateway.url());
  CompletionProbe<TransactionStatus> probe;
  service.getTransactionStatus("tx-42", probe.completion());
  drive([&] { return probe.called(); });
  settle();
  ASSERT_EQ(probe.results.size(), 1u);
  ASSERT_TRUE(probe.result().isFailure());
  EXPECT_EQ(standardOutput(), std::vector<std::string>{probe.result().error()->localizedDescription()});
  EXPECT_EQ(gateway.requestCount(), 4u);
}

TEST_F(PaymentServiceTest, StatusWhoseMerchantCannotBeConvertedFailsNamingTheTerminalId) {
  LocalGateway gateway;
  DefaultPaymentService service = makeService(gateway.url());
  for (const char* terminalId : {"", "12ab", "99999999999999999999"}) {
    SCOPED_TRACE(terminalId);
    gateway.enqueue(Reply::json(200, statusReplyWith("/merchant/terminalId", terminalId)));
    CompletionProbe<TransactionStatus> probe;
    service.getTransactionStatus("tx-42", probe.completion());
    drive([&] { return probe.called(); });
    ASSERT_EQ(probe.results.size(), 1u);
    const auto* error = dynamic_cast<const foundation::DecodingError*>(probe.result().error().get());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->kind(), foundation::DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(error->codingPath(), (foundation::CodingPath{"merchant", "terminalId"}));
    EXPECT_NE(error->debugDescription().find(std::string("\"") + terminalId + "\""), std::string::npos)
        << error->debugDescription();
  }
}

TEST_F(PaymentServiceTest, CheckoutHandsOverTheClientsOutcomeSilently) {
  LocalGateway gateway;
  gateway.enqueue({Reply::json(200, samples::kCheckoutReply), Reply::json(200, R"({"amount":{}})")});
  DefaultPaymentService service = makeService(gateway.url());

  CompletionProbe<CheckoutResponseDTO> decoded;
  service.createCheckout(makeCheckoutRequest(149.99), decoded.completion());
  drive([&] { return decoded.called(); });
  ASSERT_TRUE(decoded.result().isSuccess()) << decoded.result().error()->description();
  EXPECT_EQ(decoded.result().value().paymentMethodList().size(), 4u);

  CompletionProbe<CheckoutResponseDTO> undecodable;
  service.createCheckout(makeCheckoutRequest(149.99), undecodable.completion());
  drive([&] { return undecodable.called(); });
  ASSERT_TRUE(undecodable.result().isFailure());
  EXPECT_NE(dynamic_cast<const foundation::DecodingError*>(undecodable.result().error().get()), nullptr);

  EXPECT_TRUE(standardOutput().empty());
  ASSERT_EQ(gateway.requestCount(), 2u);
  for (const RecordedRequest& request : gateway.requests()) {
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/api/v1/payments");
  }
}

}  // namespace
}  // namespace keln::testing
