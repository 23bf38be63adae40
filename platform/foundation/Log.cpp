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

}  // namespace

std::string systemLogBanner() {
  timeval now{};
  gettimeofday(&now, nullptr);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char banner[256];
  std::snprintf(banner, sizeof banner, "%04d-%02d-%02d %02d:%02d:%02d.%03d %s[%d:%x] ", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(now.tv_usec / 1000), program_invocation_short_name, static_cast<int>(getpid()),
                static_cast<unsigned>(pthread_self()));
  return banner;
}

void systemLog(std::string_view message) {
  if (message.empty() || message.size() > kMaxSystemLogMessage) return;
  if (captured(LogStream::systemLog, message)) return;
  std::string line = systemLogBanner();
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
