#include "gtk-webkit/WebKitHarness.h"

#include <cstdlib>
#include <cstring>

namespace keln::testing {

std::string formField(const std::string& body, const std::string& name) {
  std::size_t start = 0;
  while (start <= body.size()) {
    std::size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    const std::string pair = body.substr(start, end - start);
    if (pair.rfind(name + "=", 0) == 0) {
      std::string value;
      for (std::size_t i = name.size() + 1; i < pair.size(); ++i) {
        if (pair[i] == '+') {
          value += ' ';
        } else if (pair[i] == '%' && i + 2 < pair.size()) {
          value += static_cast<char>(std::strtol(pair.substr(i + 1, 2).c_str(), nullptr, 16));
          i += 2;
        } else {
          value += pair[i];
        }
      }
      return value;
    }
    start = end + 1;
  }
  return {};
}

void GtkEnvironment::SetUp() {
  ASSERT_TRUE(gtk_init_check()) << "no display: run under xvfb-run -a";
}

namespace {
[[maybe_unused]] ::testing::Environment* const gtkEnvironment =
    ::testing::AddGlobalTestEnvironment(new GtkEnvironment);
}  // namespace

}  // namespace keln::testing
