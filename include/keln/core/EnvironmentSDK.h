#pragma once

namespace keln {

// The gateway environment a host runs its payments against. Each case selects one
// gateway root, fixed when the SDK is built. Compared and hashed by case.
enum class EnvironmentSDK {
  quality,     // the gateway's test environment
  production,  // the live gateway
};

}  // namespace keln
