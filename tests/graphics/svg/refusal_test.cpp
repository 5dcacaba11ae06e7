// Texts the reader refuses (null and a reason, never a partial image), hostile input that
// must end cleanly, values that are not finite, and numbers read without the locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <vector>

#include "tests/graphics/svg/reader_fixture.h"

using namespace svgtest;

namespace {

std::string nestedGroups(int n) {
  std::string text = "<svg width=\"10\" height=\"10\">";
  for (int i = 0; i < n; ++i) text += "<g>";
  text += "<rect width=\"1\" height=\"1\"/>";
  for (int i = 0; i < n; ++i) text += "</g>";
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
