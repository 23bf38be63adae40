#pragma once

// Everything a host needs to take payments: the SDK, its configuration and errors, the
// payment parameters and result, the gateway's value types and builders, and the parts of
// the platform layers a host drives (the main queue, view controllers, the URL opener, the
// wallet).

#include <keln/Export.h>
#include <keln/core/ApplePayStatus.h>
#include <keln/core/EnvironmentSDK.h>
#include <keln/core/KelnSDKError.h>
#include <keln/core/SDKConfig.h>
#include <keln/core/TransactionParamsSDK.h>
#include <keln/core/TransactionResultSDK.h>
#include <keln/dispatch/MainQueue.h>
#include <keln/model/AddressBuilder.h>
#include <keln/model/BuilderError.h>
#include <keln/model/CheckoutRequest.h>
#include <keln/model/Codes.h>
#include <keln/model/TransactionStatus.h>
#include <keln/model/WireParts.h>
#include <keln/presentation/ApplePayManager.h>
#include <keln/sdk/SDK.h>
#include <keln/uikit/Application.h>
#include <keln/uikit/ViewController.h>

extern "C" {
// The SDK's version: 1.0.
KELN_EXPORT extern const double KelnSDKVersionNumber;
// "@(#)PROGRAM:KelnSDK  PROJECT:KelnSDK-1\n"
KELN_EXPORT extern const unsigned char KelnSDKVersionString[];
}
