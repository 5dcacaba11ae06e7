// Texts the reader refuses (null and a reason, never a partial image), hostile input that
// must end cleanly, values that are not finite, and numbers read without the locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "graphics/svg/svg_builder.h"
#include "tests/graphics/svg/reader_fixture.h"
#include "tests/support/alloc_counter.h"

using namespace svgtest;

namespace {

std::string nestedGroups(int n) {
  std::string text = "<svg width=\"10\" height=\"10\">";
  for (int i = 0; i < n; ++i) text += "<g>";
  text += "<rect width=\"1\" height=\"1\"/>";
  for (int i = 0; i < n; ++i) text += "</g>";
  return text + "</svg>";
}

// Stop i of the generated gradients: offset i / n, colour (i, 2i, 3i) modulo 256.
unsigned stopColor(int i) { return svg::PackColor(i, 2 * i, 3 * i); }

std::string stops(int n) {
  std::string text;
  char line[96];
  for (int i = 0; i < n; ++i) {
    const unsigned c = stopColor(i);
    std::snprintf(line, sizeof line, "<stop offset=\"%.5f\" stop-color=\"#%02x%02x%02x\"/>", double(i) / n, c & 0xFF,
                  (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    text += line;
  }
  return text;
}

// One gradient of n stops painted by n rectangles: n^2 stops if every shape kept them all.
std::string oneGradientOnEveryShape(int n) {
  std::string text = "<svg width=\"10\" height=\"10\"><linearGradient id=\"g\">" + stops(n) + "</linearGradient>";
  for (int i = 0; i < n; ++i) text += "<rect width=\"9\" height=\"9\" fill=\"url(#g)\"/>";
  return text + "</svg>";
}

// n gradients taking the n stops of the first through href, each filling and stroking a shape.
std::string stopsThroughHref(int n) {
  std::string text = "<svg width=\"10\" height=\"10\"><radialGradient id=\"g0\">" + stops(n) + "</radialGradient>";
  for (int i = 1; i <= n; ++i)
    text += "<radialGradient id=\"g" + std::to_string(i) + "\" href=\"#g0\"/><circle r=\"4\" fill=\"url(#g" +
            std::to_string(i) + ")\" stroke=\"url(#g" + std::to_string(i) + ")\"/>";
  return text + "</svg>";
}

}  // namespace

TEST(ReaderRefusals, RefusedTextsGiveNullAndAReason) {
  struct Case {
    const char* name;
    std::string text;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"empty", "", "empty"},
      {"truncated", "<svg", "malformed XML"},
      {"unclosed element", "<svg width=\"1\" height=\"1\"><g></svg>", "malformed XML"},
      {"not SVG", "<html/>", "root element"},
      {"no element", "<!-- nothing -->", "No document element"},
      {"width 0", "<svg width=\"0\" height=\"10\"><rect width=\"5\" height=\"5\"/></svg>", "width or height"},
      {"negative height", "<svg width=\"10\" height=\"-1\"><rect width=\"5\" height=\"5\"/></svg>", "width or height"},
      {"viewBox of no area", "<svg viewBox=\"0 0 10 0\"><rect width=\"5\" height=\"0\"/></svg>", "width or height"},
      {"viewBox too small for a float", "<svg viewBox=\"0 0 1e-50 100\"><rect width=\"5\" height=\"5\"/></svg>",
       "width or height"},
      {"size too large for a float", "<svg width=\"1e39\" height=\"1\"><rect width=\"5\" height=\"5\"/></svg>",
       "width or height"},
      {"no size, a lone horizontal line", "<svg><line x2=\"10\" stroke=\"red\"/></svg>", "width or height"},
      {"no size, no shapes", "<svg><g/></svg>", "width or height"},
      {"no size, a point beyond float", "<svg><path d=\"M1e39 0L0 0\"/></svg>", "width or height"},
      {"100,000 nested groups", nestedGroups(100000), "nested deeper than 256"},
      {"more than 10^6 points", [] {
         std::string t = "<svg width=\"1\" height=\"1\"><path d=\"M0 0";
         for (int i = 0; i < 340000; ++i) t += "L1 1";
         return t + "\"/></svg>";
       }(),
       "more than 1000000 points"},
      {"points over many shapes", [] {
         std::string t = "<svg width=\"1\" height=\"1\">";
         for (int i = 0; i < 80000; ++i) t += "<rect width=\"1\" height=\"1\"/>";
         return t + "</svg>";
       }(),
       "more than 1000000 points"},
      {"over 16 MiB", "<svg width=\"1\" height=\"1\"/>" + std::string(16u << 20, ' '), "larger than 16 MiB"},
  };
  for (const Case& c : cases) {
    Parsed p(c.text);
    EXPECT_EQ(p.image, nullptr) << c.name;
    EXPECT_NE(p.error.find(c.reason), std::string::npos) << c.name << ": " << p.error;
  }

  std::string text = "<svg width=\"1\" height=\"1\"/>";
  EXPECT_EQ(nsvgParse(nullptr, "px", 72), nullptr);
  EXPECT_NE(svg::LastParseError().find("no SVG text"), std::string::npos);
  EXPECT_EQ(nsvgParse(text.data(), "px", 0), nullptr);
  EXPECT_NE(svg::LastParseError().find("dots per inch"), std::string::npos);
}

// Texts that are read, whose gradients must not multiply their stops by their shapes:
// drawing reads at most the first 16 stops of a gradient, and that is what an image keeps.
TEST(ReaderRefusals, StopsHeldStayWithinWhatDrawingReads) {
  struct Case {
    const char* name;
    std::string text;
    int stops;
  };
  const std::vector<Case> cases = {
      {"200 KB: a gradient of 2,300 stops on 2,300 shapes", oneGradientOnEveryShape(2300), 2300},
      {"1,000 gradients taking 1,000 stops through href", stopsThroughHref(1000), 1000},
      {"17 stops", oneGradientOnEveryShape(17), 17},
  };
  for (const Case& c : cases) {
    alloccount::start();
    Parsed p(c.text);
    alloccount::stop();
    ASSERT_NE(p.image, nullptr) << c.name << ": " << p.error;
    // What the reader asks of the heap in all is of the order of the text (about 20 times
    // it), not of its square (above 400 times for the first case if every shape copied
    // every stop).
    EXPECT_LT(alloccount::bytes(), 64 * c.text.size()) << c.name;
    int paints = 0;
    for (const NSVGshape* s : shapes(p.image)) {
      for (const NSVGpaint* paint : {&s->fill, &s->stroke}) {
        if (paint->type != NSVG_PAINT_LINEAR_GRADIENT && paint->type != NSVG_PAINT_RADIAL_GRADIENT) continue;
        ++paints;
        const NSVGgradient* g = paint->gradient;
        ASSERT_EQ(g->nstops, 16) << c.name;
        for (int i = 0; i < g->nstops; ++i) {
          EXPECT_EQ(g->stops[i].color, stopColor(i)) << c.name << ", stop " << i;
          EXPECT_NEAR(g->stops[i].offset, double(i) / c.stops, 1e-5) << c.name << ", stop " << i;
        }
      }
    }
    EXPECT_GT(paints, 0) << c.name;
  }
}

TEST(ReaderRefusals, LimitsHoldExactlyAtTheirEdges) {
  // The root, 254 groups and the rect are 256 levels: read; one more is refused.
  Parsed deepest(nestedGroups(254));
  EXPECT_NE(deepest.image, nullptr) << deepest.error;
  Parsed tooDeep(nestedGroups(255));
  EXPECT_EQ(tooDeep.image, nullptr);

  // A path of exactly 10^6 points: 1 + 3 * 333333.
  std::string t = "<svg width=\"1\" height=\"1\"><path d=\"M0 0";
  for (int i = 0; i < 333333; ++i) t += "L1 1";
  Parsed full(t + "\"/></svg>");
  ASSERT_NE(full.image, nullptr) << full.error;
  EXPECT_EQ(full.image->shapes->paths->npts, 1000000);

  // Exactly 16 MiB of text.
  std::string big = "<svg width=\"1\" height=\"1\"/>";
  big += std::string((16u << 20) - big.size(), ' ');
  Parsed edge(big);
  EXPECT_NE(edge.image, nullptr) << edge.error;
}

TEST(ReaderRefusals, ASuccessClearsTheLastReason) {
  Parsed bad("<svg");
  ASSERT_FALSE(bad.error.empty());
  Parsed good(doc("<rect width=\"1\" height=\"1\"/>"));
  ASSERT_NE(good.image, nullptr);
  EXPECT_TRUE(good.error.empty());
}

TEST(ReaderRefusals, ValuesThatAreNotFiniteDropTheirPathOnly) {
  Parsed p(doc("<path d=\"M0 0L1e39 0L5 5\"/>"
               "<path transform=\"scale(1e30)\" d=\"M0 0L1e10 0L5 5\"/>"
               "<path d=\"M0 0L1e400 0L5 5Z M1 1L2 1L2 2Z\"/>"
               "<path transform=\"skewX(90)\" d=\"M0 0L0 5L5 5\"/>"
               "<rect width=\"1\" height=\"1\" stroke=\"red\" stroke-width=\"1e39\"/>"));
  ASSERT_NE(p.image, nullptr) << p.error;
  const auto all = shapes(p.image);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(paths(all[0]).size(), 1u) << "the finite subpath stays";
  EXPECT_TRUE(near(points(all[0]->paths)[0], {1, 1}));
  EXPECT_EQ(all[1]->stroke.type, NSVG_PAINT_NONE) << "a stroke too wide for a float is left out";
  for (const NSVGshape* s : all)
    for (const NSVGpath* path : paths(s))
      for (const Pt& pt : points(path)) EXPECT_TRUE(std::isfinite(pt.first) && std::isfinite(pt.second));

  // Radii near the float limit give finite points or no path at all.
  Parsed arc(doc("<path d=\"M0 0A1e38 1e38 0 0 1 1 1\"/><path d=\"M0 0A1e300 1e-300 45 1 0 1 1\"/>"
                 "<path d=\"M0 0A3e38 3e38 1e308 1 0 1e38 1e38\"/>"));
  ASSERT_NE(arc.image, nullptr) << arc.error;
  for (const NSVGshape* s : shapes(arc.image))
    for (const NSVGpath* path : paths(s))
      for (const Pt& pt : points(path)) EXPECT_TRUE(std::isfinite(pt.first) && std::isfinite(pt.second));
}

TEST(ReaderRefusals, HostileMarkupEndsCleanly) {
  // Entities are never expanded, and a document type is skipped.
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY a \"aaaaaaaaaa\">";
  for (char c = 'b'; c <= 'j'; ++c) {
    laughs += std::string("<!ENTITY ") + c + " \"";
    for (int i = 0; i < 10; ++i) laughs += std::string("&") + static_cast<char>(c - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><svg width=\"1\" height=\"1\"><rect width=\"1\" height=\"1\" fill=\"&j;\"/></svg>";
  Parsed p(laughs);
  ASSERT_NE(p.image, nullptr) << p.error;
  EXPECT_EQ(onlyShape(p)->fill.color, 0xFF000000u);

  // Deep nesting inside elements that are not drawn, and long reference chains.
  std::string chain = "<svg width=\"1\" height=\"1\">";
  for (int i = 0; i < 1000; ++i)
    chain += "<linearGradient id=\"g" + std::to_string(i) + "\" href=\"#g" + std::to_string((i + 1) % 1000) + "\"/>";
  chain += "<rect width=\"1\" height=\"1\" fill=\"url(#g0)\"/></svg>";
  Parsed c(chain);
  ASSERT_NE(c.image, nullptr) << c.error;
  EXPECT_EQ(onlyShape(c)->fill.type, NSVG_PAINT_NONE);
}

TEST(ReaderRefusals, NumbersIgnoreTheProcessLocale) {
  const std::string old = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  Parsed p(doc("<path stroke=\"red\" stroke-width=\"2.5\" d=\"M0.5 1.25L1e1 2.5e-1\"/>"));
  std::setlocale(LC_ALL, old.c_str());
  const auto pts = onlyPath(p);
  ASSERT_EQ(pts.size(), 4u);
  EXPECT_FLOAT_EQ(pts[0].first, 0.5f);
  EXPECT_FLOAT_EQ(pts[0].second, 1.25f);
  EXPECT_FLOAT_EQ(pts[3].first, 10.f);
  EXPECT_FLOAT_EQ(pts[3].second, 0.25f);
  EXPECT_FLOAT_EQ(onlyShape(p)->strokeWidth, 2.5f);
}

TEST(ReaderRefusals, LongNumbersAreRoundedCorrectly) {
  Parsed p(doc("<path d=\"M0.1000000000000000000000000001 123456789012345678901234567890e-29"
               "L000000000000000000000000000012 -0.000000000000000000000000000000001e30\"/>"));
  const auto pts = onlyPath(p);
  ASSERT_EQ(pts.size(), 4u);
  EXPECT_FLOAT_EQ(pts[0].first, 0.1f);
  EXPECT_FLOAT_EQ(pts[0].second, 1.2345679f);
  EXPECT_FLOAT_EQ(pts[3].first, 12.f);
  EXPECT_FLOAT_EQ(pts[3].second, -0.001f);
}

// Each number lies exactly halfway between two floats, so its float is the even one only
// when the number was first read into the nearest double: a double one step off rounds
// the other way.
TEST(ReaderRefusals, ShortNumbersAreRoundedCorrectly) {
  const struct {
    const char* text;
    float expected;
  } cases[] = {
      {"62586.439453125", 62586.4375f},
      {"-58629.798828125", -58629.796875f},
      {"63818.626953125", 63818.625f},
  };
  for (const auto& c : cases) {
    Parsed p(doc(std::string("<path d=\"M") + c.text + " 0L0 0\"/>"));
    const auto pts = onlyPath(p);
    ASSERT_EQ(pts.size(), 4u) << c.text;
    EXPECT_EQ(pts[0].first, c.expected) << c.text;
  }
}
