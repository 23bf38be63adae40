// The demo program playing the menu route on a virtual display: what it tells on standard
// output, and the pictures it saves of each screen.

#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "demo/DemoProgram.h"

namespace keln::testing {
namespace {

// Pixels darker than mid-grey (text, images) in the rows of `path` from `firstRow` down;
// -1 when the file is not a picture.
long darkPixelsBelow(const std::string& path, int firstRow) {
  GError* error = nullptr;
  GdkTexture* texture = gdk_texture_new_from_filename(path.c_str(), &error);
  g_clear_error(&error);
  if (texture == nullptr) return -1;
  const int width = gdk_texture_get_width(texture);
  const int height = gdk_texture_get_height(texture);
  std::vector<guchar> pixels(static_cast<std::size_t>(width) * height * 4);
  gdk_texture_download(texture, pixels.data(), static_cast<gsize>(width) * 4);
  g_object_unref(texture);
  long dark = 0;
  for (int y = firstRow; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const guchar* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];  // B G R A
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
           {"screen", "Checkout window closed"},
           {"result", "payment succeeded"},
       }) {
    SCOPED_TRACE(name + ": " + text);
    at = find(name, text, at);
    ASSERT_LT(at, events.size()) << output;
  }
  EXPECT_LT(find("sdk-output", "getstatus", 0), events.size()) << "the SDK's own lines become events";

  std::vector<std::string> screens;
  for (const auto& event : events) {
    if (event["event"] != "snapshot") continue;
    SCOPED_TRACE(event.dump());
    const std::string screen = event["screen"];
    screens.push_back(screen);
    const std::string path = event["path"];
    EXPECT_EQ(path.rfind(folder + "/", 0), 0u);
    // Below the header bar: the host's labels, the menu's cards, the page's fields and text.
    EXPECT_GT(darkPixelsBelow(path, 60), screen == "form" ? 2000 : 100);
  }
  EXPECT_EQ(screens, (std::vector<std::string>{"host", "menu", "form", "back-at-host"}));
}

}  // namespace
}  // namespace keln::testing
