#include "core/flow/HTMLTemplate.h"

#include <gtest/gtest.h>

#include "foundation/Bundle.h"

namespace keln {
namespace {

CheckoutResponse checkout(double value, std::string currency, std::string transactionId, std::string formContext) {
  return CheckoutResponse(Amount(value, std::move(currency)),
                          Merchant(1, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt),
                          std::move(transactionId), "signature", std::move(formContext), std::nullopt,
                          Execution("s", "e"), ReturnStatus("0", "OK", "ok"), {}, "expiry", {"CARD"}, std::nullopt,
                          foundation::JSONDecoder().decode<ActionResponse>(R"({"data":{"params":[]}})"));
}

constexpr const char* kWebURL = "https://gateway.example";
constexpr const char* kRedirectURL = "keln://transfer/success";

TEST(HTMLTemplate, FillsEveryPlaceholderInOrder) {
  struct Case {
    const char* name;
    std::string templateText;
    CheckoutResponse data;
    std::string filled;
  };
  const Case cases[] = {
      {"whole amount gets a fraction", "[[[amount]]] [[[currency]]]", checkout(10, "EUR", "t", "c"), "10.0 EUR"},
      {"shortest amounts", "[[[amount]]]", checkout(0.01, "PLN", "t", "c"), "0.01"},
      {"all six",
       "[[[webURL]]]/[[[transactionID]]]?c=[[[context]]]&a=[[[amount]]]&cur=[[[currency]]]&r=[[[redirectURL]]]",
       checkout(149.99, "pln", "tx-1", "eyJ9"),
       "https://gateway.example/tx-1?c=eyJ9&a=149.99&cur=pln&r=keln://transfer/success"},
      {"repeated placeholder", "[[[transactionID]]]-[[[transactionID]]][[[transactionID]]]",
       checkout(1, "PLN", "T", "c"), "T-TT"},
      {"a value holding a later placeholder is filled again", "[[[context]]]",
       checkout(7, "PLN", "t", "x[[[amount]]]y[[[currency]]]"), "x7.0yPLN"},
      {"a value holding an earlier placeholder stays", "[[[currency]]]",
       checkout(7, "[[[webURL]]][[[context]]]", "t", "c"), "[[[webURL]]][[[context]]]"},
      {"values are not escaped", "<p>[[[transactionID]]]</p>", checkout(1, "PLN", "<b>\"&'", "c"), "<p><b>\"&'</p>"},
      {"other case or fewer brackets stay", "[[[Amount]]] [[amount]] [[[ amount ]]] [[[AMOUNT]]]",
       checkout(1, "PLN", "t", "c"), "[[[Amount]]] [[amount]] [[[ amount ]]] [[[AMOUNT]]]"},
      {"empty template", "", checkout(1, "PLN", "t", "c"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HTMLTemplate page(c.templateText);
    EXPECT_EQ(page.description(), c.templateText);
    page.fill(c.data, kWebURL, kRedirectURL);
    EXPECT_EQ(page.description(), c.filled);
  }
}

TEST(HTMLTemplate, SecondFillKeepsTheFirstValues) {
  HTMLTemplate page("[[[transactionID]]] [[[amount]]] [[[currency]]]");
  page.fill(checkout(10, "EUR", "first", "c"), kWebURL, kRedirectURL);
  page.fill(checkout(20, "PLN", "second", "d"), "https://other.example", "keln://other");
  EXPECT_EQ(page.description(), "first 10.0 EUR");
}

TEST(HTMLTemplate, ShippedPageCarriesEveryPlaceholder) {
  const auto url = foundation::Bundle::module().url("payment_template", templateFileExtension);
  ASSERT_TRUE(url.has_value());
  const auto text = foundation::Bundle::readText(*url);
  ASSERT_TRUE(text.has_value());
  for (std::string_view key : {webURLKey, transactionIDKey, contextKey, amountKey, currencyKey, redirectURLKey}) {
    SCOPED_TRACE(key);
    EXPECT_NE(text->find("[[[" + std::string(key) + "]]]"), std::string::npos);
  }
  HTMLTemplate page(*text);
  page.fill(checkout(149.99, "PLN", "tx-1", "eyJhIjoxfQ=="), kWebURL, kRedirectURL);
  EXPECT_EQ(page.description().find("[[["), std::string::npos);
  for (const char* value : {kWebURL, "tx-1", "eyJhIjoxfQ==", "149.99", "PLN", kRedirectURL}) {
    EXPECT_NE(page.description().find(value), std::string::npos) << value;
  }
}

}  // namespace
}  // namespace keln
