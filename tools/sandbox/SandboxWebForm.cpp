#include "sandbox/SandboxWebForm.h"

namespace keln::sandbox {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Percent-decoding with "+" as a space; nullopt for a "%" not followed by two hex digits.
std::optional<std::string> decodeFormComponent(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      decoded += ' ';
    } else if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      decoded += c;
    }
  }
  return decoded;
}

const char* const kStyle = R"(<style>
body { font-family: Helvetica, Arial, sans-serif; color: #333; max-width: 26em; margin: 2em auto; padding: 0 1em; }
h1 { font-size: 1.3em; }
label { display: block; margin: 0.8em 0 0.2em; }
input { width: 100%; box-sizing: border-box; padding: 0.4em; font-size: 1em; }
.buttons { display: flex; gap: 1em; margin: 1.2em 0; }
button { flex: 1; padding: 0.6em; font-size: 1em; }
#pay { background: #1a7f37; color: white; border: none; }
</style>)";

std::string pageStart(const std::string& title) {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         escapeHTML(title) + "</title>\n" + kStyle + "\n</head>\n<body>\n";
}

}  // namespace

std::string escapeHTML(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::optional<std::map<std::string, std::string>> parseFormFields(const std::string& body) {
  std::map<std::string, std::string> fields;
  std::string_view rest = body;
  while (!rest.empty()) {
    const std::size_t end = rest.find('&');
    const std::string_view pair = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (pair.empty()) continue;
    const std::size_t equals = pair.find('=');
    auto name = decodeFormComponent(pair.substr(0, equals));
    auto value = decodeFormComponent(equals == std::string_view::npos ? std::string_view{} : pair.substr(equals + 1));
    if (!name || !value) return std::nullopt;
    if (!fields.emplace(std::move(*name), std::move(*value)).second) return std::nullopt;
  }
  return fields;
}

std::string formPage(const std::string& transactionID, const std::string& amount, const std::string& currency,
                     const std::string& decisionPath, const std::string& termsURL) {
  return pageStart("Sandbox payment") + "<h1>Pay <span id=\"amount\">" + escapeHTML(amount) +
         "</span> <span id=\"currency\">" + escapeHTML(currency) +
         "</span></h1>\n"
         "<p>Sandbox gateway: no money moves, and any card number is accepted.</p>\n"
         "<form id=\"card-form\" method=\"post\" action=\"" +
         escapeHTML(decisionPath) +
         "\">\n"
         "<input type=\"hidden\" name=\"transactionID\" value=\"" +
         escapeHTML(transactionID) +
         "\">\n"
         "<label for=\"card-number\">Card number</label>\n"
         "<input id=\"card-number\" name=\"cardNumber\" inputmode=\"numeric\" autocomplete=\"cc-number\" "
         "value=\"4111 1111 1111 1111\">\n"
         "<label for=\"card-expiry\">Expiry (MM/YY)</label>\n"
         "<input id=\"card-expiry\" name=\"cardExpiry\" autocomplete=\"cc-exp\" value=\"12/30\">\n"
         "<label for=\"card-cvc\">CVC</label>\n"
         "<input id=\"card-cvc\" name=\"cardCVC\" inputmode=\"numeric\" autocomplete=\"cc-csc\" value=\"123\">\n"
         "<label for=\"card-holder\">Name on the card</label>\n"
         "<input id=\"card-holder\" name=\"cardHolder\" autocomplete=\"cc-name\" value=\"Jane Doe\">\n"
         "<div class=\"buttons\">\n"
         "<button id=\"decline\" type=\"submit\" name=\"decision\" value=\"decline\">Decline</button>\n"
         "<button id=\"pay\" type=\"submit\" name=\"decision\" value=\"pay\">Pay</button>\n"
         "</div>\n</form>\n"
         "<p><a id=\"terms\" href=\"" +
         escapeHTML(termsURL) +
         "\" target=\"_blank\" rel=\"noopener\">"
         "Terms of the payment service</a></p>\n"
         "</body>\n</html>\n";
}

std::string decisionPage(bool paid, const std::string& redirectURL) {
  // The script reads the link's own href, so the URL never has to be quoted for script.
  return pageStart(paid ? "Payment approved" : "Payment declined") + "<h1 id=\"decision\">" +
         (paid ? "Payment approved" : "Payment declined") +
         "</h1>\n"
         "<p><a id=\"return\" href=\"" +
         escapeHTML(redirectURL) +
         "\">Return to the shop</a></p>\n"
         "<script>location.replace(document.getElementById(\"return\").href);</script>\n"
         "</body>\n</html>\n";
}

std::string errorPage(int status, const std::string& message) {
  return pageStart("Payment form error") + "<h1>The payment form cannot be shown</h1>\n<p id=\"error\">" +
         escapeHTML(message) + "</p>\n<p>HTTP status " + std::to_string(status) + "</p>\n</body>\n</html>\n";
}

}  // namespace keln::sandbox
