// The drawing interface as the backend sees it: what each shape, convenience, transform
// and clip reduces to in path primitives, and what degenerate input leaves out.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "graphics/Constants.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/draw_ops.h"

using namespace gfxtest;
using namespace sp::test;
using Path = std::vector<std::string>;
using sp::test::TestPlatform;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class DrawingTest : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (HasFatalFailure()) return;
    g->clearDrawOps();
  }

  // The path calls of one operation run on a fresh record.
  Path pathOf(const std::function<void()>& draw) {
    g->clearDrawOps();
    draw();
    return described(*g, false);
  }
};

const IColor kRed = COLOR_RED;

}  // namespace

// ---------------------------------------------------------------------------------------
// Path builders and shapes

TEST_F(DrawingTest, RoundRectIsFourClockwiseArcsWithRadiiLimitedToHalfTheShorterSide) {
  const IRECT r(0, 0, 40, 20);
  const Path rect = {"M 0 0", "L 40 0", "L 40 20", "L 0 20", "Z"};
  struct Case {
    const char* name;
    float tl, tr, bl, br;
    Path expected;
  };
  const std::vector<Case> cases = {
      {"radius 4", 4, 4, 4, 4,
       {"M 0 4", "A 4 4 4 270 360", "A 36 4 4 0 90", "A 36 16 4 90 180", "A 4 16 4 180 270", "Z"}},
      {"radius 30 limited to 10", 30, 30, 30, 30,
       {"M 0 10", "A 10 10 10 270 360", "A 30 10 10 0 90", "A 30 10 10 90 180", "A 10 10 10 180 270", "Z"}},
      {"mixed corners", 2, 0, 0, 6,
       {"M 0 2", "A 2 2 2 270 360", "A 40 0 0 0 90", "A 34 14 6 90 180", "A 0 20 0 180 270", "Z"}},
      {"all zero", 0, 0, 0, 0, rect},
      {"negative radius has no arc", -1, 0, 0, 0, rect},
      {"not a number has no arc", kNaN, kNaN, kNaN, kNaN, rect},
  };
  for (const Case& c : cases)
    EXPECT_EQ(pathOf([&] { g->PathRoundRect(r, c.tl, c.tr, c.bl, c.br); }), c.expected) << c.name;
}

TEST_F(DrawingTest, EveryShapeClearsTheCurrentPathBuildsItAndPaintsOnce) {
  const float xs[3] = {0, 10, 5}, ys[3] = {0, 0, 8};
  struct Case {
    const char* name;
    std::function<void()> draw;
    Path expected;
  };
  const std::vector<Case> cases = {
      {"FillArc is a pie slice", [&] { g->FillArc(kRed, 10, 10, 5, 0, 90); },
       {"clear", "M 10 10", "A 10 10 5 0 90", "Z", "F"}},
      {"DrawArc is the arc alone", [&] { g->DrawArc(kRed, 10, 10, 5, 0, 90, nullptr, 2); },
       {"clear", "A 10 10 5 0 90", "S 2"}},
      {"DrawCircle", [&] { g->DrawCircle(kRed, 5, 5, 3); }, {"clear", "M 5 2", "A 5 5 3 0 360", "Z", "S 1"}},
      {"DrawPoint is a unit square", [&] { g->DrawPoint(kRed, 3, 4); },
       {"clear", "M 3 4", "L 4 4", "L 4 5", "L 3 5", "Z", "F"}},
      {"DrawLine", [&] { g->DrawLine(kRed, 1, 2, 3, 4, nullptr, 1.5f); }, {"clear", "M 1 2", "L 3 4", "S 1.5"}},
      {"FillTriangle", [&] { g->FillTriangle(kRed, 0, 0, 4, 0, 2, 3); }, {"clear", "M 0 0", "L 4 0", "L 2 3", "Z", "F"}},
      {"DrawConvexPolygon", [&] { g->DrawConvexPolygon(kRed, xs, ys, 3); },
       {"clear", "M 0 0", "L 10 0", "L 5 8", "Z", "S 1"}},
      {"FillRoundRect", [&] { g->FillRoundRect(kRed, IRECT(0, 0, 10, 10), 0); },
       {"clear", "M 0 0", "L 10 0", "L 10 10", "L 0 10", "Z", "F"}},
  };
  for (const Case& c : cases) EXPECT_EQ(pathOf(c.draw), c.expected) << c.name;
}

TEST_F(DrawingTest, ShapesPaintWithTheirColourBlendAndThickness) {
  const IBlend blend(EBlend::Default, 0.5f);
  g->DrawRect(COLOR_BLUE, IRECT(0, 0, 10, 10), &blend, 3.f);
  g->FillCircle(COLOR_GREEN, 5, 5, 2);
  const auto p = paints(*g);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].kind, DrawOp::PathStroke);
  EXPECT_EQ(colorOf(p[0]), COLOR_BLUE);
  EXPECT_EQ(p[0].pattern.NStops(), 1);
  EXPECT_TRUE(p[0].hasBlend);
  EXPECT_EQ(p[0].blend, blend);
  EXPECT_FLOAT_EQ(p[0].args[0], 3.f);
  EXPECT_FALSE(p[0].stroke.preserve);
  EXPECT_EQ(p[0].stroke.dashCount, 0);
  EXPECT_EQ(p[1].kind, DrawOp::PathFill);
  EXPECT_EQ(colorOf(p[1]), COLOR_GREEN);
  EXPECT_FALSE(p[1].hasBlend);
  EXPECT_EQ(p[1].fill.fillRule, EFillRule::Winding);
  EXPECT_FALSE(p[1].fill.preserve);
}

TEST_F(DrawingTest, EllipseIsAUnitCircleUnderItsOwnTransformThatIsUndoneAfterwards) {
  g->PathTransformTranslate(1, 2);
  g->clearDrawOps();
  g->FillEllipse(kRed, IRECT(0, 0, 20, 10));
  // Unit circle under translate(10, 5) . scale(10, 5), drawn on top of the outer transform.
  EXPECT_EQ(described(*g), (Path{"clear", "T 1 0 0 1 11 7", "T 1 0 0 1 11 7", "T 10 0 0 5 11 7", "M 0 -1",
                                 "A 0 0 1 0 360", "Z", "T 1 0 0 1 1 2", "F"}));
  const auto moves = g->opsOf({DrawOp::PathMoveTo, DrawOp::PathArc});
  for (const DrawOp& op : moves) EXPECT_EQ(op.matrix, IMatrix(10, 0, 0, 5, 11, 7));
  EXPECT_EQ(g->TransformStackDepth(), 0);
  EXPECT_EQ(g->GetTransform(), IMatrix(1, 0, 0, 1, 1, 2));

  // A rotated ellipse: the angle acts between the placement and the radii.
  EXPECT_EQ(pathOf([&] { g->DrawEllipse(kRed, 0, 0, 4, 2, 90); }).at(1), "M 0 -1");
  const DrawOp move = g->opsOf({DrawOp::PathMoveTo}).at(0);
  EXPECT_NEAR(move.matrix.xx, 0, 1e-9);
  EXPECT_NEAR(move.matrix.yx, 4, 1e-9);
  EXPECT_NEAR(move.matrix.xy, -2, 1e-9);

  // Radii that are not above 0 add nothing and leave the transform as it was.
  for (float r : {0.f, -3.f, kNaN}) {
    EXPECT_EQ(pathOf([&] { g->FillEllipse(kRed, 5, 5, r, 3); }), (Path{"clear", "F"})) << r;
    EXPECT_EQ(g->count(DrawOp::SetTransform), 0);
    EXPECT_EQ(g->TransformStackDepth(), 0);
  }
}

TEST_F(DrawingTest, GridDrawsInnerLinesOnlyAndStepsFromAWholeNumberCounter) {
  EXPECT_EQ(pathOf([&] { g->DrawGrid(kRed, IRECT(0, 0, 100, 50), 25, 20); }),
            (Path{"clear", "M 25 0", "L 25 50", "M 50 0", "L 50 50", "M 75 0", "L 75 50", "M 0 20", "L 100 20",
                  "M 0 40", "L 100 40", "S 1"}));
  EXPECT_EQ(pathOf([&] { g->DrawGrid(kRed, IRECT(0, 0, 100, 50), 1, 30); }),
            (Path{"clear", "M 0 30", "L 100 30", "S 1"}));
  EXPECT_EQ(pathOf([&] { g->DrawGrid(kRed, IRECT(0, 0, 100, 50), kNaN, 0.5f); }), (Path{"clear", "S 1"}));
  // At 2^25 a float moves in steps of 4: adding 1.5 again and again would never reach R.
  const float far = 33554432.f;
  pathOf([&] { g->DrawGrid(kRed, IRECT(far, 0, far + 16, 10), 1.5f, 0); });
  EXPECT_GT(g->count(DrawOp::PathMoveTo), 0);
  EXPECT_LE(g->count(DrawOp::PathMoveTo), 11);
  // An endless rectangle draws nothing rather than looping.
  EXPECT_TRUE(pathOf([&] { g->DrawGrid(kRed, IRECT(0, 0, kInf, 10), 2, 2); }).empty());
}

TEST_F(DrawingTest, DataIsAPolylineFromTheLeftEdgeWithAnOptionalFillUnderIt) {
  const IRECT r(0, 0, 100, 50);
  const float ys[3] = {0, 0.5f, 1}, xs[3] = {0.9f, 0.2f, 1};
  EXPECT_EQ(pathOf([&] { g->DrawData(kRed, r, ys, 3); }), (Path{"clear", "M 0 50", "L 50 25", "L 100 0", "S 1"}));
  // With x positions the first point still sits on the left edge.
  EXPECT_EQ(pathOf([&] { g->DrawData(kRed, r, ys, 3, xs); }), (Path{"clear", "M 0 50", "L 20 25", "L 100 0", "S 1"}));
  EXPECT_EQ(pathOf([&] { g->DrawData(kRed, r, ys, 1); }), (Path{"clear", "M 0 50", "S 1"}));

  const IColor under = COLOR_BLUE;
  EXPECT_EQ(pathOf([&] { g->DrawData(kRed, r, ys, 3, nullptr, nullptr, 2, &under); }),
            (Path{"clear", "M 0 50", "L 50 25", "L 100 0", "F", "S 2"}));
  const auto p = paints(*g);
  EXPECT_EQ(colorOf(p[0]), COLOR_BLUE);
  EXPECT_TRUE(p[0].fill.preserve);
  EXPECT_EQ(p[0].fill.fillRule, EFillRule::Winding);
  EXPECT_EQ(colorOf(p[1]), kRed);
}

TEST_F(DrawingTest, DottedShapesAskTheBackendForOneDash) {
  g->DrawDottedLine(kRed, 0, 0, 10, 0, nullptr, 1, 3);
  g->DrawDottedRect(kRed, IRECT(0, 0, 10, 10), nullptr, 1, 4);
  const auto p = paints(*g);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].stroke.dashCount, 1);
  EXPECT_FLOAT_EQ(p[0].stroke.dashArray[0], 3);
  EXPECT_FLOAT_EQ(p[0].stroke.dashOffset, 0);
  EXPECT_FLOAT_EQ(p[1].stroke.dashArray[0], 4);
}

TEST_F(DrawingTest, DegenerateInputDrawsNothingAtAll) {
  APIBitmap api(nullptr, 40, 10, 1.f, 1.f);
  const IBitmap bitmap(&api, 4, true);
  const IBitmap empty;
  const float xs[2] = {0, 1}, ys[2] = {0, 1};
  struct Case {
    const char* name;
    std::function<void()> draw;
  };
  const std::vector<Case> cases = {
      {"polygon of no points", [&] { g->FillConvexPolygon(kRed, xs, ys, 0); }},
      {"polygon without x", [&] { g->DrawConvexPolygon(kRed, nullptr, ys, 2); }},
      {"polygon without y", [&] { g->PathConvexPolygon(xs, nullptr, 2); }},
      {"dotted line of dash 0", [&] { g->DrawDottedLine(kRed, 0, 0, 10, 0, nullptr, 1, 0); }},
      {"dotted line of negative dash", [&] { g->DrawDottedLine(kRed, 0, 0, 10, 0, nullptr, 1, -2); }},
      {"dotted rect of dash NaN", [&] { g->DrawDottedRect(kRed, IRECT(0, 0, 5, 5), nullptr, 1, kNaN); }},
      {"data of no points", [&] { g->DrawData(kRed, IRECT(0, 0, 5, 5), ys, 0); }},
      {"data without points", [&] { g->DrawData(kRed, IRECT(0, 0, 5, 5), nullptr, 3); }},
      {"empty bitmap frame", [&] { g->DrawBitmap(empty, IRECT(0, 0, 5, 5), 2); }},
      {"empty bitmap fitted", [&] { g->DrawFittedBitmap(empty, IRECT(0, 0, 5, 5)); }},
      {"empty bitmap rotated", [&] { g->DrawRotatedBitmap(empty, 5, 5, 30); }},
      {"bitmap text on empty bitmap", [&] { g->DrawBitmapedText(empty, IRECT(0, 0, 50, 10), IText(), nullptr, "A"); }},
      {"bitmap text of width 0",
       [&] { g->DrawBitmapedText(bitmap, IRECT(0, 0, 50, 10), IText(), nullptr, "A", true, false, 0, 10); }},
      {"bitmap text of height 0",
       [&] { g->DrawBitmapedText(bitmap, IRECT(0, 0, 50, 10), IText(), nullptr, "A", true, false, 6, 0); }},
      {"bitmap text in a box of width 0",
       [&] { g->DrawBitmapedText(bitmap, IRECT(5, 0, 5, 10), IText(), nullptr, "A", true, true, 6, 10); }},
      {"bitmap text narrower than a character",
       [&] { g->DrawBitmapedText(bitmap, IRECT(0, 0, 5, 10), IText(), nullptr, "A", true, false, 6, 10); }},
      {"empty text", [&] { g->DrawText(IText(), "", IRECT(0, 0, 5, 5)); }},
      {"null text", [&] { g->DrawText(IText(), nullptr, 3, 4); }},
      {"horizontal line at NaN", [&] { g->DrawHorizontalLine(kRed, IRECT(0, 0, 5, 5), kNaN); }},
      {"translate by NaN", [&] { g->PathTransformTranslate(kNaN, 0); }},
      {"scale by infinity", [&] { g->PathTransformScale(kInf); }},
      {"rotate by NaN", [&] { g->PathTransformRotate(kNaN); }},
      {"skew by infinity", [&] { g->PathTransformSkew(0, kInf); }},
      {"matrix holding NaN", [&] { g->PathTransformMatrix(IMatrix(1, 0, 0, 1, kNaN, 0)); }},
  };
  for (const Case& c : cases) {
    g->clearDrawOps();
    c.draw();
    EXPECT_TRUE(g->drawOps().empty()) << c.name << ": " << ::testing::PrintToString(described(*g));
    EXPECT_EQ(g->GetTransform(), IMatrix()) << c.name;
    EXPECT_EQ(g->TransformStackDepth(), 0) << c.name;
  }

  // A product that overflows keeps the transform it had.
  g->PathTransformMatrix(IMatrix(1e300, 0, 0, 1e300, 0, 0));
  g->clearDrawOps();
  g->PathTransformMatrix(IMatrix(1e300, 0, 0, 1e300, 0, 0));
  EXPECT_EQ(g->GetTransform(), IMatrix(1e300, 0, 0, 1e300, 0, 0));
  EXPECT_TRUE(g->drawOps().empty());
}

// ---------------------------------------------------------------------------------------
// Transforms and clip

TEST_F(DrawingTest, TransformsComposeSoThatTheLastCallActsFirst) {
  struct Case {
    const char* name;
    std::function<void()> apply;
    double x, y, ex, ey;
  };
  const std::vector<Case> cases = {
      {"translate then rotate", [&] { g->PathTransformTranslate(10, 0); g->PathTransformRotate(90); }, 1, 0, 10, 1},
      {"scale then translate", [&] { g->PathTransformScale(2); g->PathTransformTranslate(5, 0); }, 0, 0, 10, 0},
      {"skew in degrees", [&] { g->PathTransformSkew(45, 0); }, 0, 1, 1, 1},
      {"skew of y", [&] { g->PathTransformSkew(0, 45); }, 1, 0, 1, 1},
      {"uneven scale", [&] { g->PathTransformScale(2, 3); }, 1, 1, 2, 3},
      {"matrix applied before the current one",
       [&] { g->PathTransformTranslate(1, 1); g->PathTransformMatrix(IMatrix(0, 1, -1, 0, 0, 0)); }, 1, 0, 1, 2},
  };
  for (const Case& c : cases) {
    g->PathTransformReset(true);
    g->clearDrawOps();
    c.apply();
    double x = c.x, y = c.y;
    mapPoint(g->GetTransform(), x, y);
    EXPECT_NEAR(x, c.ex, 1e-6) << c.name;
    EXPECT_NEAR(y, c.ey, 1e-6) << c.name;
    // Every step reached the backend; the last one sent is the one in force.
    ASSERT_FALSE(g->drawOps().empty()) << c.name;
    EXPECT_EQ(g->drawOps().back().kind, DrawOp::SetTransform) << c.name;
    EXPECT_EQ(g->drawOps().back().matrix, g->GetTransform()) << c.name;
  }
}

TEST_F(DrawingTest, SaveRestoreAndResetKeepTheirStack) {
  g->PathTransformTranslate(3, 4);
  g->PathTransformSave();
  g->clearDrawOps();
  g->PathTransformSave();  // pushes without sending
  EXPECT_TRUE(g->drawOps().empty());
  g->PathTransformScale(2);
  g->PathTransformRestore();
  g->PathTransformRestore();
  EXPECT_EQ(g->GetTransform(), IMatrix(1, 0, 0, 1, 3, 4));
  EXPECT_EQ(g->TransformStackDepth(), 0);
  g->clearDrawOps();
  g->PathTransformRestore();  // empty stack: nothing happens
  EXPECT_TRUE(g->drawOps().empty());
  EXPECT_EQ(g->GetTransform(), IMatrix(1, 0, 0, 1, 3, 4));

  g->PathTransformSave();
  g->PathTransformReset();  // keeps the stack
  EXPECT_EQ(g->TransformStackDepth(), 1);
  EXPECT_EQ(described(*g).back(), "T 1 0 0 1 0 0");
  g->PathTransformReset(true);
  EXPECT_EQ(g->TransformStackDepth(), 0);
}

TEST_F(DrawingTest, ClipIsTheIntersectionWithTheRegionBeingDrawnSentWithoutTheTransform) {
  g->PrepareRegion(IRECT(0, 0, 100, 100));
  g->PathTransformTranslate(5, 5);
  struct Case {
    IRECT r;
    std::string clip;
  };
  const std::vector<Case> cases = {
      {IRECT(), "clip 0 0 100 100"},
      {IRECT(50, 50, 150, 150), "clip 50 50 100 100"},
      {IRECT(200, 200, 300, 300), "clip 0 0 0 0"},
      {IRECT(-10, 20, 30, 40), "clip 0 20 30 40"},
      {IRECT(kNaN, 0, 10, 10), "clip 0 0 0 0"},
  };
  for (const Case& c : cases) {
    g->clearDrawOps();
    g->PathClipRegion(c.r);
    EXPECT_EQ(described(*g), (Path{"T 1 0 0 1 0 0", c.clip, "T 1 0 0 1 5 5"}));
  }
  EXPECT_EQ(g->GetDrawableArea(), IRECT(0, 0, 100, 100));
}

// ---------------------------------------------------------------------------------------
// Conveniences

TEST_F(DrawingTest, BitmapFramesPickTheirSourceOffset) {
  APIBitmap strip(nullptr, 400, 30, 1.f, 1.f);
  APIBitmap column(nullptr, 30, 400, 1.f, 1.f);
  const IBitmap horizontal(&strip, 4, true), vertical(&column, 4, false);
  struct Case {
    int frame;
    int src;
  };
  for (const Case& c : std::vector<Case>{{0, 0}, {1, 0}, {2, 100}, {3, 200}, {4, 300}, {9, 300}, {-5, 0}}) {
    EXPECT_EQ(pathOf([&] { g->DrawBitmap(horizontal, IRECT(0, 0, 100, 30), c.frame); }),
              (Path{"bitmap 0 0 100 30 " + num(c.src) + " 0"}))
        << c.frame;
    EXPECT_EQ(pathOf([&] { g->DrawBitmap(vertical, IRECT(0, 0, 30, 100), c.frame); }),
              (Path{"bitmap 0 0 30 100 0 " + num(c.src)}))
        << c.frame;
  }
  EXPECT_EQ(g->drawOps().back().bitmap, &column);
}

TEST_F(DrawingTest, FittedAndRotatedBitmapsDrawAtNaturalSizeUnderATransform) {
  APIBitmap api(nullptr, 80, 40, 2.f, 1.f);  // 40 x 20 in UI units
  const IBitmap bitmap(&api, 1, false);
  g->DrawFittedBitmap(bitmap, IRECT(10, 10, 90, 30));
  const DrawOp fitted = g->opsOf({DrawOp::DrawBitmap}).at(0);
  EXPECT_EQ(describe(fitted), "bitmap 0 0 40 20 0 0");
  EXPECT_EQ(fitted.matrix, IMatrix(2, 0, 0, 1, 10, 10));
  EXPECT_EQ(g->GetTransform(), IMatrix());

  g->clearDrawOps();
  g->DrawRotatedBitmap(bitmap, 50, 50, 90);
  const DrawOp rotated = g->opsOf({DrawOp::DrawBitmap}).at(0);
  EXPECT_EQ(describe(rotated), "bitmap -20 -10 20 10 0 0");
  double x = 20, y = 0;
  mapPoint(rotated.matrix, x, y);
  EXPECT_NEAR(x, 50, 1e-6);
  EXPECT_NEAR(y, 70, 1e-6);
  EXPECT_EQ(g->TransformStackDepth(), 0);
}

TEST_F(DrawingTest, LinesByPositionAndAngle) {
  const IRECT r(10, 0, 21, 20);  // 11 wide
  struct Case {
    const char* name;
    std::function<void()> draw;
    Path expected;
  };
  const std::vector<Case> cases = {
      {"height 0 is the bottom edge", [&] { g->DrawHorizontalLine(kRed, r, 0); }, {"clear", "M 10 20", "L 21 20", "S 1"}},
      {"height 1 is the top edge", [&] { g->DrawHorizontalLine(kRed, r, 1); }, {"clear", "M 10 0", "L 21 0", "S 1"}},
      {"height above 1 is the top edge", [&] { g->DrawHorizontalLine(kRed, r, 3); }, {"clear", "M 10 0", "L 21 0", "S 1"}},
      {"width 0.5 truncates to 5", [&] { g->DrawVerticalLine(kRed, r, 0.5f); }, {"clear", "M 15 0", "L 15 20", "S 1"}},
      {"across, horizontal", [&] { g->DrawLineAcross(kRed, r, EDirection::Horizontal, 0.25f); },
       {"clear", "M 10 15", "L 21 15", "S 1"}},
      {"across, vertical", [&] { g->DrawLineAcross(kRed, r, EDirection::Vertical, 1); },
       {"clear", "M 21 0", "L 21 20", "S 1"}},
      {"radial at 0 points up", [&] { g->DrawRadialLine(kRed, 50, 50, 0, 10, 20); },
       {"clear", "M 50 40", "L 50 30", "S 1"}},
      {"radial at 90 points right", [&] { g->DrawRadialLine(kRed, 50, 50, 90, 10, 20); },
       {"clear", "M 60 50", "L 70 50", "S 1"}},
      {"radial path at 180 points down", [&] { g->PathRadialLine(50, 50, 180, 0, 5); }, {"M 50 50", "L 50 55"}},
  };
  for (const Case& c : cases) EXPECT_EQ(pathOf(c.draw), c.expected) << c.name;
}

TEST_F(DrawingTest, BitmapFontDrawsOneFramePerCharacter) {
  // 96 frames of 6 x 10 side by side: the characters from code 32 up.
  APIBitmap api(nullptr, 96 * 6, 10, 1.f, 1.f);
  const IBitmap font(&api, 96, true);
  const char text[] = {' ', '!', static_cast<char>(0xC8), '~', '\0'};
  pathOf([&] {
    g->DrawBitmapedText(font, IRECT(0, 0, 100, 20), IText().WithAlign(ETextHAlign::Left), nullptr, text, true, false,
                        6, 10, 1);
  });
  EXPECT_EQ(described(*g), (Path{"bitmap 0 5 6 15 0 0", "bitmap 7 5 13 15 6 0", "bitmap 14 5 20 15 0 0",
                                 "bitmap 21 5 27 15 564 0"}));

  // Wrapped: three characters fit a line of 20; centred text starts left of the box.
  pathOf([&] {
    g->DrawBitmapedText(font, IRECT(0, 0, 20, 50), IText(), nullptr, "ABCDEFG", false, true, 6, 10, 0);
  });
  const auto ops = g->opsOf({DrawOp::DrawBitmap});
  ASSERT_EQ(ops.size(), 7u);
  EXPECT_EQ(describe(ops[0]), "bitmap -11 0 -5 10 198 0");
  EXPECT_EQ(describe(ops[3]), "bitmap -11 10 -5 20 216 0");
  EXPECT_EQ(describe(ops[6]), "bitmap -11 20 -5 30 234 0");

  // Not multi-line: only what fits one line.
  pathOf([&] {
    g->DrawBitmapedText(font, IRECT(0, 0, 20, 50), IText().WithAlign(ETextHAlign::Right), nullptr, "ABCDEFG", false,
                        false, 6, 10, 0);
  });
  EXPECT_EQ(g->count(DrawOp::DrawBitmap), 3);
  EXPECT_EQ(describe(g->drawOps().front()), "bitmap -22 0 -16 10 198 0");
}

TEST_F(DrawingTest, TextEntryPointsSkipEmptyStrings) {
  IRECT bounds(1, 2, 3, 4);
  EXPECT_EQ(g->MeasureText(IText(), "", bounds), 0.f);
  EXPECT_EQ(g->MeasureText(IText(), nullptr, bounds), 0.f);
  EXPECT_EQ(bounds, IRECT(1, 2, 3, 4));
  EXPECT_GT(g->MeasureText(IText(), "ab", bounds), 0.f);

  g->DrawText(IText().WithAlign(ETextHAlign::Left), "Hi", 5, 6);
  g->DrawMultiLineText(IText(), "two\nlines", IRECT(0, 0, 50, 50));
  EXPECT_EQ(described(*g), (Path{"text Hi 5 6 5 6", "text Unsupported 0 0 50 50"}));
}
