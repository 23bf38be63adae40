// The demo program against a recording gateway on 127.0.0.1, in real time: the gateway must
// see the SDK's own delays between status queries (3.0 s) and before a retry (5.0 s). The
// gateway's form is one the demo does not know: it leads the page to the redirect by
// itself. Takes about eight seconds; runs on a virtual display when there is none.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "demo/DemoProgram.h"
#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace keln::testing {
namespace {

using Clock = std::chrono::steady_clock;

TEST(DemoRealTimeTest, GatewaySeesTheRealDelaysBetweenStatusQueriesAndBeforeARetry) {
  std::mutex mutex;
  std::vector<Clock::time_point> statusTimes;  // guarded by mutex
  LocalGateway gateway;
  const std::string checkoutID = nlohmann::json::parse(samples::kCheckoutReply)["transactionID"];
  gateway.setResponder([&](const RecordedRequest& request) {
    if (request.method == "POST" && request.path != "/api/v1/payments") {
      GatewayReply reply;
      reply.headers = {{"Content-Type", "text/html; charset=utf-8"}, {"Connection", "close"}};
      reply.body =
          "<!DOCTYPE html><html><body><p>Processing</p><script>location.replace("
          "'keln://transfer/success?transactionId=" +
          checkoutID + "')</script></body></html>";
      return reply;
    }
    if (request.method == "POST") {
      nlohmann::json reply = nlohmann::json::parse(samples::kCheckoutReply);
      reply["paymentMethodList"] = {"CARD", "BLIK"};
      return GatewayReply::json(200, reply.dump());
    }
    if (request.path.find("/status") == std::string::npos) return GatewayReply::json(404, "{}");
    std::lock_guard lock(mutex);
    statusTimes.push_back(Clock::now());
    // Pending, then a failure that the SDK retries, then the final status.
    if (statusTimes.size() == 2) return GatewayReply::json(503, R"({"error":"busy"})");
    nlohmann::json reply = nlohmann::json::parse(samples::kStatusReply);
    reply["paymentStatus"] = statusTimes.size() == 1 ? "Pending" : "Success";
    return GatewayReply::json(200, reply.dump());
  });

  const auto [output, exitedWell] = runProgram(demoCommand("--route web --json --auto --gateway " + gateway.url()));
  EXPECT_TRUE(exitedWell) << output;

  bool paid = false;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (event.is_object() && event.value("event", "") == "result") paid = event.value("isSuccess", false);
  }
  EXPECT_TRUE(paid) << output;

  std::lock_guard lock(mutex);
  ASSERT_EQ(statusTimes.size(), 3u) << output;
  const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
  EXPECT_GE(seconds(statusTimes[1] - statusTimes[0]), 2.9) << "between status queries";
  EXPECT_GE(seconds(statusTimes[2] - statusTimes[1]), 4.9) << "before the retry";
}

}  // namespace
}  // namespace keln::testing
