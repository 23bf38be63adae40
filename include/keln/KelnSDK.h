#pragma once

// The one include a host needs: the SDK (keln/sdk/SDK.h) and every type its operations take
// or give, the gateway's value types and builders, the wallet a host installs, and the main
// queue a host drives. A GTK host adds keln/gtk/WindowViewController.h.

#include <keln/Export.h>
#include <keln/core/ApplePayStatus.h>
#include <keln/core/CardItem.h>
#include <keln/core/EnvironmentSDK.h>
#include <keln/core/KelnSDKError.h>
#include <keln/core/SDKConfig.h>
#include <keln/core/TransactionParamsSDK.h>
#include <keln/core/TransactionResultSDK.h>
#include <keln/dispatch/MainQueue.h>
#include <keln/foundation/Error.h>
#include <keln/foundation/JSONCoding.h>
#include <keln/foundation/Result.h>
#include <keln/model/AddressBuilder.h>
#include <keln/model/BuilderError.h>
#include <keln/model/CheckoutRequest.h>
#include <keln/model/CheckoutResponseParts.h>
#include <keln/model/Codes.h>
#include <keln/model/PaymentMethodPayloads.h>
#include <keln/model/TransactionStatus.h>
#include <keln/model/WireParts.h>
#include <keln/passkit/Contact.h>
#include <keln/passkit/Decimal.h>
#include <keln/passkit/Payment.h>
#include <keln/passkit/PaymentAuthorizationController.h>
#include <keln/passkit/PaymentAuthorizationControllerDelegate.h>
#include <keln/passkit/PaymentAuthorizationResult.h>
#include <keln/passkit/PaymentAuthorizationViewController.h>
#include <keln/passkit/PaymentNetwork.h>
#include <keln/passkit/PaymentRequest.h>
#include <keln/passkit/Wallet.h>
#include <keln/presentation/ApplePayBuilder.h>
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
