#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <keln/core/CardItem.h>

namespace keln {

// The SDK's own way to make and read menu entries (CardItem keeps both hidden from hosts).
class CardItemAccess {
 public:
  static CardItem make(std::optional<std::string_view> imageResource, std::string_view title) {
    return CardItem(imageResource ? std::optional<std::string>(std::string(*imageResource)) : std::nullopt,
                    std::string(title));
  }
  // The name of an image in the SDK's resource bundle; absent when the entry has none.
  static const std::optional<std::string>& imageResource(const CardItem& item) { return item.imageResource_; }
  // A key of the SDK's localized strings, not the text shown.
  static const std::string& title(const CardItem& item) { return item.title_; }
};

}  // namespace keln
