#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include <keln/dispatch/MainQueue.h>

namespace keln::demo {

// Prints the story of a payment on standard output, as text or as one JSON object per line
// ({"event": ..., "time": ..., "text": ..., details...}), each step stamped with the time
// since the start on `clock` (the main queue's), to `output`. Any thread.
class Narrator {
 public:
  Narrator(bool json, std::shared_ptr<dispatch::Clock> clock, std::FILE* output = stdout);

  void say(const std::string& event, const std::string& text, nlohmann::json details = nlohmann::json::object());

 private:
  const bool json_;
  const std::shared_ptr<dispatch::Clock> clock_;
  const dispatch::TimePoint start_;
  std::FILE* const output_;
  std::mutex mutex_;  // keeps lines whole
};

}  // namespace keln::demo
