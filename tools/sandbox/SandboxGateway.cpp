#include "sandbox/SandboxGateway.h"

#include <httplib.h>

#include <charconv>
#include <limits>
#include <map>
#include <optional>
#include <thread>

#include <nlohmann/json.hpp>

#include "foundation/Base64.h"
#include "sandbox/SandboxWebForm.h"

namespace keln::sandbox {
namespace {

using json = nlohmann::ordered_json;

// The text at `key` of `object`, or `fallback` where there is none.
std::string textOr(const json& object, const char* key, const char* fallback) {
  return object.is_object() && object.contains(key) && object[key].is_string() ? object[key].get<std::string>()
                                                                               : fallback;
}

json merchantOf(const json& request) {
  json merchant = json::object();
  const json sent =
      request.contains("merchant") && request["merchant"].is_object() ? request["merchant"] : json::object();
  merchant["terminalId"] = sent.contains("terminalId") ? sent["terminalId"].dump() : "1";
  merchant["merchantTransactionId"] = textOr(sent, "merchantTransactionId", "sandbox-order");
  merchant["channel"] = "web";
  merchant["transactionDescription"] = textOr(sent, "transactionDescription", "Sandbox order");
  return merchant;
}

json execution() { return {{"startTime", "2026-12-07T10:00:00.000Z"}, {"endTime", "2026-12-07T10:00:00.120Z"}}; }

json returnStatus(const std::string& description) {
  return {{"statusCode", "0000"}, {"statusMsg", "OK"}, {"statusDescription", description}};
}

const char* const kDecisionPath = "/decision";
const char* const kTermsURL = "https://gateway.example/terms";

// `text` with every occurrence of `what` removed.
std::string removingAll(std::string text, const std::string& what) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) text.erase(at, what.size());
  return text;
}

// A decimal number taking the whole of `text`.
std::optional<double> parseAmount(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

// A refusal of a post to the web form: an HTTP status and the reason the page tells.
struct Refusal {
  int status;
  std::string message;
};

}  // namespace

struct SandboxGateway::Server {
  SandboxOptions options;
  httplib::Server http;
  std::thread thread;
  int port = 0;

  // One opened checkout: what its web form must be posted with, and where its status is.
  struct Checkout {
    json merchant;
    double amount = 0;  // NaN when the request had no number: no form post can match
    std::string currency;
    std::string formContext;  // the decoded text the reply carried
    bool formOpened = false;
    std::optional<std::string> finalStatus;  // set by Pay or Decline on the web form
    bool paid = false;                       // the decision was Pay
    std::size_t queries = 0;                 // status queries so far (since the decision, once decided)
  };

  mutable std::mutex mutex;
  std::function<void(const SandboxExchange&)> observer;  // guarded by mutex
  std::vector<SandboxExchange> exchanges;                // guarded by mutex
  std::map<std::string, Checkout> checkouts;             // by transaction id; guarded by mutex
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
    const json& transaction = sent["transaction"];
    json amount = transaction.is_object() && transaction.contains("amount") ? transaction["amount"]
                                                                            : json{{"currency", "PLN"}, {"value", 0}};
    Checkout checkout;
    checkout.merchant = merchantOf(sent);
    checkout.amount = amount.is_object() && amount.contains("value") && amount["value"].is_number()
                          ? amount["value"].get<double>()
                          : std::numeric_limits<double>::quiet_NaN();
    checkout.currency = textOr(amount, "currency", "");
    std::string transactionID;
    {
      std::lock_guard lock(mutex);
      transactionID = "sbx-" + std::to_string(++checkoutCount);
    }
    json formContext = {
        {"transactionID", transactionID}, {"paymentMethods", options.paymentMethods}, {"language", "en"}};
    checkout.formContext = formContext.dump();
    json genericData = {{"Environment", "SANDBOX"}, {"EntityId", "sandbox-entity"}};
    if (!options.acceptorCountryCode.empty()) genericData["AcceptorCountryCode"] = options.acceptorCountryCode;
    json externalParameter = {{"BNPL", {{"GenericData", {{"Environment", "SANDBOX"}}}}},
                              {"XPAY",
                               {{"GenericData", genericData},
                                {"GooglePayDataElement",
                                 {{"GatewayMerchantId", "sandbox-merchant"},
                                  {"GatewayName", "sandbox"},
                                  {"GoogleMerchantId", "SANDBOX"},
                                  {"GoogleMerchantName", "Sandbox Shop"},
                                  {"TokenizationSpec", "PAYMENT_GATEWAY"}}},
                                {"ApplePayDataElement", {{"RFU", ""}, {"AppleMerchantName", "Sandbox Shop"}}}}},
                              {"PPRO", {{"GenericData", {{"Environment", "SANDBOX"}}}}},
                              {"SPDD", json::object()}};

    json reply = {
        {"amount", amount},
        {"merchant", merchantOf(sent)},
        {"transactionID", transactionID},
        {"transactionSignature", foundation::base64Encode("sandbox-signature-" + transactionID)},
        {"formContext", foundation::base64Encode(checkout.formContext)},
        {"execution", execution()},
        {"returnStatus", returnStatus("Checkout created")},
        {"regulationList", json::array({{{"identification", "terms"}, {"type", "TERMS"}, {"language", "en"}}})},
        {"expiry", "2026-12-07T10:15:00.000Z"},
        {"paymentMethodList", options.paymentMethods},
        {"externalParameter", foundation::base64Encode(externalParameter.dump())},
        {"actionResponse", {{"data", {{"params", json::array()}}}}},
    };
    {
      std::lock_guard lock(mutex);
      checkouts[transactionID] = std::move(checkout);
    }
    response.status = 200;
    response.set_content(reply.dump(), "application/json");
  }

  void answerStatus(const std::string& transactionID, httplib::Response& response) {
    json merchant;
    std::string status;
    {
      std::lock_guard lock(mutex);
      auto found = checkouts.find(transactionID);
      if (found == checkouts.end()) {
        response.status = 404;
        response.set_content(R"({"error":"unknown transaction"})", "application/json");
        return;
      }
      Checkout& checkout = found->second;
      merchant = checkout.merchant;
      ++statusQueryCount;
      const std::size_t index = checkout.queries++;
      if (checkout.paid && !options.statusesAfterPay.empty()) {
        const auto& statuses = options.statusesAfterPay;
        status = statuses[std::min(index, statuses.size() - 1)];
      } else if (checkout.finalStatus) {
        status = index == 0 ? "Pending" : *checkout.finalStatus;
      } else if (checkout.formOpened) {
        status = "Pending";  // the user is still on the form
      } else {
        const auto& statuses = options.statuses;
        status = statuses.empty() ? "Success" : statuses[std::min(index, statuses.size() - 1)];
      }
    }
    json reply = {
        {"merchant", merchant},
        {"transactionID", transactionID},
        {"paymentType", "PURS"},
        {"paymentStatus", status},
        {"paymentMethod", "CARD"},
        {"execution", execution()},
        {"returnStatus", returnStatus("Payment " + status)},
    };
    response.status = 200;
    response.set_content(reply.dump(), "application/json");
  }

  static void answerPage(httplib::Response& response, int status, const std::string& page) {
    response.status = status;
    response.set_content(page, "text/html; charset=utf-8");
  }

  // The template's post: every field once, for a transaction this sandbox opened, with the
  // values its checkout reply gave (the form context as given, or without its ,"XPAY").
  std::optional<Refusal> checkFormPost(const std::map<std::string, std::string>& fields, const Checkout& checkout) {
    const std::optional<std::string> context = foundation::base64Decode(fields.at("formContext"));
    if (!context || (*context != checkout.formContext && *context != removingAll(checkout.formContext, ",\"XPAY\""))) {
      return Refusal{400, "The form context does not belong to this transaction."};
    }
    const std::optional<double> amount = parseAmount(fields.at("amount"));
    if (!amount || *amount != checkout.amount) return Refusal{400, "The amount differs from the checkout's."};
    if (fields.at("currency") != checkout.currency) return Refusal{400, "The currency differs from the checkout's."};
    if (fields.at("redirectURL") != kRedirectURL) return Refusal{400, "The redirect URL is not the SDK's."};
    if (checkout.finalStatus) return Refusal{409, "This payment has already been decided."};
    return std::nullopt;
  }

  void openForm(const httplib::Request& request, httplib::Response& response) {
    const auto fields = parseFormFields(request.body);
    if (!fields) return answerPage(response, 400, errorPage(400, "The form post is malformed."));
    for (const char* name : {"transactionID", "formContext", "amount", "currency", "redirectURL"}) {
      if (!fields->contains(name)) {
        return answerPage(response, 400, errorPage(400, std::string("The form post has no ") + name + "."));
      }
    }
    const std::string& transactionID = fields->at("transactionID");
    std::lock_guard lock(mutex);
    auto found = checkouts.find(transactionID);
    if (found == checkouts.end()) {
      return answerPage(response, 404, errorPage(404, "Unknown transaction \"" + transactionID + "\"."));
    }
    if (auto refusal = checkFormPost(*fields, found->second)) {
      return answerPage(response, refusal->status, errorPage(refusal->status, refusal->message));
    }
    found->second.formOpened = true;
    answerPage(response, 200,
               formPage(transactionID, fields->at("amount"), found->second.currency, kDecisionPath, kTermsURL));
  }

  // Pay or Decline on the form page: the status goes Pending, then the final one.
  void decide(const httplib::Request& request, httplib::Response& response) {
    const auto fields = parseFormFields(request.body);
    if (!fields || !fields->contains("transactionID") || !fields->contains("decision")) {
      return answerPage(response, 400, errorPage(400, "The payment form's post is malformed."));
    }
    const std::string& decision = fields->at("decision");
    if (decision != "pay" && decision != "decline") {
      return answerPage(response, 400, errorPage(400, "Unknown decision \"" + decision + "\"."));
    }
    const std::string& transactionID = fields->at("transactionID");
    std::lock_guard lock(mutex);
    auto found = checkouts.find(transactionID);
    if (found == checkouts.end()) {
      return answerPage(response, 404, errorPage(404, "Unknown transaction \"" + transactionID + "\"."));
    }
    Checkout& checkout = found->second;
    if (!checkout.formOpened) return answerPage(response, 409, errorPage(409, "The payment form was not opened."));
    if (checkout.finalStatus) {
      return answerPage(response, 409, errorPage(409, "This payment has already been decided."));
    }
    const bool paid = decision == "pay";
    checkout.finalStatus = paid ? "Success" : "Declined";
    checkout.paid = paid;
    checkout.queries = 0;
    answerPage(response, 200, decisionPage(paid, std::string(kRedirectURL) + "?transactionId=" + transactionID));
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
  server.http.Get(R"(/api/v1/payments/([^/]+)/status)",
                  [&server](const httplib::Request& request, httplib::Response& response) {
                    if (!Server::authorized(request)) {
                      response.status = 401;
                    } else {
                      server.answerStatus(request.matches[1], response);
                    }
                    server.record(request, response);
                  });
  server.http.Post("/", [&server](const httplib::Request& request, httplib::Response& response) {
    server.openForm(request, response);
    server.record(request, response);
  });
  server.http.Post(kDecisionPath, [&server](const httplib::Request& request, httplib::Response& response) {
    server.decide(request, response);
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
