#include <keln/core/SDKConfig.h>

#include <utility>

#include "core/SDKConfigFactory.h"

#ifndef KELN_GATEWAY_ROOT_PRODUCTION
#error "KELN_GATEWAY_ROOT_PRODUCTION must name the production gateway root"
#endif
#ifndef KELN_GATEWAY_ROOT_QUALITY
#error "KELN_GATEWAY_ROOT_QUALITY must name the quality gateway root"
#endif

namespace keln {

std::string SDKConfigFactory::gatewayRoot(EnvironmentSDK environment) {
  switch (environment) {
    case EnvironmentSDK::production: return KELN_GATEWAY_ROOT_PRODUCTION;
    case EnvironmentSDK::quality: return KELN_GATEWAY_ROOT_QUALITY;
  }
  return KELN_GATEWAY_ROOT_QUALITY;
}

SDKConfig SDKConfigFactory::withRoot(std::string root, std::string clientId, std::string token) {
  return SDKConfig(std::move(root), std::move(clientId), std::move(token));
}

SDKConfig SDKConfigFactory::withRoots(std::string baseURL, std::string webURL, std::string clientId,
                                      std::string token) {
  SDKConfig config(std::move(baseURL), std::move(clientId), std::move(token));
  config.webURL_ = std::move(webURL);
  return config;
}

SDKConfig::SDKConfig(std::string clientId, std::string token, EnvironmentSDK environment)
    : SDKConfig(SDKConfigFactory::gatewayRoot(environment), std::move(clientId), std::move(token)) {}

SDKConfig::SDKConfig(std::string root, std::string clientId, std::string token)
    : baseURL_(root), webURL_(std::move(root)), clientID_(std::move(clientId)), token_(std::move(token)) {}

}  // namespace keln
