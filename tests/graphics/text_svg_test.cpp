// Rotated-text geometry, font registration and SVG drawing of hand-built images: placement,
// sub-path windings, fills and strokes with their options, colours, opacity and gradients.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <limits>
#include <string>
#include <vector>

#include "graphics/Constants.h"
#include "graphics/svg/svg_builder.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/draw_ops.h"

using namespace gfxtest;
using namespace sp::test;
using Path = std::vector<std::string>;
using sp::test::TestPlatform;
using svg::ImageBuilder;
using svg::PackColor;

namespace {

class CanvasTest : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (HasFatalFailure()) return;
    g->clearDrawOps();
  }
};

using TextRotationTest = CanvasTest;
using FontTest = CanvasTest;
using SvgTest = CanvasTest;

}  // namespace

// ---------------------------------------------------------------------------------------
// Rotated text

TEST_F(TextRotationTest, RotatedBoxIsAlignedInsideTheBoundsByItsBoundingBox) {
  const IRECT bounds(100, 100, 200, 200);
  struct Case {
    ETextHAlign h;
    ETextVAlign v;
    float angle;
    IRECT expected;
  };
  const std::vector<Case> cases = {
      {ETextHAlign::Left, ETextVAlign::Top, 90, IRECT(100, 100, 110, 140)},
      {ETextHAlign::Centre, ETextVAlign::Middle, 90, IRECT(145, 130, 155, 170)},
      {ETextHAlign::Right, ETextVAlign::Bottom, 90, IRECT(190, 160, 200, 200)},
      {ETextHAlign::Left, ETextVAlign::Bottom, 180, IRECT(100, 190, 140, 200)},
      {ETextHAlign::Right, ETextVAlign::Top, 270, IRECT(190, 100, 200, 140)},
  };
  for (const Case& c : cases) {
    const IText text = IText().WithAlign(c.h).WithVAlign(c.v).WithAngle(c.angle);
    IRECT rect(0, 0, 40, 10);
    g->DoMeasureTextRotation(text, bounds, rect);
    EXPECT_NEAR(rect.L, c.expected.L, 1e-4) << c.angle;
    EXPECT_NEAR(rect.T, c.expected.T, 1e-4) << c.angle;
    EXPECT_NEAR(rect.R, c.expected.R, 1e-4) << c.angle;
    EXPECT_NEAR(rect.B, c.expected.B, 1e-4) << c.angle;
  }

  // At 90 degrees the corner (40, 0) turns to (0, 40): clockwise on screen.
  IRECT rect(0, 0, 40, 10);
  double tx = 0, ty = 0;
  g->CalculateTextRotation(IText().WithAngle(90), bounds, rect, tx, ty);
  EXPECT_NEAR(rect.L, -10, 1e-4);
  EXPECT_NEAR(rect.B, 40, 1e-4);
}

TEST_F(TextRotationTest, NoAngleLeavesTheBoxAndTheOffsetAlone) {
  for (float angle : {0.f, std::numeric_limits<float>::quiet_NaN()}) {
    IRECT rect(1, 2, 41, 12);
    double tx = 7, ty = 8;
    g->CalculateTextRotation(IText().WithAngle(angle), IRECT(100, 100, 200, 200), rect, tx, ty);
    EXPECT_EQ(rect, IRECT(1, 2, 41, 12));
    EXPECT_EQ(tx, 7);
    EXPECT_EQ(ty, 8);
  }
}

// ---------------------------------------------------------------------------------------
// Fonts

TEST_F(FontTest, AFontIsRememberedOnlyOnceTheBackendTookItAndThePlatformFontIsReleased) {
  platform.fontFiles = {"Roboto-Regular.ttf"};
  platform.systemFonts = {"Helvetica"};
  char bytes[] = "OTTO....";
  struct Case {
    const char* name;
    bool reject;
    std::function<bool()> load;
    bool ok;
    std::vector<std::string> log;
  };
  const std::vector<Case> cases = {
      {"bundle file", false, [&] { return g->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"); }, true,
       {"platform Roboto-Regular Roboto-Regular.ttf", "backend Roboto-Regular", "cache Roboto-Regular",
        "release Roboto-Regular"}},
      {"missing file", false, [&] { return g->LoadFont("Other", "Other.ttf"); }, false, {"platform Other Other.ttf"}},
      {"backend refuses", true, [&] { return g->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"); }, false,
       {"platform Roboto-Regular Roboto-Regular.ttf", "backend Roboto-Regular", "release Roboto-Regular"}},
      {"system family in bold", false, [&] { return g->LoadFont("Sans-Bold", "Helvetica", ETextStyle::Bold); }, true,
       {"platform Sans-Bold Helvetica style 1", "backend Sans-Bold", "cache Sans-Bold", "release Sans-Bold"}},
      {"memory", false, [&] { return g->LoadFont("Mem", bytes, 8); }, true,
       {"platform Mem memory 8", "backend Mem", "cache Mem", "release Mem"}},
      {"memory of no bytes", false, [&] { return g->LoadFont("Mem", bytes, 0); }, false, {}},
      {"no identifier", false, [&] { return g->LoadFont("", "Roboto-Regular.ttf"); }, false, {}},
      {"no file name", false, [&] { return g->LoadFont("Roboto-Regular", static_cast<const char*>(nullptr)); }, false,
       {}},
  };
  for (const Case& c : cases) {
    platform.fontLog.clear();
    platform.rejectFonts = c.reject;
    EXPECT_EQ(c.load(), c.ok) << c.name;
    EXPECT_EQ(platform.fontLog, c.log) << c.name;
  }
}

// ---------------------------------------------------------------------------------------
// SVG

namespace {

// One shape of one closed square, filled red.
NSVGimage* squareImage(float w, float h) {
  ImageBuilder b(w, h);
  NSVGshape* shape = b.AddShape();
  b.AddRect(shape, 0, 0, 10, 10);
  ImageBuilder::SetColor(shape->fill, PackColor(255, 0, 0));
  return b.Release();
}

struct Image {
  explicit Image(NSVGimage* i) : image(i) {}
  ~Image() { nsvgDelete(image); }
  ISVG svg() const { return ISVG(image); }
  NSVGimage* image;
};

}  // namespace

TEST_F(SvgTest, ImageSitsAtTheTopLeftScaledUniformlyToFit) {
  Image image(squareImage(100, 50));
  struct Case {
    IRECT bounds;
    IMatrix expected;
  };
  const std::vector<Case> cases = {
      {IRECT(10, 10, 210, 60), IMatrix(1, 0, 0, 1, 10, 10)},
      {IRECT(0, 0, 50, 50), IMatrix(0.5, 0, 0, 0.5, 0, 0)},
      {IRECT(0, 0, 100, 100), IMatrix(1, 0, 0, 1, 0, 0)},
      {IRECT(5, 0, 405, 100), IMatrix(2, 0, 0, 2, 5, 0)},
  };
  for (const Case& c : cases) {
    g->clearDrawOps();
    g->DrawSVG(image.svg(), c.bounds);
    const auto ops = g->opsOf({DrawOp::PathMoveTo, DrawOp::PathCubicBezierTo, DrawOp::PathFill});
    ASSERT_FALSE(ops.empty());
    for (const DrawOp& op : ops) EXPECT_EQ(op.matrix, c.expected);
    EXPECT_EQ(describe(g->drawOps().back()), "T 1 0 0 1 0 0");
    EXPECT_EQ(g->TransformStackDepth(), 0);
  }

  // Rotated: centred on (50, 50) and turned a quarter clockwise.
  g->clearDrawOps();
  g->DrawRotatedSVG(image.svg(), 50, 50, 100, 50, 90);
  const DrawOp move = g->opsOf({DrawOp::PathMoveTo}).at(0);
  double x = 0, y = 0;  // the image's top-left corner
  mapPoint(move.matrix, x, y);
  EXPECT_NEAR(x, 75, 1e-4);
  EXPECT_NEAR(y, 0, 1e-4);
  EXPECT_EQ(g->TransformStackDepth(), 0);
}

TEST_F(SvgTest, NothingAtAllForAMissingOrEmptyImageOrBounds) {
  Image flat(squareImage(0, 50)), nan(squareImage(std::numeric_limits<float>::quiet_NaN(), 50));
  Image good(squareImage(100, 50));
  ImageBuilder noShapes(20, 20);
  struct Case {
    const char* name;
    ISVG svg;
    IRECT bounds;
  };
  const std::vector<Case> cases = {
      {"no image", ISVG(), IRECT(0, 0, 100, 100)},
      {"zero width", flat.svg(), IRECT(0, 0, 100, 100)},
      {"width NaN", nan.svg(), IRECT(0, 0, 100, 100)},
      {"empty bounds", good.svg(), IRECT()},
      {"bounds of zero height", good.svg(), IRECT(0, 10, 100, 10)},
      {"inverted bounds", good.svg(), IRECT(100, 100, 0, 0)},
  };
  for (const Case& c : cases) {
    g->clearDrawOps();
    g->DrawSVG(c.svg, c.bounds);
    EXPECT_TRUE(g->drawOps().empty()) << c.name << ": " << ::testing::PrintToString(described(*g));
  }
  g->clearDrawOps();
  g->DrawRotatedSVG(ISVG(), 10, 10, 20, 20, 45);
  EXPECT_TRUE(g->drawOps().empty());
  g->DrawSVG(ISVG(noShapes.Get()), IRECT(0, 0, 20, 20));
  EXPECT_EQ(described(*g, false), Path{});
}

TEST_F(SvgTest, SubPathsInsideAnOddNumberOfOutlinesAreHoles) {
  ImageBuilder b(100, 100);
  NSVGshape* shape = b.AddShape();
  b.AddRect(shape, 0, 0, 100, 100);
  b.AddRect(shape, 20, 40, 60, 20);
  b.AddRect(shape, 30, 45, 40, 10);
  b.AddRect(shape, 120, 0, 10, 10);  // outside everything
  ImageBuilder::SetColor(shape->fill, PackColor(0, 0, 0));
  g->DoDrawSVG(ISVG(b.Get()));

  std::vector<std::string> windings;
  for (const std::string& op : described(*g))
    if (op[0] == 'W') windings.push_back(op);
  EXPECT_EQ(windings, (Path{"W 0", "W 1", "W 0", "W 0"}));

  // Each sub-path: move, its cubics, close, then its winding.
  const Path ops = described(*g);
  ASSERT_GE(ops.size(), 8u);
  EXPECT_EQ(ops[0], "clear");
  EXPECT_EQ(ops[1], "M 0 0");
  EXPECT_EQ(ops[2], "C 33.3333 0 66.6667 0 100 0");
  EXPECT_EQ(ops[6], "Z");
  EXPECT_EQ(ops[7], "W 0");
  EXPECT_EQ(ops[8], "M 20 40");
  EXPECT_EQ(ops.back(), "F");
  EXPECT_EQ(paints(*g).at(0).fill.fillRule, EFillRule::Preserve);
}

// The crossing count written out plainly, for every path against every other one.
std::vector<int> plainHoleParity(const NSVGshape& shape) {
  std::vector<const NSVGpath*> paths;
  for (const NSVGpath* p = shape.paths; p != nullptr; p = p->next) paths.push_back(p);
  std::vector<int> out;
  for (const NSVGpath* path : paths) {
    const double p0x = path->pts[0], p0y = path->pts[1];
    const double p1x = path->bounds[0] - 1.0, p1y = path->bounds[1] - 1.0;
    int count = 0;
    for (const NSVGpath* other : paths) {
      if (other == path || other->npts < 4) continue;
      std::vector<std::array<double, 2>> ends;
      for (int j = 0; j < other->npts; j += 3) ends.push_back({other->pts[2 * j], other->pts[2 * j + 1]});
      ends.push_back(ends.front());
      for (size_t j = 0; j + 1 < ends.size(); ++j) {
        const double dx = p1x - p0x, dy = p1y - p0y;
        const double ex = ends[j + 1][0] - ends[j][0], ey = ends[j + 1][1] - ends[j][1];
        const double m = dx * ey - dy * ex;
        if (std::fabs(m) < 1e-8) continue;
        const double bx = ends[j][0] - p0x, by = ends[j][1] - p0y;
        const double c1 = -(dx * by - dy * bx) / m;
        const double c2 = -(ex * -by - ey * -bx) / -m;
        if (c1 >= 0 && c1 < 1 && c2 >= 0) ++count;
      }
    }
    out.push_back(count % 2);
  }
  return out;
}

TEST_F(SvgTest, HoleParityOfManyOverlappingOutlinesMatchesThePlainCount) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coord(0.f, 100.f), size(3.f, 40.f);
  ImageBuilder b(100, 100);
  NSVGshape* shape = b.AddShape();
  ImageBuilder::SetColor(shape->fill, PackColor(0, 0, 0));
  for (int i = 0; i < 60; ++i) {
    // Triangles and quadrilaterals starting at any corner.
    std::vector<svg::Point> corners;
    const float x = coord(random), y = coord(random), w = size(random), h = size(random);
    corners = {{x, y}, {x + w, y + 0.3f * h}, {x + 0.8f * w, y + h}};
    if (i % 2 == 0) corners.push_back({x - 0.2f * w, y + 0.7f * h});
    std::rotate(corners.begin(), corners.begin() + i % static_cast<int>(corners.size()), corners.end());
    NSVGpath* path = b.AddPolyline(shape, corners, true);
    if (i % 10 == 3) {  // a box that does not hold the points: the ray may run right or down
      path->bounds[0] = x + w + 5;
      path->bounds[1] = y + h + 5;
    }
  }
  g->DoDrawSVG(ISVG(b.Get()));
  std::vector<int> windings;
  for (const DrawOp& op : g->opsOf({DrawOp::PathSetWinding})) windings.push_back(static_cast<int>(op.args[0]));
  const std::vector<int> expected = plainHoleParity(*shape);
  EXPECT_EQ(windings, expected);
  EXPECT_GT(std::count(expected.begin(), expected.end(), 1), 5);  // the layout has holes
}

TEST_F(SvgTest, ShortAndBrokenPathsAndHiddenShapes) {
  ImageBuilder b(50, 50);
  NSVGshape* hidden = b.AddShape();
  b.AddRect(hidden, 0, 0, 5, 5);
  ImageBuilder::SetColor(hidden->fill, PackColor(1, 2, 3));
  hidden->flags = 0;

  NSVGshape* shape = b.AddShape();
  ImageBuilder::SetColor(shape->fill, PackColor(1, 2, 3));
  b.AddPath(shape, {}, true);                                    // no points: skipped
  b.AddPath(shape, {{10, 20}, {12, 22}}, false);                  // a start and a stray point
  b.AddPath(shape, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {9, 9}}, true);  // one cubic and a stray point
  b.AddPath(shape, {{std::numeric_limits<float>::quiet_NaN(), 0}, {1, 1}, {2, 2}, {3, 3}}, false);
  g->DoDrawSVG(ISVG(b.Get()));
  EXPECT_EQ(described(*g), (Path{"clear", "M 10 20", "W 0", "M 0 0", "C 1 0 2 0 3 0", "Z", "W 0", "F"}));
}

TEST_F(SvgTest, FillKeepsThePathForAStrokeThatFollowsWithTheShapesOptions) {
  ImageBuilder b(10, 10);
  NSVGshape* fillOnly = b.AddShape();
  b.AddRect(fillOnly, 0, 0, 5, 5);
  ImageBuilder::SetColor(fillOnly->fill, PackColor(10, 20, 30));

  NSVGshape* both = b.AddShape();
  b.AddRect(both, 0, 0, 5, 5);
  ImageBuilder::SetColor(both->fill, PackColor(10, 20, 30));
  ImageBuilder::SetColor(both->stroke, PackColor(40, 50, 60));
  both->strokeWidth = 2.5f;
  both->strokeLineCap = NSVG_CAP_ROUND;
  both->strokeLineJoin = NSVG_JOIN_BEVEL;
  both->miterLimit = 7;
  both->strokeDashCount = 3;
  both->strokeDashArray[0] = 1;
  both->strokeDashArray[1] = 2;
  both->strokeDashArray[2] = 3;
  both->strokeDashOffset = 0.5f;

  NSVGshape* strokeOnly = b.AddShape();
  b.AddRect(strokeOnly, 0, 0, 5, 5);
  ImageBuilder::SetColor(strokeOnly->stroke, PackColor(40, 50, 60));
  strokeOnly->strokeDashCount = 12;  // more than a stroke holds
  strokeOnly->strokeLineCap = 9;     // not a cap

  NSVGshape* badDashes = b.AddShape();
  b.AddRect(badDashes, 0, 0, 5, 5);
  ImageBuilder::SetColor(badDashes->stroke, PackColor(40, 50, 60));
  badDashes->strokeDashCount = -4;

  // Numbers that are not numbers never reach the backend.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  NSVGshape* nanDash = b.AddShape();
  b.AddRect(nanDash, 0, 0, 5, 5);
  ImageBuilder::SetColor(nanDash->stroke, PackColor(40, 50, 60));
  nanDash->strokeDashCount = 2;
  nanDash->strokeDashArray[0] = 1;
  nanDash->strokeDashArray[1] = nan;
  nanDash->strokeDashOffset = nan;
  nanDash->miterLimit = nan;
  NSVGshape* nanWidth = b.AddShape();
  b.AddRect(nanWidth, 0, 0, 5, 5);
  ImageBuilder::SetColor(nanWidth->fill, PackColor(10, 20, 30));
  ImageBuilder::SetColor(nanWidth->stroke, PackColor(40, 50, 60));
  nanWidth->strokeWidth = nan;

  g->DoDrawSVG(ISVG(b.Get()));
  const auto p = paints(*g);
  ASSERT_EQ(p.size(), 7u);
  EXPECT_EQ(p[0].kind, DrawOp::PathFill);
  EXPECT_FALSE(p[0].fill.preserve);
  EXPECT_EQ(p[1].kind, DrawOp::PathFill);
  EXPECT_TRUE(p[1].fill.preserve);
  EXPECT_EQ(colorOf(p[1]), IColor(255, 10, 20, 30));
  EXPECT_EQ(p[2].kind, DrawOp::PathStroke);
  EXPECT_EQ(colorOf(p[2]), IColor(255, 40, 50, 60));
  EXPECT_FLOAT_EQ(p[2].args[0], 2.5f);
  EXPECT_EQ(p[2].stroke.cap, ELineCap::Round);
  EXPECT_EQ(p[2].stroke.join, ELineJoin::Bevel);
  EXPECT_FLOAT_EQ(p[2].stroke.miterLimit, 7);
  EXPECT_EQ(p[2].stroke.dashCount, 3);
  EXPECT_FLOAT_EQ(p[2].stroke.dashArray[2], 3);
  EXPECT_FLOAT_EQ(p[2].stroke.dashOffset, 0.5f);
  EXPECT_EQ(p[3].stroke.dashCount, 8);
  EXPECT_EQ(p[3].stroke.cap, ELineCap::Butt);
  EXPECT_EQ(p[4].stroke.dashCount, 0);
  EXPECT_EQ(p[5].stroke.dashCount, 0);
  EXPECT_FLOAT_EQ(p[5].stroke.dashOffset, 0);
  EXPECT_FLOAT_EQ(p[5].stroke.miterLimit, 10);
  EXPECT_EQ(p[6].kind, DrawOp::PathFill);
  EXPECT_FALSE(p[6].fill.preserve);

  // Given colours replace the image's paints.
  g->clearDrawOps();
  const IColor stroke = COLOR_BLUE, fill = COLOR_GREEN;
  const IBlend blend(EBlend::Default, 0.5f);
  g->DrawSVG(ISVG(b.Get()), IRECT(0, 0, 10, 10), &blend, &stroke, &fill);
  for (const DrawOp& op : paints(*g)) {
    EXPECT_EQ(colorOf(op), op.kind == DrawOp::PathFill ? COLOR_GREEN : COLOR_BLUE);
    EXPECT_EQ(op.blend, blend);
  }
}

TEST_F(SvgTest, ColoursTakeTheirAlphaFromOpacityTimesThePackedAlpha) {
  struct Case {
    unsigned packed;
    float opacity;
    IColor expected;
  };
  const std::vector<Case> cases = {
      {0xFFFF8040u, 1.f, IColor(255, 0x40, 0x80, 0xFF)},
      {PackColor(9, 8, 7), 0.5f, IColor(128, 9, 8, 7)},
      {PackColor(9, 8, 7), 1.2f, IColor(255, 9, 8, 7)},
      {PackColor(9, 8, 7), 0.998f, IColor(254, 9, 8, 7)},
      {PackColor(9, 8, 7), -0.1f, IColor(0, 9, 8, 7)},
      {PackColor(9, 8, 7, 128), 1.f, IColor(128, 9, 8, 7)},  // fill-opacity 0.5 is not lost
      {PackColor(9, 8, 7, 128), 0.5f, IColor(64, 9, 8, 7)},
      {PackColor(9, 8, 7), std::numeric_limits<float>::quiet_NaN(), IColor(0, 9, 8, 7)},
  };
  for (const Case& c : cases) {
    NSVGpaint paint{};
    paint.type = NSVG_PAINT_COLOR;
    paint.color = c.packed;
    const IPattern pattern = ICanvas::GetSVGPattern(paint, c.opacity);
    EXPECT_EQ(pattern.type, EPatternType::Solid);
    EXPECT_EQ(pattern.NStops(), 1);
    EXPECT_EQ(pattern.GetStop(0).color, c.expected) << c.opacity;
  }
}

TEST_F(SvgTest, GradientsKeepTheirTransformStopsAndSpread) {
  // A linear gradient along x from 10 to 110 at y = 50: image space to unit space.
  const float xform[6] = {0, 0.01f, -0.01f, 0, 0.5f, -0.1f};
  std::vector<NSVGgradientStop> stops;
  for (int i = 0; i < 17; ++i) stops.push_back({PackColor(i, 0, 0, i == 0 ? 255 : 128), i / 16.f});
  NSVGpaint paint{};
  ImageBuilder::SetGradient(paint, NSVG_PAINT_LINEAR_GRADIENT, xform, NSVG_SPREAD_REFLECT, stops);

  const IPattern pattern = ICanvas::GetSVGPattern(paint, 0.5f);
  EXPECT_EQ(pattern.type, EPatternType::Linear);
  EXPECT_EQ(pattern.extend, EPatternExtend::Reflect);
  EXPECT_EQ(pattern.NStops(), 16);
  EXPECT_EQ(pattern.GetStop(0).color, IColor(128, 0, 0, 0));
  EXPECT_EQ(pattern.GetStop(15).color, IColor(64, 15, 0, 0));
  EXPECT_FLOAT_EQ(pattern.GetStop(15).offset, 15 / 16.f);
  const IMatrix& m = pattern.transform;
  EXPECT_FLOAT_EQ(m.yx, 0.01f);
  EXPECT_FLOAT_EQ(m.xy, -0.01f);
  EXPECT_FLOAT_EQ(m.tx, 0.5f);
  EXPECT_FLOAT_EQ(m.ty, -0.1f);
  // The end of the gradient's unit run lies at the end of the drawn gradient.
  double x = 0, y = 1;
  m.Invert().TransformPoint(x, y);
  EXPECT_NEAR(x, 110, 1e-3);
  EXPECT_NEAR(y, 50, 1e-3);
  x = 0, y = 0;
  m.Invert().TransformPoint(x, y);
  EXPECT_NEAR(x, 10, 1e-3);

  struct SpreadCase {
    signed char spread;
    EPatternExtend extend;
  };
  for (const SpreadCase& c : std::vector<SpreadCase>{{NSVG_SPREAD_PAD, EPatternExtend::Pad},
                                                     {NSVG_SPREAD_REPEAT, EPatternExtend::Repeat},
                                                     {7, EPatternExtend::Pad}}) {
    paint.gradient->spread = c.spread;
    EXPECT_EQ(ICanvas::GetSVGPattern(paint, 1).extend, c.extend);
  }

  // A radial gradient without stops, and a gradient paint without a gradient, paint
  // nothing rather than leaving the backend no stop to read.
  NSVGpaint radial{};
  ImageBuilder::SetGradient(radial, NSVG_PAINT_RADIAL_GRADIENT, xform, NSVG_SPREAD_PAD, {});
  const IPattern noStops = ICanvas::GetSVGPattern(radial, 1);
  EXPECT_EQ(noStops.type, EPatternType::Radial);
  ASSERT_EQ(noStops.NStops(), 1);
  EXPECT_EQ(noStops.GetStop(0).color, COLOR_TRANSPARENT);
  NSVGpaint missing{};
  missing.type = NSVG_PAINT_LINEAR_GRADIENT;
  missing.gradient = nullptr;
  const IPattern none = ICanvas::GetSVGPattern(missing, 1);
  ASSERT_EQ(none.NStops(), 1);
  EXPECT_EQ(none.GetStop(0).color, COLOR_TRANSPARENT);
  EXPECT_EQ(none.transform, IMatrix());

  // A paint of an unknown kind is black at the opacity.
  NSVGpaint odd{};
  odd.type = 9;
  EXPECT_EQ(ICanvas::GetSVGPattern(odd, 0.5f).GetStop(0).color, IColor(128, 0, 0, 0));

  ImageBuilder::SetNone(paint);
  ImageBuilder::SetNone(radial);
}

TEST(SvgBuilder, StraightSegmentsAreCubicsWithControlsAtThirdsAndBoundsOfTheirPoints) {
  ImageBuilder b(10, 10);
  NSVGshape* shape = b.AddShape();
  const NSVGpath* path = b.AddPolyline(shape, {{0, 0}, {3, 6}}, true);
  ASSERT_EQ(path->npts, 7);
  const std::vector<float> expected = {0, 0, 1, 2, 2, 4, 3, 6, 2, 4, 1, 2, 0, 0};
  EXPECT_EQ(std::vector<float>(path->pts, path->pts + 14), expected);
  EXPECT_EQ(path->closed, 1);
  EXPECT_EQ(std::vector<float>(path->bounds, path->bounds + 4), (std::vector<float>{0, 0, 3, 6}));
  EXPECT_EQ(shape->flags, NSVG_FLAGS_VISIBLE);
  EXPECT_EQ(shape->fill.type, NSVG_PAINT_NONE);
  NSVGimage* image = b.Release();
  EXPECT_EQ(b.Get(), nullptr);
  nsvgDelete(image);
  nsvgDelete(nullptr);
}
