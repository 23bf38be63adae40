#include "Narrator.h"

#include <cstdio>
#include <utility>

namespace keln::demo {

Narrator::Narrator(bool json, std::shared_ptr<dispatch::Clock> clock, std::FILE* output)
    : json_(json), clock_(std::move(clock)), start_(clock_->now()), output_(output) {}

void Narrator::say(const std::string& event, const std::string& text, nlohmann::json details) {
  std::lock_guard lock(mutex_);
  const double seconds = std::chrono::duration<double>(clock_->now() - start_).count();
  if (json_) {
    details["event"] = event;
    details["time"] = seconds;
    details["text"] = text;
    const std::string line = details.dump() + "\n";
    std::fwrite(line.data(), 1, line.size(), output_);
  } else {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%6.1fs] ", seconds);
    const std::string line = stamp + text + "\n";
    std::fwrite(line.data(), 1, line.size(), output_);
  }
  std::fflush(output_);
}

}  // namespace keln::demo
