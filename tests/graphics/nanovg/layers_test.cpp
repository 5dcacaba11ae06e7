// Layers of the NanoVG drawing class: framebuffers drawn relative to the layer's corner at
// both scales, read back as RGBA rows, nested and resumed, released at the end of the frame
// (or at once outside one), refused framebuffers that take drawing nowhere, drop shadows in
// front of or instead of the content, layers and shadows at fractional window scales drawn
// back pixel for pixel, and layers owned by controls that go with the window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/graphics/nanovg/nanovg_fixture.h"

namespace nanovgtest {
namespace {

const Rgba kRed = {255, 0, 0, 255}, kBlue = {0, 0, 255, 255}, kGreen = {0, 255, 0, 255},
           kWhite = {255, 255, 255, 255}, kBlack = {0, 0, 0, 255}, kNone = {0, 0, 0, 0};

int imageOf(const OwnedLayer& layer) {
  return static_cast<const ICanvasNanoVG::Bitmap*>(layer->GetAPIBitmap())->GetImage();
}

TEST(Layers, ContentIsDrawnRelativeToTheLayerAndReadBackTopRowFirst) {
  Editor e(100, 80, 2.f, 1.f);
  OwnedLayer layer;
  e.draw([&](ICanvas& g) {
    g.StartLayer(nullptr, IRECT(10, 10, 60, 60));
    g.FillRect(COLOR_RED, IRECT(10, 10, 60, 35));
    g.FillRect(COLOR_BLUE, IRECT(10, 35, 60, 60));
    layer = g.EndLayer();
    g.DrawLayer(layer);
  });
  ASSERT_TRUE(layer && layer->GetAPIBitmap());
  // At backing scale 2: 50 units are 100 pixels.
  EXPECT_EQ(layer->GetAPIBitmap()->GetWidth(), 100);
  EXPECT_EQ(layer->GetAPIBitmap()->GetHeight(), 100);
  RawBitmapData data;
  e.g->GetLayerBitmapData(*layer, data);
  ASSERT_EQ(data.size(), 100u * 100u * 4u);
  expectNear(sp::test::pixelAt(data, 100, 0, 0), kRed, 0, "layer's top left");
  expectNear(sp::test::pixelAt(data, 100, 99, 49), kRed, 0, "last red row");
  expectNear(sp::test::pixelAt(data, 100, 0, 50), kBlue, 0, "first blue row");
  expectNear(sp::test::pixelAt(data, 100, 99, 99), kBlue, 0, "layer's bottom right");
  // Drawn back at its bounds.
  expectNear(e.at(20, 20), kRed, 0, "on the frame, top left");
  expectNear(e.at(119, 119), kBlue, 0, "on the frame, bottom right");
  EXPECT_EQ(e.at(19, 20)[3], 0);
  EXPECT_EQ(e.at(120, 119)[3], 0);
}

TEST(Layers, NestedLayersAndAResumedLayerKeepWhatTheyHold) {
  Editor e(100, 100);
  OwnedLayer outer, inner;
  e.draw([&](ICanvas& g) {
    g.StartLayer(nullptr, IRECT(0, 0, 100, 100));
    g.FillRect(COLOR_RED, IRECT(0, 0, 100, 50));
    g.StartLayer(nullptr, IRECT(50, 50, 90, 90));
    g.FillRect(COLOR_BLUE, IRECT(50, 50, 90, 90));
    inner = g.EndLayer();
    g.FillRect(COLOR_GREEN, IRECT(0, 90, 10, 100));  // the outer layer goes on
    outer = g.EndLayer();
    g.DrawLayer(outer);
    g.DrawLayer(inner);
  });
  expectNear(e.at(5, 5), kRed, 0, "outer before the inner layer");
  expectNear(e.at(5, 95), kGreen, 0, "outer after the inner layer");
  expectNear(e.at(70, 70), kBlue, 0, "inner");
  EXPECT_EQ(e.at(30, 70)[3], 0);

  e.draw([&](ICanvas& g) {
    g.ResumeLayer(outer);
    g.FillRect(COLOR_WHITE, IRECT(20, 60, 30, 70));
    outer = g.EndLayer();
    g.DrawLayer(outer);
  });
  expectNear(e.at(5, 5), kRed, 0, "kept");
  expectNear(e.at(25, 65), kWhite, 0, "added");
}

TEST(Layers, AFramebufferReleasedInsideAFrameLivesUntilItsEnd) {
  Editor e;
  OwnedLayer layer;
  int image = 0;
  e.draw([&](ICanvas& g) {
    g.StartLayer(nullptr, IRECT(0, 0, 20, 20));
    layer = g.EndLayer();
    image = imageOf(layer);
    layer.reset();
    EXPECT_TRUE(mvgImageHandle(e.vg(), image)) << "inside the frame: kept";
  });
  EXPECT_FALSE(mvgImageHandle(e.vg(), image)) << "gone at the end of the frame";

  e.draw([&](ICanvas& g) {
    g.StartLayer(nullptr, IRECT(0, 0, 20, 20));
    layer = g.EndLayer();
  });
  image = imageOf(layer);
  layer.reset();
  EXPECT_FALSE(mvgImageHandle(e.vg(), image)) << "outside a frame: at once";
}

TEST(Layers, ALayerWhoseFramebufferIsRefusedTakesItsDrawingNowhere) {
  Editor e(100, 100);
  OwnedLayer wide;
  e.draw([&](ICanvas& g) {
    g.FillRect(COLOR_BLUE, IRECT(0, 0, 10, 10));
    g.StartLayer(nullptr, IRECT(0, 0, 20000, 50));  // wider than any framebuffer
    g.FillRect(COLOR_RED, IRECT(0, 0, 100, 50));
    wide = g.EndLayer();
    g.DrawLayer(wide);
    EXPECT_FALSE(g.CheckLayer(wide));
    g.FillRect(COLOR_GREEN, IRECT(0, 60, 10, 70));
  });
  e.save("nanovg-layer-refused");
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->GetAPIBitmap(), nullptr);
  expectNear(e.at(5, 5), kBlue, 0, "drawn before the layer");
  EXPECT_EQ(e.at(50, 30)[3], 0) << "the layer's drawing went nowhere";
  expectNear(e.at(5, 65), kGreen, 0, "drawn after the layer");
  RawBitmapData data = {1, 2, 3};
  e.g->GetLayerBitmapData(*wide, data);
  EXPECT_TRUE(data.empty());
}

// A layer of (0, 0, 100, 100) holding a white square (20, 20, 40, 40), with a black shadow
// offset by (10, 10).
void drawWithShadow(Editor& e, OwnedLayer& layer, bool foreground, float blur) {
  e.draw([&](ICanvas& g) {
    g.StartLayer(nullptr, IRECT(0, 0, 100, 100));
    g.FillRect(COLOR_WHITE, IRECT(20, 20, 40, 40));
    layer = g.EndLayer();
    g.ApplyLayerDropShadow(layer, IShadow(COLOR_BLACK, blur, 10.f, 10.f, 1.f, foreground));
    g.DrawLayer(layer);
  });
}

TEST(Shadows, TheShadowGoesBehindTheContentOrReplacesIt) {
  {
    Editor e(100, 100);
    OwnedLayer layer;
    drawWithShadow(e, layer, true, 0.f);
    e.save("nanovg-shadow-foreground");
    expectNear(e.at(30, 30), kWhite, 0, "content in front");
    expectNear(e.at(45, 45), kBlack, 1, "shadow beside it");
    expectNear(e.at(25, 45), kNone, 0, "left of the shadow");
    expectNear(e.at(15, 15), kNone, 0, "above the content");
  }
  {
    Editor e(100, 100);
    OwnedLayer layer;
    drawWithShadow(e, layer, false, 0.f);
    e.save("nanovg-shadow-only");
    expectNear(e.at(25, 25), kNone, 0, "content gone");
    expectNear(e.at(35, 35), kBlack, 1, "shadow where the content was");
    expectNear(e.at(45, 45), kBlack, 1, "shadow");
  }
}

TEST(Shadows, ABlurredShadowFadesAtItsEdges) {
  Editor e(100, 100);
  OwnedLayer layer;
  drawWithShadow(e, layer, true, 4.f);
  e.save("nanovg-shadow-blurred");
  expectNear(e.at(30, 30), kWhite, 0, "content in front");
  EXPECT_GT(e.at(45, 45)[3], 200) << "inside the shadow";
  const int edge = e.at(50, 45)[3];
  EXPECT_GT(edge, 20);
  EXPECT_LT(edge, 235);
  EXPECT_EQ(e.at(80, 80)[3], 0);
}

// Window scales on a backing scale of 2 where a layer's pixel width is not an even number.
struct FractionalScale {
  float drawScale;
  const char* name;
};
const FractionalScale kFractionalScales[] = {{0.75f, "0.75"}, {1.25f, "1.25"}, {1.5f, "1.5"}, {1.f, "1"}, {2.f, "2"}};

// Pixels whose channels differ by more than the tolerance.
int pixelsApart(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance = 2) {
  if (a.size() != b.size()) return -1;
  int apart = 0;
  for (size_t i = 0; i < a.size(); i += 4)
    for (size_t c = 0; c < 4; ++c)
      if (std::abs(int(a[i + c]) - int(b[i + c])) > tolerance) {
        ++apart;
        break;
      }
  return apart;
}

// One-device-pixel columns three pixels apart, a rectangle with fractional edges and a
// circle: any resampling of the layer moves or blurs some of them.
void hairlineScene(ICanvas& g, const IRECT& r) {
  const float px = 1.f / g.GetBackingPixelScale();
  const IRECT a = r.GetPixelAligned(g.GetBackingPixelScale());
  for (float x = a.L; x + px <= a.R; x += 3.f * px) g.FillRect(COLOR_GREEN, IRECT(x, a.T, x + px, a.CentreY()));
  g.FillRect(COLOR_RED, IRECT(a.L + 3.3f, a.CentreY() + 1.7f, a.R - 5.1f, a.B - 2.9f));
  g.FillCircle(COLOR_BLUE, a.CentreX(), a.CentreY() + 8.f, 6.3f);
}

TEST(LayersAtFractionalScales, ALayerDrawsBackPixelForPixelWhatDrawingDirectlyGives) {
  // Widths and heights whose pixel counts are odd at some of the scales.
  const IRECT r(10.f, 10.f, 61.f, 47.f);
  for (const FractionalScale& scale : kFractionalScales) {
    SCOPED_TRACE(std::string("window scale ") + scale.name);
    Editor e(100, 80, scale.drawScale, 2.f);
    const std::vector<uint8_t> direct = e.draw([&](ICanvas& g) { hairlineScene(g, r); });
    OwnedLayer layer;
    const std::vector<uint8_t> layered = e.draw([&](ICanvas& g) {
      g.StartLayer(nullptr, r);
      hairlineScene(g, r);
      layer = g.EndLayer();
      g.DrawLayer(layer);
    });
    e.save(std::string("nanovg-layer-hairlines-") + scale.name);
    ASSERT_TRUE(layer && layer->GetAPIBitmap());
    EXPECT_EQ(pixelsApart(direct, layered), 0);
  }
}

TEST(LayersAtFractionalScales, AShadowSitsAtItsOffsetWithTheContentUnmoved) {
  for (const FractionalScale& scale : kFractionalScales) {
    SCOPED_TRACE(std::string("window scale ") + scale.name);
    Editor e(100, 100, scale.drawScale, 2.f);
    // The same picture drawn without a layer: the shadow is the square moved by (10, 10).
    const std::vector<uint8_t> direct = e.draw([&](ICanvas& g) {
      g.FillRect(COLOR_BLACK, IRECT(30, 30, 50, 50));
      g.FillRect(COLOR_RED, IRECT(20, 20, 40, 40));
    });
    // Layers whose sides are an odd number of pixels: the first at 1.5 and 2.5 pixels a
    // unit, the second at 3.
    for (const IRECT& bounds : {IRECT(6, 6, 56, 56), IRECT(5, 5, 56, 56)}) {
      OwnedLayer layer;
      e.draw([&](ICanvas& g) {
        g.StartLayer(nullptr, bounds);
        g.FillRect(COLOR_RED, IRECT(20, 20, 40, 40));
        layer = g.EndLayer();
        g.ApplyLayerDropShadow(layer, IShadow(COLOR_BLACK, 0.f, 10.f, 10.f, 1.f, true));
        g.DrawLayer(layer);
      });
      e.save(std::string("nanovg-shadow-scale-") + scale.name + "-" + std::to_string(int(bounds.L)));
      EXPECT_EQ(pixelsApart(direct, e.pixels), 0) << "layer at " << bounds.L;
    }
  }
}

// A control that draws through a layer it keeps, as the spectrum panel does.
class LayeredControl : public IControl {
public:
  explicit LayeredControl(const IRECT& r) : IControl(r) {}
  void Draw(ICanvas& g) override {
    if (!g.CheckLayer(mLayer)) {
      g.StartLayer(this, GetRECT());
      g.FillCircle(COLOR_RED, GetRECT().CentreX(), GetRECT().CentreY(), 20.f);
      mLayer = g.EndLayer();
      ++mRedraws;
    }
    g.DrawLayer(mLayer);
  }
  OwnedLayer mLayer;
  int mRedraws = 0;
};

TEST(Layers, ALayerKeptByAControlIsRedrawnOnlyWhenNeededAndGoesWithTheWindow) {
  std::weak_ptr<mtl::Texture> texture;
  {
    LayeredControl* control = nullptr;
    Editor e(100, 100, 1.f, 1.f,
             [&](ICanvas* c) { control = static_cast<LayeredControl*>(c->AttachControl(new LayeredControl(IRECT(10, 10, 60, 60)))); });
    e.draw([](ICanvas&) {});
    e.draw([](ICanvas&) {});
    EXPECT_EQ(control->mRedraws, 1);
    expectNear(e.at(35, 35), kRed, 0, "drawn from the layer");
    texture = mvgImageHandle(e.vg(), imageOf(control->mLayer));
    e.g->Resize(100, 100, 2.f, false);  // a new draw scale invalidates the layer
    e.draw([](ICanvas&) {});
    EXPECT_EQ(control->mRedraws, 2);
    expectNear(e.at(70, 70), kRed, 0, "drawn again at scale 2");
    texture = mvgImageHandle(e.vg(), imageOf(control->mLayer));
    ASSERT_FALSE(texture.expired());
  }
  EXPECT_TRUE(texture.expired());
}

}  // namespace
}  // namespace nanovgtest
