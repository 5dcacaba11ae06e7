// JSON reader: grammar, depth limit, strings and escapes, numbers; the quoter.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "services/json.h"

using brightloom::json::parse;
using brightloom::json::quote;
using brightloom::json::Value;

namespace {

std::string nested(int depth, std::string_view inner) {
  return std::string(static_cast<std::size_t>(depth), '[') + std::string(inner) +
         std::string(static_cast<std::size_t>(depth), ']');
}

}  // namespace

TEST(JsonReader, RefusesWhatIsNotExactlyOneValue) {
  const std::vector<std::string> bad = {
      "", " ", "\t\r\n", "1 2", "[1,]", "[,1]", "[1 2]", "[", "]", "{a:1}", "{\"a\":1,}",
      "{\"a\" 1}", "{\"a\":}", "{\"a\":1", "{1:1}", "01", "-01", "1.", ".5", "+1", "1e", "1e+",
      "-", "--1", "0x10", "NaN", "Infinity", "[truex]", "nullx", "tru", "True", "\"abc",
      "\"a\tb\"", "\"a\nb\"", "\"\\x\"", "\"\\u12\"", "\"\\u12G4\"", "\"\\uD83D\"", "\"\\uDE00\"",
      "\"\\uD83D\\u0041\"", "\"\\uD83Dx\"", "\"\\", "\xEF\xBB\xBF{}", "{}\f", std::string("1\0", 2),
  };
  for (const auto& text : bad) EXPECT_FALSE(parse(text).has_value()) << "text: " << text;
}

TEST(JsonReader, BuildsTheTreeInDocumentOrder) {
  const auto v = parse(" {\"b\" : [1 , 2, true,false,null] ,\r\n\t\"a\":{}, \"b\":\"x\"} ");
  ASSERT_TRUE(v);
  ASSERT_EQ(v->kind, Value::kObject);
  ASSERT_EQ(v->object.size(), 3u);
  EXPECT_EQ(v->object[0].key, "b");
  const Value& arr = v->object[0].value;
  ASSERT_EQ(arr.kind, Value::kArray);
  ASSERT_EQ(arr.array.size(), 5u);
  EXPECT_EQ(arr.array[1].kind, Value::kNumber);
  EXPECT_EQ(arr.array[1].number, 2.0);
  EXPECT_EQ(arr.array[2].kind, Value::kBoolean);
  EXPECT_TRUE(arr.array[2].boolean);
  EXPECT_FALSE(arr.array[3].boolean);
  EXPECT_EQ(arr.array[4].kind, Value::kNull);
  EXPECT_EQ(v->object[1].value.kind, Value::kObject);
  EXPECT_TRUE(v->object[1].value.object.empty());
  // The first "b" is an array, so the later string is never consulted.
  EXPECT_FALSE(v->string("b"));
  EXPECT_FALSE(v->string("a"));
  EXPECT_FALSE(v->string("missing"));

  const auto dup = parse(R"({"k":"first","k":"second"})");
  ASSERT_TRUE(dup);
  EXPECT_EQ(dup->string("k"), "first");
  EXPECT_FALSE(parse(R"(["k"])")->string("k"));
  EXPECT_EQ(parse(" {} ")->kind, Value::kObject);
}

TEST(JsonReader, NumbersFollowTheGrammarAndConvertExactly) {
  struct Case {
    std::string text;
    double value;
  };
  const std::vector<Case> cases = {
      {"0", 0.0},          {"-0", -0.0},    {"0.5e-3", 0.0005},      {"1E+2", 100.0},
      {"123.456", 123.456}, {"-7e0", -7.0}, {"1e400", HUGE_VAL},     {"-1e400", -HUGE_VAL},
      {"1e-400", 0.0},     {"-1e-400", -0.0}, {"4.9e-324", 4.9e-324},
      {"9223372036854775808", 9223372036854775808.0},
      {"0.1", 0.1},
  };
  for (const auto& c : cases) {
    const auto v = parse(c.text);
    ASSERT_TRUE(v) << c.text;
    ASSERT_EQ(v->kind, Value::kNumber) << c.text;
    EXPECT_EQ(v->number, c.value) << c.text;
    EXPECT_EQ(std::signbit(v->number), std::signbit(c.value)) << c.text;
  }
}

TEST(JsonReader, NumbersIgnoreTheProcessLocale) {
  const std::string old = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  const auto v = parse("[0.5, 1e400]");
  std::setlocale(LC_ALL, old.c_str());
  ASSERT_TRUE(v);
  EXPECT_EQ(v->array[0].number, 0.5);
  EXPECT_EQ(v->array[1].number, HUGE_VAL);
}

TEST(JsonReader, DepthIsLimitedToEightContainersAroundAValue) {
  EXPECT_TRUE(parse(nested(8, "1")));
  EXPECT_FALSE(parse(nested(9, "1")));
  EXPECT_TRUE(parse(nested(9, "")));
  EXPECT_FALSE(parse(nested(10, "")));
  std::string objects = "1";
  for (int i = 0; i < 8; ++i) objects = "{\"k\":" + objects + "}";
  EXPECT_TRUE(parse(objects));
  EXPECT_FALSE(parse("{\"k\":" + objects + "}"));
  // Deep input fails at the limit, without descending further.
  EXPECT_FALSE(parse(std::string(1 << 20, '[')));
  EXPECT_FALSE(parse(std::string(1 << 20, '{')));
}

TEST(JsonReader, StringsDecodeEscapesAndPassRawBytes) {
  struct Case {
    std::string text;
    std::string decoded;
  };
  const std::vector<Case> cases = {
      {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
      {R"("\u0041\u00e9\u20AC")", "A\xC3\xA9\xE2\x82\xAC"},
      {R"("\uD83D\uDE00")", "\xF0\x9F\x98\x80"},
      {R"("\uDBFF\uDFFF")", "\xF4\x8F\xBF\xBF"},
      {R"("\u0000")", std::string("\0", 1)},
      {"\"\x7F\x80\xFF\xC3\"", "\x7F\x80\xFF\xC3"},  // no UTF-8 validation
      {"\"\"", ""},
  };
  for (const auto& c : cases) {
    const auto v = parse(c.text);
    ASSERT_TRUE(v) << c.text;
    EXPECT_EQ(v->kind, Value::kString);
    EXPECT_EQ(v->text, c.decoded) << c.text;
  }
}

TEST(JsonQuote, EscapesOnlyWhatJsonNeeds) {
  EXPECT_EQ(quote("a\"b"), "\"a\\\"b\"");
  EXPECT_EQ(quote("\\"), "\"\\\\\"");
  EXPECT_EQ(quote("\n\r\t"), "\"\\n\\r\\t\"");
  EXPECT_EQ(quote("\x01\x08\x0C\x1F"), "\"\\u0001\\u0008\\u000c\\u001f\"");
  EXPECT_EQ(quote(std::string("\0", 1)), "\"\\u0000\"");
  EXPECT_EQ(quote("/\x7F\xC3\xA9\xFF"), "\"/\x7F\xC3\xA9\xFF\"");
  EXPECT_EQ(quote(""), "\"\"");
}

TEST(JsonQuote, QuotedRandomBytesReadBackUnchanged) {
  std::mt19937 rng(99);
  for (int i = 0; i < 500; ++i) {
    std::string s(rng() % 64, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    const auto v = parse(quote(s));
    ASSERT_TRUE(v);
    ASSERT_EQ(v->text, s);
  }
}
