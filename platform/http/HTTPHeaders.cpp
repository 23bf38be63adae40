#include "http/HTTPHeaders.h"

#include <algorithm>

#include "foundation/Unicode.h"

namespace keln::http {

bool headerNamesEqual(std::string_view a, std::string_view b) { return foundation::asciiCaseInsensitiveEquals(a, b); }

std::string HTTPHeader::description() const { return name + ": " + value; }

HTTPHeaders::HTTPHeaders(std::initializer_list<HTTPHeader> headers) {
  for (const HTTPHeader& header : headers) add(header);
}

void HTTPHeaders::add(HTTPHeader header) {
  auto existing = std::find_if(headers_.begin(), headers_.end(),
                               [&](const HTTPHeader& h) { return headerNamesEqual(h.name, header.name); });
  if (existing != headers_.end()) {
    *existing = std::move(header);
  } else {
    headers_.push_back(std::move(header));
  }
}

void HTTPHeaders::remove(std::string_view name) {
  std::erase_if(headers_, [&](const HTTPHeader& h) { return headerNamesEqual(h.name, name); });
}

std::optional<std::string> HTTPHeaders::value(std::string_view name) const {
  for (const HTTPHeader& header : headers_) {
    if (headerNamesEqual(header.name, name)) return header.value;
  }
  return std::nullopt;
}

std::string HTTPHeaders::description() const {
  std::string text;
  for (const HTTPHeader& header : headers_) {
    if (&header != &headers_.front()) text += '\n';
    text += header.description();
  }
  return text;
}

}  // namespace keln::http
