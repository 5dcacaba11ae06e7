// UTF-16/UTF-8 conversion of host strings: bounded, terminated, never throwing.
#include <gtest/gtest.h>

#include <string>

#include "shims/vst3sdk/utf_convert.h"

namespace {

using vst3shim::utf16ToUtf8;
using vst3shim::utf8ToUtf16;

TEST(Utf16ToUtf8, Table) {
  struct Case {
    const char* name;
    std::u16string in;
    std::string out;
  } cases[] = {
      {"ascii", u"Drums", "Drums"},
      {"two-byte", u"B\u00e4sse", "B\xC3\xA4sse"},
      {"surrogate pair", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
      {"lone high surrogate", std::u16string(1, char16_t(0xD800)), "\xEF\xBF\xBD"},
      {"lone low surrogate then text", std::u16string{char16_t(0xDC00), u'a'}, "\xEF\xBF\xBD" "a"},
      {"high surrogate at the end", std::u16string{u'x', char16_t(0xD83D)}, "x\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(utf16ToUtf8(c.in.c_str(), c.in.size() + 1), c.out);
  }
}

TEST(Utf16ToUtf8, StopsAtTheBoundsWithoutSplittingACharacter) {
  const std::u16string in = u"ab\u00e4";
  char out[4];
  EXPECT_EQ(utf16ToUtf8(in.c_str(), in.size(), out, sizeof(out)), 2u);  // "ä" needs 2 more bytes
  EXPECT_STREQ(out, "ab");
  EXPECT_EQ(utf16ToUtf8(in.c_str(), 1, out, sizeof(out)), 1u);  // unit limit without a NUL
  EXPECT_STREQ(out, "a");
  EXPECT_EQ(utf16ToUtf8(nullptr, 10, out, sizeof(out)), 0u);
  EXPECT_STREQ(out, "");
}

TEST(Utf8ToUtf16, NeverSplitsASurrogatePair) {
  char16_t out[3];
  EXPECT_EQ(utf8ToUtf16("a\xF0\x9F\x98\x80", 100, out, 3), 1u);
  EXPECT_EQ(out[0], u'a');
  EXPECT_EQ(out[1], 0);
  char16_t wide[8];
  EXPECT_EQ(utf8ToUtf16("\xF0\x9F\x98\x80", 100, wide, 8), 2u);
  EXPECT_EQ(wide[0], 0xD83D);
  EXPECT_EQ(wide[1], 0xDE00);
}

TEST(Utf8ToUtf16, MalformedBytesBecomeReplacementCharacters) {
  char16_t out[16];
  EXPECT_EQ(utf8ToUtf16("\xC3(\xED\xA0\x80", 100, out, 16), 5u);  // bad lead, then an encoded surrogate
  EXPECT_EQ(out[0], 0xFFFD);
  EXPECT_EQ(out[1], u'(');
  EXPECT_EQ(out[2], 0xFFFD);
  EXPECT_EQ(utf8ToUtf16("\xC0\xAF", 100, out, 16), 2u);  // overlong
  EXPECT_EQ(out[0], 0xFFFD);
}

}  // namespace
