#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace keln::foundation {

// A folder of resources shipped beside the SDK's code: the checkout page template, the
// menu images (PNG) and the localized texts (<language>.lproj/Localizable.strings).
//
// Bundle::module() is the SDK's own bundle. A Bundle can also be made over any folder,
// which is how tests give the SDK a set of resources of their own.
//
// A Bundle only names a folder; it keeps no open files and no cached contents, so every
// look-up sees the folder as it is at that moment. Immutable and usable from any thread.
class Bundle {
 public:
  explicit Bundle(std::filesystem::path resourcePath);

  // The SDK's own resources, chosen once per process: the installed resource folder when
  // it holds any, else the folder in the source tree that the build was made from.
  static const Bundle& module();

  // The rule module() applies: `installed` when it is a folder that is not empty, else
  // `buildTree`.
  static std::filesystem::path chooseResourcePath(const std::filesystem::path& installed,
                                                  const std::filesystem::path& buildTree);

  const std::filesystem::path& resourcePath() const { return resourcePath_; }

  // The location of the regular file "<name>.<extension>" ("<name>" when the extension is
  // empty) at the top of the bundle; nullopt when there is none. A name that is empty or
  // holds a path separator, "." or ".." names nothing.
  std::optional<std::filesystem::path> url(std::string_view name, std::string_view extension) const;

  // The location of the PNG image `name`; nullopt when the bundle has none.
  std::optional<std::filesystem::path> imagePath(std::string_view name) const;

  // The text of the file at `url`; nullopt when it cannot be read or is not valid UTF-8.
  static std::optional<std::string> readText(const std::filesystem::path& url);

  // The text for `key` in `language` ("en" when not given), read from
  // "<language>.lproj/Localizable.strings"; a key that table lacks is looked up in the
  // "en" table. A key found in neither reads as the key itself; a table that cannot be
  // read or parsed counts as empty.
  //
  // Table format, UTF-8: entries `"key" = "value";`, with /* */ and // comments and the
  // escapes \" \\ \n \t \r and \UXXXX / \uXXXX (UTF-16 units).
  std::string localizedString(std::string_view key, std::string_view language = "en") const;

 private:
  std::filesystem::path resourcePath_;
};

}  // namespace keln::foundation
