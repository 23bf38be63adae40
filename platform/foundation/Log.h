#pragma once

#include <keln/Export.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace keln::foundation {

// The SDK's two outputs. Texts are written verbatim (never used as a format string).
enum class LogStream {
  systemLog,       // one line on standard error behind a banner: time, program, [pid:thread]
  standardOutput,  // the text and a newline on standard output
};

// Writes `message` as one system-log line. Empty messages are dropped. Any thread.
KELN_EXPORT void systemLog(std::string_view message);

// Writes `message` and a newline to standard output. Any thread.
void standardOutput(std::string_view message);

// The banner that starts every system-log line, for the current moment and thread,
// e.g. "2026-12-07 09:41:02.123 demo[4242:a1b2c3d4] ".
std::string systemLogBanner();

// While alive, records every line written to either output instead of writing it
// (or as well as writing it, when `passThrough`). Captures nest: the newest one records.
// Thread-safe.
class ScopedLogCapture {
 public:
  struct Line {
    LogStream stream;
    std::string message;  // without banner or newline
  };

  explicit ScopedLogCapture(bool passThrough = false);
  ~ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  std::vector<Line> lines() const;
  // The messages written to one stream, in order.
  std::vector<std::string> messages(LogStream stream) const;
  void clear();

  // Called by the outputs; true when the line was recorded and must not be written.
  bool record(LogStream stream, std::string_view message);

 private:
  bool passThrough_;
  ScopedLogCapture* previous_;
  mutable std::mutex mutex_;
  std::vector<Line> lines_;  // guarded by mutex_
};

}  // namespace keln::foundation
