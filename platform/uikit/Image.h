#pragma once

#include <keln/Export.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace keln::foundation {
class Bundle;
}

namespace keln::uikit {

// An image: a PNG file of a resource bundle, or one of the system's symbol images.
// Headless: the image is known by its name and file; its pixels are never read.
// Immutable value; any thread.
class KELN_EXPORT Image {
 public:
  // The image `name` of `bundle`; nullopt when the bundle has none.
  static std::optional<Image> named(std::string_view name, const foundation::Bundle& bundle);
  // The system symbol `name` (for instance "chevron.backward"); nullopt for a name the
  // system does not know.
  static std::optional<Image> systemImage(std::string_view name);

  const std::string& name() const { return name_; }
  bool isSymbolImage() const { return !path_.has_value(); }
  // The file the image comes from; nullopt for a symbol image.
  const std::optional<std::filesystem::path>& path() const { return path_; }

  friend bool operator==(const Image&, const Image&) = default;

 private:
  Image(std::string name, std::optional<std::filesystem::path> path) : name_(std::move(name)), path_(std::move(path)) {}

  std::string name_;
  std::optional<std::filesystem::path> path_;
};

}  // namespace keln::uikit
