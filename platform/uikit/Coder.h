#pragma once

#include <keln/Export.h>

#include <string_view>

namespace keln::uikit {

// An archive that a view, cell or view controller would be restored from (a storyboard
// or a nib). Screens are built in code, so an archive carries nothing: the layer's own
// classes accept one, and the SDK's screens stop the program when given one.
class Coder {};

// Writes "Fatal error: " and `message` to standard error and stops the program. For
// programming errors that must not go unnoticed.
[[noreturn]] KELN_EXPORT void fatalError(std::string_view message);

}  // namespace keln::uikit
