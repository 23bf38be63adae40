#pragma once

// A benchmark's gateway in a process of its own (bench/gateway): started with the
// benchmark's fixture, ended when the object goes.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace keln::bench {

// What the gateway answers.
struct GatewayOptions {
  bool https = false;
  bool empty = false;  // every reply an empty 204 instead of the status sample
  int status = 0;      // every reply an error with this status instead (0: none)
  int delayMilliseconds = 0;
};

class GatewayProcess {
 public:
  using Options = GatewayOptions;
  // A request as it reached the gateway: when, on the machine's monotonic clock (the same
  // as std::chrono::steady_clock's in this process), and its method.
  struct Arrival {
    std::chrono::steady_clock::time_point time;
    std::string method;
  };

  explicit GatewayProcess(Options options = {}) : https_(options.https) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    std::vector<std::string> arguments{KELN_BENCH_GATEWAY};
    if (options.https) arguments.emplace_back("--https");
    if (options.empty) arguments.emplace_back("--empty");
    if (options.status != 0) arguments.insert(arguments.end(), {"--status", std::to_string(options.status)});
    if (options.delayMilliseconds != 0) {
      arguments.insert(arguments.end(), {"--delay-ms", std::to_string(options.delayMilliseconds)});
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, KELN_BENCH_GATEWAY, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (spawned != 0) throw std::runtime_error("cannot start the benchmark gateway");
    commands_ = ::fdopen(toChild[1], "w");
    replies_ = ::fdopen(fromChild[0], "r");
    char authority[4096] = {};
    if (std::fscanf(replies_, "%d %4095s", &port_, authority) != 2) throw std::runtime_error("benchmark gateway");
    authorityPath_ = authority;
  }
  ~GatewayProcess() {
    std::fclose(commands_);  // the gateway ends when its input closes
    std::fclose(replies_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  GatewayProcess(const GatewayProcess&) = delete;
  GatewayProcess& operator=(const GatewayProcess&) = delete;

  std::string url() const { return std::string(https_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_); }
  // The file a client must trust to accept the gateway's certificate.
  const std::string& trustedAuthorityPath() const { return authorityPath_; }

  std::size_t acceptedConnections() {
    std::fputs("connections\n", commands_);
    std::fflush(commands_);
    std::size_t count = 0;
    if (std::fscanf(replies_, "%zu", &count) != 1) throw std::runtime_error("benchmark gateway");
    return count;
  }

  std::vector<Arrival> arrivals() {
    std::fputs("arrivals\n", commands_);
    std::fflush(commands_);
    std::size_t count = 0;
    if (std::fscanf(replies_, "%zu", &count) != 1) throw std::runtime_error("benchmark gateway");
    std::vector<Arrival> arrivals;
    for (std::size_t i = 0; i < count; ++i) {
      long long nanoseconds = 0;
      char method[16] = {};
      if (std::fscanf(replies_, "%lld %15s", &nanoseconds, method) != 2) throw std::runtime_error("benchmark gateway");
      arrivals.push_back(
          {std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanoseconds)), std::string(method)});
    }
    return arrivals;
  }

 private:
  bool https_;
  pid_t pid_ = -1;
  int port_ = -1;
  std::string authorityPath_;
  std::FILE* commands_ = nullptr;
  std::FILE* replies_ = nullptr;
};

}  // namespace keln::bench
