#include <keln/model/Codes.h>

#include <gtest/gtest.h>

#include <vector>

#include "model/WireTestSupport.h"

namespace keln {
namespace {

using foundation::DecodingError;
using foundation::JSONDecoder;
using foundation::JSONEncoder;
using testing::expectDecodingError;
using Kind = DecodingError::Kind;

// Restores the process-wide lists that a test replaces.
class CodesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Currency::setAllCases({Currency::pln(), Currency::eur()});
    Language::setAllCases({Language::en(), Language::pl()});
  }
};

TEST_F(CodesTest, PaymentMethodRawValuesAreExact) {
  const std::vector<PaymentMethod>& all = allCases<PaymentMethod>();
  const std::vector<PaymentMethod> expected{PaymentMethod::applePay, PaymentMethod::blik, PaymentMethod::card,
                                            PaymentMethod::payByLink, PaymentMethod::pblkv};
  EXPECT_EQ(all, expected);
  const char* codes[] = {"XPAY", "BLIK", "CARD", "PAY_BY_LINK", "PBLKV"};
  for (std::size_t i = 0; i < all.size(); ++i) {
    SCOPED_TRACE(codes[i]);
    EXPECT_EQ(rawValue(all[i]), codes[i]);
    EXPECT_EQ(fromRawValue<PaymentMethod>(codes[i]), all[i]);
    EXPECT_EQ(JSONEncoder().encode(all[i]), std::string("\"") + codes[i] + "\"");
  }
  for (const char* text : {"xpay", "Xpay", "", " XPAY", "PAY BY LINK"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(fromRawValue<PaymentMethod>(text), std::nullopt);
    expectDecodingError<PaymentMethod>(std::string("\"") + text + "\"", Kind::dataCorrupted, "");
  }
  expectDecodingError<std::vector<PaymentMethod>>(R"(["CARD",1])", Kind::typeMismatch, "Index 1");
  expectDecodingError<std::vector<PaymentMethod>>(R"(["CARD","card"])", Kind::dataCorrupted, "Index 1");
}

TEST_F(CodesTest, CurrencyFromCode) {
  struct Case {
    const char* text;
    std::optional<Currency::Kind> kind;
    const char* customValue;
    const char* code;
  };
  const Case cases[] = {
      {"pln", Currency::Kind::pln, "", "PLN"},
      {"Pln", Currency::Kind::pln, "", "PLN"},
      {"PLN", Currency::Kind::pln, "", "PLN"},
      {"eUr", Currency::Kind::eur, "", "EUR"},
      {"usd", Currency::Kind::custom, "usd", "USD"},
      {"a\xC3\x9F"
       "b",
       Currency::Kind::custom,
       "a\xC3\x9F"
       "b",
       "ASSB"},                                                               // 3 characters, ß
      {"e\xCC\x81zl", Currency::Kind::custom, "e\xCC\x81zl", "E\xCC\x81ZL"},  // e + combining accent is one
      {"US", std::nullopt, "", ""},
      {"EURO", std::nullopt, "", ""},
      {"", std::nullopt, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<Currency> currency = Currency::fromCode(c.text);
    ASSERT_EQ(currency.has_value(), c.kind.has_value());
    if (!currency) continue;
    EXPECT_EQ(currency->kind(), *c.kind);
    EXPECT_EQ(currency->customValue(), c.customValue);
    EXPECT_EQ(currency->code(), c.code);
  }
}

TEST_F(CodesTest, LanguageFromCode) {
  struct Case {
    const char* text;
    std::optional<Language::Kind> kind;
    const char* code;
  };
  const Case cases[] = {
      {"EN", Language::Kind::en, "en"},     {"pl", Language::Kind::pl, "pl"}, {"de", Language::Kind::custom, "de"},
      {"DE", Language::Kind::custom, "DE"}, {"deu", std::nullopt, ""},        {"", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<Language> language = Language::fromCode(c.text);
    ASSERT_EQ(language.has_value(), c.kind.has_value());
    if (language) {
      EXPECT_EQ(language->kind(), *c.kind);
      EXPECT_EQ(language->code(), c.code);
    }
  }
}

TEST_F(CodesTest, FromCodeSearchesTheCurrentList) {
  Currency::setAllCases({});
  ASSERT_TRUE(Currency::fromCode("PLN").has_value());
  EXPECT_EQ(Currency::fromCode("PLN")->kind(), Currency::Kind::custom);
  EXPECT_EQ(Currency::fromCode("PLN")->customValue(), "PLN");

  Currency::setAllCases({Currency::custom("Usd"), Currency::custom("usD"), Currency::pln()});
  ASSERT_TRUE(Currency::fromCode("USD").has_value());
  EXPECT_EQ(Currency::fromCode("USD")->customValue(), "Usd");  // the earlier element wins
  EXPECT_EQ(Currency::allCases().size(), 3u);

  Currency::setAllCases({Currency::custom("zloty")});
  ASSERT_TRUE(Currency::fromCode("ZLOTY").has_value());  // a listed value of any length
  EXPECT_EQ(Currency::fromCode("ZLOTY")->customValue(), "zloty");

  Language::setAllCases({Language::custom("De")});
  ASSERT_TRUE(Language::fromCode("dE").has_value());
  EXPECT_EQ(Language::fromCode("dE")->customValue(), "De");
  ASSERT_TRUE(Language::fromCode("en").has_value());
  EXPECT_EQ(Language::fromCode("en")->kind(), Language::Kind::custom);
}

TEST_F(CodesTest, CaseObjectsEncode) {
  EXPECT_EQ(JSONEncoder().encode(Currency::pln()), R"({"pln":{}})");
  EXPECT_EQ(JSONEncoder().encode(Currency::eur()), R"({"eur":{}})");
  EXPECT_EQ(JSONEncoder().encode(Currency::custom("usd")), R"({"custom":{"_0":"usd"}})");
  EXPECT_EQ(JSONEncoder().encode(Language::en()), R"({"en":{}})");
  EXPECT_EQ(JSONEncoder().encode(Language::custom("De")), R"({"custom":{"_0":"De"}})");
}

TEST_F(CodesTest, CaseObjectsDecode) {
  struct Case {
    const char* json;
    std::optional<Currency::Kind> kind;
    const char* customValue;
  };
  const Case cases[] = {
      {R"({"pln":{}})", Currency::Kind::pln, ""},
      {R"({"eur":{"ignored":1},"unrelated":null})", Currency::Kind::eur, ""},
      {R"({"custom":{"_0":"usdollar"}})", Currency::Kind::custom, "usdollar"},
      {R"({"custom":{"_0":"usd","_1":"x"}})", Currency::Kind::custom, "usd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    const Currency currency = JSONDecoder().decode<Currency>(c.json);
    EXPECT_EQ(currency.kind(), *c.kind);
    EXPECT_EQ(currency.customValue(), c.customValue);
  }
  const Language language = JSONDecoder().decode<Language>(R"({"custom":{"_0":"xyz"}})");
  EXPECT_EQ(language.code(), "xyz");
}

TEST_F(CodesTest, MalformedCaseObjectsFail) {
  struct Case {
    const char* json;
    Kind kind;
    const char* path;
    const char* description;  // nullptr: the decoder's own wording
  };
  const char* keyCount = "Invalid number of keys found, expected one.";
  const Case cases[] = {
      {R"({"pln":{},"eur":{}})", Kind::typeMismatch, "", keyCount},
      {R"({"PLN":{}})", Kind::typeMismatch, "", keyCount},
      {R"({})", Kind::typeMismatch, "", keyCount},
      {R"({"pln":{},"custom":{"_0":"x"}})", Kind::typeMismatch, "", keyCount},
      {R"({"pln":"PLN"})", Kind::typeMismatch, "pln", nullptr},
      {R"({"pln":null})", Kind::valueNotFound, "pln", nullptr},
      {R"({"custom":{}})", Kind::keyNotFound, "custom", nullptr},
      {R"({"custom":"usd"})", Kind::typeMismatch, "custom", nullptr},
      {R"({"custom":{"_0":5}})", Kind::typeMismatch, "custom._0", nullptr},
      {R"({"custom":{"_0":null}})", Kind::valueNotFound, "custom._0", nullptr},
      {R"("pln")", Kind::typeMismatch, "", nullptr},
      {R"(["pln"])", Kind::typeMismatch, "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    const std::optional<std::string> description = expectDecodingError<Currency>(c.json, c.kind, c.path);
    if (c.description && description) {
      EXPECT_EQ(*description, c.description);
    }
  }
  const std::optional<std::string> description =
      expectDecodingError<std::vector<Language>>(R"([{"en":{}},{"en":{},"pl":{}}])", Kind::typeMismatch, "Index 1");
  EXPECT_EQ(description, keyCount);
}

}  // namespace
}  // namespace keln
