#include <gtest/gtest.h>

#include <regex>

#include <keln/core/EnvironmentSDK.h>
#include <keln/core/KelnSDKError.h>
#include <keln/core/SDKConfig.h>

#include "core/SDKConfigFactory.h"

namespace keln {
namespace {

TEST(SDKConfig, EachEnvironmentUsesItsOwnHttpsRootForBothURLs) {
  for (EnvironmentSDK environment : {EnvironmentSDK::quality, EnvironmentSDK::production}) {
    SCOPED_TRACE(static_cast<int>(environment));
    SDKConfig config(" client ", " token ", environment);
    EXPECT_EQ(config.baseURL(), config.webURL());
    EXPECT_EQ(config.baseURL(), SDKConfigFactory::gatewayRoot(environment));
    // Scheme and host only: the request paths are appended to it.
    EXPECT_TRUE(std::regex_match(config.baseURL(), std::regex(R"(https://[A-Za-z0-9.-]+(:[0-9]+)?)")))
        << config.baseURL();
    EXPECT_EQ(config.clientID(), " client ");
    EXPECT_EQ(config.token(), " token ");
  }
  EXPECT_NE(SDKConfigFactory::gatewayRoot(EnvironmentSDK::quality),
            SDKConfigFactory::gatewayRoot(EnvironmentSDK::production));
}

TEST(SDKConfig, KeepsEmptyCredentialsAndAnyRootUnchecked) {
  SDKConfig config = SDKConfigFactory::withRoot("not a url", "", "");
  EXPECT_EQ(config.baseURL(), "not a url");
  EXPECT_EQ(config.webURL(), "not a url");
  EXPECT_EQ(config.clientID(), "");
  EXPECT_EQ(config.token(), "");
}

TEST(KelnSDKError, Descriptions) {
  struct Case {
    KelnSDKError error;
    std::optional<std::string> errorDescription;
    std::string description;
  };
  const Case cases[] = {
      {KelnSDKError::sdkNotConfigured("Incorrect token"), "Incorrect token", R"(sdkNotConfigured("Incorrect token"))"},
      {KelnSDKError::sdkNotConfigured(std::nullopt), std::nullopt, "sdkNotConfigured(nil)"},
      {KelnSDKError::applePayError("Apple Pay Error"), "Apple Pay Error", R"(applePayError("Apple Pay Error"))"},
      {KelnSDKError::applePayError(std::nullopt), std::nullopt, "applePayError(nil)"},
      {KelnSDKError::canceledByUser(), "Canceled by user", "canceledByUser"},
      {KelnSDKError::sdkNotConfigured("say \"hi\""), "say \"hi\"", R"(sdkNotConfigured("say \"hi\""))"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(c.error.errorDescription(), c.errorDescription);
    EXPECT_EQ(c.error.description(), c.description);
    EXPECT_STREQ(c.error.what(), c.description.c_str());
    if (c.errorDescription) {
      EXPECT_EQ(c.error.localizedDescription(), *c.errorDescription);
    } else {
      // A host still gets a readable text, never an empty one.
      EXPECT_NE(c.error.localizedDescription().find("KelnSDKError"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace keln
