#include <keln/core/SDKConfig.h>

#include <utility>

#include "core/SDKConfigFactory.h"

namespace keln {

SDKConfig::SDKConfig(std::string clientId, std::string token, EnvironmentSDK environment)
    : SDKConfig(SDKConfigFactory::gatewayRoot(environment), std::move(clientId), std::move(token)) {}

SDKConfig::SDKConfig(std::string root, std::string clientId, std::string token)
    : baseURL_(root), webURL_(std::move(root)), clientID_(std::move(clientId)), token_(std::move(token)) {}

}  // namespace keln
