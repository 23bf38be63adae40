#pragma once

#include <keln/Export.h>

#include <functional>
#include <memory>
#include <string>

#include <keln/core/EnvironmentSDK.h>
#include <keln/core/SDKConfig.h>
#include <keln/core/TransactionParamsSDK.h>
#include <keln/core/TransactionResultSDK.h>
#include <keln/foundation/Result.h>
#include <keln/model/TransactionStatus.h>

namespace keln {
namespace uikit {
class ViewController;
}
class PaymentCoordinator;
class PaymentService;
struct SDKAccess;

// The SDK's entry point: made once with the gateway credentials and the environment, it
// takes payments through its own checkout screens and answers status queries.
//
// Every operation is called on the main thread, and every completion runs on the main
// queue (see keln/dispatch/MainQueue.h), so the host must drive that queue. The host keeps
// the SDK alive until a started payment's completion has run: releasing it while a
// checkout is on screen ends that payment without a result.
//
// A completion is called once, whatever it does. The SDK does not catch what a completion
// throws: the exception leaves the main queue's run operation that ran the completion
// (MainQueue::runPending() or runUntil(), which the host may call again to go on; the
// completion is not called again), or, when a GLib main context drives the queue (the GTK
// front end), it is written to the system log and dropped, since it cannot pass through
// GLib's loop. A completion run at once for a configuration fault throws out of the call
// that started the request.
class KELN_EXPORT SDK {
 public:
  using PaymentCompletion = std::function<void(Result<TransactionResultSDK>)>;
  using StatusCompletion = std::function<void(Result<TransactionStatus>)>;

  // Checks nothing: empty or malformed credentials are reported by the first request.
  SDK(std::string clientId, std::string accessToken, EnvironmentSDK environmentSDK);
  ~SDK();
  SDK(const SDK&) = delete;
  SDK& operator=(const SDK&) = delete;

  // Presents the checkout full screen from `from` and takes one payment. `completion`
  // receives the payment's one result after the checkout has been dismissed: a
  // TransactionResultSDK (isSuccess() tells a successful payment from a declined or failed
  // one), or an error such as KelnSDKError::canceledByUser(). Without the SDK's page
  // template, without a controller to present from, or when `from` already presents a
  // screen other than the checkout, nothing is shown or sent and `completion` receives
  // KelnSDKError::sdkNotConfigured. A start while an earlier payment's checkout is still
  // open replaces that checkout, and the earlier payment's completion receives
  // KelnSDKError::sdkNotConfigured("Payment replaced by a newer payment"). A payment whose
  // presenter is released still receives its one result, with nothing left to dismiss: a
  // checkout that nobody can reach any more ends as its close button ends it, unless it
  // ended before (a configuration fault, for instance). A GTK window keeps its controller
  // itself (keln/gtk/WindowViewController.h).
  void startPayment(const std::shared_ptr<uikit::ViewController>& from, const TransactionParamsSDK& with,
                    PaymentCompletion completion = nullptr);

  // Queries the status of a transaction, whatever it is; no screen is shown. A
  // configuration fault, or an empty `transactionID`
  // (KelnSDKError::invalidParameter("Missing transactionID")), completes at once, on the
  // calling thread, and sends nothing.
  void getTransactionStatus(const std::string& transactionID, StatusCompletion completion);

 private:
  friend struct SDKAccess;
  explicit SDK(SDKConfig config);

  std::shared_ptr<PaymentService> paymentService_;
  std::shared_ptr<PaymentCoordinator> paymentCoordinator_;
  SDKConfig config_;
};

}  // namespace keln
