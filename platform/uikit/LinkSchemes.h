#pragma once

#include <array>
#include <string_view>

namespace keln::uikit {

// The links that leave the checkout for the system's opener (a browser, a mail program),
// as the prefixes they start with; the scheme is matched in any case.
inline constexpr std::array<std::string_view, 3> externalLinkPrefixes{"http://", "https://", "mailto:"};

// The scheme a prefix stands for: "http" for "http://".
constexpr std::string_view schemeOfPrefix(std::string_view prefix) { return prefix.substr(0, prefix.find(':')); }

}  // namespace keln::uikit
