// The demo program against a recording gateway on 127.0.0.1, in real time: the gateway must
// see the SDK's own delays between status queries (3.0 s) and before a retry (5.0 s).
// Takes about eight seconds.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace keln::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Runs `command` through the shell; its standard output, and whether it exited with 0.
std::pair<std::string, bool> runProgram(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return {"", false};
  char buffer[4096];
  while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, read);
  return {output, ::pclose(pipe) == 0};
}

TEST(DemoRealTimeTest, GatewaySeesTheRealDelaysBetweenStatusQueriesAndBeforeARetry) {
  std::mutex mutex;
  std::vector<Clock::time_point> statusTimes;  // guarded by mutex
  LocalGateway gateway;
  gateway.setResponder([&](const RecordedRequest& request) {
    if (request.method == "POST") {
      nlohmann::json reply = nlohmann::json::parse(samples::kCheckoutReply);
      reply["paymentMethodList"] = {"CARD", "BLIK"};
      return GatewayReply::json(200, reply.dump());
    }
    std::lock_guard lock(mutex);
    statusTimes.push_back(Clock::now());
    // Pending, then a failure that the SDK retries, then the final status.
    if (statusTimes.size() == 2) return GatewayReply::json(503, R"({"error":"busy"})");
    nlohmann::json reply = nlohmann::json::parse(samples::kStatusReply);
    reply["paymentStatus"] = statusTimes.size() == 1 ? "Pending" : "Success";
    return GatewayReply::json(200, reply.dump());
  });

  const auto [output, exitedWell] =
      runProgram(std::string(KELN_DEMO_PROGRAM) + " --route web --json --gateway " + gateway.url());
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
