#include "sandbox/SandboxGateway.h"

#include <httplib.h>

#include <map>
#include <thread>

#include <nlohmann/json.hpp>

#include "foundation/Base64.h"

namespace keln::sandbox {
namespace {

using json = nlohmann::ordered_json;

json merchantOf(const json& request) {
  json merchant = json::object();
  const json& sent = request.contains("merchant") ? request["merchant"] : json::object();
  merchant["terminalId"] = sent.contains("terminalId") ? sent["terminalId"].dump() : "1";
  merchant["merchantTransactionId"] = sent.value("merchantTransactionId", "sandbox-order");
  merchant["channel"] = "web";
  merchant["transactionDescription"] = sent.value("transactionDescription", "Sandbox order");
  return merchant;
}

json execution() { return {{"startTime", "2026-12-07T10:00:00.000Z"}, {"endTime", "2026-12-07T10:00:00.120Z"}}; }

json returnStatus(const std::string& description) {
  return {{"statusCode", "0000"}, {"statusMsg", "OK"}, {"statusDescription", description}};
}

}  // namespace

struct SandboxGateway::Server {
  SandboxOptions options;
  httplib::Server http;
  std::thread thread;
  int port = 0;

  mutable std::mutex mutex;
  std::function<void(const SandboxExchange&)> observer;  // guarded by mutex
  std::vector<SandboxExchange> exchanges;                // guarded by mutex
  std::map<std::string, json> checkouts;                 // transaction id -> merchant; guarded by mutex
  std::map<std::string, std::size_t> queries;            // transaction id -> status queries; guarded by mutex
  std::size_t checkoutCount = 0;                         // guarded by mutex
  std::size_t statusQueryCount = 0;                      // guarded by mutex

  void record(const httplib::Request& request, const httplib::Response& response) {
    SandboxExchange exchange{request.method, request.path, request.body, response.status, response.body};
    std::function<void(const SandboxExchange&)> notify;
    {
      std::lock_guard lock(mutex);
      exchanges.push_back(exchange);
      notify = observer;
    }
    if (notify) notify(exchange);
  }

  static bool authorized(const httplib::Request& request) {
    return request.has_header("Authorization") && request.has_header("X-IBM-Client-Id");
  }

  void openCheckout(const httplib::Request& request, httplib::Response& response) {
    json sent = json::parse(request.body, nullptr, false);
    if (sent.is_discarded() || !sent.is_object() || !sent.contains("transaction")) {
      response.status = 400;
      response.set_content(R"({"error":"malformed checkout request"})", "application/json");
      return;
    }
    std::string transactionID;
    {
      std::lock_guard lock(mutex);
      transactionID = "sbx-" + std::to_string(++checkoutCount);
      checkouts[transactionID] = merchantOf(sent);
    }
    const json& transaction = sent["transaction"];
    json amount = transaction.contains("amount") ? transaction["amount"] : json{{"currency", "PLN"}, {"value", 0}};

    json formContext = {{"transactionID", transactionID}, {"paymentMethods", options.paymentMethods}, {"language", "en"}};
    json genericData = {{"Environment", "SANDBOX"}, {"EntityId", "sandbox-entity"}};
    if (!options.acceptorCountryCode.empty()) genericData["AcceptorCountryCode"] = options.acceptorCountryCode;
    json externalParameter = {
        {"BNPL", {{"GenericData", {{"Environment", "SANDBOX"}}}}},
        {"XPAY",
         {{"GenericData", genericData},
          {"GooglePayDataElement",
           {{"GatewayMerchantId", "sandbox-merchant"}, {"GatewayName", "sandbox"}, {"GoogleMerchantId", "SANDBOX"},
            {"GoogleMerchantName", "Sandbox Shop"}, {"TokenizationSpec", "PAYMENT_GATEWAY"}}},
          {"ApplePayDataElement", {{"RFU", ""}, {"AppleMerchantName", "Sandbox Shop"}}}}},
        {"PPRO", {{"GenericData", {{"Environment", "SANDBOX"}}}}},
        {"SPDD", json::object()}};

    json reply = {
        {"amount", amount},
        {"merchant", merchantOf(sent)},
        {"transactionID", transactionID},
        {"transactionSignature", foundation::base64Encode("sandbox-signature-" + transactionID)},
        {"formContext", foundation::base64Encode(formContext.dump())},
        {"execution", execution()},
        {"returnStatus", returnStatus("Checkout created")},
        {"regulationList", json::array({{{"identification", "terms"}, {"type", "TERMS"}, {"language", "en"}}})},
        {"expiry", "2026-12-07T10:15:00.000Z"},
        {"paymentMethodList", options.paymentMethods},
        {"externalParameter", foundation::base64Encode(externalParameter.dump())},
        {"actionResponse", {{"data", {{"params", json::array()}}}}},
    };
    response.status = 200;
    response.set_content(reply.dump(), "application/json");
  }

  void answerStatus(const std::string& transactionID, httplib::Response& response) {
    json merchant;
    std::size_t index = 0;
    {
      std::lock_guard lock(mutex);
      auto checkout = checkouts.find(transactionID);
      if (checkout == checkouts.end()) {
        response.status = 404;
        response.set_content(R"({"error":"unknown transaction"})", "application/json");
        return;
      }
      merchant = checkout->second;
      index = queries[transactionID]++;
      ++statusQueryCount;
    }
    const auto& statuses = options.statuses;
    const std::string status = statuses.empty() ? "Success" : statuses[std::min(index, statuses.size() - 1)];
    json reply = {
        {"merchant", merchant},         {"transactionID", transactionID},
        {"paymentType", "PURS"},        {"paymentStatus", status},
        {"paymentMethod", "CARD"},      {"execution", execution()},
        {"returnStatus", returnStatus("Payment " + status)},
    };
    response.status = 200;
    response.set_content(reply.dump(), "application/json");
  }
};

SandboxGateway::SandboxGateway(SandboxOptions options) : server_(std::make_unique<Server>()) {
  Server& server = *server_;
  server.options = std::move(options);
  server.http.Post("/api/v1/payments", [&server](const httplib::Request& request, httplib::Response& response) {
    if (!Server::authorized(request)) {
      response.status = 401;
    } else {
      server.openCheckout(request, response);
    }
    server.record(request, response);
  });
  server.http.Get(R"(/api/v1/payments/([^/]+)/status)", [&server](const httplib::Request& request,
                                                                     httplib::Response& response) {
    if (!Server::authorized(request)) {
      response.status = 401;
    } else {
      server.answerStatus(request.matches[1], response);
    }
    server.record(request, response);
  });
  // A client that keeps its connection open (a finished payment still held by the wallet
  // manager) must not hold up the sandbox's shutdown for long.
  server.http.set_keep_alive_timeout(1);
  server.port = server.http.bind_to_any_port("127.0.0.1");
  server.thread = std::thread([&server] { server.http.listen_after_bind(); });
}

SandboxGateway::~SandboxGateway() {
  server_->http.stop();
  if (server_->thread.joinable()) server_->thread.join();
}

std::string SandboxGateway::root() const { return "http://127.0.0.1:" + std::to_string(server_->port); }

void SandboxGateway::setObserver(std::function<void(const SandboxExchange&)> observer) {
  std::lock_guard lock(server_->mutex);
  server_->observer = std::move(observer);
}

std::vector<SandboxExchange> SandboxGateway::exchanges() const {
  std::lock_guard lock(server_->mutex);
  return server_->exchanges;
}

std::size_t SandboxGateway::checkoutCount() const {
  std::lock_guard lock(server_->mutex);
  return server_->checkoutCount;
}

std::size_t SandboxGateway::statusQueryCount() const {
  std::lock_guard lock(server_->mutex);
  return server_->statusQueryCount;
}

}  // namespace keln::sandbox
