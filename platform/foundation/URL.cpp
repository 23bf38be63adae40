#include "foundation/URL.h"

namespace keln::foundation {

std::optional<URL> URL::parse(std::string_view text) {
  if (text.empty()) return std::nullopt;
  URL url;
  url.text_ = std::string(text);
  return url;
}

URL URL::appendingPathComponent(std::string_view component) const {
  URL url = *this;
  url.text_ += std::string(component);
  return url;
}

void URL::rebuildText() {}

}  // namespace keln::foundation
