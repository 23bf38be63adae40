#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace keln::sandbox {

// What the sandbox answers.
struct SandboxOptions {
  // The methods the checkout reply lists ("XPAY" lets a device with a wallet show the menu).
  std::vector<std::string> paymentMethods{"CARD", "XPAY", "BLIK"};
  // The payment statuses that successive status queries of a transaction receive; the
  // last one repeats.
  std::vector<std::string> statuses{"Pending", "Pending", "Success"};
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

// A gateway for demonstrations on 127.0.0.1 (plain HTTP, a port of the system's choice):
// it opens checkouts (POST /api/v1/payments) with a transaction id of its own and answers
// status queries (GET /api/v1/payments/<id>/status) from the scripted sequence. Requests
// without the "Authorization" and "X-IBM-Client-Id" headers get 401.
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
