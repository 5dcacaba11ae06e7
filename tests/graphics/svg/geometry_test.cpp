// What the reader makes of shapes and path data: cubic points, subpaths, closing, bounds,
// and the lexing of numbers and flags that SVG writes without separators.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/graphics/svg/reader_fixture.h"

using namespace svgtest;

TEST(ReaderGeometry, RectAndItsPathAreTheSameThirteenClosedPoints) {
  for (const std::string body : {"<rect x=\"10\" y=\"10\" width=\"20\" height=\"10\"/>",
                                 "<path d=\"M10 10h20v10h-20z\"/>"}) {
    Parsed p(doc(body));
    const NSVGshape* s = onlyShape(p);
    ASSERT_NE(s, nullptr) << body;
    const NSVGpath* path = s->paths;
    ASSERT_EQ(path->npts, 13) << body;
    const auto pts = points(path);
    EXPECT_TRUE(near(pts[0], {10, 10}));
    EXPECT_TRUE(near(pts[1], {16.667f, 10}));
    EXPECT_TRUE(near(pts[2], {23.333f, 10}));
    EXPECT_TRUE(near(pts[3], {30, 10}));
    EXPECT_TRUE(near(pts[6], {30, 20}));
    EXPECT_TRUE(near(pts[9], {10, 20}));
    EXPECT_TRUE(near(pts[12], {10, 10}));
    EXPECT_EQ(path->closed, 1);
    EXPECT_FLOAT_EQ(path->bounds[0], 10);
    EXPECT_FLOAT_EQ(path->bounds[1], 10);
    EXPECT_FLOAT_EQ(path->bounds[2], 30);
    EXPECT_FLOAT_EQ(path->bounds[3], 20);
  }
}

TEST(ReaderGeometry, CurvesBecomeCubics) {
  struct Case {
    const char* d;
    std::vector<Pt> expected;
  };
  const float k = 5.522847f;
  const std::vector<Case> cases = {
      {"M0 0Q30 30 60 0", {{0, 0}, {20, 20}, {40, 20}, {60, 0}}},
      {"M0 0C1 2 3 4 5 6", {{0, 0}, {1, 2}, {3, 4}, {5, 6}}},
      // Quarter arcs through the top of a circle of radius 10 around (10, 0).
      {"M0 0A10 10 0 0 1 20 0", {{0, 0}, {0, -k}, {10 - k, -10}, {10, -10}, {10 + k, -10}, {20, -k}, {20, 0}}},
      // A radius too small for the chord is scaled up to reach.
      {"M0 0A5 5 0 0 1 20 0", {{0, 0}, {0, -k}, {10 - k, -10}, {10, -10}, {10 + k, -10}, {20, -k}, {20, 0}}},
      // Sweep 0 goes the other way round: below the chord.
      {"M0 0A10 10 0 0 0 20 0", {{0, 0}, {0, k}, {10 - k, 10}, {10, 10}, {10 + k, 10}, {20, k}, {20, 0}}},
      // Radius 0 is a line.
      {"M0 0A0 10 0 0 1 30 0", {{0, 0}, {10, 0}, {20, 0}, {30, 0}}},
      // Relative forms and the reflected controls of S and T.
      {"m10 10c0 10 10 10 10 0s10 -10 10 0", {{10, 10}, {10, 20}, {20, 20}, {20, 10}, {20, 0}, {30, 0}, {30, 10}}},
      {"M0 0Q10 10 20 0T40 0", {{0, 0}, {20.f / 3, 20.f / 3}, {40.f / 3, 20.f / 3}, {20, 0},
                                 {80.f / 3, -20.f / 3}, {100.f / 3, -20.f / 3}, {40, 0}}},
      // S without a cubic before it takes the current point as its first control.
      {"M0 0S10 10 20 0", {{0, 0}, {0, 0}, {10, 10}, {20, 0}}},
      {"M5 5H20V0", {{5, 5}, {10, 5}, {15, 5}, {20, 5}, {20, 10.f / 3}, {20, 5.f / 3}, {20, 0}}},
      // After m, further pairs are relative lines.
      {"m10 0 30 0", {{10, 0}, {20, 0}, {30, 0}, {40, 0}}},
  };
  for (const Case& c : cases) {
    Parsed p(doc(std::string("<path fill=\"none\" stroke=\"black\" d=\"") + c.d + "\"/>"));
    const auto pts = onlyPath(p);
    ASSERT_EQ(pts.size(), c.expected.size()) << c.d;
    for (size_t i = 0; i < pts.size(); ++i) EXPECT_TRUE(near(pts[i], c.expected[i])) << c.d << " point " << i;
  }
}

TEST(ReaderGeometry, NumbersAndFlagsWithoutSeparators) {
  struct Case {
    const char* d;
    std::vector<Pt> ends;  // the start and every end point
  };
  const std::vector<Case> cases = {
      {"M10-5L20-5", {{10, -5}, {20, -5}}},
      {"M.5.5L1.5.5", {{0.5f, 0.5f}, {1.5f, 0.5f}}},
      {"M+1,+2L1e1,2E1", {{1, 2}, {10, 20}}},
      {"M0,0 L 10 , 10", {{0, 0}, {10, 10}}},
      {"M1.5e+1-2.5e-1L0 0", {{15, -0.25f}, {0, 0}}},
      // Flags may touch each other and the number after them.
      {"M0 0a10 10 0 0110 10", {{0, 0}, {10, 10}}},
      {"M0 0A10,10,0,0,1,10,10", {{0, 0}, {10, 10}}},
  };
  for (const Case& c : cases) {
    Parsed p(doc(std::string("<path d=\"") + c.d + "\"/>"));
    const auto pts = onlyPath(p);
    ASSERT_FALSE(pts.empty()) << c.d;
    EXPECT_TRUE(near(pts.front(), c.ends.front())) << c.d;
    EXPECT_TRUE(near(pts.back(), c.ends.back())) << c.d;
  }
}

TEST(ReaderGeometry, SubpathsOfOneElementAreOneShape) {
  Parsed p(doc("<path d=\"M0 0h10v10h-10z M2 2h6v6h-6z\"/>"));
  const NSVGshape* s = onlyShape(p);
  ASSERT_NE(s, nullptr);
  const auto ps = paths(s);
  ASSERT_EQ(ps.size(), 2u);
  EXPECT_TRUE(near(points(ps[0])[0], {0, 0}));
  EXPECT_TRUE(near(points(ps[1])[0], {2, 2}));
  EXPECT_EQ(ps[0]->npts, 13);
  EXPECT_EQ(ps[1]->npts, 13);
}

TEST(ReaderGeometry, ClosingDrawsBackOnlyWhenNeededAndTheNextSubpathStartsThere) {
  // Already at the start: no extra segment.
  {
    Parsed p(doc("<path d=\"M0 0L10 0L10 10L0 0Z\"/>"));
    const auto pts = onlyPath(p);
    EXPECT_EQ(pts.size(), 10u);
  }
  // A line after Z starts a new subpath at the closed one's start.
  {
    Parsed p(doc("<path d=\"M5 5L15 5L15 15ZL0 20\"/>"));
    const auto ps = paths(onlyShape(p));
    ASSERT_EQ(ps.size(), 2u);
    EXPECT_EQ(ps[0]->closed, 1);
    EXPECT_EQ(ps[1]->closed, 0);
    EXPECT_TRUE(near(points(ps[1]).front(), {5, 5}));
    EXPECT_TRUE(near(points(ps[1]).back(), {0, 20}));
  }
}

TEST(ReaderGeometry, ShortSubpathsAndBrokenDataKeepWhatCameBefore) {
  struct Case {
    const char* d;
    size_t paths;
    Pt lastEnd;  // of the last kept path
  };
  const std::vector<Case> cases = {
      {"M0 0 M10 10 L20 20", 1, {20, 20}},         // a lone moveto is dropped
      {"M0 0L10 0L10 10 L20 20 Q", 1, {20, 20}},   // an incomplete command ends the data
      {"M0 0L10 0 X L50 50", 1, {10, 0}},          // so does an unknown letter
      {"M0 0L10 0 Z 5 5", 1, {0, 0}},              // numbers after a close
      {"L10 10 M0 0 L 5 5", 0, {0, 0}},            // data must start with a moveto
      {"M0 0L10 0 L20 0 L", 1, {20, 0}},
  };
  for (const Case& c : cases) {
    Parsed p(doc(std::string("<path d=\"") + c.d + "\"/><rect width=\"1\" height=\"1\"/>"));
    const auto all = shapes(p.image);
    ASSERT_FALSE(all.empty()) << c.d;
    if (c.paths == 0) {
      EXPECT_EQ(all.size(), 1u) << c.d << ": only the rectangle";
      continue;
    }
    ASSERT_EQ(all.size(), 2u) << c.d;
    const auto ps = paths(all[0]);
    ASSERT_EQ(ps.size(), c.paths) << c.d;
    EXPECT_TRUE(near(points(ps.back()).back(), c.lastEnd)) << c.d;
  }
}

TEST(ReaderGeometry, CirclesEllipsesAndRoundedRects) {
  const float k = 0.5522847f;
  {
    Parsed p(doc("<circle cx=\"50\" cy=\"40\" r=\"10\"/>"));
    const auto pts = onlyPath(p);
    ASSERT_EQ(pts.size(), 13u);
    // From (cx + r, cy), clockwise on screen: down first.
    EXPECT_TRUE(near(pts[0], {60, 40}));
    EXPECT_TRUE(near(pts[1], {60, 40 + 10 * k}));
    EXPECT_TRUE(near(pts[3], {50, 50}));
    EXPECT_TRUE(near(pts[6], {40, 40}));
    EXPECT_TRUE(near(pts[9], {50, 30}));
    EXPECT_TRUE(near(pts[12], {60, 40}));
    EXPECT_EQ(paths(onlyShape(p))[0]->closed, 1);
  }
  {
    Parsed p(doc("<ellipse cx=\"50\" cy=\"40\" rx=\"20\" ry=\"10\"/>"));
    const auto pts = onlyPath(p);
    ASSERT_EQ(pts.size(), 13u);
    EXPECT_TRUE(near(pts[0], {70, 40}));
    EXPECT_TRUE(near(pts[2], {50 + 20 * k, 50}));
    EXPECT_TRUE(near(pts[6], {30, 40}));
  }
  // One radius sets both; radii are limited to half a side.
  struct Case {
    const char* attrs;
    float rx, ry;
  };
  for (const Case& c : std::vector<Case>{{"rx=\"5\"", 5, 5}, {"ry=\"4\"", 4, 4}, {"rx=\"6\" ry=\"2\"", 6, 2},
                                         {"rx=\"50\"", 20, 10}, {"rx=\"-3\"", 0, 0}}) {
    Parsed p(doc(std::string("<rect x=\"0\" y=\"0\" width=\"40\" height=\"20\" ") + c.attrs + "/>"));
    const auto pts = onlyPath(p);
    ASSERT_FALSE(pts.empty()) << c.attrs;
    if (c.rx == 0) {
      EXPECT_EQ(pts.size(), 13u) << c.attrs;
      continue;
    }
    EXPECT_TRUE(near(pts[0], {c.rx, 0})) << c.attrs << ": starts at the top edge after the corner";
    bool reachesCornerEnd = false;
    for (const Pt& pt : pts) reachesCornerEnd |= near(pt, {40, c.ry});
    EXPECT_TRUE(reachesCornerEnd) << c.attrs;
    EXPECT_TRUE(near(pts.back(), pts.front())) << c.attrs;
  }
  // Nothing for sizes of 0 or below.
  for (const char* body : {"<rect width=\"0\" height=\"5\"/>", "<rect width=\"5\" height=\"-1\"/>",
                           "<circle r=\"0\"/>", "<ellipse rx=\"5\"/>"}) {
    Parsed p(doc(std::string(body) + "<rect width=\"1\" height=\"1\"/>"));
    EXPECT_EQ(shapes(p.image).size(), 1u) << body;
  }
}

TEST(ReaderGeometry, LinesAndPolylines) {
  {
    Parsed p(doc("<line x1=\"0\" y1=\"0\" x2=\"30\" y2=\"0\" stroke=\"black\"/>"));
    const auto pts = onlyPath(p);
    ASSERT_EQ(pts.size(), 4u);
    EXPECT_TRUE(near(pts[1], {10, 0}));
    EXPECT_EQ(paths(onlyShape(p))[0]->closed, 0);
  }
  {
    Parsed p(doc("<polyline points=\"0,0 30,0 30,30\"/>"));
    EXPECT_EQ(onlyPath(p).size(), 7u);
    EXPECT_EQ(paths(onlyShape(p))[0]->closed, 0);
  }
  {
    // A dangling coordinate is left out; the polygon closes back to its start.
    Parsed p(doc("<polygon points=\"0 0,30 0 30 30 7\"/>"));
    const auto pts = onlyPath(p);
    ASSERT_EQ(pts.size(), 10u);
    EXPECT_TRUE(near(pts.back(), {0, 0}));
    EXPECT_EQ(paths(onlyShape(p))[0]->closed, 1);
  }
}

TEST(ReaderGeometry, BoundsTakeInControlPoints) {
  Parsed p(doc("<path d=\"M0 0C0 -30 10 -30 10 0\"/>"));
  const NSVGpath* path = paths(onlyShape(p))[0];
  EXPECT_FLOAT_EQ(path->bounds[0], 0);
  EXPECT_FLOAT_EQ(path->bounds[1], -30);
  EXPECT_FLOAT_EQ(path->bounds[2], 10);
  EXPECT_FLOAT_EQ(path->bounds[3], 0);
}

TEST(ReaderGeometry, ArcsAreSplitIntoQuartersOrLess) {
  // A full turn in two half arcs: each at most 90 degrees a piece.
  Parsed p(doc("<path d=\"M0 50A50 50 0 1 1 100 50A50 50 0 1 1 0 50\"/>"));
  const auto pts = onlyPath(p);
  ASSERT_EQ(pts.size(), 13u);
  // Every piece's end lies on the circle.
  for (size_t i = 0; i < pts.size(); i += 3)
    EXPECT_NEAR(std::hypot(pts[i].first - 50, pts[i].second - 50), 50, 1e-3) << i;
  // A rotated ellipse: the end point is exact and the middle lies on the ellipse.
  Parsed r(doc("<path d=\"M0 0A20 10 30 0 1 30 10\"/>"));
  const auto q = onlyPath(r);
  ASSERT_GE(q.size(), 4u);
  EXPECT_TRUE(near(q.back(), {30, 10}));
}
