#include <keln/foundation/JSONCoding.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "foundation/JSONValue.h"

namespace keln::foundation {
namespace {

struct Inner {
  std::string name;
  std::optional<std::int64_t> count;

  void encode(Encoder& encoder) const {
    encoder.encode("name", name);
    encoder.encodeIfPresent("count", count);
  }
  static Inner decode(const Decoder& decoder) {
    return Inner{decoder.decode<std::string>("name"), decoder.decodeIfPresent<std::int64_t>("count")};
  }
};

struct Outer {
  double value;
  bool flag;
  std::vector<Inner> items;
  std::optional<Inner> extra;

  void encode(Encoder& encoder) const {
    encoder.encode("value", value);
    encoder.encode("flag", flag);
    encoder.encode("items", items);
    encoder.encodeIfPresent("extra", extra);
  }
  static Outer decode(const Decoder& decoder) {
    return Outer{decoder.decode<double>("value"), decoder.decode<bool>("flag"),
                 decoder.decode<std::vector<Inner>>("items"), decoder.decodeIfPresent<Inner>("extra")};
  }
};

TEST(JSONCoding, EncodesInWrittenOrderAndLeavesAbsentOptionalsOut) {
  Outer outer{12.5, true, {Inner{"a/b", 3}, Inner{"c", std::nullopt}}, std::nullopt};
  EXPECT_EQ(JSONEncoder().encode(outer),
            R"({"value":12.5,"flag":true,"items":[{"name":"a\/b","count":3},{"name":"c"}]})");
}

TEST(JSONCoding, RoundTrips) {
  Outer outer{-0.25, false, {Inner{"\xC3\x9F\n\t\x01", -7}}, Inner{"x", 0}};
  Outer back = JSONDecoder().decode<Outer>(JSONEncoder().encode(outer));
  EXPECT_EQ(back.value, -0.25);
  EXPECT_FALSE(back.flag);
  ASSERT_EQ(back.items.size(), 1u);
  EXPECT_EQ(back.items[0].name, "\xC3\x9F\n\t\x01");
  EXPECT_EQ(back.items[0].count, -7);
  ASSERT_TRUE(back.extra.has_value());
  EXPECT_EQ(back.extra->count, 0);
}

TEST(JSONCoding, DecodingRules) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view json;
    std::optional<DecodingError::Kind> error;  // nullopt: decodes
    const char* path;
  };
  const Case cases[] = {
      {R"({"value":7,"flag":true,"items":[]})", std::nullopt, ""},
      {R"({"value":7,"flag":true,"items":[],"extra":null,"unknown":[1,{}]})", std::nullopt, ""},
      {R"({"value":7,"flag":true,"items":[{"name":"n","count":null}]})", std::nullopt, ""},
      {R"({"value":7,"flag":true,"items":[{"name":"n","count":7.0}]})", std::nullopt, ""},
      {R"({"value":7,"flag":true,"items":[{"name":"n","count":1e2}]})", std::nullopt, ""},
      {R"({"value":7,"flag":true,"items":[{"name":"n","count":-9223372036854775808}]})", std::nullopt, ""},
      {R"({"flag":true,"items":[]})", DecodingError::Kind::keyNotFound, ""},
      {R"({"value":null,"flag":true,"items":[]})", DecodingError::Kind::valueNotFound, "value"},
      {R"({"value":"7","flag":true,"items":[]})", DecodingError::Kind::typeMismatch, "value"},
      {R"({"value":7,"flag":1,"items":[]})", DecodingError::Kind::typeMismatch, "flag"},
      {R"({"value":7,"flag":true,"items":{}})", DecodingError::Kind::typeMismatch, "items"},
      {R"({"value":7,"flag":true,"items":[{"count":1}]})", DecodingError::Kind::keyNotFound, "items.Index 0"},
      {R"({"value":7,"flag":true,"items":[{"name":"n","count":7.5}]})", DecodingError::Kind::dataCorrupted,
       "items.Index 0.count"},
      {R"({"value":7,"flag":true,"items":[{"name":"n","count":9223372036854775808}]})",
       DecodingError::Kind::dataCorrupted, "items.Index 0.count"},
      {R"({"value":7,"flag":true,"items":[{"name":"n","count":-9223372036854775809}]})",
       DecodingError::Kind::dataCorrupted, "items.Index 0.count"},
      {R"({"value":-9223372036854775809,"flag":true,"items":[]})", std::nullopt, ""},
      {R"({"value":7,"flag":true,"items":[{"name":"n","count":"1"}]})", DecodingError::Kind::typeMismatch,
       "items.Index 0.count"},
      {R"({"value":7,"flag":true,"items":[],"extra":5})", DecodingError::Kind::typeMismatch, "extra"},
      {R"([1,2])", DecodingError::Kind::typeMismatch, ""},
      {R"(null)", DecodingError::Kind::valueNotFound, ""},
      {R"({"value":7,)", DecodingError::Kind::dataCorrupted, ""},
      {"", DecodingError::Kind::dataCorrupted, ""},
      {"123\0"sv, DecodingError::Kind::dataCorrupted, ""},
      {"{\"value\":7,\"flag\":true,\"items\":[]}\0"sv, DecodingError::Kind::dataCorrupted, ""},
      {"{\"value\":7,\"flag\":true,\"items\":[{\"name\":\"\xFF\"}]}", DecodingError::Kind::dataCorrupted, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.json));
    if (!c.error) {
      EXPECT_NO_THROW(JSONDecoder().decode<Outer>(c.json));
      continue;
    }
    try {
      JSONDecoder().decode<Outer>(c.json);
      ADD_FAILURE() << "decoded";
    } catch (const DecodingError& error) {
      EXPECT_EQ(error.kind(), *c.error) << error.description();
      EXPECT_EQ(describeCodingPath(error.codingPath()), c.path);
    }
  }
}

// Decoders of a document, the public constructor's decoders with a starting path, and
// nested decoders whose parents are gone all name the same paths.
TEST(JSONCoding, CodingPathsOfNestedDecoders) {
  const JSONDocument document(R"({"a":{"b":[{"c":{"d":[null,{"e":"x"}]}}]},"f":[[1,2],[3,{"g":true}]]})");
  const auto path = [](const Decoder& decoder) { return describeCodingPath(decoder.codingPath()); };
  const auto failurePath = [](const auto& read) {
    try {
      read();
    } catch (const DecodingError& error) {
      return describeCodingPath(error.codingPath());
    }
    return std::string("no error");
  };
  EXPECT_EQ(path(document.root()), "");
  // Each decoder below is made from a temporary parent that no longer exists when it is read.
  EXPECT_EQ(failurePath([&] { document.root().nested("a").nested("b").elements()[0].nested("c").elements(); }),
            "a.b.Index 0.c");
  EXPECT_EQ(failurePath([&] { document.root().nested("a").decodeInt(); }), "a");
  const Decoder e = document.root().nested("a").nested("b").elements()[0].nested("c").nested("d").elements()[1];
  EXPECT_EQ(path(e), "a.b.Index 0.c.d.Index 1");
  EXPECT_EQ(failurePath([&] { e.nested("e").decodeBool(); }), "a.b.Index 0.c.d.Index 1.e");
  EXPECT_EQ(failurePath([&] { e.nested("missing"); }), "a.b.Index 0.c.d.Index 1");
  const Decoder g = document.root().nested("f").elements()[1].elements()[1].nested("g");
  EXPECT_EQ(failurePath([&] { g.decodeString(); }), "f.Index 1.Index 1.g");
  EXPECT_EQ(path(document.root().nested("f").elements()[0].elements()[1]), "f.Index 0.Index 1");

  const nlohmann::json value = nlohmann::json::parse(R"({"list":[{"name":1}]})");
  const Decoder started = JSONCodingAccess::decoder(value, {"outer", "Index 3"});
  EXPECT_EQ(failurePath([&] { started.decode<std::vector<Inner>>("list"); }), "outer.Index 3.list.Index 0.name");
  EXPECT_EQ(path(started.nested("list").elements()[0]), "outer.Index 3.list.Index 0");
}

TEST(JSONCoding, DeeplyNestedAndLargeDocumentsFailCleanly) {
  std::string deep(100000, '[');
  EXPECT_THROW(JSONDecoder().decode<Outer>(deep), DecodingError);
  std::string nested = std::string(20000, '[') + std::string(20000, ']');
  EXPECT_THROW(JSONDecoder().decode<Outer>(nested), DecodingError);
  std::string large = R"({"value":1,"flag":false,"items":[)";
  for (int i = 0; i < 50000; ++i) large += (i ? "," : "") + std::string(R"({"name":"item"})");
  large += "]}";
  EXPECT_EQ(JSONDecoder().decode<Outer>(large).items.size(), 50000u);
}

TEST(JSONCoding, NestingDeeperThan512IsCorruptedData) {
  const auto arrays = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  std::string objects = "1";
  for (int i = 0; i < 513; ++i) objects = R"({"a":)" + objects + "}";
  const std::string bracketsInStrings =
      "[" + std::string(R"("[{\"\\[[")") + "," + "\"" + std::string(2000, '[') + "\"]";
  std::string wide;
  for (int i = 0; i < 10000; ++i) wide += "[],";
  struct Case {
    std::string name;
    std::string text;
    bool accepted;
  };
  const Case cases[] = {
      {"512 arrays", arrays(512), true},
      {"513 arrays", arrays(513), false},
      {"513 objects", objects, false},
      {"a million arrays", arrays(1000000), false},
      {"512 arrays after 10000 closed ones", "[" + wide + arrays(511) + "]", true},
      {"brackets inside strings", bracketsInStrings, true},
      {"an unclosed string full of brackets", "[\"" + std::string(1000, '['), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.accepted) {
      EXPECT_NO_THROW(JSONDocument{c.text});
      continue;
    }
    try {
      JSONDocument document(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const DecodingError& error) {
      EXPECT_EQ(error.kind(), DecodingError::Kind::dataCorrupted);
      EXPECT_EQ(error.description(), "dataCorrupted: The given data was not valid JSON.");
    }
  }
}

TEST(JSONCoding, EncoderRefusesWhatJSONCannotHold) {
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    Outer outer{bad, true, {}, std::nullopt};
    try {
      JSONEncoder().encode(outer);
      ADD_FAILURE() << "encoded " << bad;
    } catch (const EncodingError& error) {
      EXPECT_EQ(describeCodingPath(error.codingPath()), "value");
    }
  }
  Outer invalidText{1, true, {Inner{"\xC3", std::nullopt}}, std::nullopt};
  EXPECT_THROW(JSONEncoder().encode(invalidText), EncodingError);
}

TEST(JSONCoding, AnObjectWithNothingWrittenIsEmptyNotNull) {
  struct AllOptional {
    std::optional<std::string> text;
    void encode(Encoder& encoder) const {
      encoder.beginObject();
      encoder.encodeIfPresent("text", text);
    }
  };
  EXPECT_EQ(JSONEncoder().encode(AllOptional{}), "{}");
  EXPECT_EQ(JSONEncoder().encode(std::vector<AllOptional>{AllOptional{}, AllOptional{"t"}}), R"([{},{"text":"t"}])");
  EXPECT_EQ(JSONEncoder().encodeWith([](Encoder& encoder) {
    encoder.encode("a", std::string("x"));
    encoder.beginObject();
  }),
            R"({"a":"x"})");
}

TEST(JSONCoding, DoublesAreWrittenAsThePlatformEncoderWritesThem) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {{10.0, "10"},    {12.5, "12.5"},     {0.1, "0.1"},
                        {1e16, "1e+16"}, {0.00001, "1e-05"}, {9007199254740992.0, "9007199254740992"},
                        {-3.0, "-3"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(serializeJSON(nlohmann::ordered_json(c.value)), c.text);
  }
}

TEST(JSONCoding, ErrorDescriptionsNameKindAndPath) {
  try {
    JSONDecoder().decode<Outer>(R"({"value":7,"flag":true,"items":[{"count":1}]})");
    FAIL();
  } catch (const DecodingError& error) {
    EXPECT_EQ(error.description(), "keyNotFound at items.Index 0: No value associated with key \"name\".");
    EXPECT_EQ(error.localizedDescription(), "The data couldn\u2019t be read because it is missing.");
  }
}

}  // namespace
}  // namespace keln::foundation
