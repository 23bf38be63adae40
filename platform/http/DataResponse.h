#pragma once

#include <memory>
#include <optional>
#include <string>

#include <keln/foundation/Error.h>
#include <keln/foundation/Result.h>

#include "http/HTTPHeaders.h"
#include "http/URLRequest.h"

namespace keln::http {

// The status line and header fields of a reply.
struct HTTPURLResponse {
  int statusCode = 0;
  HTTPHeaders headers;
};

// The outcome of a DataRequest, handed once to its completion on the main queue.
//
// request(), response() and data() describe the last attempt; error() is null on
// success. On success the body is data(), or empty when data() is absent (a reply with
// no body is a success only for status 204 or 205 or a HEAD request).
class DataResponse {
 public:
  DataResponse(std::optional<URLRequest> request, std::optional<HTTPURLResponse> response,
               std::optional<std::string> data, std::shared_ptr<const Error> error)
      : request_(std::move(request)),
        response_(std::move(response)),
        data_(std::move(data)),
        error_(std::move(error)) {}

  // The request as sent (after adaptation); absent when it could not be made.
  const std::optional<URLRequest>& request() const { return request_; }
  // The reply's status and headers; absent when no reply arrived.
  const std::optional<HTTPURLResponse>& response() const { return response_; }
  std::optional<int> statusCode() const { return response_ ? std::optional<int>(response_->statusCode) : std::nullopt; }
  // The reply body; absent when no byte of body arrived.
  const std::optional<std::string>& data() const { return data_; }
  // A RequestError, or null on success.
  const std::shared_ptr<const Error>& error() const { return error_; }

  // The body, or the error.
  Result<std::string> result() const {
    return error_ ? Result<std::string>::failure(error_) : Result<std::string>::success(data_.value_or(""));
  }

 private:
  std::optional<URLRequest> request_;
  std::optional<HTTPURLResponse> response_;
  std::optional<std::string> data_;
  std::shared_ptr<const Error> error_;
};

}  // namespace keln::http
