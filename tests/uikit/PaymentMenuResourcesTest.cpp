#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/Bundle.h"
#include "uikit/Image.h"

namespace keln {
namespace {

std::uint32_t bigEndian32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

TEST(PaymentMenuResources, ModuleBundleHoldsTheMenuImagesAsPNG) {
  for (const char* name : {"apple_pay", "more_options"}) {
    SCOPED_TRACE(name);
    const auto image = uikit::Image::named(name, foundation::Bundle::module());
    ASSERT_TRUE(image.has_value());
    ASSERT_TRUE(image->path().has_value());
    std::ifstream file(*image->path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 33u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    EXPECT_GT(bigEndian32(bytes, 16), 0u) << "width";
    EXPECT_GT(bigEndian32(bytes, 20), 0u) << "height";
  }
}

TEST(PaymentMenuResources, ModuleBundleHoldsEnglishMenuTitles) {
  const foundation::Bundle& bundle = foundation::Bundle::module();
  EXPECT_EQ(bundle.localizedString("apple_pay"), "Apple Pay");
  EXPECT_EQ(bundle.localizedString("other_payment_options"), "Other payment options");
}

}  // namespace
}  // namespace keln
