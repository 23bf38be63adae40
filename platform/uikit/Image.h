#pragma once

#include <keln/Export.h>

#include <concepts>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace keln::uikit {

// An image: a PNG file of a resource bundle, or one of the system's symbol images.
// Headless: the image is known by its name and file; its pixels are never read.
// Immutable value; any thread.
class KELN_EXPORT Image {
 public:
  // The image `name` of `bundle` (a resource bundle: imagePath() gives the file of an
  // image, nullopt when it has none); nullopt when the bundle has none.
  template <class Bundle>
  requires requires(const Bundle& bundle, std::string_view name) {
    { bundle.imagePath(name) } -> std::convertible_to<std::optional<std::filesystem::path>>;
  }
  static std::optional<Image> named(std::string_view name, const Bundle& bundle) {
    std::optional<std::filesystem::path> path = bundle.imagePath(name);
    if (!path) return std::nullopt;
    return Image(std::string(name), std::move(*path));
  }
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
