#pragma once

#include <chrono>
#include <string>

namespace keln {

// Writes the time stamps of checkout requests: a moment in UTC as
// "2026-12-06T16:05:09.042Z" (ISO 8601, Gregorian calendar, ASCII digits, milliseconds
// truncated). The text depends only on the moment, never on the machine's locale, time
// zone or clock settings. Immutable; usable from any thread.
class TimestampFormatter {
 public:
  std::string string(std::chrono::system_clock::time_point moment) const;

  // The text of the present moment.
  std::string now() const { return string(std::chrono::system_clock::now()); }
};

}  // namespace keln
