#include "uikit/Image.h"

#include <algorithm>
#include <array>

namespace keln::uikit {
namespace {

// The symbols the SDK's screens use.
constexpr std::array<std::string_view, 1> kSystemSymbols = {"chevron.backward"};

}  // namespace

std::optional<Image> Image::systemImage(std::string_view name) {
  if (std::find(kSystemSymbols.begin(), kSystemSymbols.end(), name) == kSystemSymbols.end()) return std::nullopt;
  return Image(std::string(name), std::nullopt);
}

}  // namespace keln::uikit
