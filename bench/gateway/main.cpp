// The gateway the benchmarks talk to, in a process of its own so that its threads never
// share the measuring process's cores, caches or allocator: a local gateway (HTTP, or
// HTTPS with --https) whose every reply is the status sample, or an empty 204 with
// --empty, or an error with --status N; --delay-ms N holds every reply back that long.
//
// Prints "<port> <trusted authority file>" on a line once it serves. Then reads commands
// from standard input, one a line:
//   connections  prints the connections accepted so far;
//   arrivals     prints how many requests arrived, then for each a line "<time> <method>",
//                the time in nanoseconds on the machine's monotonic clock (CLOCK_MONOTONIC,
//                the same in every process).
// Ends when standard input closes (its parent has gone or is done).

#include <time.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/LocalGateway.h"
#include "support/WireSamples.h"

namespace {

std::int64_t monotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

int main(int argc, char** argv) {
  using keln::testing::GatewayReply;
  bool https = false;
  GatewayReply reply = GatewayReply::json(200, nlohmann::json::parse(keln::samples::kStatusReply).dump());
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--https") {
      https = true;
    } else if (argument == "--empty") {
      reply = GatewayReply::empty(204);
    } else if (argument == "--status" && hasValue) {
      reply = GatewayReply::json(std::atoi(argv[++i]), R"({"error":"unavailable"})");
    } else if (argument == "--delay-ms" && hasValue) {
      reply.delay = std::chrono::milliseconds(std::atoi(argv[++i]));
    }
  }
  keln::testing::LocalGateway gateway(keln::testing::LocalGateway::Options{.https = https});
  std::mutex mutex;
  std::vector<std::pair<std::int64_t, std::string>> arrivals;  // guarded by mutex
  gateway.setResponder([&](const keln::testing::RecordedRequest& request) {
    {
      std::lock_guard lock(mutex);
      arrivals.emplace_back(monotonicNanoseconds(), request.method);
    }
    return reply;
  });
  std::cout << gateway.port() << ' ' << keln::testing::LocalGateway::trustedAuthorityPath() << std::endl;
  std::string command;
  while (std::getline(std::cin, command)) {
    if (command == "connections") {
      std::cout << gateway.acceptedConnections() << std::endl;
    } else if (command == "arrivals") {
      std::lock_guard lock(mutex);
      std::cout << arrivals.size() << '\n';
      for (const auto& [time, method] : arrivals) std::cout << time << ' ' << method << '\n';
      std::cout << std::flush;
    }
  }
  return 0;
}
