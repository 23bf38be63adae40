#include "core/network/DefaultNetworkClient.h"

#include <optional>
#include <utility>

#include <keln/core/KelnSDKError.h>
#include <keln/platform/MainQueue.h>

#include "foundation/Log.h"
#include "foundation/URL.h"
#include "foundation/Unicode.h"
#include "http/DataRequest.h"
#include "http/RequestError.h"

namespace keln {
namespace {

constexpr double kSessionTimeout = 30.0;

// The headers as the log shows them: the bearer token replaced.
std::string describeForLog(const http::HTTPHeaders& headers) {
  http::HTTPHeaders shown = headers;
  for (const http::HTTPHeader& header : headers) {
    if (http::headerNamesEqual(header.name, "Authorization")) {
      shown.add(header.name, "Bearer <redacted>");
    }
  }
  return shown.description();
}

}  // namespace

http::SessionConfiguration DefaultNetworkClient::defaultSessionConfiguration() {
  http::SessionConfiguration configuration = http::SessionConfiguration::defaultConfiguration();
  configuration.timeoutIntervalForRequest = kSessionTimeout;
  configuration.timeoutIntervalForResource = kSessionTimeout;
  configuration.requestCachePolicy = http::CachePolicy::reloadIgnoringLocalCacheData;
  return configuration;
}

DefaultNetworkClient::DefaultNetworkClient(const NetworkConfiguration& configuration)
    : DefaultNetworkClient(configuration, defaultSessionConfiguration()) {}

DefaultNetworkClient::DefaultNetworkClient(const NetworkConfiguration& configuration,
                                           http::SessionConfiguration sessionConfiguration)
    : configuration_(configuration.baseURL(), configuration.clientID(), configuration.token()),
      sessionConfiguration_(std::move(sessionConfiguration)) {}

DefaultNetworkClient::~DefaultNetworkClient() = default;

http::Session& DefaultNetworkClient::session() {
  if (!session_) session_ = std::make_unique<http::Session>(sessionConfiguration_);
  return *session_;
}

void DefaultNetworkClient::validateConfiguration() const {
  if (!foundation::URL::parse(configuration_.baseURL())) throw KelnSDKError::sdkNotConfigured("Incorrect baseURL");
  if (configuration_.clientID().empty()) throw KelnSDKError::sdkNotConfigured("Incorrect clientID");
  if (configuration_.token().empty()) throw KelnSDKError::sdkNotConfigured("Incorrect token");
}

void DefaultNetworkClient::requestData(std::shared_ptr<const Router> router,
                                       std::function<void(Result<std::string>)> completion) {
  try {
    validateConfiguration();
  } catch (const KelnSDKError& error) {
    foundation::systemLog("Configuration validation failed: " + error.description());
    completion(Result<std::string>::failure(makeError(error)));
    return;
  }

  std::optional<http::URLRequest> built;
  try {
    built = router->asURLRequest();
  } catch (const foundation::EncodingError& error) {
    // A request whose body cannot be written is never sent, with or without a body.
    foundation::systemLog("Request failed with error: " + error.description());
    dispatch::MainQueue::main().async([completion = std::move(completion), failure = makeError(error)] {
      completion(Result<std::string>::failure(failure));
    });
    return;
  } catch (...) {
    // Any other build failure is met again by the session's first attempt, which fails
    // and is retried like any failed attempt.
  }
  if (built && built->httpBody()) {
    const std::string& body = *built->httpBody();
    foundation::systemLog("Request body: " + (foundation::isValidUTF8(body) ? body : std::string("Invalid body")));
  }

  session()
      .request(std::move(router), this)
      ->validate()
      .responseData([completion = std::move(completion)](http::DataResponse response) {
        handleResponse(response, completion);
      });
}

http::URLRequest DefaultNetworkClient::adapt(http::URLRequest urlRequest, http::Session&) {
  urlRequest.headers().add(http::HTTPHeader{"Authorization", "Bearer " + configuration_.token()});
  urlRequest.headers().add(http::HTTPHeader{"X-IBM-Client-Id", configuration_.clientID()});
  foundation::systemLog("Adapted request with headers: " + describeForLog(urlRequest.headers()));
  return urlRequest;
}

http::RetryResult DefaultNetworkClient::retry(http::DataRequest& request, http::Session&, const Error& error) {
  const int retryCount = request.retryCount();
  if (retryCount < retryLimit_) {
    foundation::systemLog("Retrying request due to error: " + error.description() +
                          ". Retry count: " + std::to_string(retryCount));
    return http::RetryResult::retryWithDelay(retryDelay_);
  }
  return http::RetryResult::doNotRetry();
}

void DefaultNetworkClient::handleResponse(const http::DataResponse& response,
                                          const std::function<void(Result<std::string>)>& completion) {
  std::shared_ptr<const Error> failure = response.error();
  if (!failure && (!response.data() || response.data()->empty())) {
    // A reply that may carry no body (204, 205) and carries none: there is nothing to
    // decode.
    failure = makeError(http::RequestError::inputDataNilOrZeroLength());
  }
  if (failure) {
    foundation::systemLog("Request failed with error: " + failure->description());
    completion(Result<std::string>::failure(std::move(failure)));
    return;
  }
  const std::string& data = *response.data();
  foundation::systemLog("Received response data: " + (foundation::isValidUTF8(data) ? data : std::string("Invalid data")));
  completion(Result<std::string>::success(data));
}

}  // namespace keln
