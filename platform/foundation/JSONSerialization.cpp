#include <cmath>
#include <cstdio>

#include "foundation/JSONValue.h"
#include "foundation/NumberText.h"

namespace keln::foundation {
namespace {

using ordered_json = nlohmann::ordered_json;

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not well formed.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

void writeString(std::string_view text, std::string& out) {
  out.push_back('"');
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8SequenceLength(text, i);
    if (length == 0) {
      throw EncodingError(EncodingError::Kind::invalidValue, {}, "Unable to encode a text that is not valid UTF-8.");
    }
    const char c = text[i];
    if (length > 1) {
      out.append(text.substr(i, length));
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '/') {
      out += "\\/";
    } else if (c == '\b') {
      out += "\\b";
    } else if (c == '\f') {
      out += "\\f";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out.push_back(c);
    }
    i += length;
  }
  out.push_back('"');
}

void writeDouble(double value, std::string& out) {
  if (!std::isfinite(value)) {
    throw EncodingError(EncodingError::Kind::invalidValue, {},
                        "Unable to encode Double." + doubleDescription(value) + " directly in JSON.");
  }
  std::string text = doubleDescription(value);
  if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
  out += text;
}

void write(const ordered_json& value, std::string& out) {
  switch (value.type()) {
    case ordered_json::value_t::null: out += "null"; break;
    case ordered_json::value_t::boolean: out += value.get<bool>() ? "true" : "false"; break;
    case ordered_json::value_t::number_integer: out += std::to_string(value.get<std::int64_t>()); break;
    case ordered_json::value_t::number_unsigned: out += std::to_string(value.get<std::uint64_t>()); break;
    case ordered_json::value_t::number_float: writeDouble(value.get<double>(), out); break;
    case ordered_json::value_t::string: writeString(value.get_ref<const std::string&>(), out); break;
    case ordered_json::value_t::array: {
      out.push_back('[');
      bool first = true;
      for (const auto& element : value) {
        if (!first) out.push_back(',');
        first = false;
        write(element, out);
      }
      out.push_back(']');
      break;
    }
    case ordered_json::value_t::object: {
      out.push_back('{');
      bool first = true;
      for (auto it = value.begin(); it != value.end(); ++it) {
        if (!first) out.push_back(',');
        first = false;
        writeString(it.key(), out);
        out.push_back(':');
        write(it.value(), out);
      }
      out.push_back('}');
      break;
    }
    default:
      throw EncodingError(EncodingError::Kind::invalidValue, {}, "Unable to encode a value of this type in JSON.");
  }
}

}  // namespace

std::string serializeJSON(const ordered_json& value) {
  std::string out;
  write(value, out);
  return out;
}

}  // namespace keln::foundation
