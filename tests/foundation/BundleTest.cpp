#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/Bundle.h"

namespace keln::foundation {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed at the end of the test.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("keln-bundle-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

  void write(const fs::path& relative, const std::string& contents) const {
    fs::create_directories((path_ / relative).parent_path());
    std::ofstream(path_ / relative, std::ios::binary) << contents;
  }

 private:
  fs::path path_;
};

TEST(Bundle, ModuleBundleHoldsTheTemplate) {
  const Bundle& bundle = Bundle::module();
  EXPECT_EQ(&bundle, &Bundle::module());
  const auto url = bundle.url("payment_template", "html");
  ASSERT_TRUE(url.has_value()) << bundle.resourcePath();
  const auto text = Bundle::readText(*url);
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find("[[[context]]]"), std::string::npos);
}

TEST(Bundle, PrefersTheInstalledFolderWhenItHoldsResources) {
  TemporaryFolder folder;
  fs::create_directories(folder.path() / "installed");
  fs::create_directories(folder.path() / "tree");
  EXPECT_EQ(Bundle::chooseResourcePath(folder.path() / "installed", folder.path() / "tree"), folder.path() / "tree");
  folder.write("installed/payment_template.html", "<html></html>");
  EXPECT_EQ(Bundle::chooseResourcePath(folder.path() / "installed", folder.path() / "tree"),
            folder.path() / "installed");
  EXPECT_EQ(Bundle::chooseResourcePath(folder.path() / "missing", folder.path() / "tree"), folder.path() / "tree");
  folder.write("plain-file", "x");
  EXPECT_EQ(Bundle::chooseResourcePath(folder.path() / "plain-file", folder.path() / "tree"), folder.path() / "tree");
}

TEST(Bundle, AnswersResourcesOfAnyFolder) {
  TemporaryFolder folder;
  folder.write("page.css", "body{}");
  folder.write("README", "plain");
  folder.write("apple_pay.png", "\x89PNG");
  folder.write("latin1.txt", "caf\xE9");
  fs::create_directories(folder.path() / "folder.html");
  fs::create_directories(folder.path() / "sub");
  folder.write("sub/inner.html", "inner");
  const Bundle bundle(folder.path());

  // A bundle without the template answers none for it.
  EXPECT_EQ(bundle.url("payment_template", "html"), std::nullopt);
  EXPECT_EQ(bundle.url("page", "css"), folder.path() / "page.css");
  EXPECT_EQ(bundle.url("README", ""), folder.path() / "README");
  EXPECT_EQ(bundle.imagePath("apple_pay"), folder.path() / "apple_pay.png");
  EXPECT_EQ(bundle.imagePath("more_options"), std::nullopt);
  EXPECT_EQ(Bundle::readText(*bundle.url("page", "css")), "body{}");
  EXPECT_EQ(Bundle::readText(folder.path() / "latin1.txt"), std::nullopt);  // not UTF-8
  EXPECT_EQ(Bundle::readText(folder.path() / "missing.txt"), std::nullopt);

  struct Case {
    const char* name;
    const char* extension;
  };
  const Case none[] = {{"folder", "html"}, {"", "css"}, {"sub/inner", "html"}, {"..", ""}, {"Page", "css"}};
  for (const Case& c : none) {
    SCOPED_TRACE(std::string(c.name) + " . " + c.extension);
    EXPECT_EQ(bundle.url(c.name, c.extension), std::nullopt);
  }
}

TEST(Bundle, LooksUpLocalizedStrings) {
  TemporaryFolder folder;
  folder.write("en.lproj/Localizable.strings",
               "/* Menu */\n"
               "\"apple_pay\" = \"Apple Pay\";\n"
               "// the second entry\n"
               "\"other_payment_options\"=\"Other \\\"payment\\\" options\";\n"
               "\"escapes\" = \"a\\nb\\\\c \\U00e9 \\uD83D\\uDE00\";\n"
               "\"widths\" = \"\\u0041\\u20AC\\uD800\\uDC00\";\n"
               "\"width limits\" = \"\\u007F\\u0080\\u07FF\\u0800\\uFFFF\\uDBFF\\uDFFF\";\n");
  folder.write("pl.lproj/Localizable.strings", "\"other_payment_options\" = \"Inne metody p\\u0142atno\\u015Bci\";\n");
  folder.write("de.lproj/Localizable.strings", "\"apple_pay\" = \"kaputt\"\n");  // no ";": unusable table
  const Bundle bundle(folder.path());

  struct Case {
    const char* key;
    const char* language;
    const char* text;
  };
  const Case cases[] = {
      {"apple_pay", "en", "Apple Pay"},
      {"other_payment_options", "en", "Other \"payment\" options"},
      {"escapes", "en", "a\nb\\c \xC3\xA9 \xF0\x9F\x98\x80"},
      {"widths", "en", "A\xE2\x82\xAC\xF0\x90\x80\x80"},
      {"width limits", "en", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},
      {"other_payment_options", "pl",
       "Inne metody p\xC5\x82"
       "atno\xC5\x9B"
       "ci"},
      {"apple_pay", "pl", "Apple Pay"},  // missing in pl: English
      {"apple_pay", "fr", "Apple Pay"},  // no French table: English
      {"apple_pay", "de", "Apple Pay"},  // broken German table: English
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " in " + c.language);
    EXPECT_EQ(bundle.localizedString(c.key, c.language), c.text);
  }
  EXPECT_EQ(bundle.localizedString("apple_pay"), "Apple Pay");
  EXPECT_EQ(Bundle(folder.path() / "nothing").localizedString("apple_pay"), "apple_pay");
}

}  // namespace
}  // namespace keln::foundation
