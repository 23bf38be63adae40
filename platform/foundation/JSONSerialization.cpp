#include <cmath>
#include <cstdio>

#include "foundation/JSONValue.h"
#include "foundation/NumberText.h"
#include "foundation/Unicode.h"

namespace keln::foundation {
namespace {

using ordered_json = nlohmann::ordered_json;

void writeString(std::string_view text, std::string& out) {
  if (!isValidUTF8(text)) {
    throw EncodingError(EncodingError::Kind::invalidValue, {}, "Unable to encode a text that is not valid UTF-8.");
  }
  out.push_back('"');
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '/': out += "\\/"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out.push_back(c);  // UTF-8 sequences are copied as they are
        }
    }
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
