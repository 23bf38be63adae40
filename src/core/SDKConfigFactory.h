#pragma once

#include <string>

#include <keln/core/EnvironmentSDK.h>
#include <keln/core/SDKConfig.h>

namespace keln {

// The gateway roots the SDK is built with, and configurations on any root for the SDK's
// own code, its tests and the demo (a local gateway such as "http://127.0.0.1:8080").
struct SDKConfigFactory {
  // The root of `environment`: an HTTPS URL of scheme and host only.
  static std::string gatewayRoot(EnvironmentSDK environment);

  // A configuration whose baseURL and webURL are both `root`, stored unchanged.
  static SDKConfig withRoot(std::string root, std::string clientId, std::string token);
  // A configuration whose requests go to `baseURL` and whose web page posts to `webURL`.
  static SDKConfig withRoots(std::string baseURL, std::string webURL, std::string clientId, std::string token);
};

}  // namespace keln
