#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keln::http {

struct HTTPHeader {
  std::string name;
  std::string value;

  // "Name: Value"
  std::string description() const;

  friend bool operator==(const HTTPHeader&, const HTTPHeader&) = default;
};

// The header fields of a request or a response: an ordered list in which a name occurs
// at most once, names compared without regard to (ASCII) case.
//
// Value type; not synchronized.
class HTTPHeaders {
 public:
  using const_iterator = std::vector<HTTPHeader>::const_iterator;

  HTTPHeaders() = default;
  // Each header added in turn, as by add().
  HTTPHeaders(std::initializer_list<HTTPHeader> headers);

  // Replaces the header of the same name in place (keeping its position, taking the new
  // spelling of the name) or appends the header when there is none. update() is the same.
  void add(HTTPHeader header);
  void add(std::string name, std::string value) { add(HTTPHeader{std::move(name), std::move(value)}); }
  void update(HTTPHeader header) { add(std::move(header)); }
  void update(std::string name, std::string value) { add(std::move(name), std::move(value)); }

  // Removes the header of that name, if any.
  void remove(std::string_view name);

  // The value of the header of that name, if any.
  std::optional<std::string> value(std::string_view name) const;

  // Each header as "Name: Value", in order, joined by "\n"; "" when there are none.
  std::string description() const;

  std::size_t size() const { return headers_.size(); }
  bool empty() const { return headers_.empty(); }
  const_iterator begin() const { return headers_.begin(); }
  const_iterator end() const { return headers_.end(); }

  friend bool operator==(const HTTPHeaders&, const HTTPHeaders&) = default;

 private:
  std::vector<HTTPHeader> headers_;
};

// Equality of header names: ASCII letters compared without regard to case.
bool headerNamesEqual(std::string_view a, std::string_view b);

}  // namespace keln::http
