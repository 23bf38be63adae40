#include "uikit/Label.h"

#include <cmath>

namespace keln::uikit {

Size Label::intrinsicContentSize() const {
  if (!text_ || text_->empty()) return {0, 0};
  std::size_t characters = 0;
  for (unsigned char byte : *text_) {
    if ((byte & 0xC0) != 0x80) ++characters;  // count UTF-8 lead bytes
  }
  return {std::ceil(static_cast<double>(characters) * font_.averageCharacterWidth()), std::ceil(font_.lineHeight())};
}

}  // namespace keln::uikit
