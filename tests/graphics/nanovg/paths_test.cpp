// Paths, paints and blend modes of the NanoVG drawing class: the blend table as the renderer
// records it and as pixels show it, arcs and the transform, gradients, dotted shapes made of
// segments (and bad dash numbers), fill rules, clipping and the quick drop shadow; numbers
// that are not finite or out of range, kept from NanoVG's integer conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "render/metal/MVGContext.h"
#include "tests/graphics/nanovg/nanovg_fixture.h"

namespace nanovgtest {
namespace {

using mvg::Factor;

// The blend of the last call the renderer recorded in the frame being drawn.
mvg::Blend lastBlend(ICanvas& g) {
  auto* vg = static_cast<NVGcontext*>(static_cast<ICanvasNanoVG&>(g).GetDrawContext());
  const mvg::FrameArrays& f = mvg::contextOf(vg)->currentBuffers()->arrays;
  return f.ncalls > 0 ? f.calls[f.ncalls - 1].blend : mvg::Blend{Factor::Zero, Factor::Zero, Factor::Zero, Factor::Zero};
}

mvg::Blend pair(Factor s, Factor d) { return {s, d, s, d}; }

// Runs of pixels with alpha above half along a row (x from x0 to x1) or a column.
std::vector<int> runs(const Editor& e, int x0, int y0, int x1, int y1) {
  std::vector<int> lengths;
  int len = 0;
  const int n = std::max(x1 - x0, y1 - y0);
  for (int i = 0; i <= n; ++i) {
    const int x = x0 + (x1 > x0 ? i : 0), y = y0 + (y1 > y0 ? i : 0);
    if (e.at(x, y)[3] > 128) {
      ++len;
    } else if (len > 0) {
      lengths.push_back(len);
      len = 0;
    }
  }
  if (len > 0) lengths.push_back(len);
  return lengths;
}

TEST(Blend, EachMethodSetsItsFactorsAndTheNextCallIsSourceOver) {
  const mvg::Blend expected[10] = {
      pair(Factor::One, Factor::OneMinusSourceAlpha),                       // 0 source-over
      pair(Factor::DestinationAlpha, Factor::Zero),                         // 1 source-in
      pair(Factor::OneMinusDestinationAlpha, Factor::Zero),                 // 2 source-out
      pair(Factor::DestinationAlpha, Factor::OneMinusSourceAlpha),          // 3 atop
      pair(Factor::OneMinusDestinationAlpha, Factor::One),                  // 4 destination-over
      pair(Factor::Zero, Factor::SourceAlpha),                              // 5 destination-in
      pair(Factor::Zero, Factor::OneMinusSourceAlpha),                      // 6 destination-out
      pair(Factor::OneMinusDestinationAlpha, Factor::SourceAlpha),          // 7 destination-atop
      pair(Factor::SourceAlpha, Factor::DestinationAlpha),                  // 8 additive blend function
      pair(Factor::OneMinusDestinationAlpha, Factor::OneMinusSourceAlpha),  // 9 xor
  };
  const mvg::Blend sourceOver = expected[0];
  Editor e;
  e.draw([&](ICanvas& g) {
    for (int m = 0; m < 10; ++m) {
      const IBlend blend(static_cast<EBlend>(m), 1.f);
      g.FillRect(COLOR_RED, IRECT(0, 0, 10, 10), &blend);
      EXPECT_EQ(lastBlend(g), expected[m]) << "method " << m << " (fill)";
      g.DrawLine(COLOR_RED, 0, 0, 10, 10, &blend, 2.f);
      EXPECT_EQ(lastBlend(g), expected[m]) << "method " << m << " (stroke)";
      g.FillRect(COLOR_RED, IRECT(0, 0, 10, 10));
      EXPECT_EQ(lastBlend(g), sourceOver) << "after method " << m;
    }
    // An unknown method keeps what was set before; the call after it is source-over again.
    nvgGlobalCompositeOperation(static_cast<NVGcontext*>(static_cast<ICanvasNanoVG&>(g).GetDrawContext()), NVG_XOR);
    const IBlend unknown(static_cast<EBlend>(12), 1.f);
    g.FillRect(COLOR_RED, IRECT(0, 0, 10, 10), &unknown);
    EXPECT_EQ(lastBlend(g), expected[9]) << "method 12 keeps xor";
    g.FillRect(COLOR_RED, IRECT(0, 0, 10, 10));
    EXPECT_EQ(lastBlend(g), sourceOver);
  });
}

TEST(Blend, PixelsOfDestinationOutSourceInDestinationOverAndAdditive) {
  Editor e;
  e.draw([](ICanvas& g) {
    for (int i = 0; i < 4; ++i) g.FillRect(COLOR_RED, IRECT(10.f + 40.f * i, 10, 40.f + 40.f * i, 40));
    const IBlend dstOut(EBlend::DstOut, 1.f), srcIn(EBlend::SrcIn, 1.f), dstOver(EBlend::DstOver, 1.f),
        add(EBlend::Add, 0.5f);
    g.FillRect(COLOR_BLUE, IRECT(10, 10, 40, 40), &dstOut);
    g.FillRect(COLOR_BLUE, IRECT(50, 10, 80, 60), &srcIn);
    g.FillRect(COLOR_BLUE, IRECT(90, 10, 120, 60), &dstOver);
    g.FillRect(COLOR_BLUE, IRECT(130, 10, 160, 40), &add);
  });
  e.save("nanovg-blend");
  expectNear(e.at(25, 25), {0, 0, 0, 0}, 0, "destination-out over red");
  expectNear(e.at(65, 25), {0, 0, 255, 255}, 0, "source-in over red");
  expectNear(e.at(65, 50), {0, 0, 0, 0}, 0, "source-in over nothing");
  expectNear(e.at(105, 25), {255, 0, 0, 255}, 0, "destination-over keeps red in front");
  expectNear(e.at(105, 50), {0, 0, 255, 255}, 0, "destination-over over nothing");
  // Source times half its alpha plus the destination in full.
  expectNear(e.at(145, 25), {255, 0, 64, 255}, 1, "additive at weight 0.5");
}

TEST(Paths, ArcsRunClockwiseFromTwelveOClock) {
  Editor e;
  e.draw([](ICanvas& g) { g.DrawArc(COLOR_BLACK, 50, 50, 20, 0, 90, nullptr, 3.f); });
  EXPECT_GT(e.at(50, 30)[3], 128) << "starts at 12 o'clock";
  EXPECT_GT(e.at(69, 48)[3], 128) << "ends at 3 o'clock";
  EXPECT_EQ(e.at(69, 52)[3], 0) << "and stops there";
  EXPECT_GT(e.at(64, 35)[3], 128) << "passes 1:30";
  EXPECT_EQ(e.at(35, 35)[3], 0) << "never at 10:30";
  EXPECT_EQ(e.at(50, 69)[3], 0) << "never at 6 o'clock";
}

TEST(Paths, APositiveRotationTurnsClockwise) {
  Editor e;
  e.draw([](ICanvas& g) {
    g.PathTransformTranslate(100, 50);
    g.PathTransformRotate(90.f);
    g.FillRect(COLOR_BLACK, IRECT(15, -5, 25, 5));  // around (20, 0)
  });
  EXPECT_EQ(e.at(100, 70)[3], 255) << "(20, 0) turned to (0, 20)";
  EXPECT_EQ(e.at(120, 50)[3], 0);
  EXPECT_EQ(e.at(100, 30)[3], 0) << "not turned the other way";
}

TEST(Paths, DrawScaleAndClipApplyToEverything) {
  Editor e(100, 60, 2.f);
  e.draw([](ICanvas& g) {
    g.FillRect(COLOR_BLACK, IRECT(10, 10, 20, 20));
    g.PathClipRegion(IRECT(30, 10, 40, 20));
    g.FillRect(COLOR_RED, IRECT(25, 5, 50, 30));
    g.PathClipRegion();
  });
  EXPECT_EQ(e.w, 200);
  EXPECT_EQ(e.at(20, 20)[3], 255);
  EXPECT_EQ(e.at(39, 39)[3], 255);
  EXPECT_EQ(e.at(41, 30)[3], 0);
  expectNear(e.at(70, 30), {255, 0, 0, 255}, 0, "inside the clip");
  EXPECT_EQ(e.at(55, 30)[3], 0) << "left of the clip";
  EXPECT_EQ(e.at(70, 45)[3], 0) << "below the clip";
}

TEST(Paths, FillRulesWindLastSubPathAsHoleOrKeepWindings) {
  Editor e;
  e.draw([](ICanvas& g) {
    IFillOptions evenOdd;
    evenOdd.fillRule = EFillRule::EvenOdd;
    g.PathClear();
    g.PathRect(IRECT(10, 10, 50, 50));
    g.PathRect(IRECT(20, 20, 40, 40));
    g.PathFill(COLOR_BLACK, evenOdd);
    // NanoVG has no even-odd rule: a lone sub-path wound as a hole still fills.
    g.PathRect(IRECT(60, 10, 100, 50));
    g.PathFill(COLOR_BLACK, evenOdd);
    IFillOptions keep;
    keep.fillRule = EFillRule::Preserve;
    g.PathRect(IRECT(110, 10, 150, 50));
    g.PathRect(IRECT(120, 20, 140, 40));
    g.PathSetWinding(true);
    g.PathFill(COLOR_BLACK, keep);
  });
  EXPECT_EQ(e.at(15, 30)[3], 255);
  EXPECT_EQ(e.at(30, 30)[3], 0) << "the inner sub-path is a hole";
  EXPECT_EQ(e.at(80, 30)[3], 255) << "a lone hole-wound sub-path fills";
  EXPECT_EQ(e.at(115, 30)[3], 255);
  EXPECT_EQ(e.at(130, 30)[3], 0) << "the winding set on the sub-path is kept";
}

TEST(Paints, ColoursCarryTheBlendWeight) {
  const IBlend half(EBlend::Default, 0.5f);
  const NVGcolor c = NanoVGColor(IColor(200, 255, 51, 0), &half);
  EXPECT_FLOAT_EQ(c.r, 1.f);
  EXPECT_FLOAT_EQ(c.g, 0.2f);
  EXPECT_FLOAT_EQ(c.b, 0.f);
  EXPECT_FLOAT_EQ(c.a, 100.f / 255.f);
  EXPECT_FLOAT_EQ(NanoVGColor(IColor(200, 0, 0, 0)).a, 200.f / 255.f);
}

TEST(Paints, GradientsUseTheFirstAndLastStopPlacedByTheInverseTransform) {
  Editor e;
  NVGcontext* vg = e.vg();
  IPattern radial(EPatternType::Radial);
  radial.AddStop(COLOR_RED, 0.25f);
  radial.AddStop(COLOR_BLUE, 1.f);
  const NVGpaint r = NanoVGPaint(vg, radial);
  // Centred on (0, 0), from radius 0.25 to 1: NanoVG keeps the mid radius (and a feather of
  // at least 1).
  EXPECT_FLOAT_EQ(r.xform[4], 0.f);
  EXPECT_FLOAT_EQ(r.xform[5], 0.f);
  EXPECT_FLOAT_EQ(r.radius, 0.625f);
  EXPECT_FLOAT_EQ(r.feather, 1.f);

  IPattern three(EPatternType::Linear);
  three.AddStop(COLOR_RED, 0.f);
  three.AddStop(COLOR_GREEN, 0.5f);
  three.AddStop(COLOR_BLUE, 1.f);
  const NVGpaint l = NanoVGPaint(vg, three);
  EXPECT_FLOAT_EQ(l.innerColor.r, 1.f);
  EXPECT_FLOAT_EQ(l.innerColor.g, 0.f);
  EXPECT_FLOAT_EQ(l.outerColor.b, 1.f);
  EXPECT_FLOAT_EQ(l.outerColor.g, 0.f);

  // A singular or non-finite transform is taken as the identity, never inverted into inf.
  for (const IMatrix& bad : {IMatrix(0, 0, 0, 0, 5, 5), IMatrix(1e-4, 0, 0, 1e-4, 3, 3),
                             IMatrix(std::numeric_limits<double>::infinity(), 0, 0, 1, 0, 0)}) {
    IPattern p = radial;
    p.SetTransform(bad);
    const NVGpaint q = NanoVGPaint(vg, p);
    EXPECT_FLOAT_EQ(q.xform[4], 0.f);
    EXPECT_FLOAT_EQ(q.radius, 0.625f);
  }
}

TEST(Paints, ALinearGradientRunsAlongTheInvertedTransform) {
  Editor e;
  e.draw([](ICanvas& g) {
    IPattern p(EPatternType::Linear);
    p.AddStop(COLOR_RED, 0.f);
    p.AddStop(COLOR_BLUE, 1.f);
    p.SetTransform(IMatrix(0.01, 0, 0, 0.01, 0, 0));  // pattern space 0..1 over UI 0..100
    g.PathClear();
    g.PathRect(IRECT(0, 0, 50, 100));
    g.PathFill(p);
  });
  e.save("nanovg-linear-gradient");
  const Rgba top = e.at(25, 1), bottom = e.at(25, 98), middle = e.at(25, 50);
  EXPECT_GT(top[0], 245);
  EXPECT_LT(top[2], 10);
  EXPECT_GT(bottom[2], 245);
  EXPECT_LT(bottom[0], 10);
  EXPECT_NEAR(middle[0], 128, 6);
  EXPECT_NEAR(middle[2], 128, 6);
}

TEST(DottedShapes, DashesAndGapsAreEquallyLong) {
  struct Case {
    float length, dash;
    int dashes;
    int minRun, maxRun;
  };
  const Case cases[] = {
      {100.f, 10.f, 5, 10, 10},  // segments 0, 2, 4, 6, 8
      {14.f, 10.f, 0, 0, 0},     // one segment: shorter than 1.5 dashes
      {15.f, 10.f, 1, 7, 8},     // two segments of 7.5
      {100.f, 0.f, 0, 0, 0},
      {100.f, -1.f, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("length " + std::to_string(c.length) + " dash " + std::to_string(c.dash));
    Editor e;
    e.draw([&](ICanvas& g) { g.DrawDottedLine(COLOR_BLACK, 10, 20, 10 + c.length, 20, nullptr, 2.f, c.dash); });
    const std::vector<int> r = runs(e, 0, 19, 199, 19);
    ASSERT_EQ(int(r.size()), c.dashes);
    for (int len : r) {
      EXPECT_GE(len, c.minRun);
      EXPECT_LE(len, c.maxRun);
    }
  }
}

TEST(DottedShapes, BadNumbersDrawNothingAndEnd) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  Editor e;
  e.draw([&](ICanvas& g) {
    g.DrawDottedLine(COLOR_BLACK, 0, 20, inf, 20, nullptr, 2.f, 5.f);
    g.DrawDottedLine(COLOR_BLACK, 0, 20, 100, 20, nullptr, 2.f, nan);
    g.DrawDottedLine(COLOR_BLACK, 0, 20, 1e30f, 20, nullptr, 2.f, 1.f);
    g.DrawDottedRect(COLOR_BLACK, IRECT(0, 0, inf, 50), nullptr, 2.f, 5.f);
    g.DrawDottedRect(COLOR_BLACK, IRECT(0, 0, 100, 50), nullptr, 2.f, 0.f);
  });
  for (size_t i = 3; i < e.pixels.size(); i += 4) ASSERT_EQ(e.pixels[i], 0) << "pixel " << i / 4;
}

TEST(DottedShapes, ARectangleGetsDashesAlongEachSide) {
  Editor e;
  e.draw([](ICanvas& g) { g.DrawDottedRect(COLOR_BLACK, IRECT(10, 10, 110, 50), nullptr, 2.f, 5.f); });
  e.save("nanovg-dotted-rect");
  EXPECT_EQ(runs(e, 5, 9, 115, 9).size(), 10u) << "top";
  EXPECT_EQ(runs(e, 5, 50, 115, 50).size(), 10u) << "bottom";
  EXPECT_EQ(runs(e, 9, 12, 9, 48).size(), 4u) << "left";
  EXPECT_EQ(runs(e, 110, 12, 110, 48).size(), 4u) << "right";
}

TEST(Shadows, TheQuickShadowIsAnOffsetSoftBox) {
  Editor e;
  const IBlend half(EBlend::Default, 0.5f);
  e.draw([&](ICanvas& g) {
    g.DrawFastDropShadow(IRECT(20, 20, 60, 60), IRECT(0, 0, 100, 100), 5.f, 0.f, 4.f);
    g.DrawFastDropShadow(IRECT(120, 20, 160, 60), IRECT(100, 0, 200, 100), 5.f, 0.f, 4.f, &half);
  });
  e.save("nanovg-fast-shadow");
  EXPECT_NEAR(e.at(45, 45)[3], 128, 2) << "inside the dropped box";
  EXPECT_NEAR(e.at(145, 45)[3], 64, 2) << "weight 0.5";
  EXPECT_EQ(e.at(5, 5)[3], 0) << "far outside the box";
  EXPECT_GT(e.at(63, 45)[3], e.at(68, 45)[3]) << "fades out past the edge";
}

// Each case draws one bad number among good ones under the sanitizers: the bad part is
// dropped or clamped, the good part still draws where the case says (x, y; x < 0: nothing
// is asked for).
TEST(BadNumbers, AreDroppedOrClampedBeforeNanoVG) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  IStrokeOptions round;
  round.join = ELineJoin::Round;
  round.cap = ELineCap::Round;
  auto line = [&](float bx, float by) {
    return [=](ICanvas& g) {
      g.PathClear();
      g.PathMoveTo(10, 50);
      g.PathLineTo(bx, by);
      g.PathLineTo(190, 50);
      g.PathStroke(COLOR_BLACK, 4.f, round);
    };
  };
  auto text = [](float size, float angle) {
    return [=](ICanvas& g) {
      IText t(size, COLOR_BLACK, "Roboto-Regular");
      t.angle = angle;
      IRECT box(0, 0, 200, 100);
      const float w = g.MeasureText(t, "Wg", box);
      EXPECT_TRUE(std::isfinite(w)) << size;
      g.DrawText(t, "Wg", IRECT(0, 0, 200, 100));
    };
  };
  struct Case {
    const char* name;
    std::function<void(ICanvas&)> draw;
    int x, y;
  };
  const Case cases[] = {
      {"NaN point inside a round-joined stroke", line(nan, nan), 100, 50},
      {"infinite point", line(inf, 20), 100, 50},
      {"point beyond the device range", line(3e38f, -3e38f), 100, 50},
      {"NaN control point of a curve",
       [&](ICanvas& g) {
         g.PathClear();
         g.PathMoveTo(10, 50);
         g.PathCubicBezierTo(nan, 0, 50, inf, 100, 50);
         g.PathQuadraticBezierTo(nan, nan, 150, 50);
         g.PathLineTo(190, 50);
         g.PathStroke(COLOR_BLACK, 4.f, round);
       },
       150, 50},
      {"NaN and infinite arc angles",
       [&](ICanvas& g) {
         g.PathClear();
         g.PathArc(100, 50, 20, nan, 90);
         g.PathArc(100, 50, 20, 0, inf);
         g.PathArc(100, 50, 20, -inf, inf);
         g.PathArc(nan, 50, 20, 0, 90);
         g.PathArc(100, 50, nan, 0, 90);
         g.PathArc(100, 50, 1e30f, 0, 90);
         g.PathMoveTo(10, 50);
         g.PathLineTo(190, 50);
         g.PathStroke(COLOR_BLACK, 4.f, round);
       },
       30, 50},
      {"stroke width and miter limit that are not numbers",
       [&](ICanvas& g) {
         g.PathClear();
         g.PathMoveTo(10, 50);
         g.PathLineTo(100, 20);
         g.PathLineTo(190, 50);
         g.PathStroke(COLOR_BLACK, nan, round);
         IStrokeOptions miter;
         miter.miterLimit = nan;
         g.PathMoveTo(10, 50);
         g.PathLineTo(190, 50);
         g.PathStroke(COLOR_BLACK, 4.f, miter);
       },
       -1, -1},
      {"transform that is not finite",
       [&](ICanvas& g) {
         g.PathTransformSetMatrix(IMatrix(nan, 0, 0, 1, 0, 0));
         g.PathClear();
         g.PathRect(IRECT(90, 40, 110, 60));
         g.PathFill(COLOR_BLACK);
         g.PathClear();
         g.PathMoveTo(10, 50);
         g.PathLineTo(190, 50);
         g.PathStroke(COLOR_BLACK, 4.f, round);
         g.PathTransformSetMatrix(IMatrix());
       },
       100, 50},
      {"huge text size", text(1e6f, 0.f), -1, -1},
      {"infinite text size", text(inf, 0.f), -1, -1},
      {"NaN text size", text(nan, 0.f), -1, -1},
      {"NaN text angle", text(20.f, nan), -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Editor e(200, 100, 1.f, 2.f, [](ICanvas* g) { g->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"); });
    e.draw(c.draw);
    if (c.x >= 0) {
      EXPECT_GT(e.at(2 * c.x, 2 * c.y)[3], 0);
    }
  }
}

}  // namespace
}  // namespace nanovgtest
