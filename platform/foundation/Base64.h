#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keln::foundation {

// Base64 with the standard alphabet and "=" fill, as the platform reads and writes it.
// Bytes are carried in std::string. Any thread.

// Decodes strictly: only A-Z a-z 0-9 + / and "=", padded to a multiple of four; any other
// character (white space, "-", "_"), a missing fill or "=" inside the text gives nullopt.
// Extra trailing "=" are tolerated ("AAAA====" is three zero bytes, and a text of four or
// more "=" only is one zero byte); "" is empty data.
std::optional<std::string> base64Decode(std::string_view text);

// Encodes with "=" fill and no line breaks.
std::string base64Encode(std::string_view bytes);

}  // namespace keln::foundation
