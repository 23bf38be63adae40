// The demo program playing the menu route on a virtual display: what it tells on standard
// output, and the pictures it saves of each screen.

#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "demo/DemoProgram.h"

namespace keln::testing {
namespace {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<guchar> pixels;  // B G R A, row after row
};

// The picture in `path`; empty when the file is not a picture.
Picture readPicture(const std::string& path) {
  GError* error = nullptr;
  GdkTexture* texture = gdk_texture_new_from_filename(path.c_str(), &error);
  g_clear_error(&error);
  Picture picture;
  if (texture == nullptr) return picture;
  picture.width = gdk_texture_get_width(texture);
  picture.height = gdk_texture_get_height(texture);
  picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height * 4);
  gdk_texture_download(texture, picture.pixels.data(), static_cast<gsize>(picture.width) * 4);
  g_object_unref(texture);
  return picture;
}

// Pixels darker than mid-grey (text, images) in the rows of `path` from `firstRow` down;
// -1 when the file is not a picture.
long darkPixelsBelow(const std::string& path, int firstRow) {
  const Picture picture = readPicture(path);
  if (picture.pixels.empty()) return -1;
  long dark = 0;
  for (int y = firstRow; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const guchar* p = &picture.pixels[(static_cast<std::size_t>(y) * picture.width + x) * 4];
      if (p[0] + p[1] + p[2] < 3 * 100) ++dark;
    }
  }
  return dark;
}

TEST(DemoScreensTest, MenuRouteTellsEachStepAsJSONAndSavesAPictureOfEachScreen) {
  const std::string folder = ::testing::TempDir() + "demo-screens-" + std::to_string(::getpid());
  const auto [output, exitedWell] =
      runProgram(demoCommand("--route menu-web --fast --json --auto --snapshots " + folder));
  EXPECT_TRUE(exitedWell) << output;

  std::vector<nlohmann::json> events;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    ASSERT_TRUE(event.is_object() && event.contains("event")) << "not an event: " << line;
    events.push_back(event);
  }
  const auto find = [&](const std::string& name, const std::string& text, std::size_t from) {
    for (std::size_t i = from; i < events.size(); ++i) {
      if (events[i]["event"] == name && events[i]["text"].get<std::string>().find(text) != std::string::npos) return i;
    }
    return events.size();
  };
  // The story in its order.
  std::size_t at = 0;
  for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
           {"screen-host", "Pay button"},
           {"user", "Pay button"},
           {"start", "Host starts a payment"},
           {"gateway-exchange", "POST /api/v1/payments"},
           {"screen-menu", "[Other payment options]"},
           {"user", "\"Other payment options\""},
           {"page-loaded", "the checkout's own page"},
           {"page-loaded", "the gateway's form"},
           {"user", "Pay on the gateway's form"},
           {"gateway-exchange", "(Success)"},
           {"screen-host", "Host window shows the outcome: Paid: transaction sbx-1, status Success"},
           {"screen", "Checkout window closed"},
           {"result", "payment succeeded"},
       }) {
    SCOPED_TRACE(name + ": " + text);
    at = find(name, text, at);
    ASSERT_LT(at, events.size()) << output;
  }
  EXPECT_LT(find("sdk-output", "getstatus", 0), events.size()) << "the SDK's own lines become events";

  // The times add up: one clock for every stamp, the skipped waits counted in full, and
  // nothing skipped once the payment has ended.
  const double started = events[find("start", "", 0)]["time"];
  std::vector<double> statusTimes;
  double closed = -1;
  for (std::size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE(events[i].dump());
    const double time = events[i]["time"];
    if (i > 0) {
      EXPECT_GE(time, events[i - 1]["time"].get<double>());
    }
    if (events[i]["event"] == "page-loaded") {
      EXPECT_NEAR(events[i]["sinceStart"].get<double>(), time - started, 0.05);
    }
    if (events[i]["event"] == "gateway-exchange" && events[i]["path"].get<std::string>().ends_with("/status")) {
      statusTimes.push_back(time);
    }
    if (events[i]["event"] == "screen" && events[i]["text"].get<std::string>().starts_with("Checkout window closed")) {
      closed = time;
    }
  }
  ASSERT_EQ(statusTimes.size(), 2U) << output;
  EXPECT_GE(statusTimes[1] - statusTimes[0], 2.95) << "the SDK's wait between status queries";
  EXPECT_LT(statusTimes[1] - statusTimes[0], 4.0) << "one wait, skipped once";
  EXPECT_LT(closed - statusTimes[1], 2.0) << "the window closes right after the last status";

  std::vector<std::string> screens;
  std::map<std::string, std::string> pathOf;
  for (const auto& event : events) {
    if (event["event"] != "snapshot") continue;
    SCOPED_TRACE(event.dump());
    const std::string screen = event["screen"];
    screens.push_back(screen);
    const std::string path = event["path"];
    pathOf[screen] = path;
    EXPECT_EQ(path.rfind(folder + "/", 0), 0u);
    // Below the header bar: the host's labels, the menu's cards, the page's fields and text.
    EXPECT_GT(darkPixelsBelow(path, 60), screen == "form" ? 2000 : 100);
  }
  EXPECT_EQ(screens, (std::vector<std::string>{"host", "menu", "form", "back-at-host"}));
  const Picture before = readPicture(pathOf["host"]);
  const Picture after = readPicture(pathOf["back-at-host"]);
  EXPECT_FALSE(before.pixels.empty());
  EXPECT_NE(before.pixels, after.pixels) << "the host's window shows the outcome";
}

}  // namespace
}  // namespace keln::testing
