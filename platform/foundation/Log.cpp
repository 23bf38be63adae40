#include "foundation/Log.h"

#include <pthread.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace keln::foundation {
namespace {

constexpr std::size_t kMaxSystemLogMessage = 16 * 1024 * 1024;
// Room for a banner with a program name of usual length.
constexpr std::size_t kBannerCapacity = 96;

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

// Appends the banner for the current moment and thread to `out`.
void appendSystemLogBanner(std::string& out) {
  timeval now{};
  gettimeofday(&now, nullptr);
  // Each thread keeps the parts of its banner that change at most once a second: the
  // local date and time, and "program[pid:thread] " (the pid changes only in a child).
  thread_local time_t second = -1;
  thread_local char dateTime[64];
  thread_local int dateTimeLength = 0;
  thread_local pid_t pid = -1;
  thread_local std::string origin;
  if (now.tv_sec != second) {
    tm local{};
    localtime_r(&now.tv_sec, &local);
    dateTimeLength = std::snprintf(dateTime, sizeof dateTime, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                                   local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    second = now.tv_sec;
  }
  if (const pid_t current = getpid(); current != pid) {
    char text[256];
    std::snprintf(text, sizeof text, "%s[%d:%x] ", program_invocation_short_name, static_cast<int>(current),
                  static_cast<unsigned>(pthread_self()));
    origin = text;
    pid = current;
  }
  const int milliseconds = static_cast<int>(now.tv_usec / 1000);
  out.append(dateTime, static_cast<std::size_t>(dateTimeLength));
  out.push_back('.');
  out.push_back(static_cast<char>('0' + milliseconds / 100));
  out.push_back(static_cast<char>('0' + milliseconds / 10 % 10));
  out.push_back(static_cast<char>('0' + milliseconds % 10));
  out.push_back(' ');
  out.append(origin);
}

}  // namespace

std::string systemLogBanner() {
  std::string banner;
  appendSystemLogBanner(banner);
  return banner;
}

void systemLog(std::string_view message) {
  if (message.empty() || message.size() > kMaxSystemLogMessage) return;
  if (captured(LogStream::systemLog, message)) return;
  std::string line;
  line.reserve(kBannerCapacity + message.size() + 1);
  appendSystemLogBanner(line);
  line.append(message);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
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
