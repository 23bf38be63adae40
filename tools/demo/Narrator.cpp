#include "Narrator.h"

#include <cstdio>
#include <iostream>
#include <utility>

namespace keln::demo {

Narrator::Narrator(bool json, std::shared_ptr<dispatch::Clock> clock)
    : json_(json), clock_(std::move(clock)), start_(clock_->now()) {}

void Narrator::say(const std::string& event, const std::string& text, nlohmann::json details) {
  std::lock_guard lock(mutex_);
  const double seconds = std::chrono::duration<double>(clock_->now() - start_).count();
  if (json_) {
    details["event"] = event;
    details["time"] = seconds;
    details["text"] = text;
    std::cout << details.dump() << std::endl;
  } else {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%6.1fs] ", seconds);
    std::cout << stamp << text << std::endl;
  }
}

}  // namespace keln::demo
