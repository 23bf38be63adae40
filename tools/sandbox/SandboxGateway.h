#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace keln::sandbox {

// What the sandbox answers.
struct SandboxOptions {
  // The methods the checkout reply lists ("XPAY" lets a device with a wallet show the menu).
  std::vector<std::string> paymentMethods{"CARD", "XPAY", "BLIK"};
  // The payment statuses that successive status queries of a transaction receive; the
  // last one repeats. A transaction whose web form was opened answers by that form instead.
  std::vector<std::string> statuses{"Pending", "Pending", "Success"};
  // The statuses that successive status queries receive after Pay on the web form; the
  // last one repeats ("Pending", "Declined": the gateway declines the card).
  std::vector<std::string> statusesAfterPay{"Pending", "Success"};
  // The card acceptor's country in the wallet data of the checkout reply; empty leaves it
  // out (no wallet request can then be built).
  std::string acceptorCountryCode = "PL";
};

// One exchange the sandbox served.
struct SandboxExchange {
  std::string method;
  std::string path;
  std::string requestBody;
  int status = 0;
  std::string responseBody;
};

// The URL at which the SDK's checkout ends the web form; the form leads the page there.
inline constexpr std::string_view kRedirectURL = "keln://transfer/success";

// A gateway for demonstrations on 127.0.0.1 (plain HTTP, a port of the system's choice):
// it opens checkouts (POST /api/v1/payments) with a transaction id of its own and answers
// status queries (GET /api/v1/payments/<id>/status). Requests without the "Authorization"
// and "X-IBM-Client-Id" headers get 401.
//
// Its web URL is its root: the checkout page's form posts there (POST /) with the
// transaction id, form context, amount, currency and redirect URL. A post that matches a
// checkout it opened gets the card form (see SandboxWebForm.h); any other gets an error
// page with status 400 (a missing, repeated or wrong field), 404 (an unknown transaction)
// or 409 (a payment already decided). Pay or Decline on the form (POST /decision) leads
// the page to kRedirectURL + "?transactionId=<id>".
//
// Status answers: after Pay, the scripted SandboxOptions::statusesAfterPay ("Pending" and
// then "Success" unless told otherwise); after Decline, "Pending" and then "Declined";
// while the form is open and undecided, "Pending"; for a transaction whose form never
// opened, the scripted SandboxOptions::statuses.
//
// Serves from its own thread from construction until destruction. Thread-safe.
class SandboxGateway {
 public:
  explicit SandboxGateway(SandboxOptions options = {});
  ~SandboxGateway();
  SandboxGateway(const SandboxGateway&) = delete;
  SandboxGateway& operator=(const SandboxGateway&) = delete;

  // "http://127.0.0.1:<port>"
  std::string root() const;

  // Told of every exchange, on the server's thread, after the answer was made.
  void setObserver(std::function<void(const SandboxExchange&)> observer);

  std::vector<SandboxExchange> exchanges() const;
  std::size_t checkoutCount() const;
  std::size_t statusQueryCount() const;

 private:
  struct Server;
  std::unique_ptr<Server> server_;
};

}  // namespace keln::sandbox
