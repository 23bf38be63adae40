#pragma once

#include <string>
#include <utility>

namespace keln {

// Where a network client sends its requests and with which credentials.
class NetworkConfiguration {
 public:
  virtual ~NetworkConfiguration() = default;

  // The gateway root every request is built on.
  virtual const std::string& baseURL() const = 0;
  // Sent in the "X-IBM-Client-Id" header.
  virtual const std::string& clientID() const = 0;
  // The bearer access token, sent in the "Authorization" header. Never logged.
  virtual const std::string& token() const = 0;
};

// The configuration as plain values, filled from an SDKConfig by whoever makes the
// client. Immutable, so the HTTP layer's threads may read it.
class NetworkConfigurationData final : public NetworkConfiguration {
 public:
  NetworkConfigurationData(std::string baseURL, std::string clientID, std::string token)
      : baseURL_(std::move(baseURL)), clientID_(std::move(clientID)), token_(std::move(token)) {}

  const std::string& baseURL() const override { return baseURL_; }
  const std::string& clientID() const override { return clientID_; }
  const std::string& token() const override { return token_; }

 private:
  std::string baseURL_;
  std::string clientID_;
  std::string token_;
};

}  // namespace keln
