#pragma once

namespace keln::uikit {

// A typeface at a size. Headless: only the system font exists, and its metrics are
// estimates good enough for laying out labels. Plain value.
class Font {
 public:
  static Font systemFont(double pointSize) { return Font(pointSize); }

  double pointSize() const { return pointSize_; }
  // The height of one line of text.
  double lineHeight() const { return pointSize_ * 1.2; }
  // The estimated advance of one character.
  double averageCharacterWidth() const { return pointSize_ * 0.5; }

  friend bool operator==(const Font&, const Font&) = default;

 private:
  explicit Font(double pointSize) : pointSize_(pointSize) {}

  double pointSize_;
};

}  // namespace keln::uikit
