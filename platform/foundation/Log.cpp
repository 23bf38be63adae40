#include "foundation/Log.h"

#include <pthread.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>

namespace keln::foundation {
namespace {

constexpr std::size_t kMaxSystemLogMessage = 16 * 1024 * 1024;

std::mutex& captureMutex() {
  static std::mutex mutex;
  return mutex;
}
ScopedLogCapture* currentCapture = nullptr;  // guarded by captureMutex()

// Offers the line to the current capture; true when it must not be written.
bool captured(LogStream stream, std::string_view message) {
  std::lock_guard lock(captureMutex());
  return currentCapture != nullptr && currentCapture->record(stream, message);
}

constexpr std::size_t kDateTimeCapacity = 64;
constexpr std::size_t kOriginCapacity = 256;
// The longest banner: date and time, ".mmm ", and "program[pid:thread] ".
constexpr std::size_t kMaxBanner = kDateTimeCapacity + 5 + kOriginCapacity;
// Lines up to this size are made on the stack.
constexpr std::size_t kStackLineCapacity = 2048;

// The length snprintf gave for a buffer of `capacity` bytes, cut as it cut the text.
std::size_t writtenLength(int length, std::size_t capacity) {
  return length < 0 ? 0 : std::min(static_cast<std::size_t>(length), capacity - 1);
}

// Forks so far in this process's line (counted in each child), so that a thread's banner
// learns of a new pid without asking the kernel for it on every line.
std::atomic<unsigned> forkCount{0};

unsigned forksSoFar() {
  static const bool counting = [] {
    pthread_atfork(nullptr, nullptr, [] { forkCount.fetch_add(1, std::memory_order_relaxed); });
    return true;
  }();
  (void)counting;
  return forkCount.load(std::memory_order_relaxed);
}

// Writes the banner for the current moment and thread at `out`, which has room for
// kMaxBanner bytes, and returns its length.
std::size_t writeSystemLogBanner(char* out) {
  timeval now{};
  gettimeofday(&now, nullptr);
  // Each thread keeps the parts of its banner that change at most once a second: the
  // local date and time, and "program[pid:thread] " (the pid changes only in a child).
  // Plain arrays, so that they outlive nothing they need at the thread's end.
  thread_local time_t second = -1;
  thread_local char dateTime[kDateTimeCapacity];
  thread_local std::size_t dateTimeLength = 0;
  thread_local unsigned forks = 0;
  thread_local bool known = false;
  thread_local char origin[kOriginCapacity];
  thread_local std::size_t originLength = 0;
  if (now.tv_sec != second) {
    tm local{};
    localtime_r(&now.tv_sec, &local);
    dateTimeLength =
        writtenLength(std::snprintf(dateTime, sizeof dateTime, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                                    local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec),
                      sizeof dateTime);
    second = now.tv_sec;
  }
  if (const unsigned current = forksSoFar(); !known || current != forks) {
    originLength = writtenLength(std::snprintf(origin, sizeof origin, "%s[%d:%x] ", program_invocation_short_name,
                                               static_cast<int>(getpid()), static_cast<unsigned>(pthread_self())),
                                 sizeof origin);
    forks = current;
    known = true;
  }
  const int milliseconds = static_cast<int>(now.tv_usec / 1000);
  char* at = out;
  at = std::copy_n(dateTime, dateTimeLength, at);
  *at++ = '.';
  *at++ = static_cast<char>('0' + milliseconds / 100);
  *at++ = static_cast<char>('0' + milliseconds / 10 % 10);
  *at++ = static_cast<char>('0' + milliseconds % 10);
  *at++ = ' ';
  at = std::copy_n(origin, originLength, at);
  return static_cast<std::size_t>(at - out);
}

}  // namespace

std::string systemLogBanner() {
  char banner[kMaxBanner];
  return std::string(banner, writeSystemLogBanner(banner));
}

void systemLog(std::string_view message) {
  if (message.empty() || message.size() > kMaxSystemLogMessage) return;
  if (captured(LogStream::systemLog, message)) return;
  const std::size_t capacity = kMaxBanner + message.size() + 1;
  char stackLine[kStackLineCapacity];
  std::unique_ptr<char[]> heapLine;
  char* line = stackLine;
  if (capacity > sizeof stackLine) {
    heapLine = std::make_unique_for_overwrite<char[]>(capacity);
    line = heapLine.get();
  }
  std::size_t length = writeSystemLogBanner(line);
  std::copy_n(message.data(), message.size(), line + length);
  length += message.size();
  line[length++] = '\n';
  std::fwrite(line, 1, length, stderr);
  std::fflush(stderr);
}

void standardOutput(std::string_view message) {
  if (captured(LogStream::standardOutput, message)) return;
  std::string line(message);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

ScopedLogCapture::ScopedLogCapture(bool passThrough) : passThrough_(passThrough) {
  std::lock_guard lock(captureMutex());
  previous_ = currentCapture;
  currentCapture = this;
}

ScopedLogCapture::~ScopedLogCapture() {
  std::lock_guard lock(captureMutex());
  currentCapture = previous_;
}

bool ScopedLogCapture::record(LogStream stream, std::string_view message) {
  std::lock_guard lock(mutex_);
  lines_.push_back(Line{stream, std::string(message)});
  return !passThrough_;
}

std::vector<ScopedLogCapture::Line> ScopedLogCapture::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::vector<std::string> ScopedLogCapture::messages(LogStream stream) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> result;
  for (const auto& line : lines_) {
    if (line.stream == stream) result.push_back(line.message);
  }
  return result;
}

void ScopedLogCapture::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

}  // namespace keln::foundation
