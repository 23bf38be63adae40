#include <gtest/gtest.h>

#include <regex>

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

}  // namespace
}  // namespace keln::foundation
