#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <regex>
#include <string>
#include <thread>

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
    const time_t before = time(nullptr);
    const std::string banner = systemLogBanner();
    const time_t after = time(nullptr);
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
}

}  // namespace
}  // namespace keln::foundation
