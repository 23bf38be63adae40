#include "foundation/Bundle.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <system_error>

#include "foundation/Unicode.h"

namespace keln::foundation {
namespace {

// True when `name` names one entry of a folder and nothing outside it.
bool isPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

void appendUTF8(std::string& out, std::uint32_t scalar) {
  if (scalar < 0x80) {
    out.push_back(static_cast<char>(scalar));
  } else if (scalar < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (scalar >> 6)));
    out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
  } else if (scalar < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (scalar >> 12)));
    out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (scalar >> 18)));
    out.push_back(static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
  }
}

// Reads a strings table. Any syntax error makes the whole table unusable (nullopt), so a
// damaged file never yields half of its entries.
class StringsParser {
 public:
  explicit StringsParser(std::string_view text) : text_(text) {}

  std::optional<std::map<std::string, std::string, std::less<>>> parse() {
    std::map<std::string, std::string, std::less<>> table;
    while (true) {
      if (!skipSpaceAndComments()) return std::nullopt;
      if (pos_ == text_.size()) return table;
      std::optional<std::string> key = quoted();
      if (!key || !skipSpaceAndComments() || !consume('=') || !skipSpaceAndComments()) return std::nullopt;
      std::optional<std::string> value = quoted();
      if (!value || !skipSpaceAndComments() || !consume(';')) return std::nullopt;
      table.insert_or_assign(std::move(*key), std::move(*value));
    }
  }

 private:
  bool consume(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  // False on an unterminated block comment.
  bool skipSpaceAndComments() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        ++pos_;
      } else if (text_.substr(pos_, 2) == "//") {
        const std::size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else if (text_.substr(pos_, 2) == "/*") {
        const std::size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) return false;
        pos_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  std::optional<std::uint32_t> hex4() {
    if (text_.size() - pos_ < 4) return std::nullopt;
    std::uint32_t unit = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text_[pos_++];
      unit <<= 4;
      if (c >= '0' && c <= '9') {
        unit |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        unit |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        unit |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return std::nullopt;
      }
    }
    return unit;
  }

  // A UTF-16 escape after "\u" or "\U"; a high surrogate must be followed by an escaped
  // low surrogate.
  std::optional<std::uint32_t> unicodeEscape() {
    std::optional<std::uint32_t> unit = hex4();
    if (!unit) return std::nullopt;
    if (*unit >= 0xDC00 && *unit <= 0xDFFF) return std::nullopt;
    if (*unit < 0xD800 || *unit > 0xDBFF) return unit;
    if (text_.substr(pos_, 2) != "\\U" && text_.substr(pos_, 2) != "\\u") return std::nullopt;
    pos_ += 2;
    std::optional<std::uint32_t> low = hex4();
    if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
    return 0x10000 + ((*unit - 0xD800) << 10) + (*low - 0xDC00);
  }

  std::optional<std::string> quoted() {
    if (!consume('"')) return std::nullopt;
    std::string out;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return out;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos_ == text_.size()) return std::nullopt;
      const char escaped = text_[pos_++];
      switch (escaped) {
        case '"':
        case '\\':
        case '\'': out.push_back(escaped); break;
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case 'u':
        case 'U': {
          std::optional<std::uint32_t> scalar = unicodeEscape();
          if (!scalar) return std::nullopt;
          appendUTF8(out, *scalar);
          break;
        }
        default: return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::optional<std::string> lookUp(const std::filesystem::path& resourcePath, std::string_view language,
                                  std::string_view key) {
  if (!isPlainName(language)) return std::nullopt;
  const std::filesystem::path table = resourcePath / (std::string(language) + ".lproj") / "Localizable.strings";
  std::optional<std::string> text = Bundle::readText(table);
  if (!text) return std::nullopt;
  auto entries = StringsParser(*text).parse();
  if (!entries) return std::nullopt;
  auto found = entries->find(key);
  if (found == entries->end()) return std::nullopt;
  return found->second;
}

}  // namespace

Bundle::Bundle(std::filesystem::path resourcePath) : resourcePath_(std::move(resourcePath)) {}

const Bundle& Bundle::module() {
  static const Bundle bundle(chooseResourcePath(KELN_RESOURCE_INSTALL_DIR, KELN_RESOURCE_BUILD_DIR));
  return bundle;
}

std::filesystem::path Bundle::chooseResourcePath(const std::filesystem::path& installed,
                                                 const std::filesystem::path& buildTree) {
  std::error_code error;
  if (std::filesystem::is_directory(installed, error) && !std::filesystem::is_empty(installed, error) && !error) {
    return installed;
  }
  return buildTree;
}

std::optional<std::filesystem::path> Bundle::url(std::string_view name, std::string_view extension) const {
  if (!isPlainName(name)) return std::nullopt;
  std::string file(name);
  if (!extension.empty()) {
    if (extension.find('/') != std::string_view::npos || extension.find('\0') != std::string_view::npos) {
      return std::nullopt;
    }
    file += '.';
    file += extension;
  }
  std::filesystem::path candidate = resourcePath_ / file;
  std::error_code error;
  if (!std::filesystem::is_regular_file(candidate, error)) return std::nullopt;
  return candidate;
}

std::optional<std::filesystem::path> Bundle::imagePath(std::string_view name) const { return url(name, "png"); }

std::optional<std::string> Bundle::readText(const std::filesystem::path& url) {
  std::ifstream file(url, std::ios::binary);
  if (!file) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad() || !isValidUTF8(text)) return std::nullopt;
  return text;
}

std::string Bundle::localizedString(std::string_view key, std::string_view language) const {
  if (std::optional<std::string> text = lookUp(resourcePath_, language, key)) return *std::move(text);
  if (language != "en") {
    if (std::optional<std::string> text = lookUp(resourcePath_, "en", key)) return *std::move(text);
  }
  return std::string(key);
}

}  // namespace keln::foundation
