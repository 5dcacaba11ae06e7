// Font tables read with bounds checks: names, style bits and metrics of real fonts, faces
// of a collection (table offsets counted from the collection's start), name records of
// either platform with surrogates, the em ratio and its degenerate heights, and every
// truncation of a font read without a stray byte (each prefix in an allocation of its
// own size, so the address sanitizer sees any read past it).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "graphics/FontInfo.h"
#include "tests/support/font_bytes.h"

namespace {

using namespace plugkit::canvas;
using namespace fontbytes;

IFontInfo infoOf(const Bytes& b, uint32_t face = 0) { return IFontInfo(b.data(), static_cast<uint32_t>(b.size()), face); }

Bytes tinyFont(const std::vector<NameRecord>& names, int16_t ascender = 800, int16_t descender = -200,
               uint16_t macStyle = 0) {
  return buildFont({{"head", headTable(1000, macStyle)}, {"hhea", hheaTable(ascender, descender)},
                    {"name", nameTable(names)}});
}

TEST(FontTables, RobotoNamesStyleBitsAndMetrics) {
  const Bytes regular = readFile(robotoRegularPath());
  ASSERT_FALSE(regular.empty());
  const IFontInfo r = infoOf(regular);
  ASSERT_TRUE(r.IsValid());
  EXPECT_STREQ(r.GetFamily().Get(), "Roboto");
  EXPECT_STREQ(r.GetStyle().Get(), "Regular");
  EXPECT_EQ(r.GetUnitsPerEm(), 2048);
  EXPECT_EQ(r.GetAscender(), 1900);
  EXPECT_EQ(r.GetDescender(), -500);
  EXPECT_EQ(r.GetMacStyle(), 0);
  EXPECT_DOUBLE_EQ(r.EmRatio(), 2048.0 / 2400.0);
  EXPECT_FALSE(infoOf(regular, 1).IsValid());  // a single font has face 0 only

  const Bytes bold = readFile(robotoCondensedBoldPath());
  const IFontInfo b = infoOf(bold);
  ASSERT_TRUE(b.IsValid());
  EXPECT_STREQ(b.GetFamily().Get(), "Roboto Condensed");
  EXPECT_STREQ(b.GetStyle().Get(), "Bold");
  EXPECT_EQ(b.GetMacStyle(), 1);
}

TEST(FontTables, CollectionFacesCountTheirTablesFromTheCollectionStart) {
  const Bytes regular = readFile(robotoRegularPath()), bold = readFile(robotoCondensedBoldPath());
  const Bytes ttc = buildCollection({regular, bold});
  const IFontInfo face1 = infoOf(ttc, 1);
  ASSERT_TRUE(face1.IsValid());
  EXPECT_STREQ(face1.GetFamily().Get(), "Roboto Condensed");
  EXPECT_EQ(face1.GetMacStyle(), 1);
  EXPECT_FALSE(infoOf(ttc, 2).IsValid());

  EXPECT_EQ(GetFaceIdx(ttc.data(), static_cast<int>(ttc.size()), "Bold"), 1);
  EXPECT_EQ(GetFaceIdx(ttc.data(), static_cast<int>(ttc.size()), "Regular"), 0);
  EXPECT_EQ(GetFaceIdx(ttc.data(), static_cast<int>(ttc.size()), ""), 0);
  EXPECT_EQ(GetFaceIdx(ttc.data(), static_cast<int>(ttc.size()), "Italic"), -1);
  EXPECT_EQ(GetFaceIdx(regular.data(), static_cast<int>(regular.size()), "Bold"), -1);

  // Headers that do not hold: a bad version, a face count the offsets do not fit.
  Bytes badVersion = ttc;
  set32(badVersion, 4, 0x00030000);
  EXPECT_FALSE(infoOf(badVersion, 0).IsValid());
  Bytes manyFaces = ttc;
  set32(manyFaces, 8, 0xFFFFFFFF);
  EXPECT_FALSE(infoOf(manyFaces, 1000000).IsValid());
  Bytes farFace = ttc;
  set32(farFace, 12, static_cast<uint32_t>(ttc.size() - 4));
  EXPECT_FALSE(infoOf(farFace, 0).IsValid());
}

TEST(FontTables, NameRecordsOfEitherPlatform) {
  // Only a Macintosh family record: the family is still found.
  const Bytes mac = tinyFont({{1, 0, 0, 1, ascii("Plain Family")}, {1, 0, 0, 2, ascii("Book")}});
  EXPECT_STREQ(infoOf(mac).GetFamily().Get(), "Plain Family");
  EXPECT_STREQ(infoOf(mac).GetStyle().Get(), "Book");

  // The Windows record wins; surrogate pairs decode, lone halves become U+FFFD.
  const Bytes win = tinyFont({{1, 0, 0, 1, ascii("Mac Name")},
                              {3, 1, 1033, 1, utf16be(u"Win \U0001F600")},
                              {3, 1, 1033, 2, utf16be(std::u16string(u"a") + char16_t(0xD800) + u"b" +
                                                      char16_t(0xDC00))}});
  EXPECT_STREQ(infoOf(win).GetFamily().Get(), "Win \xF0\x9F\x98\x80");
  EXPECT_STREQ(infoOf(win).GetStyle().Get(), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_STREQ(infoOf(win).GetFontString(1, IFontInfo::EStringID::Mac).Get(), "Mac Name");

  // Other languages and encodings are not taken; a Windows string shorter than one unit
  // is empty; a Macintosh string stops at its first zero byte, and a record of length 0
  // scans to it.
  const Bytes others = tinyFont({{3, 1, 1031, 1, utf16be(u"Deutsch")},
                                 {3, 1, 1033, 2, Bytes{0x41}},
                                 {1, 0, 0, 2, ascii(std::string("Cut\0Off", 7))},
                                 {1, 0, 0, 4, ascii(std::string("Scan\0", 5)), 0}});
  const IFontInfo o = infoOf(others);
  EXPECT_STREQ(o.GetFamily().Get(), "");
  EXPECT_STREQ(o.GetStyle().Get(), "Cut");
  EXPECT_STREQ(o.SearchFontString(4).Get(), "Scan");
  EXPECT_STREQ(o.SearchFontString(6).Get(), "");
}

TEST(FontTables, EmRatioFallsBackToOneForAHeightThatIsNotAboveZero) {
  EXPECT_DOUBLE_EQ(infoOf(tinyFont({}, 800, -200)).EmRatio(), 1000.0 / 1000.0);
  EXPECT_DOUBLE_EQ(infoOf(tinyFont({}, 900, -100)).EmRatio(), 1.0);
  EXPECT_DOUBLE_EQ(infoOf(tinyFont({}, 0, 0)).EmRatio(), 1.0);
  EXPECT_DOUBLE_EQ(infoOf(tinyFont({}, -100, 200)).EmRatio(), 1.0);
  EXPECT_DOUBLE_EQ(infoOf(tinyFont({}, 600, -200)).EmRatio(), 1.25);
  EXPECT_DOUBLE_EQ(infoOf(Bytes{}).EmRatio(), 1.0);
}

TEST(FontTables, MissingOrShortTablesMakeTheFontInvalid) {
  EXPECT_FALSE(infoOf(buildFont({{"head", headTable(1000, 0)}, {"hhea", hheaTable(1, -1)}})).IsValid());
  EXPECT_FALSE(infoOf(buildFont({{"head", Bytes(40, 0)}, {"hhea", hheaTable(1, -1)}, {"name", nameTable({})}}))
                   .IsValid());
  EXPECT_FALSE(infoOf(ascii("wOFF and more bytes")).IsValid());
  EXPECT_FALSE(IFontInfo(nullptr, 100, 0).IsValid());
  // A table directory that claims more tables than the bytes hold.
  Bytes lying = tinyFont({{3, 1, 1033, 1, utf16be(u"X")}});
  lying[4] = 0xFF;
  lying[5] = 0xFF;
  const IFontInfo l = infoOf(lying);
  EXPECT_TRUE(l.IsValid());  // the three tables come first and are whole
  // Name records whose strings lie past the end of the bytes read as empty.
  Bytes farNames = nameTable({{3, 1, 1033, 1, utf16be(u"Far")}, {1, 0, 0, 2, ascii("Away")}});
  farNames[6 + 10] = 0x7F;       // the first record's string offset: 0x7F00 and more
  farNames[6 + 12 + 10] = 0x7F;  // the second's
  const Bytes far = buildFont({{"head", headTable(1000, 0)}, {"hhea", hheaTable(1, -1)}, {"name", farNames}});
  std::unique_ptr<uint8_t[]> exact(new uint8_t[far.size()]);
  std::copy(far.begin(), far.end(), exact.get());
  const IFontInfo farInfo(exact.get(), static_cast<uint32_t>(far.size()), 0);
  EXPECT_TRUE(farInfo.IsValid());
  EXPECT_STREQ(farInfo.GetFamily().Get(), "");
  EXPECT_STREQ(farInfo.GetStyle().Get(), "");
  // A name table whose record count runs past its end reads only whole records.
  Bytes names = nameTable({{3, 1, 1033, 1, utf16be(u"Fine")}});
  names[2] = 0x7F;
  const IFontInfo n = infoOf(buildFont({{"head", headTable(1000, 0)}, {"hhea", hheaTable(1, -1)}, {"name", names}}));
  EXPECT_STREQ(n.GetFamily().Get(), "Fine");
}

// The ends worth cutting at: the header and directory byte by byte, and around every
// table and name string the reader touches.
std::set<size_t> cutPoints(const Bytes& font) {
  std::set<size_t> cuts;
  for (size_t n = 0; n <= std::min<size_t>(font.size(), 512); ++n) cuts.insert(n);
  const uint32_t count = (uint32_t{font[4]} << 8) | font[5];
  for (uint32_t k = 0; k < count; ++k) {
    const uint32_t offset = get32(font, 12 + 16 * k + 8), length = get32(font, 12 + 16 * k + 12);
    for (size_t d = 0; d < 64; ++d) cuts.insert(offset + d);
    cuts.insert(offset + length - 1);
    cuts.insert(offset + length);
    if (std::string(font.begin() + 12 + 16 * k, font.begin() + 16 + 16 * k) == "name") {
      for (size_t d = 0; d < length; d += 3) cuts.insert(offset + d);
    }
  }
  cuts.insert(font.size());
  return cuts;
}

TEST(FontTables, EveryTruncationReadsOnlyItsOwnBytes) {
  const Bytes regular = readFile(robotoRegularPath()), bold = readFile(robotoCondensedBoldPath());
  const Bytes ttc = buildCollection({tinyFont({{1, 0, 0, 2, ascii("Plain")}, {1, 0, 0, 1, Bytes{}, 0}}), bold});
  for (const Bytes* font : {&regular, &ttc}) {
    for (size_t n : cutPoints(*font)) {
      if (n > font->size()) continue;
      std::unique_ptr<uint8_t[]> copy(new uint8_t[n > 0 ? n : 1]);
      std::copy(font->begin(), font->begin() + static_cast<std::ptrdiff_t>(n), copy.get());
      for (uint32_t face = 0; face < 3; ++face) {
        const IFontInfo info(copy.get(), static_cast<uint32_t>(n), face);
        (void)info.EmRatio();
        (void)info.SearchFontString(1);
      }
      (void)GetFaceIdx(copy.get(), static_cast<int>(n), "Bold");
    }
  }
  // A small collection, cut at every length.
  const Bytes small = buildCollection({tinyFont({{3, 1, 1033, 1, utf16be(u"One")}, {3, 1, 1033, 2, utf16be(u"Bold")}}),
                                       tinyFont({{1, 0, 0, 2, ascii("Italic")}, {1, 0, 0, 1, Bytes{}, 0}})});
  for (size_t n = 0; n <= small.size(); ++n) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n > 0 ? n : 1]);
    std::copy(small.begin(), small.begin() + static_cast<std::ptrdiff_t>(n), copy.get());
    for (uint32_t face = 0; face < 3; ++face) {
      const IFontInfo info(copy.get(), static_cast<uint32_t>(n), face);
      (void)info.SearchFontString(1);
      (void)info.SearchFontString(2);
    }
    const int bold = GetFaceIdx(copy.get(), static_cast<int>(n), "Bold");
    EXPECT_TRUE(bold == -1 || bold == 0) << n;  // face 0 once its tables are whole
  }
  EXPECT_EQ(GetFaceIdx(small.data(), static_cast<int>(small.size()), "Italic"), 1);

  // Whole, the collection's faces read as themselves.
  EXPECT_STREQ(infoOf(ttc, 0).GetStyle().Get(), "Plain");
  EXPECT_EQ(GetFaceIdx(ttc.data(), static_cast<int>(ttc.size()), "Bold"), 1);
}

}  // namespace
