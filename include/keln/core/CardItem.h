#pragma once

#include <keln/Export.h>

#include <optional>
#include <string>

namespace keln {

class CardItemAccess;

// One entry of the checkout's payment-method menu: the name of its image in the SDK's
// resource bundle (may be absent) and the key of its localized title. Only the SDK makes
// and reads these values; a host can name the type but not build or inspect one.
// Immutable value.
class KELN_EXPORT CardItem {
 public:
  CardItem(const CardItem&) = default;
  CardItem(CardItem&&) = default;
  CardItem& operator=(const CardItem&) = default;
  CardItem& operator=(CardItem&&) = default;

 private:
  friend class CardItemAccess;

  CardItem(std::optional<std::string> imageResource, std::string title)
      : imageResource_(std::move(imageResource)), title_(std::move(title)) {}

  std::optional<std::string> imageResource_;
  std::string title_;
};

}  // namespace keln
