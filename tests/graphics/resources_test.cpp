// Resources and their caches: the scale order and variant names, which variant file a
// bitmap is loaded from and how it is scaled, reuse and release, bitmaps from memory, two
// editors sharing the caches, failures that cache nothing, SVG images, resource files and
// font files found in the bundle.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/Paths.h"
#include "graphics/svg/svg_builder.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/image_fixture.h"
#include "tests/support/temp_dir.h"

using namespace gfxtest;
using sp::test::DrawOp;
using sp::test::RGBAImage;
using sp::test::TempDir;
using sp::test::TestBitmap;
using sp::test::TestPlatform;

namespace {

constexpr const char* kBundleID = "com.brightloom.spectrapoise.test";

// The number of cached bitmaps under name at scale.
bool cachedBitmap(const char* name, double scale) {
  const StaticStorage<APIBitmap>::Accessor lock(ICanvas::sBitmapCache);
  return ICanvas::sBitmapCache.Find(name, scale) != nullptr;
}

int cachedBitmaps() {
  const StaticStorage<APIBitmap>::Accessor lock(ICanvas::sBitmapCache);
  return ICanvas::sBitmapCache.Size();
}

int cachedImages() {
  const StaticStorage<SVGHolder>::Accessor lock(ICanvas::sSVGCache);
  return ICanvas::sSVGCache.Size();
}

// An editor whose module sits in a bundle laid out in a temporary folder, so that
// resources are found in its Contents/Resources.
class ResourcesTest : public EditorTest {
protected:
  void SetUp() override {
    plugkit::RegisterOwnBundle(kBundleID);
    plugkit::SetModuleFilePathForTesting(
        (dir.path() / "SpectraPoise.vst3/Contents/x86_64-linux/SpectraPoise.so").c_str());
    std::filesystem::create_directories(resources());
    platform.bundleID = kBundleID;
    EditorTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(cachedBitmaps(), 0);
    ASSERT_EQ(cachedImages(), 0);
    ASSERT_EQ(TestBitmap::live(), 0);
  }
  void TearDown() override {
    EditorTest::TearDown();
    plugkit::SetModuleFilePathForTesting("");
    plugkit::RegisterOwnBundle("");
  }

  std::filesystem::path resources() const { return dir.path() / "SpectraPoise.vst3/Contents/Resources"; }
  void addFile(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(sp::test::writeFile(resources() / name, bytes)) << name;
  }
  // A 20 x 10 unit knob drawn for scale s: 20s x 10s pixels.
  void addKnob(const std::string& name, int s) { addFile(name, sp::test::encodePNG(RGBAImage::gradient(20 * s, 10 * s))); }
  int created() const { return g->count(DrawOp::CreateBitmap); }

  TempDir dir;
};

using SvgCacheTest = ResourcesTest;
using ResourceFileTest = ResourcesTest;

}  // namespace

// ---------------------------------------------------------------------------------------
// Names and scales

TEST(ImageNames, ScaleOrderTriesTheTargetThenThreeThenDownwards) {
  struct Case {
    int target;
    std::vector<int> order;
  };
  const std::vector<Case> cases = {
      {1, {1, 3, 2}}, {2, {2, 3, 1}}, {3, {3, 2, 1}}, {4, {4, 3, 2, 1}}, {5, {5, 3, 2, 1}}, {0, {}}, {-2, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ICanvas::ImageScaleOrder(c.target), c.order) << "target " << c.target;
}

TEST(ImageNames, VariantNamesPutTheScaleBeforeTheExtensionOfTheFileItself) {
  struct Case {
    const char* name;
    int scale;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"knob.png", 2, "knob@2x.png"},
      {"knob.png", 1, "knob.png"},
      {"a/b.c/knob", 3, "a/b.c/knob@3x"},
      {"a\\b.c\\knob", 3, "a\\b.c\\knob@3x"},
      {"knob", 2, "knob@2x"},
      {"k.n.png", 3, "k.n@3x.png"},
      {"/abs/path/knob.jpeg", 2, "/abs/path/knob@2x.jpeg"},
      // Two digits: longer than the name plus three characters.
      {"knob.png", 12, "knob@12x.png"},
      {"", 2, "@2x"},
  };
  for (const Case& c : cases) EXPECT_EQ(ICanvas::ImageVariantName(c.name, c.scale), c.expected) << c.name;
  const std::string longName = std::string(300, 'k') + ".png";
  EXPECT_EQ(ICanvas::ImageVariantName(longName.c_str(), -2147483647 - 1),
            std::string(300, 'k') + "@-2147483648x.png");
}

// ---------------------------------------------------------------------------------------
// Bitmaps from files

TEST_F(ResourcesTest, TheBestVariantIsDecodedAndScaledToTheTarget) {
  struct Case {
    std::vector<int> files;  // scales with a file (1: the plain name)
    int target;
    std::string decoded;     // the variant decoded, at its scale
    std::vector<int> cached;  // scales cached afterwards
    int createdPixelsWide;    // the bitmap made for the target scale (0: none made)
  };
  const std::vector<Case> cases = {
      {{1}, 2, "knob.png @1", {1, 2}, 40},
      {{1, 3}, 2, "knob@3x.png @3", {3, 2}, 40},
      {{1, 2, 3}, 2, "knob@2x.png @2", {2}, 0},
      {{2, 3}, 1, "knob@3x.png @3", {3, 1}, 20},
      {{1}, 3, "knob.png @1", {1, 3}, 60},
      {{1, 2}, 4, "knob@2x.png @2", {2, 4}, 80},
      {{1}, 1, "knob.png @1", {1}, 0},
  };
  for (const Case& c : cases) {
    const std::string what = "target " + std::to_string(c.target) + ", decoded " + c.decoded;
    std::filesystem::remove_all(resources());
    std::filesystem::create_directories(resources());
    for (int s : c.files) addKnob(s == 1 ? "knob.png" : "knob@" + std::to_string(s) + "x.png", s);
    platform.bitmapLog.clear();
    g->clearDrawOps();

    const IBitmap bitmap = g->LoadBitmap("knob.png", 3, true, c.target);
    ASSERT_TRUE(bitmap.IsValid()) << what;
    ASSERT_EQ(platform.bitmapLog.size(), 1u) << what;
    EXPECT_EQ(platform.bitmapLog[0], "file " + (resources() / "").string() + c.decoded) << what;
    EXPECT_EQ(bitmap.GetScale(), static_cast<float>(c.target)) << what;
    EXPECT_EQ(bitmap.W(), 20) << what;
    EXPECT_EQ(bitmap.H(), 10) << what;
    EXPECT_EQ(bitmap.N(), 3) << what;
    EXPECT_TRUE(bitmap.GetFramesAreHorizontal()) << what;
    EXPECT_STREQ(bitmap.GetResourceName(), "knob.png") << what;
    EXPECT_EQ(cachedBitmaps(), static_cast<int>(c.cached.size())) << what;
    for (int s : c.cached) EXPECT_TRUE(cachedBitmap("knob.png", s)) << what << ", scale " << s;
    if (c.createdPixelsWide == 0) {
      EXPECT_EQ(created(), 0) << what;
    } else {
      const auto made = g->opsOf({DrawOp::CreateBitmap});
      ASSERT_EQ(made.size(), 1u) << what;
      EXPECT_EQ(made[0].args[0], static_cast<float>(c.createdPixelsWide)) << what;
      EXPECT_EQ(made[0].args[1], static_cast<float>(c.createdPixelsWide / 2)) << what;
      EXPECT_EQ(made[0].bitmap, bitmap.GetAPIBitmap()) << what;
      // The source was drawn into it.
      const auto drawn = g->opsOf({DrawOp::DrawBitmap});
      ASSERT_EQ(drawn.size(), 1u) << what;
      EXPECT_EQ(drawn[0].rect, IRECT(0, 0, 20, 10)) << what;
    }

    // Emptied for the next case by closing and reopening the editor.
    dlg.CloseWindow();
    EXPECT_EQ(cachedBitmaps(), 0) << what;
    EXPECT_EQ(TestBitmap::live(), 0) << what;
    dlg.OpenWindow(nullptr);
    g = platform.canvas();
  }
}

TEST_F(ResourcesTest, ALoadedBitmapIsReusedAndAddsNothingTheSecondTime) {
  addKnob("knob.png", 1);
  g->SetScreenScale(2.f);
  g->clearDrawOps();

  const IBitmap first = g->LoadBitmap("knob.png");  // target: the screen's scale
  ASSERT_TRUE(first.IsValid());
  EXPECT_EQ(first.GetScale(), 2.f);
  const IBitmap second = g->LoadBitmap("knob.png");
  EXPECT_EQ(second.GetAPIBitmap(), first.GetAPIBitmap());
  // The source left in the cache serves a load for its own scale.
  const IBitmap plain = g->LoadBitmap("knob.png", 1, false, 1);
  EXPECT_EQ(plain.GetScale(), 1.f);
  EXPECT_NE(plain.GetAPIBitmap(), first.GetAPIBitmap());

  EXPECT_EQ(platform.bitmapLog.size(), 1u);
  EXPECT_EQ(created(), 1);
  EXPECT_EQ(cachedBitmaps(), 2);
  EXPECT_EQ(TestBitmap::live(), 2);
  EXPECT_EQ(g->GetScaledBitmap(plain).GetAPIBitmap(), first.GetAPIBitmap());
}

TEST_F(ResourcesTest, ScaledBitmapOutlivesTheLayerItWasDrawnIn) {
  addKnob("knob.png", 1);
  g->PathTransformTranslate(7, 3);
  const IBitmap scaled = g->LoadBitmap("knob.png", 1, false, 2);
  ASSERT_TRUE(scaled.IsValid());
  EXPECT_EQ(g->NLayers(), 0);
  EXPECT_EQ(g->GetTransform(), IMatrix(1, 0, 0, 1, 7, 3));
  // Still the bitmap the layer was made with, alive and whole (a freed one trips ASan).
  const auto* bitmap = dynamic_cast<TestBitmap*>(scaled.GetAPIBitmap());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->origin, "created");
  EXPECT_EQ(bitmap->pixels.size(), 40u * 20u * 4u);
  EXPECT_EQ(bitmap->GetWidth(), 40);
  EXPECT_EQ(bitmap->GetScale(), 2.f);
  EXPECT_EQ(bitmap->GetDrawScale(), 1.f);
  // The context's scales are back as they were.
  EXPECT_EQ(g->GetScreenScale(), 1.f);
  EXPECT_EQ(g->GetDrawScale(), 1.f);
}

TEST_F(ResourcesTest, ACachedVariantServesWhenNoFileIsLeft) {
  addKnob("knob.png", 1);
  ASSERT_TRUE(g->LoadBitmap("knob.png", 1, false, 1).IsValid());
  std::filesystem::remove(resources() / "knob.png");
  const IBitmap scaled = g->LoadBitmap("knob.png", 1, false, 2);
  ASSERT_TRUE(scaled.IsValid());
  EXPECT_EQ(scaled.GetScale(), 2.f);
  EXPECT_EQ(platform.bitmapLog.size(), 1u);
  EXPECT_TRUE(cachedBitmap("knob.png", 2));
}

TEST_F(ResourcesTest, FilesFoundByFullPathToo) {
  const std::filesystem::path outside = dir.path() / "elsewhere" / "dial.png";
  ASSERT_TRUE(sp::test::writeFile(outside, sp::test::encodePNG(RGBAImage::gradient(8, 6))));
  const IBitmap bitmap = g->LoadBitmap(outside.c_str(), 1, false, 1);
  ASSERT_TRUE(bitmap.IsValid());
  EXPECT_EQ(bitmap.W(), 8);
  EXPECT_EQ(bitmap.H(), 6);
}

TEST_F(ResourcesTest, FailuresGiveAnEmptyBitmapAndCacheNothing) {
  const std::string png = sp::test::encodePNG(RGBAImage::gradient(16, 16));
  // A PNG header claiming 100000 x 100000 pixels.
  std::string huge = png.substr(0, 33);
  const unsigned char side[4] = {0x00, 0x01, 0x86, 0xA0};
  huge.replace(16, 4, reinterpret_cast<const char*>(side), 4);
  huge.replace(20, 4, reinterpret_cast<const char*>(side), 4);
  huge += png.substr(33);
  addFile("broken.png", "this is not an image at all");
  addFile("truncated.png", png.substr(0, png.size() / 2));
  addFile("empty.png", "");
  addFile("huge.png", huge);
  addFile("picture.gif", png);
  addFile("noext", png);

  struct Case {
    const char* name;
    bool decodes;  // whether the backend was asked to decode
  };
  const std::vector<Case> cases = {
      {"missing.png", false}, {"broken.png", true}, {"truncated.png", true}, {"empty.png", true},
      {"huge.png", true},     {"picture.gif", false}, {"noext", false},      {"", false},
  };
  for (const Case& c : cases) {
    platform.bitmapLog.clear();
    for (int target : {1, 2}) {
      const IBitmap bitmap = g->LoadBitmap(c.name, 1, false, target);
      EXPECT_FALSE(bitmap.IsValid()) << c.name;
      EXPECT_EQ(bitmap.W(), 0) << c.name;
      EXPECT_EQ(bitmap.N(), 0) << c.name;
      EXPECT_STREQ(bitmap.GetResourceName(), "") << c.name;
    }
    EXPECT_EQ(platform.bitmapLog.empty(), !c.decodes) << c.name;
    for (const std::string& line : platform.bitmapLog) EXPECT_NE(line.find(" failed: "), std::string::npos) << line;
    EXPECT_EQ(cachedBitmaps(), 0) << c.name;
    EXPECT_EQ(TestBitmap::live(), 0) << c.name;
  }
  EXPECT_FALSE(g->LoadBitmap(nullptr).IsValid());
}

TEST_F(ResourcesTest, ReleasedBitmapLeavesTheCache) {
  addKnob("knob.png", 1);
  const IBitmap bitmap = g->LoadBitmap("knob.png", 1, false, 1);
  ASSERT_EQ(cachedBitmaps(), 1);
  g->ReleaseBitmap(bitmap);
  EXPECT_EQ(cachedBitmaps(), 0);
  EXPECT_EQ(TestBitmap::live(), 0);
  g->ReleaseBitmap(bitmap);  // no longer there: nothing happens
  g->ReleaseBitmap(IBitmap());
  // Loaded again from the file.
  EXPECT_TRUE(g->LoadBitmap("knob.png", 1, false, 1).IsValid());
  EXPECT_EQ(platform.bitmapLog.size(), 2u);
}

// ---------------------------------------------------------------------------------------
// Bitmaps from memory

TEST_F(ResourcesTest, MemoryBitmapAtScaleTwoKeepsOneOwnerForEachBitmap) {
  const std::string png = sp::test::encodePNG(RGBAImage::gradient(12, 8));
  const IBitmap first = g->LoadBitmap("mem.png", png.data(), static_cast<int>(png.size()), 1, false, 2);
  const IBitmap second = g->LoadBitmap("mem.png", png.data(), static_cast<int>(png.size()), 1, false, 2);
  ASSERT_TRUE(first.IsValid());
  EXPECT_EQ(second.GetAPIBitmap(), first.GetAPIBitmap());
  EXPECT_EQ(first.W(), 12);
  EXPECT_EQ(first.GetScale(), 2.f);
  EXPECT_EQ(platform.bitmapLog, std::vector<std::string>{"memory mem.png @1"});

  // The decoded source stays with the cache, whole, and serves scale 1 without decoding.
  EXPECT_TRUE(cachedBitmap("mem.png", 1));
  EXPECT_TRUE(cachedBitmap("mem.png", 2));
  const IBitmap source = g->LoadBitmap("mem.png", png.data(), static_cast<int>(png.size()), 1, false, 1);
  const auto* decoded = dynamic_cast<TestBitmap*>(source.GetAPIBitmap());
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(decoded->pixels, RGBAImage::gradient(12, 8).pixels);
  EXPECT_EQ(platform.bitmapLog.size(), 1u);

  // Each bitmap is deleted once, when the last editor goes.
  dlg.CloseWindow();
  EXPECT_EQ(TestBitmap::live(), 0);
  EXPECT_EQ(cachedBitmaps(), 0);
}

TEST_F(ResourcesTest, MemoryBitmapRefusals) {
  const std::string png = sp::test::encodePNG(RGBAImage::gradient(4, 4));
  const int size = static_cast<int>(png.size());
  EXPECT_FALSE(g->LoadBitmap("", png.data(), size).IsValid());  // no cache key
  EXPECT_FALSE(g->LoadBitmap(nullptr, png.data(), size).IsValid());
  EXPECT_FALSE(g->LoadBitmap("a.png", nullptr, size).IsValid());
  EXPECT_FALSE(g->LoadBitmap("a.png", png.data(), 0).IsValid());
  EXPECT_FALSE(g->LoadBitmap("a.gif", png.data(), size).IsValid());
  EXPECT_FALSE(g->LoadBitmap("a.png", png.data(), size / 3).IsValid());
  EXPECT_FALSE(g->LoadBitmap("b.png", "garbage", 7).IsValid());
  EXPECT_EQ(cachedBitmaps(), 0);
  EXPECT_EQ(TestBitmap::live(), 0);
}

// ---------------------------------------------------------------------------------------
// Two editors

TEST_F(ResourcesTest, TwoEditorsShareTheCachesAndTheSecondCloseEmptiesThem) {
  addKnob("knob.png", 1);
  FakeDelegate dlg2;
  dlg2.logUI = false;
  TestPlatform platform2;
  platform2.bundleID = kBundleID;
  dlg2.SetMakeGraphicsFunc(platform2.graphicsFactory(dlg2));
  dlg2.OpenWindow(nullptr);
  ASSERT_NE(platform2.canvas(), nullptr);

  svg::ImageBuilder builder(10, 10);
  {
    const StaticStorage<SVGHolder>::Accessor lock(ICanvas::sSVGCache);
    ICanvas::sSVGCache.Add(new SVGHolder(builder.Release(), &nsvgDelete), "logo.svg", 1.0);
  }
  const IBitmap a = g->LoadBitmap("knob.png", 1, false, 1);
  const IBitmap b = platform2.canvas()->LoadBitmap("knob.png", 1, false, 1);
  ASSERT_TRUE(a.IsValid());
  EXPECT_EQ(b.GetAPIBitmap(), a.GetAPIBitmap());
  EXPECT_EQ(platform.bitmapLog.size() + platform2.bitmapLog.size(), 1u);
  EXPECT_EQ(platform2.canvas()->LoadSVG("logo.svg").mImage, g->LoadSVG("logo.svg").mImage);

  dlg.CloseWindow();
  EXPECT_EQ(cachedBitmaps(), 1);
  EXPECT_EQ(cachedImages(), 1);
  EXPECT_EQ(b.GetAPIBitmap()->GetWidth(), 20);  // still alive
  dlg2.CloseWindow();
  EXPECT_EQ(cachedBitmaps(), 0);
  EXPECT_EQ(cachedImages(), 0);
  EXPECT_EQ(TestBitmap::live(), 0);
}

// ---------------------------------------------------------------------------------------
// SVG images

namespace {

// Whether the SVG reader is linked into this build: it parses a minimal image.
bool readerLinked(ICanvas& g) {
  const char text[] = "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='2'/>";
  const bool ok = g.LoadSVG("probe.svg", static_cast<const void*>(text), 0).IsValid();
  const StaticStorage<SVGHolder>::Accessor lock(ICanvas::sSVGCache);
  if (SVGHolder* probe = ICanvas::sSVGCache.Find("probe.svg", 1.0)) ICanvas::sSVGCache.Remove(probe);
  return ok;
}

}  // namespace

TEST_F(SvgCacheTest, ACachedImageIsReturnedWhateverTheUnitsAsked) {
  svg::ImageBuilder builder(30, 20);
  NSVGimage* image = builder.Release();
  {
    const StaticStorage<SVGHolder>::Accessor lock(ICanvas::sSVGCache);
    ICanvas::sSVGCache.Add(new SVGHolder(image, &nsvgDelete), "logo.svg", 1.0);
  }
  EXPECT_EQ(g->LoadSVG("logo.svg").mImage, image);
  EXPECT_EQ(g->LoadSVG("logo.svg", "mm", 300.f).mImage, image);
  EXPECT_EQ(g->LoadSVG("logo.svg", static_cast<const void*>("<svg/>"), 6, "in", 96.f).mImage, image);
  EXPECT_EQ(cachedImages(), 1);
}

TEST_F(SvgCacheTest, MissingOrUnreadableImagesAreNullAndCacheNothing) {
  addFile("broken.svg", "<svg width='10' height='10'><rect");
  addFile("html.svg", "<html/>");
  EXPECT_FALSE(g->LoadSVG("missing.svg").IsValid());
  EXPECT_FALSE(g->LoadSVG("broken.svg").IsValid());
  EXPECT_FALSE(g->LoadSVG("html.svg").IsValid());
  EXPECT_FALSE(g->LoadSVG("text", static_cast<const void*>("<svg"), 4).IsValid());
  EXPECT_FALSE(g->LoadSVG("zero", static_cast<const void*>("<svg width='0' height='5'><rect width='1' height='1'/></svg>"), 0).IsValid());
  EXPECT_FALSE(g->LoadSVG("null", nullptr, 10).IsValid());
  EXPECT_FALSE(g->LoadSVG("", static_cast<const void*>("<svg width='1' height='1'/>"), 0).IsValid());
  EXPECT_FALSE(g->LoadSVG(nullptr).IsValid());
  EXPECT_EQ(cachedImages(), 0);
}

TEST_F(SvgCacheTest, AnImageIsParsedOnceAndCachedUnderItsName) {
  if (!readerLinked(*g)) GTEST_SKIP() << "the SVG reader is not linked into this build";
  // dataSize counts bytes; what follows a zero byte is not read.
  const char text[] = "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='10'><rect width='20' "
                      "height='10'/></svg>\0garbage";
  const ISVG svg = g->LoadSVG("mem.svg", static_cast<const void*>(text), static_cast<int>(sizeof text));
  ASSERT_TRUE(svg.IsValid());
  EXPECT_EQ(svg.W(), 20.f);
  EXPECT_EQ(svg.H(), 10.f);
  EXPECT_EQ(g->LoadSVG("mem.svg", static_cast<const void*>("<svg/>"), 6, "mm", 10.f).mImage, svg.mImage);
  EXPECT_EQ(cachedImages(), 1);

  addFile("logo.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='1in' height='0.5in'/>");
  const ISVG logo = g->LoadSVG("logo.svg", "px", 72.f);
  ASSERT_TRUE(logo.IsValid());
  EXPECT_EQ(logo.W(), 72.f);
  EXPECT_EQ(cachedImages(), 2);
}

// ---------------------------------------------------------------------------------------
// Resource files and fonts

TEST_F(ResourceFileTest, ResourceFilesAreReadWhole) {
  addFile("data.svg", std::string("abc\0def", 7));
  const std::vector<uint8_t> bytes = g->LoadResource("data.svg", "svg");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("abc\0def", 7));
  EXPECT_TRUE(g->LoadResource("data.svg", "png").empty());  // another type
  EXPECT_TRUE(g->LoadResource("nothing.svg", "svg").empty());
  EXPECT_TRUE(g->LoadResource(nullptr, "svg").empty());
  // Outside any bundle, the bundle is not searched.
  platform.bundleID = "com.other";
  EXPECT_TRUE(g->LoadResource("data.svg", "svg").empty());
}

TEST_F(ResourceFileTest, FontFilesAreFoundInTheBundle) {
  // A real font: font data is valid only when a glyph rasteriser could read it.
  std::ifstream in(std::string(SP_FONT_DIR) + "/RobotoTTF/Roboto-Regular.ttf", std::ios::binary);
  const std::string ttf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(ttf.empty());
  addFile("Roboto-Regular.ttf", ttf);
  addFile("Collection.ttc", "ttcf" + std::string(40, '\x01'));
  addFile("NotAFont.ttf", "just some text, not a font");
  addFile("Short.ttf", std::string("\x00\x01\x00\x00", 4));

  const PlatformFontPtr font = g->LoadFontResource("Roboto-Regular.ttf");
  ASSERT_NE(font, nullptr);
  EXPECT_FALSE(font->IsSystem());
  const std::unique_ptr<IFontData> data = font->GetFontData();
  ASSERT_TRUE(data->IsValid());
  EXPECT_EQ(data->GetSize(), static_cast<int>(ttf.size()));
  EXPECT_EQ(data->GetFaceIdx(), 0);
  EXPECT_EQ(std::memcmp(data->Get(), ttf.data(), ttf.size()), 0);

  EXPECT_NE(g->LoadFontResource("Collection.ttc"), nullptr);
  EXPECT_EQ(g->LoadFontResource("Missing.ttf"), nullptr);
  EXPECT_EQ(g->LoadFontResource("NotAFont.ttf"), nullptr);
  EXPECT_EQ(g->LoadFontResource("Short.ttf"), nullptr);
  EXPECT_EQ(g->LoadFontResource(""), nullptr);
  EXPECT_EQ(g->LoadFontResource(nullptr), nullptr);
}
