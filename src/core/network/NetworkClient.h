#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <keln/foundation/JSONCoding.h>
#include <keln/foundation/Result.h>

#include "core/network/NetworkConfiguration.h"
#include "core/network/Router.h"
#include "foundation/Log.h"

namespace keln {

// Sends gateway requests and decodes their replies.
//
// Main thread only. The completion of a request runs exactly once: on the main queue,
// or at once on the calling thread when the configuration is rejected before anything
// is sent.
class NetworkClient {
 public:
  virtual ~NetworkClient() = default;

  virtual const NetworkConfiguration& configuration() const = 0;

  // Sends `router`'s request and decodes the reply body as T. A body that does not
  // decode is logged ("Failed to decode response data: ") and fails with the
  // foundation::DecodingError.
  template <typename T>
  void request(std::shared_ptr<const Router> router, std::function<void(Result<T>)> completion) {
    requestData(std::move(router), [completion = std::move(completion)](Result<std::string> data) {
      if (data.isFailure()) {
        completion(Result<T>::failure(data.error()));
        return;
      }
      std::shared_ptr<const Error> failure;
      std::optional<T> value;
      try {
        value.emplace(foundation::JSONDecoder().decode<T>(data.value()));
      } catch (const foundation::DecodingError& error) {
        failure = makeError(error);
      } catch (const std::exception& error) {
        failure =
            makeError(foundation::DecodingError(foundation::DecodingError::Kind::dataCorrupted, {}, error.what()));
      }
      if (value) {
        // Outside the try: whatever the completion throws is the host's and leaves here as
        // it was thrown.
        completion(Result<T>::success(std::move(*value)));
        return;
      }
      foundation::systemLog("Failed to decode response data: " + failure->description());
      completion(Result<T>::failure(std::move(failure)));
    });
  }

  // Sends `router`'s request and delivers the reply body, or why there is none.
  virtual void requestData(std::shared_ptr<const Router> router,
                           std::function<void(Result<std::string>)> completion) = 0;
};

}  // namespace keln
