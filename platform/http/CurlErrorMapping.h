#pragma once

// The one place where libcurl's result codes become this layer's errors.

#include <memory>
#include <string>

#include <curl/curl.h>

#include <keln/foundation/Error.h>

#include "http/URLError.h"

namespace keln::http {

// The platform error code that stands for libcurl's `code`.
URLError::Code urlErrorCode(CURLcode code);

// The error of an attempt that libcurl ended with `code` (not CURLE_OK): a RequestError,
// responseTooLarge when the session cut the body off at its size limit, sessionTaskFailed
// with a URLError otherwise. `message` is libcurl's error text for the attempt, if any.
std::shared_ptr<const Error> errorForCurlResult(CURLcode code, bool bodyTooLarge, std::size_t bodyLimit,
                                                const std::string& url, const std::string& message);

}  // namespace keln::http
