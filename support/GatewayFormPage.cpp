#include "support/GatewayFormPage.h"

#include <cstdlib>
#include <utility>

namespace keln::testing {

GatewayReply closingConnection(GatewayReply reply) {
  reply.headers.emplace_back("Connection", "close");
  return reply;
}

std::string formPage(const std::string& redirectURL, const std::string& transactionID) {
  return "<!DOCTYPE html><html><body><h1>Card payment</h1>"
         "<a id=\"terms\" target=\"_blank\" href=\"https://bank.example/terms?lang=pl\">Terms</a>"
         "<a id=\"script\" target=\"_blank\" href=\"javascript:void(document.title='opened')\">Help</a>"
         "<a id=\"save\" download=\"receipt.txt\" href=\"data:text/plain,receipt\">Save the receipt</a>"
         "<button id=\"pay\" onclick=\"location.href='" +
         redirectURL + "?transactionId=" + transactionID + "'\">Pay</button></body></html>";
}

GatewayReply formPageReply(const RecordedRequest& request) {
  GatewayReply reply;
  reply.headers = {{"Content-Type", "text/html; charset=utf-8"}};
  reply.body = formPage(formField(request.body, "redirectURL"), formField(request.body, "transactionID"));
  return closingConnection(std::move(reply));
}

std::string formField(const std::string& body, const std::string& name) {
  std::size_t start = 0;
  while (start <= body.size()) {
    std::size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    const std::string pair = body.substr(start, end - start);
    if (pair.rfind(name + "=", 0) == 0) {
      std::string value;
      for (std::size_t i = name.size() + 1; i < pair.size(); ++i) {
        if (pair[i] == '+') {
          value += ' ';
        } else if (pair[i] == '%' && i + 2 < pair.size()) {
          value += static_cast<char>(std::strtol(pair.substr(i + 1, 2).c_str(), nullptr, 16));
          i += 2;
        } else {
          value += pair[i];
        }
      }
      return value;
    }
    start = end + 1;
  }
  return {};
}

}  // namespace keln::testing
