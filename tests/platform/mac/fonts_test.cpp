// Platform fonts: bundle resources (found by the framework's lookup; a full path works),
// installed fonts by family and style through fontconfig, memory fonts (copied), faces of
// a collection picked by style (a style no face has gives no data, never face -1), and the
// descriptor cache (the first font cached under an ID stays; its em ratio); damaged fonts
// answered by the system font.
#include <gtest/gtest.h>

#include "platform/mac/CoreTextHelpers.h"
#include "graphics/FontInfo.h"
#include "shims/apple/corefoundation/CFRuntime.h"
#include "tests/support/font_bytes.h"

namespace {

using namespace plugkit::canvas;
using namespace fontbytes;

TEST(PlatformFonts, BundleResourcesByNameOrPath) {
  PlatformFontPtr font = CoreTextHelpers::LoadPlatformFont("Roboto-Regular", robotoRegularPath().c_str(), "", "");
  ASSERT_TRUE(font);
  EXPECT_FALSE(font->IsSystem());
  EXPECT_NE(font->GetDescriptor(), nullptr);
  const std::unique_ptr<IFontData> data = font->GetFontData();
  ASSERT_TRUE(data && data->IsValid());
  EXPECT_EQ(data->GetSize(), static_cast<int>(readFile(robotoRegularPath()).size()));
  EXPECT_EQ(data->GetFaceIdx(), 0);
  EXPECT_EQ(CTFontDescriptorCopyAttribute(static_cast<CTFontDescriptorRef>(const_cast<void*>(font->GetDescriptor())),
                                          kCTFontURLAttribute),
            robotoRegularPath());

  EXPECT_FALSE(CoreTextHelpers::LoadPlatformFont("x", "No-Such-Font", "com.example.none", ""));
  EXPECT_FALSE(CoreTextHelpers::LoadPlatformFont("x", "", "", ""));
  EXPECT_FALSE(CoreTextHelpers::LoadPlatformFont("x", static_cast<const char*>(nullptr), "", ""));
  // A file that is no font.
  EXPECT_FALSE(CoreTextHelpers::LoadPlatformFont("x", "/proc/self/status", "", ""));
}

TEST(PlatformFonts, InstalledFontsByFamilyAndStyle) {
  PlatformFontPtr bold = CoreTextHelpers::LoadPlatformFont("cb", "Roboto Condensed", ETextStyle::Bold);
  ASSERT_TRUE(bold);
  EXPECT_TRUE(bold->IsSystem());
  EXPECT_STREQ(static_cast<CoreTextFont&>(*bold).GetStyleName(), "Bold");
  const std::unique_ptr<IFontData> data = bold->GetFontData();
  ASSERT_TRUE(data);
  const IFontInfo info(data->Get(), static_cast<uint32_t>(data->GetSize()), static_cast<uint32_t>(data->GetFaceIdx()));
  EXPECT_STREQ(info.GetFamily().Get(), "Roboto Condensed");
  EXPECT_EQ(info.GetMacStyle(), 1);

  PlatformFontPtr regular = CoreTextHelpers::LoadPlatformFont("r", "Roboto", ETextStyle::Normal);
  ASSERT_TRUE(regular);
  EXPECT_STREQ(static_cast<CoreTextFont&>(*regular).GetStyleName(), "Regular");
  EXPECT_FALSE(CoreTextHelpers::LoadPlatformFont("u", "No Such Family 4711", ETextStyle::Normal));
  EXPECT_FALSE(CoreTextHelpers::LoadPlatformFont("u", "", ETextStyle::Normal));
}

TEST(PlatformFonts, MemoryFontsAreCopiesAndCollectionsPickTheirFaceByStyle) {
  Bytes ttc = buildCollection({readFile(robotoRegularPath()), readFile(robotoCondensedBoldPath())});
  PlatformFontPtr font = CoreTextHelpers::LoadPlatformFont("m", ttc.data(), static_cast<int>(ttc.size()));
  ASSERT_TRUE(font);
  std::fill(ttc.begin(), ttc.end(), 0);  // the font keeps its own copy
  std::unique_ptr<IFontData> data = font->GetFontData();
  ASSERT_TRUE(data && data->IsValid());
  EXPECT_EQ(data->GetFaceIdx(), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data->Get()), 4), "ttcf");

  // The same bytes asked for a style: the face whose style string is it.
  auto descriptor = static_cast<CTFontDescriptorRef>(const_cast<void*>(font->GetDescriptor()));
  CFRetain(descriptor);
  CGDataProviderRef provider = CTFontDescriptorGetDataProvider(descriptor);
  CFRetain(provider);
  CoreTextFont bold(descriptor, provider, "Bold", true);
  EXPECT_EQ(bold.GetFontData()->GetFaceIdx(), 1);
  CFRetain(descriptor);
  CFRetain(provider);
  CoreTextFont italic(descriptor, provider, "Italic", true);
  EXPECT_EQ(italic.GetFontData(), nullptr);

  const char junk[] = "definitely not a font file";
  EXPECT_FALSE(CoreTextHelpers::LoadPlatformFont("j", const_cast<char*>(junk), static_cast<int>(sizeof junk)));
  EXPECT_FALSE(CoreTextHelpers::LoadPlatformFont("j", nullptr, 10));
  EXPECT_FALSE(CoreTextHelpers::LoadPlatformFont("j", const_cast<char*>(junk), 0));
}

// A bundle or memory font whose bytes cannot be drawn with (here 14 bytes of Roboto, and
// Roboto cut in half) is answered by the system's interface font, so its text still draws.
TEST(PlatformFonts, DamagedFontsAreAnsweredByTheSystemFont) {
  const Bytes roboto = readFile(robotoRegularPath());
  for (size_t keep : {size_t{14}, roboto.size() / 2}) {
    SCOPED_TRACE(keep);
    Bytes damaged(roboto.begin(), roboto.begin() + static_cast<std::ptrdiff_t>(keep));
    PlatformFontPtr font = CoreTextHelpers::LoadPlatformFont("d", damaged.data(), static_cast<int>(damaged.size()));
    ASSERT_TRUE(font);
    EXPECT_TRUE(font->IsSystem());
    const std::unique_ptr<IFontData> data = font->GetFontData();
    ASSERT_TRUE(data && data->IsValid());
    EXPECT_NE(data->GetSize(), static_cast<int>(keep));
    EXPECT_FALSE(CTFontDescriptorCopyAttribute(static_cast<CTFontDescriptorRef>(const_cast<void*>(font->GetDescriptor())),
                                               kCTFontURLAttribute)
                     .empty())
        << "an installed file";
  }
}

TEST(PlatformFonts, TheFirstDescriptorCachedUnderAnIdStays) {
  StaticStorage<CoreTextFontDescriptor> cache;
  PlatformFontPtr regular = CoreTextHelpers::LoadPlatformFont("Roboto-Regular", robotoRegularPath().c_str(), "", "");
  PlatformFontPtr bold = CoreTextHelpers::LoadPlatformFont("Roboto-Regular", robotoCondensedBoldPath().c_str(), "", "");
  CoreTextHelpers::CachePlatformFont("Roboto-Regular", regular, cache);
  CoreTextHelpers::CachePlatformFont("Roboto-Regular", bold, cache);
  EXPECT_EQ(cache.Size(), 1);
  IText text(14.f);
  text.SetFont("Roboto-Regular");
  CoreTextFontDescriptor* cached = CoreTextHelpers::GetCTFontDescriptor(text, cache);
  ASSERT_NE(cached, nullptr);
  EXPECT_EQ(cached->GetDescriptor(), regular->GetDescriptor());
  EXPECT_DOUBLE_EQ(cached->GetEMRatio(), 2048.0 / 2400.0);
  text.SetFont("Other");
  EXPECT_EQ(CoreTextHelpers::GetCTFontDescriptor(text, cache), nullptr);
  // The cache holds its own reference: the font may go first.
  const void* d = regular->GetDescriptor();
  regular.reset();
  EXPECT_EQ(CFGetRetainCount(d), 1);
}

}  // namespace
