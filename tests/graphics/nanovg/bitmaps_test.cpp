// Bitmaps of the NanoVG drawing class: files and memory decoded into this object's own cache
// (scale variants found once, nothing kept for a missing or damaged file), drawn at their
// natural size from a source offset (frames of a strip, at scale 2), fitted and rotated, and
// empty bitmaps drawing nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "render/metal/MVGContext.h"
#include "tests/graphics/nanovg/nanovg_fixture.h"
#include "tests/support/canvas/image_fixture.h"
#include "tests/support/temp_dir.h"

namespace nanovgtest {
namespace {

using sp::test::RGBAImage;

const Rgba kTopLeft = {255, 0, 0, 255}, kTopRight = {0, 255, 0, 255}, kBottomLeft = {0, 0, 255, 255},
           kBottomRight = {255, 255, 0, 255};

// One colour per quadrant.
RGBAImage quadrants(int w, int h) {
  RGBAImage image{w, h, {}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba& c = y < h / 2 ? (x < w / 2 ? kTopLeft : kTopRight) : (x < w / 2 ? kBottomLeft : kBottomRight);
      image.pixels.insert(image.pixels.end(), {uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]), uint8_t(c[3])});
    }
  return image;
}

bool noPixelDrawn(const Editor& e) {
  for (size_t i = 3; i < e.pixels.size(); i += 4)
    if (e.pixels[i] != 0) return false;
  return true;
}

TEST(Bitmaps, AVariantAtScale2ShowsItsTopLeftPixelsInHalfTheUnits) {
  sp::test::TempDir dir;
  ASSERT_TRUE(sp::test::writePNG(dir / "quad@2x.png", quadrants(200, 200)));
  const std::string name = (dir / "quad.png").string();
  Editor e(100, 80, 1.f, 2.f);
  const IBitmap bitmap = e.g->LoadBitmap(name.c_str());
  ASSERT_TRUE(bitmap.IsValid());
  EXPECT_EQ(bitmap.GetScale(), 2.f);
  EXPECT_EQ(bitmap.W(), 100);
  e.draw([&](ICanvas& g) { g.DrawBitmap(bitmap, IRECT(10, 10, 60, 60), 0, 0); });
  e.save("nanovg-bitmap-scale2");
  // UI (10, 10)..(60, 60) is pixels 20..120 at screen scale 2.
  for (const auto& [x, y] : {std::pair{20, 20}, {119, 20}, {20, 119}, {119, 119}, {70, 70}})
    expectNear(e.at(x, y), kTopLeft, 0, "pixel " + std::to_string(x) + "," + std::to_string(y));
  EXPECT_EQ(e.at(122, 70)[3], 0) << "UI (61, 35) untouched";
  EXPECT_EQ(e.at(70, 122)[3], 0);
}

TEST(Bitmaps, AFrameOfAStripIsTakenFromItsSourceOffset) {
  // Two frames side by side at scale 2: 200 x 100 pixels, 50 x 50 units each.
  sp::test::TempDir dir;
  ASSERT_TRUE(sp::test::writePNG(dir / "strip@2x.png", quadrants(200, 100)));
  const std::string name = (dir / "strip.png").string();
  Editor e(100, 80, 1.f, 2.f);
  const IBitmap strip = e.g->LoadBitmap(name.c_str(), 2, true);
  ASSERT_TRUE(strip.IsValid());
  EXPECT_EQ(strip.FW(), 50);
  e.draw([&](ICanvas& g) { g.DrawBitmap(strip, IRECT(20, 10, 70, 60), 2); });
  expectNear(e.at(42, 22), kTopRight, 0, "frame 2's top left");
  expectNear(e.at(138, 22), kTopRight, 0, "frame 2's top right");
  expectNear(e.at(42, 118), kBottomRight, 0, "frame 2's bottom left");
  EXPECT_EQ(e.at(141, 60)[3], 0) << "nothing right of dest";
}

TEST(Bitmaps, FittedAndRotatedBitmapsFollowTheTransform) {
  Editor e(120, 120);
  const std::string png = sp::test::encodePNG(quadrants(20, 20));
  const IBitmap small = e.g->LoadBitmap("small.png", png.data(), int(png.size()), 1, false, 1);
  ASSERT_TRUE(small.IsValid());
  e.draw([&](ICanvas& g) {
    g.DrawFittedBitmap(small, IRECT(0, 0, 100, 50));
    g.DrawRotatedBitmap(small, 100, 100, 90.0);
  });
  e.save("nanovg-bitmap-fitted-rotated");
  expectNear(e.at(5, 5), kTopLeft, 0, "fitted top left");
  expectNear(e.at(95, 45), kBottomRight, 0, "fitted bottom right, stretched");
  // Turned a quarter clockwise about (100, 100): the top left quadrant goes to the top right.
  expectNear(e.at(105, 94), kTopLeft, 0, "rotated top left");
  expectNear(e.at(94, 94), kBottomLeft, 0, "rotated bottom left");
}

TEST(Bitmaps, ExtensionsAreMatchedInAnyCase) {
  Editor e;
  for (const char* ext : {"png", "PNG", "jpg", "JPEG", "Jpeg"}) EXPECT_TRUE(e.g->BitmapExtSupported(ext)) << ext;
  for (const char* ext : {"gif", "svg", "", "bmp"}) EXPECT_FALSE(e.g->BitmapExtSupported(ext)) << ext;
  EXPECT_FALSE(e.g->BitmapExtSupported(nullptr));
}

TEST(Bitmaps, MissingDamagedAndUnsupportedFilesGiveEmptyBitmapsThatDrawNothing) {
  sp::test::TempDir dir;
  ASSERT_TRUE(sp::test::writeFile(dir / "damaged.png", "\x89PNG\r\n\x1a\n not really a png"));
  ASSERT_TRUE(sp::test::writeFile(dir / "image.gif", "GIF89a"));
  Editor e(100, 60, 1.f, 2.f);
  for (const std::string& name : {(dir / "missing.png").string(), (dir / "damaged.png").string(),
                                  (dir / "image.gif").string(), std::string()}) {
    SCOPED_TRACE(name);
    const IBitmap bitmap = e.g->LoadBitmap(name.c_str());
    EXPECT_FALSE(bitmap.IsValid());
    EXPECT_EQ(bitmap.W(), 0);
  }
  const std::string junk = "not an image";
  EXPECT_FALSE(e.g->LoadBitmap("junk.png", junk.data(), int(junk.size())).IsValid());
  EXPECT_EQ(e.g->GetBitmapCache().Size(), 0) << "a failure keeps nothing";

  const IBitmap empty;
  int before = -1, after = -1;
  e.draw([&](ICanvas& g) {
    before = mvg::contextOf(e.vg())->currentBuffers()->arrays.ncalls;
    g.DrawBitmap(empty, IRECT(0, 0, 50, 50), 0, 0);
    g.DrawBitmap(empty, IRECT(0, 0, 50, 50), 2);
    g.DrawFittedBitmap(empty, IRECT(0, 0, 50, 50));
    g.DrawRotatedBitmap(empty, 25, 25, 30.0);
    after = mvg::contextOf(e.vg())->currentBuffers()->arrays.ncalls;
  });
  EXPECT_EQ(after, before);
  EXPECT_TRUE(noPixelDrawn(e));
}

TEST(Bitmaps, DamagedJPEGHuffmanTablesGiveAnEmptyBitmap) {
  const std::string jpeg = sp::test::encodeJPEG(sp::test::RGBAImage::gradient(16, 16));
  const size_t sos = jpeg.find("\xFF\xDA"), dht = jpeg.find("\xFF\xC4");
  ASSERT_NE(sos, std::string::npos);
  ASSERT_NE(dht, std::string::npos);
  std::string undefined = jpeg, oversized = jpeg;
  const int components = static_cast<unsigned char>(jpeg[sos + 4]);
  for (int c = 0; c < components; ++c) undefined[sos + 6 + 2 * c] = static_cast<char>(0x23);  // tables 2 and 3
  for (int k = 0; k < 16; ++k) oversized[dht + 5 + k] = static_cast<char>(0xFF);               // 16 x 255 codes
  Editor e;
  EXPECT_TRUE(e.g->LoadBitmap("whole.jpg", jpeg.data(), int(jpeg.size())).IsValid());
  EXPECT_FALSE(e.g->LoadBitmap("undefined.jpg", undefined.data(), int(undefined.size())).IsValid());
  EXPECT_FALSE(e.g->LoadBitmap("oversized.jpg", oversized.data(), int(oversized.size())).IsValid());
  EXPECT_EQ(e.g->GetBitmapCache().Size(), 1);
}

TEST(Bitmaps, AOneXFileOnATwoXScreenIsDecodedOnce) {
  sp::test::TempDir dir;
  ASSERT_TRUE(sp::test::writePNG(dir / "plain.png", quadrants(40, 40)));
  const std::string name = (dir / "plain.png").string();
  Editor e(100, 60, 1.f, 2.f);
  const IBitmap first = e.g->LoadBitmap(name.c_str());
  const IBitmap second = e.g->LoadBitmap(name.c_str());
  ASSERT_TRUE(first.IsValid());
  EXPECT_EQ(first.GetAPIBitmap(), second.GetAPIBitmap());
  EXPECT_EQ(first.GetScale(), 1.f);
  EXPECT_EQ(e.g->GetBitmapCache().Size(), 1);
  EXPECT_NE(e.g->GetBitmapCache().Find(name.c_str(), 1.0), nullptr) << "kept under the scale of the file found";
}

TEST(Bitmaps, AMemoryBitmapOnATwoXScreenIsDecodedAndScaledOnce) {
  std::weak_ptr<mtl::Texture> source, scaled;
  {
    Editor e(100, 60, 1.f, 2.f);
    const std::string png = sp::test::encodePNG(quadrants(40, 40));
    const IBitmap first = e.g->LoadBitmap("memory.png", png.data(), int(png.size()));
    const IBitmap second = e.g->LoadBitmap("memory.png", png.data(), int(png.size()));
    ASSERT_TRUE(first.IsValid());
    EXPECT_EQ(first.GetAPIBitmap(), second.GetAPIBitmap());
    EXPECT_EQ(first.GetScale(), 2.f);
    EXPECT_EQ(first.W(), 40);
    ASSERT_EQ(e.g->GetBitmapCache().Size(), 2) << "the decoded source and its copy at scale 2";
    const auto* src = static_cast<ICanvasNanoVG::Bitmap*>(e.g->GetBitmapCache().Find("memory.png", 1.0));
    ASSERT_NE(src, nullptr);
    source = mvgImageHandle(e.vg(), src->GetImage());
    scaled = mvgImageHandle(e.vg(), static_cast<ICanvasNanoVG::Bitmap*>(first.GetAPIBitmap())->GetImage());
    e.draw([&](ICanvas& g) { g.DrawBitmap(first, IRECT(0, 0, 40, 40), 0, 0); });
    expectNear(e.at(10, 10), kTopLeft, 0, "scaled copy, top left");
    expectNear(e.at(70, 70), kBottomRight, 0, "scaled copy, bottom right");
    ASSERT_FALSE(source.expired());
    ASSERT_FALSE(scaled.expired());
  }
  // Closing deleted both (and, under ASan, nothing twice).
  EXPECT_TRUE(source.expired());
  EXPECT_TRUE(scaled.expired());
}

TEST(Bitmaps, LoadingFromMemoryDuringAFrameLeavesTheFrameAsItWas) {
  // Window 1.5x on backing 2: the decoded source (scale 1) is copied to scale 2 through a
  // layer in the middle of the frame.
  const std::string png = sp::test::encodePNG(quadrants(20, 20));
  Editor e(120, 80, 1.5f, 2.f, [](ICanvas* c) {
    c->AttachControl(new sp::test::DrawControl(IRECT(80, 50, 120, 80), [](ICanvas& g, const IRECT& r) {
      g.FillRect(COLOR_GREEN, r.GetPadded(-5.f));
    }));
  });
  int loads = 0;
  const auto scene = [&](ICanvas& g) {
    const IBitmap bitmap = g.LoadBitmap("frame.png", png.data(), int(png.size()));
    loads += bitmap.IsValid() ? 1 : 0;
    g.DrawBitmap(bitmap, IRECT(10, 10, 30, 30), 0, 0);
    g.FillRect(COLOR_BLUE, IRECT(40, 10, 70, 40));  // after the load, in the same control
  };
  const std::vector<uint8_t> loading = e.draw(scene);
  e.save("nanovg-bitmap-loaded-in-frame");
  ASSERT_EQ(e.g->GetBitmapCache().Size(), 2) << "the source and its copy at scale 2";
  // UI units are 3 pixels: the blue square is pixels 120..210, the green one 255..345 by 165..225.
  expectNear(e.at(205, 115), Rgba{0, 0, 255, 255}, 0, "the loading control's own drawing, at full size");
  expectNear(e.at(340, 220), Rgba{0, 255, 0, 255}, 0, "the next control, unclipped");
  const std::vector<uint8_t> cached = e.draw(scene);
  EXPECT_EQ(loads, 2);
  EXPECT_TRUE(loading == cached) << "the frame that loaded looks like one that found the bitmap cached";
}

TEST(Bitmaps, ACopyTheGPURefusesLeavesTheLayerBeingDrawnBound) {
  // 10,000 pixels at scale 1 would be 20,000 at scale 2: wider than any framebuffer.
  const std::string png = sp::test::encodePNG(RGBAImage::solid(10000, 1, 255, 255, 0));
  Editor e(100, 60, 1.f, 2.f);
  OwnedLayer layer;
  e.draw([&](ICanvas& g) {
    g.StartLayer(nullptr, IRECT(0, 0, 50, 50));
    g.FillRect(COLOR_RED, IRECT(0, 0, 50, 25));
    EXPECT_FALSE(g.LoadBitmap("wide.png", png.data(), int(png.size())).IsValid());
    g.FillRect(COLOR_BLUE, IRECT(0, 25, 50, 50));
    layer = g.EndLayer();
  });
  ASSERT_TRUE(layer && layer->GetAPIBitmap());
  RawBitmapData data;
  e.g->GetLayerBitmapData(*layer, data);
  ASSERT_EQ(data.size(), 100u * 100u * 4u);
  expectNear(sp::test::pixelAt(data, 100, 50, 20), kTopLeft, 0, "in the layer before the load");
  expectNear(sp::test::pixelAt(data, 100, 50, 80), kBottomLeft, 0, "in the layer after the load");
  EXPECT_TRUE(noPixelDrawn(e)) << "nothing reached the window";
}

}  // namespace
}  // namespace nanovgtest
