// The byte chunk and parameter serialisation: typed reads and writes, strings with
// truncated and hostile lengths, and the plain parameter block.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "framework/IByteChunk.h"
#include "tests/support/test_plugin/test_plugin.h"

namespace {

using plugkit::IByteChunk;

IByteChunk chunkWithLength(int32_t length, int bytesAfter, int start = 0) {
  IByteChunk chunk;
  chunk.Resize(start);
  chunk.Put(&length);
  for (int i = 0; i < bytesAfter; ++i) {
    const char c = static_cast<char>('a' + i % 26);
    chunk.Put(&c);
  }
  return chunk;
}

TEST(ByteChunk, ValuesRoundTripAndShortReadsFail) {
  IByteChunk chunk;
  const int32_t i = -7;
  const double d = 1.25;
  const bool b = true;
  ASSERT_TRUE(chunk.Put(&i));
  ASSERT_TRUE(chunk.Put(&d));
  ASSERT_TRUE(chunk.Put(&b));
  ASSERT_TRUE(chunk.PutStr("hi"));
  EXPECT_EQ(chunk.Size(), 4 + 8 + 1 + 4 + 2);
  int32_t i2 = 0;
  double d2 = 0;
  bool b2 = false;
  StringBuf s;
  int pos = chunk.Get(&i2, 0);
  pos = chunk.Get(&d2, pos);
  pos = chunk.Get(&b2, pos);
  pos = chunk.GetStr(s, pos);
  EXPECT_EQ(pos, chunk.Size());
  EXPECT_EQ(i2, -7);
  EXPECT_EQ(d2, 1.25);
  EXPECT_TRUE(b2);
  EXPECT_STREQ(s.Get(), "hi");

  double untouched = 9.0;
  EXPECT_EQ(chunk.Get(&untouched, chunk.Size() - 4), -1);
  EXPECT_EQ(chunk.Get(&untouched, -1), -1);
  EXPECT_EQ(chunk.Get(&untouched, INT_MAX - 2), -1);
  EXPECT_EQ(untouched, 9.0);
}

TEST(ByteChunk, StringLengthsTable) {
  struct Case {
    const char* what;
    int start;
    int32_t length;
    int bytesAfter;
    int expected;  // position answered
    const char* text;  // the string after the call ("old" = unchanged)
  } cases[] = {
      {"fits", 0, 3, 3, 7, "abc"},
      {"zero length gives the empty text", 0, 0, 0, 4, ""},
      {"length 10 with 6 bytes left: end, string unchanged", 0, 10, 6, 14, "old"},
      {"negative length", 0, -8, 6, -1, "old"},
      {"negative length after other data", 16, -8, 6, -1, "old"},
      {"huge length whose end still fits an int", 0, 0x7FFFFFF0, 6, 0x7FFFFFF4, "old"},
      {"huge length whose end passes what an int holds", 16, 0x7FFFFFF0, 6, -1, "old"},
      {"largest length", 0, INT_MAX, 0, -1, "old"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const IByteChunk chunk = chunkWithLength(c.length, c.bytesAfter, c.start);
    StringBuf s("old");
    const int pos = chunk.GetStr(s, c.start);
    EXPECT_EQ(pos, c.expected);
    EXPECT_STREQ(s.Get(), c.text);
    if (pos > chunk.Size()) {
      int32_t next = 0;
      EXPECT_EQ(chunk.Get(&next, pos), -1);
    }
  }
}

TEST(ByteChunk, StringStopsAtAZeroByte) {
  IByteChunk chunk;
  const int32_t length = 5;
  chunk.Put(&length);
  chunk.PutBytes("ab\0cd", 5);
  StringBuf s;
  EXPECT_EQ(chunk.GetStr(s, 0), 9);
  EXPECT_STREQ(s.Get(), "ab");
}

class ParamBlock : public ::testing::Test {
protected:
  sp::test::TestPlugin plug;
};

TEST_F(ParamBlock, EighteenParametersTake144Bytes) {
  plug.GetParam(1)->Set(-20);
  plug.GetParam(9)->Set(33.3);
  IByteChunk chunk;
  ASSERT_TRUE(plug.SerializeParams(chunk));
  EXPECT_EQ(chunk.Size(), 144);

  sp::test::TestPlugin other;
  other.clearLog();
  EXPECT_EQ(other.UnserializeParams(chunk, 0), 144);
  EXPECT_DOUBLE_EQ(other.GetParam(1)->Value(), -20);
  EXPECT_DOUBLE_EQ(other.GetParam(9)->Value(), 33.3);
  EXPECT_EQ(other.countInLog("OnParamReset 2"), 1);
}

TEST_F(ParamBlock, ShortChunkSetsWhatItHolds) {
  IByteChunk chunk;
  for (int i = 0; i < 18; ++i) {
    const double value = 1.0;
    chunk.Put(&value);
  }
  chunk.Resize(100);  // 12 whole values and 4 bytes of the 13th
  plug.clearLog();
  EXPECT_EQ(plug.UnserializeParams(chunk, 0), -1);
  for (int i = 0; i < 12; ++i) EXPECT_DOUBLE_EQ(plug.GetParam(i)->Value(), plug.GetParam(i)->Constrain(1.0)) << i;
  for (int i = 12; i < 18; ++i) EXPECT_DOUBLE_EQ(plug.GetParam(i)->Value(), plug.GetParam(i)->GetDefault()) << i;
  EXPECT_EQ(plug.countInLog("OnParamReset 2"), 1);
}

TEST_F(ParamBlock, StoredValuesAreConstrainedAndNonFiniteOnesIgnored) {
  IByteChunk chunk;
  for (int i = 0; i < 18; ++i) {
    double value = plug.GetParam(i)->Value();
    if (i == 0) value = 7.3;          // bool: clamped to 1
    if (i == 5) value = std::nan(""); // kept at its old value
    if (i == 1) value = -14.26;       // a double without the stepped flag keeps it
    chunk.Put(&value);
  }
  plug.GetParam(5)->Set(20);
  EXPECT_EQ(plug.UnserializeParams(chunk, 0), 144);
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 1);
  EXPECT_DOUBLE_EQ(plug.GetParam(5)->Value(), 20);
  EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), -14.26);
  EXPECT_EQ(plug.UnserializeParams(chunk, -3), -3);
}

}  // namespace
