#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Log.h"

namespace keln::foundation {
namespace {

TEST(Log, CaptureRecordsBothStreamsVerbatim) {
  ScopedLogCapture capture;
  systemLog("Request body: %@ %d 100%");
  standardOutput("getstatus");
  systemLog("");  // dropped, as the system log drops empty messages
  standardOutput("");
  EXPECT_EQ(capture.messages(LogStream::systemLog), std::vector<std::string>{"Request body: %@ %d 100%"});
  EXPECT_EQ(capture.messages(LogStream::standardOutput), (std::vector<std::string>{"getstatus", ""}));
}

TEST(Log, BannerHasTimeProgramAndThread) {
  EXPECT_TRUE(std::regex_match(systemLogBanner(),
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} [^ ]+\[\d+:[0-9a-f]+\] )")));
}

// "YYYY-MM-DD HH:MM:SS" in local time.
std::string localDateTime(time_t seconds) {
  tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// The banner tells the moment and the thread it was made on, each time anew.
TEST(Log, BannerIsOfItsMomentAndThread) {
  auto check = [] {
    // The precise clock, as the banner reads it: time() may lag it by a tick at a second's edge.
    const auto now = [] {
      timespec moment{};
      clock_gettime(CLOCK_REALTIME, &moment);
      return moment.tv_sec;
    };
    const time_t before = now();
    const std::string banner = systemLogBanner();
    const time_t after = now();
    const std::string dateTime = banner.substr(0, 19);
    EXPECT_TRUE(dateTime == localDateTime(before) || dateTime == localDateTime(after)) << banner;
    char origin[64];
    std::snprintf(origin, sizeof origin, "[%d:%x] ", static_cast<int>(getpid()), static_cast<unsigned>(pthread_self()));
    EXPECT_TRUE(banner.ends_with(origin)) << banner << " on " << origin;
  };
  check();
  std::thread(check).join();
  std::thread(check).join();
  check();
  // A child's banner names the child, though the thread that forked it wrote one before.
  const pid_t child = fork();
  if (child == 0) {
    char origin[64];
    std::snprintf(origin, sizeof origin, "[%d:", static_cast<int>(getpid()));
    _exit(systemLogBanner().find(origin) != std::string::npos ? 0 : 1);
  }
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's banner named its parent";
}

// Milliseconds since the epoch of a banner's "YYYY-MM-DD HH:MM:SS.mmm" (local time); -1
// when it does not start so.
long long bannerMilliseconds(const std::string& banner) {
  tm local{};
  const char* rest = strptime(banner.c_str(), "%Y-%m-%d %H:%M:%S", &local);
  if (rest == nullptr || rest[0] != '.') return -1;
  local.tm_isdst = -1;
  return static_cast<long long>(mktime(&local)) * 1000 + std::strtol(rest + 1, nullptr, 10);
}

long long nowMilliseconds() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_usec / 1000;
}

// The banner's milliseconds are those of its moment: it lies between the clock read just
// before and just after it, whatever the digits.
TEST(Log, BannerMillisecondsAreOfItsMoment) {
  for (int sample = 0; sample < 25; ++sample) {
    const long long before = nowMilliseconds();
    const std::string banner = systemLogBanner();
    const long long after = nowMilliseconds();
    const long long written = bannerMilliseconds(banner);
    EXPECT_GE(written, before) << banner;
    EXPECT_LE(written, after) << banner;
    std::this_thread::sleep_for(std::chrono::microseconds(3700));  // other digits next time
  }
}

// What `write` wrote to standard error.
std::string writtenToStandardError(const std::function<void()>& write) {
  std::FILE* scratch = std::tmpfile();
  if (!scratch) return "no scratch file";
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  ::dup2(::fileno(scratch), STDERR_FILENO);
  write();
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  std::string written;
  std::rewind(scratch);
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, scratch)) > 0;) written.append(chunk, n);
  std::fclose(scratch);
  return written;
}

const std::regex kBanner(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} [^ ]+\[\d+:[0-9a-f]+\] )");

// Each line in `written` is a banner and the message in turn.
void expectLines(const std::string& written, const std::vector<std::string>& messages) {
  std::size_t start = 0;
  for (const std::string& message : messages) {
    SCOPED_TRACE(message.substr(0, 16));
    const std::size_t end = written.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = written.substr(start, end - start);
    ASSERT_GT(line.size(), message.size());
    EXPECT_TRUE(line.ends_with(message));
    EXPECT_TRUE(std::regex_match(line.substr(0, line.size() - message.size()), kBanner)) << line.substr(0, 64);
    start = end + 1;
  }
  EXPECT_EQ(start, written.size());
}

// Uncaptured lines go to standard error whole, one after the other, each behind its
// banner, whatever their length.
TEST(Log, WritesEachLineWholeToStandardError) {
  const std::vector<std::string> messages = {"first", std::string(100 * 1024, 'x'), "third", std::string(1900, 'y')};
  expectLines(writtenToStandardError([&] {
                for (const std::string& message : messages) systemLog(message);
              }),
              messages);
}

// A line written while a thread's thread-local objects are destroyed still has its banner.
TEST(Log, WritesWhileTheThreadEnds) {
  struct LogsWhenDestroyed {
    ~LogsWhenDestroyed() { systemLog("thread ends"); }
  };
  const std::string written = writtenToStandardError([] {
    std::thread([] {
      // Made before the log's own thread-local state, so destroyed after it.
      thread_local LogsWhenDestroyed logsWhenDestroyed;
      static_cast<void>(&logsWhenDestroyed);
      systemLog("thread runs");
    }).join();
  });
  expectLines(written, {"thread runs", "thread ends"});
}

}  // namespace
}  // namespace keln::foundation
