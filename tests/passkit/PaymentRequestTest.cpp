#include <gtest/gtest.h>

#include <string>

#include <keln/passkit/Decimal.h>

namespace keln::passkit {
namespace {

TEST(Decimal, ReadsExactDecimalText) {
  struct Case {
    std::string text;
    bool nan;
    bool negative;
    std::string digits;
    int exponent;
    std::string description;
  };
  const std::string thirtyEightNines(38, '9');
  const Case cases[] = {
      {"10.5", false, false, "105", -1, "10.5"},
      {"0.1", false, false, "1", -1, "0.1"},
      {"10.0", false, false, "1", 1, "10"},
      {"10", false, false, "1", 1, "10"},
      {"-3", false, true, "3", 0, "-3"},
      {"+7", false, false, "7", 0, "7"},
      {".5", false, false, "5", -1, "0.5"},
      {"5.", false, false, "5", 0, "5"},
      {"000.000100", false, false, "1", -4, "0.0001"},
      {"1e-05", false, false, "1", -5, "0.00001"},
      {"1.5E2", false, false, "15", 1, "150"},
      {"-0.0", false, false, "", 0, "0"},
      {"0e999999999999999999", false, false, "", 0, "0"},
      {"123456789012345678901234567890.123456789", false, false, "12345678901234567890123456789012345679", -8,
       "123456789012345678901234567890.12345679"},
      {thirtyEightNines + "9", false, false, "1", 39, "1" + std::string(39, '0')},
      {"1e127", false, false, "1", 127, "1" + std::string(127, '0')},
      {"1e128", true, false, "", 0, "NaN"},
      {"1e999999999999999999", true, false, "", 0, "NaN"},
      {"1e-128", false, false, "1", -128, "0." + std::string(127, '0') + "1"},
      {"5e-129", false, false, "1", -128, "0." + std::string(127, '0') + "1"},
      {"4e-129", false, false, "", 0, "0"},
      {"", true, false, "", 0, "NaN"},
      {".", true, false, "", 0, "NaN"},
      {"-", true, false, "", 0, "NaN"},
      {"nan", true, false, "", 0, "NaN"},
      {"inf", true, false, "", 0, "NaN"},
      {"1,5", true, false, "", 0, "NaN"},
      {" 1", true, false, "", 0, "NaN"},
      {"1 ", true, false, "", 0, "NaN"},
      {"1e", true, false, "", 0, "NaN"},
      {"1e+", true, false, "", 0, "NaN"},
      {"12abc", true, false, "", 0, "NaN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("text: \"" + c.text + "\"");
    const Decimal value(c.text);
    EXPECT_EQ(value.isNaN(), c.nan);
    EXPECT_EQ(value.isNegative(), c.negative);
    EXPECT_EQ(value.digits(), c.digits);
    EXPECT_EQ(value.exponent(), c.exponent);
    EXPECT_EQ(value.description(), c.description);
  }
}

TEST(Decimal, ComparesByValueNotByText) {
  EXPECT_EQ(Decimal("10"), Decimal("10.00"));
  EXPECT_EQ(Decimal("10"), Decimal("1e1"));
  EXPECT_EQ(Decimal("0"), Decimal("-0.000"));
  EXPECT_EQ(Decimal("0"), Decimal());
  EXPECT_NE(Decimal("0.1"), Decimal("0.10000000000000001"));
  EXPECT_NE(Decimal("-1"), Decimal("1"));
  EXPECT_NE(Decimal("0"), Decimal::notANumber());
}

}  // namespace
}  // namespace keln::passkit
