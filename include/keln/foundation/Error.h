#pragma once

#include <keln/Export.h>

#include <exception>
#include <string>

namespace keln {

// The one error vocabulary of the SDK. Every error the SDK throws or delivers is a
// subclass of Error: the SDK's own errors, the builders' validation errors, the JSON
// decoding and encoding errors and the HTTP layer's request errors.
//
// Errors are immutable and may be shared between threads once made.
class KELN_EXPORT Error : public std::exception {
 public:
  ~Error() override = default;

  // The text the SDK writes into its log lines when it reports this error.
  virtual std::string description() const = 0;

  // The text meant for a person (what a host shows or logs).
  virtual std::string localizedDescription() const = 0;

  // Same as description(), for code that only knows std::exception. The text stays
  // valid on the calling thread until its next call of what().
  const char* what() const noexcept override;

 protected:
  Error() = default;
  Error(const Error&) = default;
  Error& operator=(const Error&) = default;
};

}  // namespace keln
