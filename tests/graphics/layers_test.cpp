// Layers on the recording canvas: their pixel-aligned bounds and bitmap sizes, the switch of
// the drawing target on start and end, the validity check, the draw operations, layers
// whose bitmap could not be made, and layers a control forgot to end or left started when
// its Draw threw. Drop shadows: the kernel, the blur against a naive convolution, and the
// mask handed to the backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "graphics/Constants.h"
#include "graphics/ShadowBlur.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/draw_ops.h"

using namespace gfxtest;
using sp::test::describe;
using sp::test::DrawOp;
using sp::test::TestBitmap;

namespace {

class LayerTest : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (HasFatalFailure()) return;
    g->clearDrawOps();
  }
  // The recorded calls from the first of these kinds on, as texts.
  std::vector<std::string> ops(std::initializer_list<DrawOp::Kind> kinds) const {
    std::vector<std::string> out;
    for (const DrawOp& op : g->opsOf(kinds)) out.push_back(describe(op));
    return out;
  }
};

using ShadowTest = LayerTest;

// A control that draws a filled square, into a layer it keeps when asked to.
class LayeredProbe : public IControl {
public:
  using IControl::IControl;
  void Draw(ICanvas& g) override {
    if (!g.CheckLayer(layer)) {
      ++redraws;
      g.StartLayer(this, mRECT);
      g.FillRect(COLOR_RED, mRECT);
      layer = g.EndLayer();
    }
    g.DrawLayer(layer, &mBlend);
  }
  OwnedLayer layer;
  int redraws = 0;
};

// A control that starts a layer and never ends it.
class ForgetfulProbe : public IControl {
public:
  using IControl::IControl;
  void Draw(ICanvas& g) override {
    g.StartLayer(this, mRECT);
    g.StartLayer(this, mRECT);
    g.FillRect(COLOR_RED, mRECT);
  }
};

// A control that starts two layers and throws from its Draw the first time.
class ThrowingProbe : public IControl {
public:
  using IControl::IControl;
  void Draw(ICanvas& g) override {
    g.StartLayer(this, mRECT);
    g.StartLayer(this, mRECT.GetPadded(-2.f));
    g.FillRect(COLOR_RED, mRECT);
    if (throws) {
      throws = false;
      throw std::runtime_error("draw failed");
    }
    layer = g.EndLayer();
    g.EndLayer();
  }
  bool throws = true;
  OwnedLayer layer;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Start, end, nesting

TEST_F(LayerTest, StartLayerAlignsToDevicePixels) {
  struct Case {
    float screenScale;
    float drawScale;
    IRECT r;
    IRECT bounds;
    int pixels;
  };
  const std::vector<Case> cases = {
      {2.f, 1.f, IRECT(10.3f, 10.3f, 20.2f, 20.2f), IRECT(10, 10, 20.5f, 20.5f), 22},
      {3.f, 1.f, IRECT(10.3f, 10.3f, 20.2f, 20.2f), IRECT(10, 10, 61.f / 3.f, 61.f / 3.f), 33},
      {1.f, 1.f, IRECT(10.3f, 10.3f, 20.2f, 20.2f), IRECT(10, 10, 21, 21), 11},
      {1.f, 2.f, IRECT(10.3f, 10.3f, 20.2f, 20.2f), IRECT(10, 10, 20.5f, 20.5f), 22},
  };
  for (const Case& c : cases) {
    const std::string what = "screen " + std::to_string(c.screenScale) + " draw " + std::to_string(c.drawScale);
    g->Resize(640, 400, c.drawScale);
    g->SetScreenScale(c.screenScale);
    g->clearDrawOps();

    g->StartLayer(nullptr, c.r);
    ASSERT_EQ(g->NLayers(), 1) << what;
    const auto made = g->opsOf({DrawOp::CreateBitmap});
    ASSERT_EQ(made.size(), 1u) << what;
    EXPECT_EQ(made[0].args, (std::vector<float>{float(c.pixels), float(c.pixels), c.screenScale, c.drawScale})) << what;
    const OwnedLayer layer = g->EndLayer();
    ASSERT_NE(layer, nullptr) << what;
    EXPECT_NEAR(layer->Bounds().L, c.bounds.L, 1e-5) << what;
    EXPECT_NEAR(layer->Bounds().T, c.bounds.T, 1e-5) << what;
    EXPECT_NEAR(layer->Bounds().R, c.bounds.R, 1e-5) << what;
    EXPECT_NEAR(layer->Bounds().B, c.bounds.B, 1e-5) << what;
    EXPECT_EQ(layer->GetAPIBitmap(), made[0].bitmap) << what;
    EXPECT_EQ(layer->GetAPIBitmap()->GetWidth(), c.pixels) << what;
  }
}

TEST_F(LayerTest, DrawingGoesToTheTopLayerAndBackToTheFrame) {
  g->PathTransformTranslate(5, 5);
  g->PathTransformSave();
  g->StartLayer(nullptr, IRECT(0, 0, 100, 50));
  g->StartLayer(nullptr, IRECT(10, 10, 20, 20));
  OwnedLayer inner = g->EndLayer();
  OwnedLayer outer = g->EndLayer();
  EXPECT_EQ(g->EndLayer(), nullptr);  // nothing left: only the frame again

  const std::vector<std::string> expected = {
      "create 100 50 1 1", "layer 0 0 100 50", "clip 0 0 100 50", "clear",   // start the outer
      "create 10 10 1 1", "layer 10 10 20 20", "clip 10 10 20 20", "clear",  // start the inner
      "layer 0 0 100 50", "clip 0 0 100 50", "clear",                        // end it
      "layer frame", "clip 0 0 0 0", "clear",                                // end the outer
      "layer frame", "clip 0 0 0 0", "clear",                                // nothing to end
  };
  EXPECT_EQ(ops({DrawOp::CreateBitmap, DrawOp::UpdateLayer, DrawOp::SetClip, DrawOp::PathClear}), expected);
  // Each switch starts from the identity transform.
  for (const DrawOp& op : g->opsOf({DrawOp::SetClip, DrawOp::PathClear})) EXPECT_TRUE(op.matrix.IsIdentity());
  // The saved transforms are kept.
  EXPECT_EQ(g->TransformStackDepth(), 1);
  EXPECT_EQ(inner->Bounds(), IRECT(10, 10, 20, 20));
  EXPECT_EQ(outer->Bounds(), IRECT(0, 0, 100, 50));
}

TEST_F(LayerTest, ResumedLayerIsTheStacksUntilItIsEnded) {
  g->StartLayer(nullptr, IRECT(0, 0, 10, 10));
  OwnedLayer layer = g->EndLayer();
  ILayer* raw = layer.get();
  g->clearDrawOps();
  g->ResumeLayer(layer);
  EXPECT_EQ(layer, nullptr);
  EXPECT_EQ(g->NLayers(), 1);
  // Nothing is cleared or made: drawing continues on what the bitmap holds.
  EXPECT_EQ(g->count(DrawOp::CreateBitmap), 0);
  layer = g->EndLayer();
  EXPECT_EQ(layer.get(), raw);
  OwnedLayer none;
  g->ResumeLayer(none);
  EXPECT_EQ(g->NLayers(), 0);
}

// ---------------------------------------------------------------------------------------
// Validity

TEST_F(LayerTest, CheckLayerFollowsTheControlAndTheScales) {
  auto* probe = new LayeredProbe(IRECT(10, 10, 50, 30));
  g->AttachControl(probe);
  g->tick();
  ASSERT_EQ(probe->redraws, 1);
  EXPECT_TRUE(g->CheckLayer(probe->layer));  // fresh

  g->SetControlPosition(probe, 20, 10);  // moved
  EXPECT_FALSE(g->CheckLayer(probe->layer));
  EXPECT_FALSE(g->CheckLayer(probe->layer));  // stays invalid until redrawn
  g->tick();
  EXPECT_EQ(probe->redraws, 2);
  EXPECT_TRUE(g->CheckLayer(probe->layer));  // after the redraw at the new place
  EXPECT_EQ(probe->layer->Bounds(), IRECT(20, 10, 60, 30));

  probe->layer->Invalidate();
  EXPECT_FALSE(g->CheckLayer(probe->layer));
  g->tick();  // not dirty: the control is not drawn
  probe->SetDirty(false);
  g->tick();
  EXPECT_EQ(probe->redraws, 3);
  EXPECT_TRUE(g->CheckLayer(probe->layer));

  g->SetScreenScale(2.f);
  EXPECT_FALSE(g->CheckLayer(probe->layer));
  g->tick();
  EXPECT_EQ(probe->redraws, 4);
  EXPECT_TRUE(g->CheckLayer(probe->layer));
  g->Resize(640, 400, 1.5f);
  EXPECT_FALSE(g->CheckLayer(probe->layer));

  EXPECT_FALSE(g->CheckLayer(OwnedLayer()));
}

TEST_F(LayerTest, SecondFrameOnlyDrawsTheKeptLayer) {
  auto* probe = new LayeredProbe(IRECT(10, 10, 50, 30));
  probe->SetBlend(IBlend(EBlend::Default, 0.5f));
  g->AttachControl(probe);
  g->tick();
  g->clearDrawOps();
  probe->SetDirty(false);
  g->tick();
  EXPECT_EQ(g->count(DrawOp::CreateBitmap), 0);
  EXPECT_EQ(g->count(DrawOp::PathFill), 0);
  const auto drawn = g->opsOf({DrawOp::DrawBitmap});
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].bitmap, probe->layer->GetAPIBitmap());
  EXPECT_EQ(drawn[0].rect, IRECT(10, 10, 50, 30));
  EXPECT_TRUE(drawn[0].hasBlend);
  EXPECT_EQ(drawn[0].blend.weight, 0.5f);
}

// ---------------------------------------------------------------------------------------
// Drawing layers

TEST_F(LayerTest, DrawOperationsPlaceTheLayersBitmap) {
  g->StartLayer(nullptr, IRECT(10, 20, 50, 40));
  const OwnedLayer layer = g->EndLayer();
  g->PathTransformTranslate(100, 100);
  const IBlend blend(EBlend::Default, 0.25f);

  g->clearDrawOps();
  g->DrawLayer(layer, &blend);
  auto drawn = g->opsOf({DrawOp::DrawBitmap});
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(describe(drawn[0]), "bitmap 10 20 50 40 0 0");
  EXPECT_TRUE(drawn[0].matrix.IsIdentity());  // the current transform is set aside
  EXPECT_EQ(drawn[0].blend.weight, 0.25f);
  EXPECT_EQ(g->GetTransform(), IMatrix(1, 0, 0, 1, 100, 100));

  g->clearDrawOps();
  g->DrawFittedLayer(layer, IRECT(0, 0, 80, 10), &blend);
  drawn = g->opsOf({DrawOp::DrawBitmap});
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(describe(drawn[0]), "bitmap 0 0 40 20 0 0");
  EXPECT_EQ(drawn[0].matrix, IMatrix(2, 0, 0, 0.5, 100, 100));  // under the current transform

  g->clearDrawOps();
  g->DrawRotatedLayer(layer, 90.0);
  drawn = g->opsOf({DrawOp::DrawBitmap});
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(describe(drawn[0]), "bitmap -20 -10 20 10 0 0");
  double x = 20, y = 0;  // the right edge's centre lands below the layer's centre
  drawn[0].matrix.TransformPoint(x, y);
  EXPECT_NEAR(x, 30, 1e-9);
  EXPECT_NEAR(y, 50, 1e-9);
  EXPECT_FALSE(drawn[0].hasBlend);
  EXPECT_EQ(g->GetTransform(), IMatrix(1, 0, 0, 1, 100, 100));
}

TEST_F(LayerTest, LayerWithoutABitmapStaysPairedAndDrawsNothing) {
  platform.failBitmapCreation = true;
  g->StartLayer(nullptr, IRECT(0, 0, 10, 10));
  EXPECT_EQ(g->NLayers(), 1);  // pushed all the same
  EXPECT_EQ(g->GetDrawableArea(), IRECT(0, 0, 10, 10));
  OwnedLayer layer = g->EndLayer();
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->GetAPIBitmap(), nullptr);
  EXPECT_EQ(g->NLayers(), 0);
  EXPECT_FALSE(g->CheckLayer(layer));

  OwnedLayer none;
  g->clearDrawOps();
  for (OwnedLayer* l : {&layer, &none}) {
    g->DrawLayer(*l);
    g->DrawFittedLayer(*l, IRECT(0, 0, 5, 5));
    g->DrawRotatedLayer(*l, 45.0);
    g->ApplyLayerDropShadow(*l, IShadow(COLOR_BLACK, 3.f, 1.f, 1.f, 1.f));
  }
  EXPECT_TRUE(g->drawOps().empty());

  // A layer of no area gets no bitmap either, and is paired the same way.
  platform.failBitmapCreation = false;
  g->StartLayer(nullptr, IRECT(5, 5, 5, 9));
  EXPECT_EQ(g->EndLayer()->GetAPIBitmap(), nullptr);
  EXPECT_EQ(g->count(DrawOp::CreateBitmap), 0);
}

TEST_F(LayerTest, LayerAControlLeftStartedIsDroppedAfterItsDraw) {
  g->AttachControl(new ForgetfulProbe(IRECT(0, 0, 20, 20)));
  auto* after = new Probe(IRECT(30, 0, 50, 20));
  g->AttachControl(after);
  g->tick();
  EXPECT_EQ(g->NLayers(), 0);
  EXPECT_EQ(TestBitmap::live(), 0);
  // The next control draws to the frame, clipped to its own area.
  ASSERT_EQ(after->drawClips.size(), 1u);
  EXPECT_EQ(after->drawClips[0], g->GetClipRect());
}

TEST_F(LayerTest, LayersAControlLeftStartedWhenItsDrawThrewAreDroppedWithTheirBitmaps) {
  auto* thrower = new ThrowingProbe(IRECT(10, 10, 30, 30));
  g->AttachControl(thrower);
  auto* after = new Probe(IRECT(40, 0, 60, 20));
  g->AttachControl(after);
  EXPECT_THROW(g->tick(), std::runtime_error);
  EXPECT_EQ(g->NLayers(), 0);
  EXPECT_EQ(TestBitmap::live(), 0) << "nothing leaks";
  EXPECT_EQ(ops({DrawOp::UpdateLayer}).back(), "layer frame");

  // The next frame draws to the frame, untranslated: nothing of the failed one is left.
  g->clearDrawOps();
  after->SetDirty(false);
  ASSERT_TRUE(g->tick());
  EXPECT_EQ(g->GetDrawableArea(), g->GetClipRect());
  EXPECT_TRUE(ops({DrawOp::UpdateLayer}).empty());
  for (const DrawOp& op : g->opsOf({DrawOp::SetTransform})) EXPECT_TRUE(op.matrix.IsIdentity()) << describe(op);
  // Drawn again, the control ends its layers as it should.
  thrower->SetDirty(false);
  ASSERT_TRUE(g->tick());
  EXPECT_EQ(g->NLayers(), 0);
  ASSERT_TRUE(thrower->layer);
  EXPECT_EQ(TestBitmap::live(), 1) << "the inner layer, kept by the control";
}

// ---------------------------------------------------------------------------------------
// Shadow kernel and blur

namespace {

// The kernel as written out, all k taps: w[i] = round(255 exp(-4.5 i^2 / size^2)) and
// norm = w[0] + 2 (w[1] + ... + w[k-1]).
struct PlainKernel {
  std::vector<int> weight;
  long long norm = 0;
};

PlainKernel plainKernel(double blur) {
  const double size = std::max(1.0, (std::isfinite(blur) && blur > 0 ? blur : 0.0) + 1.0);
  PlainKernel kernel;
  kernel.weight.resize(static_cast<size_t>(std::ceil(size)));
  for (size_t i = 0; i < kernel.weight.size(); ++i) {
    const double x = static_cast<double>(i);
    kernel.weight[i] = static_cast<int>(std::lround(255.0 * std::exp(-x * x * 4.5 / (size * size))));
    kernel.norm += i == 0 ? kernel.weight[i] : 2 * kernel.weight[i];
  }
  return kernel;
}

// The blur as written out: each row, then each column, every output the sum of the
// weighted neighbours that exist divided (rounding down) by the whole kernel's norm.
std::vector<uint8_t> naiveBlur(std::vector<uint8_t> px, int w, int h, int alpha, double blur) {
  const PlainKernel kernel = plainKernel(blur);
  const long long k = static_cast<long long>(kernel.weight.size());
  auto at = [&](std::vector<uint8_t>& v, int x, int y) -> uint8_t& { return v[(y * w + x) * 4 + alpha]; };
  std::vector<uint8_t> rows = px;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      long long sum = 0;
      for (int x2 = 0; x2 < w; ++x2)
        if (std::abs(x2 - x) < k) sum += kernel.weight[std::abs(x2 - x)] * at(px, x2, y);
      at(rows, x, y) = static_cast<uint8_t>(std::min(255LL, sum / kernel.norm));
    }
  std::vector<uint8_t> out = rows;
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y) {
      long long sum = 0;
      for (int y2 = 0; y2 < h; ++y2)
        if (std::abs(y2 - y) < k) sum += kernel.weight[std::abs(y2 - y)] * at(rows, x, y2);
      at(out, x, y) = static_cast<uint8_t>(std::min(255LL, sum / kernel.norm));
    }
  return out;
}

std::vector<uint8_t> randomPixels(int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  for (uint8_t& b : px) b = static_cast<uint8_t>(rng() & 0xFF);
  // Runs of equal alpha, as real layers have: transparent and opaque stretches.
  for (size_t i = 3; i < px.size(); i += 4)
    if (rng() % 3 != 0) px[i] = (i / 4 / 7) % 2 == 0 ? 0 : 255;
  return px;
}

}  // namespace

TEST(ShadowKernel, WeightsAndNorm) {
  struct Case {
    float blur;
    float scale;
    int longerSide;
    std::vector<uint8_t> weights;
    uint32_t norm;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<Case> cases = {
      {2.f, 1.f, 100, {255, 155, 35}, 635},
      {1.f, 2.f, 100, {255, 155, 35}, 635},  // the blur is counted in device pixels
      {0.4f, 1.f, 100, {255, 26}, 307},
      {0.f, 1.f, 100, {255}, 255},
      {-3.f, 1.f, 100, {255}, 255},
      {std::nanf(""), 1.f, 100, {255}, 255},
      {inf, 1.f, 100, {255}, 255},
      {2.f, std::nanf(""), 100, {255}, 255},
      // No more taps than the longer side, the norm still of all k.
      {2.f, 1.f, 2, {255, 155}, 635},
      {2.f, 1.f, 0, {255}, 635},
  };
  for (const Case& c : cases) {
    const ShadowKernel kernel = MakeShadowKernel(c.blur, c.scale, c.longerSide);
    EXPECT_EQ(kernel.weights, c.weights) << "blur " << c.blur << " scale " << c.scale;
    EXPECT_EQ(kernel.norm, c.norm) << "blur " << c.blur << " scale " << c.scale;
  }
  EXPECT_EQ(MakeShadowKernel(1e30f, 1.f, 1 << 30).weights.size(), static_cast<size_t>(kMaxShadowKernelTaps));
}

TEST(ShadowKernel, ABlurWiderThanTheLayerKeepsTheWholeKernelsNorm) {
  for (const float blur : {5.f, 60.f, 1000.f, 123456.7f, 3e6f}) {
    const PlainKernel plain = plainKernel(blur);
    for (const int side : {1, 20, 300}) {
      const ShadowKernel kernel = MakeShadowKernel(blur, 1.f, side);
      const size_t kept = std::min(plain.weight.size(), static_cast<size_t>(side));
      ASSERT_EQ(kernel.weights.size(), kept) << "blur " << blur << ", side " << side;
      for (size_t i = 0; i < kept; ++i) EXPECT_EQ(kernel.weights[i], plain.weight[i]) << "blur " << blur << ", tap " << i;
      EXPECT_EQ(kernel.norm, plain.norm) << "blur " << blur << ", side " << side;
    }
  }
  // A norm beyond 32 bits, which no weighted sum reaches, is held as the largest.
  EXPECT_EQ(MakeShadowKernel(1e30f, 1.f, 20).norm, UINT32_MAX);
  EXPECT_EQ(MakeShadowKernel(3e9f, 1.f, 20).norm, UINT32_MAX);
}

TEST(ShadowBlur, MatchesANaiveConvolutionByteForByte) {
  struct Size {
    int w, h;
  };
  uint32_t seed = 7;
  for (const Size s : {Size{1, 1}, Size{3, 50}, Size{50, 3}, Size{257, 33}}) {
    for (const float blur : {0.f, 0.4f, 3.f, 10.f}) {
      for (const int alpha : {3, 0}) {
        const std::vector<uint8_t> px = randomPixels(s.w, s.h, ++seed);
        std::vector<uint8_t> blurred = px;
        BlurShadowAlpha(blurred.data(), s.w, s.h, alpha, MakeShadowKernel(blur, 1.f, std::max(s.w, s.h)));
        EXPECT_EQ(blurred, naiveBlur(px, s.w, s.h, alpha, blur))
            << s.w << " x " << s.h << ", blur " << blur << ", alpha byte " << alpha;
      }
    }
  }
}

TEST(ShadowBlur, ABlurWiderThanTheLayerFadesItByTheWholeKernel) {
  // An opaque 20 x 20 layer under a blur of 60 (k = 61): the 20 taps that meet a sample
  // weigh about 250 each against a norm of 12,959 for the whole kernel, so each pass keeps
  // about 2 / 5 of the value, and the centre 36 of its 255.
  std::vector<uint8_t> px(20 * 20 * 4, 255);
  std::vector<uint8_t> blurred = px;
  BlurShadowAlpha(blurred.data(), 20, 20, 3, MakeShadowKernel(60.f, 1.f, 20));
  const std::vector<uint8_t> expected = naiveBlur(px, 20, 20, 3, 60.f);
  EXPECT_EQ(blurred[(10 * 20 + 10) * 4 + 3], 36);
  EXPECT_EQ(blurred, expected);

  // Wider still: the layer fades further, down to nothing.
  uint32_t seed = 41;
  for (const float blur : {200.f, 5000.f, 1e6f}) {
    px = randomPixels(20, 12, ++seed);
    blurred = px;
    BlurShadowAlpha(blurred.data(), 20, 12, 3, MakeShadowKernel(blur, 1.f, 20));
    EXPECT_EQ(blurred, naiveBlur(px, 20, 12, 3, blur)) << "blur " << blur;
  }
  px.assign(20 * 20 * 4, 255);
  BlurShadowAlpha(px.data(), 20, 20, 3, MakeShadowKernel(1e30f, 1.f, 20));
  for (size_t i = 3; i < px.size(); i += 4) ASSERT_EQ(px[i], 0) << i / 4;
}

TEST(ShadowBlur, ZeroBlurChangesNothingAndFlatAlphaKeepsItsValueInside) {
  std::vector<uint8_t> px = randomPixels(40, 9, 99);
  const std::vector<uint8_t> before = px;
  BlurShadowAlpha(px.data(), 40, 9, 3, MakeShadowKernel(0.f, 1.f, 40));
  EXPECT_EQ(px, before);

  // One row of constant alpha, longer than 2k + 1: the inside keeps its value exactly,
  // the ends fade.
  std::vector<uint8_t> line(100 * 4, 0);
  for (int x = 0; x < 100; ++x) line[x * 4 + 3] = 200;
  const ShadowKernel kernel = MakeShadowKernel(3.f, 1.f, 100);  // k = 4
  BlurShadowAlpha(line.data(), 100, 1, 3, kernel);
  // A single row loses the column neighbours: 200 x (w0 / norm) inside.
  const int inside = 200 * kernel.weights[0] / static_cast<int>(kernel.norm);
  for (int x = 3; x <= 96; ++x) EXPECT_EQ(line[x * 4 + 3], inside) << x;
  EXPECT_LT(line[3], inside);
  EXPECT_LT(line[99 * 4 + 3], inside);
}

// ---------------------------------------------------------------------------------------
// Drop shadow on a layer

TEST_F(ShadowTest, TheBlurredAlphaGoesToTheBackendWithTheShadow) {
  g->SetScreenScale(2.f);
  g->StartLayer(nullptr, IRECT(0, 0, 20, 10));
  OwnedLayer layer = g->EndLayer();
  auto* bitmap = dynamic_cast<TestBitmap*>(layer->GetAPIBitmap());
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->GetWidth(), 40);
  // What the layer holds: an opaque block in a transparent field.
  for (int y = 5; y < 15; ++y)
    for (int x = 10; x < 30; ++x) bitmap->pixels[(y * 40 + x) * 4 + 3] = 255;
  const std::vector<uint8_t> held = bitmap->pixels;

  g->clearDrawOps();
  const IShadow shadow(IColor(255, 10, 20, 30), 2.f, 3.f, 4.f, 0.5f, false);
  g->ApplyLayerDropShadow(layer, shadow);
  const auto masks = g->opsOf({DrawOp::ShadowMask});
  ASSERT_EQ(masks.size(), 1u);
  EXPECT_EQ(masks[0].bitmap, bitmap);
  EXPECT_EQ(masks[0].args, (std::vector<float>{2.f, 3.f, 4.f, 0.5f, 0.f}));
  EXPECT_EQ(sp::test::colorOf(masks[0]), IColor(255, 10, 20, 30));
  // Blurred at the bitmap's pixel scale: blur 2 at scale 2.
  EXPECT_EQ(g->lastShadowMask(), naiveBlur(held, 40, 20, 3, 4.f));
  EXPECT_EQ(bitmap->pixels, held);  // the layer itself is the backend's to change
}

TEST_F(ShadowTest, TheBackendsAlphaByteIsBlurred) {
  platform.alphaChannel = 0;
  g->StartLayer(nullptr, IRECT(0, 0, 16, 8));
  OwnedLayer layer = g->EndLayer();
  auto* bitmap = dynamic_cast<TestBitmap*>(layer->GetAPIBitmap());
  bitmap->pixels = randomPixels(16, 8, 5);
  const std::vector<uint8_t> held = bitmap->pixels;
  g->ApplyLayerDropShadow(layer, IShadow(COLOR_BLACK, 3.f, 0.f, 0.f, 1.f));
  EXPECT_EQ(g->lastShadowMask(), naiveBlur(held, 16, 8, 0, 3.f));
}

TEST_F(ShadowTest, AFailedReadBackGetsNoShadow) {
  g->StartLayer(nullptr, IRECT(0, 0, 16, 8));
  OwnedLayer layer = g->EndLayer();
  platform.failLayerRead = true;
  g->clearDrawOps();
  g->ApplyLayerDropShadow(layer, IShadow(COLOR_BLACK, 3.f, 0.f, 0.f, 1.f));
  EXPECT_EQ(g->count(DrawOp::ShadowMask), 0);
}
