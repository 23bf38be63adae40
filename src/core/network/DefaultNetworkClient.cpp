#include "core/network/DefaultNetworkClient.h"

#include <optional>
#include <utility>

#include <keln/core/KelnSDKError.h>
#include <keln/dispatch/MainQueue.h>

#include "foundation/Log.h"
#include "foundation/URL.h"
#include "foundation/Unicode.h"
#include "http/DataRequest.h"
#include "http/RequestError.h"

namespace keln {
namespace {

constexpr double kSessionTimeout = 30.0;

constexpr std::string_view kShownAuthorization = "Bearer <redacted>";

// The text of the first fault of `configuration`, or null when it has none.
const char* configurationFault(const NetworkConfiguration& configuration) {
  if (!foundation::URL::parse(configuration.baseURL())) return "Incorrect baseURL";
  if (configuration.clientID().empty()) return "Incorrect clientID";
  if (configuration.token().empty()) return "Incorrect token";
  return nullptr;
}

}  // namespace

void DefaultNetworkClient::log(std::string_view prefix, std::string_view text) const {
  std::string line;
  line.reserve(prefix.size() + text.size());
  line.append(prefix);
  redactor_.appendRedacted(line, text);
  foundation::systemLog(line);
}

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
      configurationFault_(configurationFault(configuration_)),
      redactor_(configuration_.token()),
      sessionConfiguration_(std::move(sessionConfiguration)) {}

DefaultNetworkClient::~DefaultNetworkClient() = default;

http::Session& DefaultNetworkClient::session() {
  if (!session_) session_ = std::make_unique<http::Session>(sessionConfiguration_);
  return *session_;
}

void DefaultNetworkClient::validateConfiguration() const {
  if (configurationFault_) throw KelnSDKError::sdkNotConfigured(configurationFault_);
}

void DefaultNetworkClient::requestData(std::shared_ptr<const Router> router,
                                       std::function<void(Result<std::string>)> completion) {
  if (configurationFault_) {
    const KelnSDKError error = KelnSDKError::sdkNotConfigured(configurationFault_);
    log("Configuration validation failed: ", error.description());
    completion(Result<std::string>::failure(makeError(error)));
    return;
  }

  // Every attempt sends the request built here. When it cannot be built for any other
  // reason than its body, every attempt meets the same failure through the router and
  // is retried like any failed attempt.
  std::shared_ptr<const http::URLRequestConvertible> convertible = router;
  try {
    auto built = std::make_shared<const http::URLRequest>(router->asURLRequest());
    if (const std::optional<std::string>& body = built->httpBody()) {
      log("Request body: ", foundation::isValidUTF8(*body) ? std::string_view(*body) : "Invalid body");
    }
    convertible = std::move(built);
  } catch (const foundation::EncodingError& error) {
    // A request whose body cannot be written is never sent, with or without a body.
    log("Request failed with error: ", error.description());
    dispatch::MainQueue::main().async([completion = std::move(completion), failure = makeError(error)] {
      completion(Result<std::string>::failure(failure));
    });
    return;
  } catch (...) {
  }

  session()
      .request(std::move(convertible), this)
      ->validate()
      .responseData([client = this, keepAlive = weak_from_this().lock(), completion = std::move(completion)](
                        http::DataResponse response) { client->handleResponse(response, completion); });
}

http::URLRequest DefaultNetworkClient::adapt(http::URLRequest urlRequest, http::Session&) {
  urlRequest.headers().add(http::HTTPHeader{"Authorization", "Bearer " + configuration_.token()});
  urlRequest.headers().add(http::HTTPHeader{"X-IBM-Client-Id", configuration_.clientID()});
  // The line is written as the headers are read; it is redone from a copy in the rare
  // case that the secret shows in a header other than the credentials.
  constexpr std::string_view prefix = "Adapted request with headers: ";
  std::string line;
  line.reserve(prefix.size() + 128);
  line.append(prefix);
  for (const http::HTTPHeader& header : urlRequest.headers()) {
    if (line.size() > prefix.size()) line.push_back('\n');
    line.append(header.name).append(": ");
    line.append(http::headerNamesEqual(header.name, "Authorization") ? kShownAuthorization : header.value);
  }
  if (redactor_.occursIn(std::string_view(line).substr(prefix.size()))) {
    const std::string shown = line.substr(prefix.size());
    line.resize(prefix.size());
    redactor_.appendRedacted(line, shown);
  }
  foundation::systemLog(line);
  return urlRequest;
}

http::RetryResult DefaultNetworkClient::retry(http::DataRequest& request, http::Session&, const Error& error) {
  const int retryCount = request.retryCount();
  if (retryCount < retryLimit_) {
    log("Retrying request due to error: ", error.description() + ". Retry count: " + std::to_string(retryCount));
    return http::RetryResult::retryWithDelay(retryDelay_);
  }
  return http::RetryResult::doNotRetry();
}

void DefaultNetworkClient::handleResponse(const http::DataResponse& response,
                                          const std::function<void(Result<std::string>)>& completion) const {
  std::shared_ptr<const Error> failure = response.error();
  if (!failure && (!response.data() || response.data()->empty())) {
    // A reply that may carry no body (204, 205) and carries none: there is nothing to
    // decode.
    failure = makeError(http::RequestError::inputDataNilOrZeroLength());
  }
  if (failure) {
    log("Request failed with error: ", failure->description());
    completion(Result<std::string>::failure(std::move(failure)));
    return;
  }
  const std::string& data = *response.data();
  log("Received response data: ", foundation::isValidUTF8(data) ? std::string_view(data) : "Invalid data");
  completion(Result<std::string>::success(data));
}

}  // namespace keln
