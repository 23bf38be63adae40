#pragma once

#include <keln/Export.h>

#include <string>

#include <keln/core/EnvironmentSDK.h>

namespace keln {

// What one SDK instance talks to and with which credentials: the gateway root that
// requests go to (baseURL), the same root handed to the web checkout page (webURL), the
// gateway client id and the bearer access token.
//
// An immutable value, safe to read on any thread. Making one checks nothing: an empty
// client id or token is kept as given and rejected only when a request is about to be
// sent.
class KELN_EXPORT SDKConfig {
 public:
  SDKConfig(std::string clientId, std::string token, EnvironmentSDK environment);

  const std::string& baseURL() const { return baseURL_; }
  const std::string& webURL() const { return webURL_; }
  const std::string& clientID() const { return clientID_; }
  const std::string& token() const { return token_; }

 private:
  friend struct SDKConfigFactory;
  SDKConfig(std::string root, std::string clientId, std::string token);

  std::string baseURL_;
  std::string webURL_;
  std::string clientID_;
  std::string token_;
};

}  // namespace keln
