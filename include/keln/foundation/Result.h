#pragma once

#include <cassert>
#include <memory>
#include <utility>
#include <variant>

#include <keln/foundation/Error.h>

namespace keln {

// The outcome of an operation that completes through a callback: a value or an error.
template <typename T>
class Result {
 public:
  static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
  static Result failure(std::shared_ptr<const Error> error) {
    assert(error != nullptr);
    return Result(std::in_place_index<1>, std::move(error));
  }

  bool isSuccess() const { return state_.index() == 0; }
  bool isFailure() const { return !isSuccess(); }

  // Precondition: isSuccess().
  const T& value() const& { return std::get<0>(state_); }
  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }

  // Precondition: isFailure(). Never null.
  const std::shared_ptr<const Error>& error() const { return std::get<1>(state_); }

 private:
  template <std::size_t I, typename V>
  Result(std::in_place_index_t<I> index, V&& v) : state_(index, std::forward<V>(v)) {}

  std::variant<T, std::shared_ptr<const Error>> state_;
};

// Wraps a concrete error for delivery in a Result.
template <typename E>
std::shared_ptr<const Error> makeError(E error) {
  return std::make_shared<const E>(std::move(error));
}

}  // namespace keln
