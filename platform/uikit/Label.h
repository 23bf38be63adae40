#pragma once

#include <keln/Export.h>

#include <optional>
#include <string>

#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/View.h"

namespace keln::uikit {

// A view showing one line of text. Its natural size is the estimated size of its text
// (zero without text). Main thread only.
class KELN_EXPORT Label : public View {
 public:
  using View::View;

  const std::optional<std::string>& text() const { return text_; }
  void setText(std::optional<std::string> text) { text_ = std::move(text); }

  const Font& font() const { return font_; }
  void setFont(const Font& font) { font_ = font; }

  const Color& textColor() const { return textColor_; }
  void setTextColor(const Color& color) { textColor_ = color; }

  Size intrinsicContentSize() const override;

 private:
  std::optional<std::string> text_;
  Font font_ = Font::systemFont(17);
  Color textColor_ = Color::black();
};

}  // namespace keln::uikit
