#include "core/SDKConfigFactory.h"

#include <utility>

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

}  // namespace keln
