// Rectangle helpers, colour, text and paint records, and the constant tables.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graphics/Constants.h"
#include "graphics/Geometry.h"
#include "graphics/Style.h"

using namespace plugkit::canvas;

namespace {

void expectRect(const IRECT& r, float l, float t, float rr, float b, float tol = 1e-4f) {
  EXPECT_NEAR(r.L, l, tol);
  EXPECT_NEAR(r.T, t, tol);
  EXPECT_NEAR(r.R, rr, tol);
  EXPECT_NEAR(r.B, b, tol);
}

}  // namespace

TEST(Rect, ContainsPointIsHalfOpenAndEmptyHoldsNothing) {
  struct Case {
    IRECT r;
    float x, y;
    bool inside;
  } cases[] = {
      {{0, 0, 10, 10}, 0, 0, true},   {{0, 0, 10, 10}, 9.99f, 9.99f, true}, {{0, 0, 10, 10}, 10, 5, false},
      {{0, 0, 10, 10}, 5, 10, false}, {{0, 0, 10, 10}, -0.01f, 5, false},   {{0, 0, 0, 0}, 0, 0, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.r.ContainsPoint(c.x, c.y), c.inside) << c.x << "," << c.y << " in " << c.r.L << "," << c.r.R;
}

TEST(Rect, PixelAlignmentNeverShrinksAndUsesTheReciprocal) {
  expectRect(IRECT(0.3f, 0.3f, 10.2f, 10.2f).GetPixelAligned(2.f), 0, 0, 10.5f, 10.5f);
  expectRect(IRECT(9.25f, 9.25f, 20.75f, 20.75f).GetPixelAligned(1.5f), 8.6667f, 8.6667f, 21.3333f, 21.3333f);
  // Multiplying by 1/s: the same bits as the redraw loop's own alignment.
  const float inv = 1.f / 1.5f;
  EXPECT_EQ(IRECT(9.25f, 9.25f, 20.75f, 20.75f).GetPixelAligned(1.5f).L, std::floor(9.25f * 1.5f) * inv);
  // Already aligned rectangles stay exactly as they are.
  EXPECT_EQ(IRECT(1, 2, 3, 4).GetPixelAligned(1.f), IRECT(1, 2, 3, 4));
  // A scale that is not a positive finite number changes nothing.
  const IRECT r(0.3f, 0.3f, 1.7f, 1.7f);
  EXPECT_EQ(r.GetPixelAligned(0.f), r);
  EXPECT_EQ(r.GetPixelAligned(std::numeric_limits<float>::quiet_NaN()), r);
}

TEST(Rect, CentredInsideRaisesWidthToOneAndTakesWidthForMissingHeight) {
  const IRECT r(0, 0, 100, 50);
  expectRect(r.GetCentredInside(20, 10), 40, 20, 60, 30);
  expectRect(r.GetCentredInside(0, 4), 49.5f, 23, 50.5f, 27);   // w 0 -> 1
  expectRect(r.GetCentredInside(10, 0), 45, 20, 55, 30);        // h 0 takes w
  expectRect(r.GetCentredInside(10, -3), 45, 20, 55, 30);       // h < 0 takes w
}

TEST(Rect, UnionIgnoresEmptyAndIntersectionFollowsTheOverlapTest) {
  EXPECT_EQ(IRECT().Union(IRECT(10, 10, 20, 20)), IRECT(10, 10, 20, 20));
  EXPECT_EQ(IRECT(10, 10, 20, 20).Union(IRECT()), IRECT(10, 10, 20, 20));
  EXPECT_EQ(IRECT(0, 0, 5, 5).Union(IRECT(10, 10, 20, 20)), IRECT(0, 0, 20, 20));

  EXPECT_EQ(IRECT(0, 0, 10, 10).Intersect(IRECT(5, 5, 15, 15)), IRECT(5, 5, 10, 10));
  // The second rectangle may start on the first one's right edge, but not the reverse.
  EXPECT_TRUE(IRECT(0, 0, 10, 10).Intersects(IRECT(10, 0, 20, 10)));
  EXPECT_FALSE(IRECT(10, 0, 20, 10).Intersects(IRECT(0, 0, 10, 10)));
  EXPECT_TRUE(IRECT(0, 0, 10, 10).Intersect(IRECT(20, 20, 30, 30)).IsEmpty());
  EXPECT_FALSE(IRECT().Intersects(IRECT(-1, -1, 1, 1)));
}

TEST(Rect, ScaledGrownTranslatedAndClampedPoint) {
  expectRect(IRECT(0, 0, 10, 20).GetScaledAboutCentre(0.5f), 2.5f, 5, 7.5f, 15);
  expectRect(IRECT(0, 0, 10, 10).GetPadded(2), -2, -2, 12, 12);
  expectRect(IRECT(0, 0, 10, 10).GetPadded(-2), 2, 2, 8, 8);
  expectRect(IRECT(0, 0, 10, 10).GetTranslated(3, -1), 3, -1, 13, 9);
  float x = -5, y = 50;
  IRECT(0, 0, 10, 10).Constrain(x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 10);
}

TEST(Records, DefaultColourIsOpaqueBlackAndSolidPatternHasOneStop) {
  const IColor c;
  EXPECT_EQ(c, IColor(255, 0, 0, 0));

  const IPattern p(IColor(200, 1, 2, 3));
  EXPECT_EQ(p.type, EPatternType::Solid);
  EXPECT_EQ(p.extend, EPatternExtend::Pad);
  EXPECT_EQ(p.NStops(), 1);
  EXPECT_EQ(p.GetStop(0).color, IColor(200, 1, 2, 3));
  EXPECT_TRUE(p.transform.IsIdentity());
  for (int i = 1; i < IPattern::kMaxStops; ++i) {
    EXPECT_EQ(p.GetStop(i).color, COLOR_BLACK);
    EXPECT_EQ(p.GetStop(i).offset, 0.f);
  }
}

TEST(Records, TextStyleDefaultsAndFontNameIsCut) {
  const IText t;
  EXPECT_STREQ(t.font, "Roboto-Regular");
  EXPECT_EQ(t.size, 14.f);
  EXPECT_EQ(t.color, COLOR_BLACK);
  EXPECT_EQ(t.entryBackground, COLOR_WHITE);
  EXPECT_EQ(t.entryColor, COLOR_BLACK);
  EXPECT_EQ(t.align, ETextHAlign::Centre);
  EXPECT_EQ(t.valign, ETextVAlign::Middle);
  EXPECT_EQ(t, DEFAULT_TEXT);

  const std::string longName(100, 'x');
  const IText cut = t.WithFont(longName.c_str());
  EXPECT_EQ(std::string(cut.font), std::string(63, 'x'));
}

TEST(Constants, ColourSpecFromAShortListKeepsRoleDefaults) {
  const IVColorSpec spec{COLOR_RED, COLOR_BLUE};
  EXPECT_EQ(spec.GetColor(kBackground), COLOR_RED);
  EXPECT_EQ(spec.GetColor(kForeground), COLOR_BLUE);
  for (int i = kPressed; i < kNumVColors; ++i) EXPECT_EQ(spec.colors[i], DEFAULT_COLOR_SPEC.colors[i]) << i;
}
