// Fonts through the CoreText stand-in: data providers over files and memory (the memory's
// release callback runs when the last holder goes), fonts refused for bytes that are no
// font, descriptors that keep the bytes and name their file, and installed fonts matched
// by family and style through fontconfig.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "shims/apple/corefoundation/CFRuntime.h"
#include "shims/apple/coretext/CoreText.h"

namespace {

const std::string kRegular = std::string(SP_FONT_DIR) + "/RobotoTTF/Roboto-Regular.ttf";
const std::string kCondensedBold = std::string(SP_FONT_DIR) + "/RobotoCondensed-Bold.ttf";

TEST(CoreText, FontsFromFilesKeepTheirBytesAndName) {
  CGDataProviderRef provider = CGDataProviderCreateWithFilename(kRegular.c_str());
  ASSERT_NE(provider, nullptr);
  CGFontRef cg = CGFontCreateWithDataProvider(provider);
  ASSERT_NE(cg, nullptr);
  CTFontRef ct = CTFontCreateWithGraphicsFont(cg, 0.0, nullptr, nullptr);
  CTFontDescriptorRef d = CTFontCopyFontDescriptor(ct);
  CGFontRelease(cg);
  CFRelease(ct);
  CGDataProviderRelease(provider);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(CTFontDescriptorCopyAttribute(d, kCTFontURLAttribute), kRegular);
  const std::vector<uint8_t> bytes = CGDataProviderCopyData(CTFontDescriptorGetDataProvider(d));
  std::ifstream in(kRegular, std::ios::binary);
  EXPECT_EQ(bytes, std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  CFRelease(d);

  EXPECT_EQ(CGDataProviderCreateWithFilename("/no/such/font.ttf"), nullptr);
  EXPECT_EQ(CGDataProviderCreateWithFilename(""), nullptr);
}

TEST(CoreText, MemoryBytesGoBackWhenTheLastHolderGoesAndGarbageIsNoFont) {
  static int released = 0;
  auto* bytes = new uint8_t[16]{0, 1, 0, 0};
  CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, bytes, 16, [](void*, const void* data, size_t) {
    ++released;
    delete[] static_cast<const uint8_t*>(data);
  });
  CGFontRef font = CGFontCreateWithDataProvider(provider);
  ASSERT_NE(font, nullptr);
  CGDataProviderRelease(provider);
  EXPECT_EQ(released, 0);  // the font keeps it
  CGFontRelease(font);
  EXPECT_EQ(released, 1);

  const char garbage[] = "not a font at all";
  CGDataProviderRef junk = CGDataProviderCreateWithData(nullptr, garbage, sizeof garbage, nullptr);
  EXPECT_EQ(CGFontCreateWithDataProvider(junk), nullptr);
  CGDataProviderRef tiny = CGDataProviderCreateWithData(nullptr, garbage, 4, nullptr);
  EXPECT_EQ(CGFontCreateWithDataProvider(tiny), nullptr);
  CGDataProviderRelease(junk);
  CGDataProviderRelease(tiny);
  EXPECT_EQ(CGFontCreateWithDataProvider(nullptr), nullptr);
}

TEST(CoreText, InstalledFontsMatchByFamilyAndStyle) {
  const std::vector<std::string> both{kCTFontFamilyNameAttribute, kCTFontStyleNameAttribute};
  CTFontDescriptorRef want = CTFontDescriptorCreateWithAttributes({"Roboto Condensed", "Bold", ""});
  std::vector<CTFontDescriptorRef> matches = CTFontDescriptorCreateMatchingFontDescriptors(want, both);
  ASSERT_FALSE(matches.empty());
  bool found = false;
  for (CTFontDescriptorRef m : matches) {
    found = found || CTFontDescriptorCopyAttribute(m, kCTFontURLAttribute) == kCondensedBold;
    EXPECT_EQ(CTFontDescriptorCopyAttribute(m, kCTFontStyleNameAttribute), "Bold");
    CFRelease(m);
  }
  EXPECT_TRUE(found);
  CFRelease(want);

  CTFontDescriptorRef missing = CTFontDescriptorCreateWithAttributes({"No Such Family 4711", "Regular", ""});
  EXPECT_TRUE(CTFontDescriptorCreateMatchingFontDescriptors(missing, both).empty());
  CFRelease(missing);
  CTFontDescriptorRef noStyle = CTFontDescriptorCreateWithAttributes({"Roboto", "", ""});
  EXPECT_TRUE(CTFontDescriptorCreateMatchingFontDescriptors(noStyle, both).empty());
  EXPECT_EQ(CFGetRetainCount(noStyle), 1);
  CFRelease(noStyle);
}

}  // namespace
