// Pixels through the whole chain: NanoVG, the recorder, the submitter and the software GPU.
// Fills (convex, concave, holes), stencil strokes, gradients, scissoring, images of every
// texture type, text, blending, clearing, framebuffers read back, and the window's drawable.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "render/metal/MVGContext.h"
#include "tests/support/render/metal_target.h"
#include "tools/gallery/scenes.h"

namespace sp::test {
namespace {

constexpr int kW = 640, kH = 400;
const Rgba kClear = {0, 0, 0, 0};

void expectNear(const Rgba& got, const Rgba& want, int tolerance, const char* where) {
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(got[c], want[c], tolerance) << where << " channel " << c;
}

void star(NVGcontext* vg, float cx, float cy, float r) {
  for (int i = 0; i < 5; ++i) {
    const float a = -3.14159265f / 2 + i * 4 * 3.14159265f / 5;
    if (i == 0)
      nvgMoveTo(vg, cx + r * std::cos(a), cy + r * std::sin(a));
    else
      nvgLineTo(vg, cx + r * std::cos(a), cy + r * std::sin(a));
  }
  nvgClosePath(vg);
}

TEST(Fills, ConvexRectangleCoversExactlyItsPixelsWithoutStencil) {
  MetalTarget t(kW, kH);
  t.begin();
  nvgBeginPath(t.vg());
  nvgRect(t.vg(), 10, 10, 100, 50);
  nvgFillColor(t.vg(), nvgRGBA(255, 0, 0, 255));
  nvgFill(t.vg());
  const mvg::FrameArrays& f = mvg::contextOf(t.vg())->currentBuffers()->arrays;
  ASSERT_EQ(f.ncalls, 1);
  EXPECT_EQ(f.calls[0].type, mvg::kCallConvexFill);  // no stencil pass, no bound quad
  t.end();
  expectNear(t.at(10, 30), {255, 0, 0, 255}, 0, "left column");
  expectNear(t.at(109, 59), {255, 0, 0, 255}, 0, "bottom right");
  expectNear(t.at(9, 30), kClear, 0, "left of it");
  expectNear(t.at(110, 30), kClear, 0, "right of it");
  expectNear(t.at(50, 60), kClear, 0, "below it");
}

TEST(Fills, ConcaveShapesFollowNanoVGWinding) {
  MetalTarget t(kW, kH);
  t.begin();
  NVGcontext* vg = t.vg();
  nvgFillColor(vg, nvgRGBA(255, 255, 255, 255));
  nvgBeginPath(vg);
  star(vg, 300, 200, 80);
  nvgFill(vg);
  // A square with a hole, and a lone square wound as a hole.
  nvgBeginPath(vg);
  nvgRect(vg, 420, 20, 120, 120);
  nvgRect(vg, 450, 50, 60, 60);
  nvgPathWinding(vg, NVG_HOLE);
  nvgFill(vg);
  nvgBeginPath(vg);
  nvgRect(vg, 420, 200, 100, 60);
  nvgPathWinding(vg, NVG_HOLE);
  nvgFill(vg);
  t.end();
  savePng("pixels-concave", kW, kH, t.pixels());
  expectNear(t.at(300, 200), {255, 255, 255, 255}, 0, "star centre (winding 2)");
  expectNear(t.at(300, 140), {255, 255, 255, 255}, 0, "star's top spike");
  expectNear(t.at(300, 110), kClear, 0, "above the star");
  expectNear(t.at(430, 80), {255, 255, 255, 255}, 0, "square's ring");
  expectNear(t.at(480, 80), kClear, 0, "square's hole");
  expectNear(t.at(470, 230), {255, 255, 255, 255}, 0, "lone hole-wound square");
}

// Two crossing lines stroked at once, half-transparent blue on transparent black.
Rgba crossingStrokes(int flags, int x, int y, std::vector<uint8_t>* out = nullptr) {
  MetalTarget t(kW, kH, flags);
  t.begin();
  nvgBeginPath(t.vg());
  nvgMoveTo(t.vg(), 400, 50);
  nvgLineTo(t.vg(), 500, 150);
  nvgMoveTo(t.vg(), 500, 50);
  nvgLineTo(t.vg(), 400, 150);
  nvgStrokeColor(t.vg(), nvgRGBA(0, 0, 255, 128));
  nvgStrokeWidth(t.vg(), 10);
  nvgStroke(t.vg());
  t.end();
  if (out) *out = t.pixels();
  return t.at(x, y);
}

TEST(Strokes, StencilStrokesDrawOverlapsOnce) {
  const int aa = NVG_ANTIALIAS | NVG_TRIPLE_BUFFER;
  std::vector<uint8_t> px;
  expectNear(crossingStrokes(aa | NVG_STENCIL_STROKES, 450, 100, &px), {0, 0, 128, 128}, 1, "crossing, stencil strokes");
  savePng("pixels-crossing-stencil", kW, kH, px);
  expectNear(crossingStrokes(aa, 450, 100), {0, 0, 192, 192}, 1, "crossing, plain strokes");
  expectNear(crossingStrokes(aa | NVG_STENCIL_STROKES, 410, 60), {0, 0, 128, 128}, 1, "single line, stencil strokes");
  expectNear(crossingStrokes(aa, 410, 60), {0, 0, 128, 128}, 1, "single line, plain strokes");
  expectNear(crossingStrokes(aa, 450, 60), kClear, 0, "between the lines");
}

TEST(Strokes, AntialiasedEdgesFadeOverAboutOnePixel) {
  MetalTarget t(kW, kH);
  t.begin();
  nvgBeginPath(t.vg());
  nvgMoveTo(t.vg(), 100, 100.25f);
  nvgLineTo(t.vg(), 300, 100.25f);
  nvgStrokeColor(t.vg(), nvgRGBA(255, 255, 255, 255));
  nvgStrokeWidth(t.vg(), 3);
  nvgStroke(t.vg());
  t.end();
  // Width 3 about y = 100.25: solid over 99.25 .. 101.25, ramping to 0 one pixel beyond each side.
  EXPECT_EQ(t.at(200, 100)[3], 255);
  EXPECT_NEAR(t.at(200, 98)[3], 64, 1);  // a quarter into the upper fringe
  EXPECT_NEAR(t.at(200, 101)[3], 191, 1);  // three quarters into the lower one
  EXPECT_EQ(t.at(200, 102)[3], 0);
  EXPECT_EQ(t.at(200, 97)[3], 0);
}

TEST(Gradients, LinearGradientSteps) {
  MetalTarget t(kW, kH);
  t.begin();
  nvgBeginPath(t.vg());
  nvgRect(t.vg(), 350, 300, 200, 80);
  nvgFillPaint(t.vg(), nvgLinearGradient(t.vg(), 400, 0, 500, 0, nvgRGBA(0, 0, 0, 255), nvgRGBA(255, 255, 255, 255)));
  nvgFill(t.vg());
  t.end();
  EXPECT_EQ(t.at(449, 340)[0], 126);
  EXPECT_EQ(t.at(450, 340)[0], 129);
  EXPECT_EQ(t.at(380, 340)[0], 0);
  EXPECT_EQ(t.at(520, 340)[0], 255);
}

TEST(Scissor, ClipsToTheRectangleWithAHalfPixelRamp) {
  MetalTarget t(kW, kH);
  t.begin();
  nvgScissor(t.vg(), 50, 50, 100, 100);
  nvgBeginPath(t.vg());
  nvgRect(t.vg(), 0, 0, kW, kH);
  nvgFillColor(t.vg(), nvgRGBA(0, 255, 0, 255));
  nvgFill(t.vg());
  t.end();
  expectNear(t.at(60, 60), {0, 255, 0, 255}, 0, "inside");
  expectNear(t.at(40, 60), kClear, 0, "left");
  expectNear(t.at(160, 60), kClear, 0, "right");
  expectNear(t.at(60, 150), kClear, 0, "below");
}

TEST(Blending, ClearOnlyFrameAndDestinationOut) {
  MetalTarget t(kW, kH);
  t.begin(1.f, nvgRGBAf(1, 0, 0, 0.5f));
  t.end();
  expectNear(t.at(5, 5), {128, 0, 0, 128}, 1, "cleared");

  t.begin(1.f, nvgRGBA(255, 0, 0, 255));
  nvgGlobalCompositeOperation(t.vg(), NVG_DESTINATION_OUT);
  nvgBeginPath(t.vg());
  nvgRect(t.vg(), 0, 0, 100, 100);
  nvgFillColor(t.vg(), nvgRGBA(0, 0, 255, 255));
  nvgFill(t.vg());
  t.end();
  EXPECT_EQ(t.at(50, 50)[3], 0);
  expectNear(t.at(150, 50), {255, 0, 0, 255}, 0, "outside the cut");
}

TEST(Blending, SameBlendAndFormatBuildOnePipeline) {
  MetalTarget t(kW, kH);
  auto device = mvgDevice(t.vg());
  for (int frame = 0; frame < 3; ++frame) {
    t.begin();
    for (int i = 0; i < 4; ++i) {
      nvgBeginPath(t.vg());
      nvgRect(t.vg(), 10.f * i, 10, 5, 5);
      nvgFill(t.vg());
    }
    t.end();
    if (frame == 0) {
      EXPECT_EQ(device->renderPipelineStatesBuilt(), 2);  // the colour and the stencil-only state
    }
  }
  EXPECT_EQ(device->renderPipelineStatesBuilt(), 2);
}

TEST(Images, EveryTextureTypeSamplesAsItsColours) {
  MetalTarget t(kW, kH);
  // 2 x 1 images: (10, 20, 30, 255) and (200, 100, 50, 128), straight alpha.
  const unsigned char rgba[8] = {10, 20, 30, 255, 200, 100, 50, 128};
  const unsigned char bgra[8] = {30, 20, 10, 255, 50, 100, 200, 128};
  const unsigned char rgb[6] = {10, 20, 30, 200, 100, 50};
  const unsigned char bgr[6] = {30, 20, 10, 50, 100, 200};
  const unsigned char alpha[2] = {60, 180};
  const int flags = NVG_IMAGE_NEAREST;
  const int images[5] = {
      nvgCreateImageRaw(t.vg(), 2, 1, flags, NVG_TEXTURE_RGBA, rgba), nvgCreateImageRaw(t.vg(), 2, 1, flags, NVG_TEXTURE_BGRA, bgra),
      nvgCreateImageRaw(t.vg(), 2, 1, flags, NVG_TEXTURE_RGB, rgb),   nvgCreateImageRaw(t.vg(), 2, 1, flags, NVG_TEXTURE_BGR, bgr),
      nvgCreateImageRaw(t.vg(), 2, 1, flags, NVG_TEXTURE_ALPHA, alpha),
  };
  t.begin();
  for (int i = 0; i < 5; ++i) {
    ASSERT_NE(images[i], 0);
    nvgBeginPath(t.vg());
    nvgRect(t.vg(), 20.f + i * 60, 20, 40, 20);
    nvgFillPaint(t.vg(), nvgImagePattern(t.vg(), 20.f + i * 60, 20, 40, 20, 0, images[i], 1.f));
    nvgFill(t.vg());
  }
  t.end();
  const Rgba firstOpaque = {10, 20, 30, 255};
  const Rgba secondPremultiplied = {100, 50, 25, 128};  // straight alpha is premultiplied when sampled
  for (int i = 0; i < 2; ++i) {
    expectNear(t.at(25 + i * 60, 30), firstOpaque, 1, i == 0 ? "RGBA first" : "BGRA first");
    expectNear(t.at(55 + i * 60, 30), secondPremultiplied, 1, i == 0 ? "RGBA second" : "BGRA second");
  }
  for (int i = 2; i < 4; ++i) {
    expectNear(t.at(25 + i * 60, 30), firstOpaque, 1, i == 2 ? "RGB first" : "BGR first");
    expectNear(t.at(55 + i * 60, 30), {200, 100, 50, 255}, 1, i == 2 ? "RGB second" : "BGR second");
  }
  expectNear(t.at(25 + 4 * 60, 30), {60, 60, 60, 60}, 1, "alpha first");
  expectNear(t.at(55 + 4 * 60, 30), {180, 180, 180, 180}, 1, "alpha second");
}

TEST(Images, UnknownImageDrawsNothing) {
  MetalTarget t(kW, kH);
  t.begin(1.f, nvgRGBA(0, 0, 80, 255));
  nvgBeginPath(t.vg());
  nvgRect(t.vg(), 0, 0, 100, 100);
  nvgFillPaint(t.vg(), nvgImagePattern(t.vg(), 0, 0, 100, 100, 0, 4242, 1.f));
  nvgFill(t.vg());
  t.end();
  expectNear(t.at(50, 50), {0, 0, 80, 255}, 0, "untouched");
}

TEST(Text, RobotoGlyphsLandInsideTheirBounds) {
  MetalTarget t(kW, kH);
  ASSERT_GE(nvgCreateFont(t.vg(), "Roboto-Regular", gallery::robotoPath().c_str()), 0);
  t.begin();
  nvgFontFace(t.vg(), "Roboto-Regular");
  nvgFontSize(t.vg(), 14);
  nvgFillColor(t.vg(), nvgRGBA(255, 255, 255, 255));
  float bounds[4];
  nvgTextBounds(t.vg(), 20, 40, "Hg", nullptr, bounds);
  nvgText(t.vg(), 20, 40, "Hg", nullptr);
  t.end();
  int inside = 0, outside = 0, full = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 80; ++x) {
      const int a = t.at(x, y)[3];
      const bool in = x >= std::floor(bounds[0]) - 1 && x <= bounds[2] + 1 && y >= std::floor(bounds[1]) - 1 && y <= bounds[3] + 1;
      (in ? inside : outside) += a > 0;
      full += a == 255;
    }
  EXPECT_GT(inside, 40);
  EXPECT_EQ(outside, 0);
  EXPECT_GT(full, 5);  // the H's stems are solid
}

TEST(Framebuffers, DrawnImageIsReadBackAndUsableAsAPaint) {
  MetalTarget t(kW, kH);
  MVGframebuffer* layer = mvgCreateFramebuffer(t.vg(), 40, 20, 0);
  ASSERT_TRUE(layer);
  mvgBindFramebuffer(layer);
  nvgBeginFrame(t.vg(), 40, 20, 1.f);
  mvgClearWithColor(t.vg(), nvgRGBA(0, 0, 0, 0));
  nvgBeginPath(t.vg());
  nvgRect(t.vg(), 0, 0, 20, 20);
  nvgFillColor(t.vg(), nvgRGBA(0, 255, 0, 128));
  nvgFill(t.vg());
  nvgEndFrame(t.vg());
  // A region, packed at its own width.
  std::vector<uint8_t> part(4 * 2 * 4, 7);
  mvgReadPixels(t.vg(), layer->image, 18, 5, 4, 2, part.data());
  expectNear(pixelAt(part, 4, 1, 0), {0, 128, 0, 128}, 1, "x 19");
  expectNear(pixelAt(part, 4, 2, 1), kClear, 0, "x 20");

  t.begin();
  nvgBeginPath(t.vg());
  nvgRect(t.vg(), 100, 100, 40, 20);
  nvgFillPaint(t.vg(), nvgImagePattern(t.vg(), 100, 100, 40, 20, 0, layer->image, 1.f));
  nvgFill(t.vg());
  t.end();
  expectNear(t.at(110, 110), {0, 128, 0, 128}, 1, "the layer drawn (premultiplied image)");
  expectNear(t.at(130, 110), kClear, 0, "its empty half");
  mvgDeleteFramebuffer(layer);
}

TEST(Window, FramesGoToTheLayersDrawable) {
  for (bool transaction : {false, true}) {
    mtl::MetalLayer layer;
    layer.setDrawableSize({64, 32});
    layer.setPresentsWithTransaction(transaction);
    NVGcontext* vg = nvgCreateMTL(&layer, NVG_ANTIALIAS);
    ASSERT_TRUE(vg);
    EXPECT_FALSE(layer.opaque());
    mvgBindFramebuffer(nullptr);
    nvgBeginFrame(vg, 64, 32, 1.f);
    nvgBeginPath(vg);
    nvgRect(vg, 0, 0, 10, 10);
    nvgFillColor(vg, nvgRGBA(255, 0, 0, 255));
    nvgFill(vg);
    nvgEndFrame(vg);
    auto front = layer.frontTexture();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->pixelFormat(), mtl::PixelFormat::BGRA8Unorm);
    uint8_t px[4];
    front->getBytes(px, 4, mtl::Region::make2D(5, 5, 1, 1), 0);
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[2], 255);  // red in BGRA
    front->getBytes(px, 4, mtl::Region::make2D(20, 5, 1, 1), 0);
    EXPECT_EQ(px[3], 0);
    nvgDeleteMTL(vg);
    EXPECT_FALSE(layer.device());
  }
}

}  // namespace
}  // namespace sp::test
