// Where the reader puts shapes: the image size in output units, the viewBox with
// preserveAspectRatio, element and group transforms, and lengths that scale with them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/graphics/svg/reader_fixture.h"

using namespace svgtest;

namespace {

// The box of all points of the first shape.
struct Box {
  float l, t, r, b;
};

Box boxOf(const Parsed& p) {
  const auto all = shapes(p.image);
  EXPECT_FALSE(all.empty()) << p.error;
  if (all.empty()) return {};
  Box box{1e30f, 1e30f, -1e30f, -1e30f};
  for (const NSVGpath* path : paths(all[0]))
    for (const Pt& pt : points(path)) {
      box.l = std::min(box.l, pt.first);
      box.t = std::min(box.t, pt.second);
      box.r = std::max(box.r, pt.first);
      box.b = std::max(box.b, pt.second);
    }
  return box;
}

void expectBox(const Box& actual, const Box& expected, const std::string& what) {
  EXPECT_NEAR(actual.l, expected.l, 1e-3) << what;
  EXPECT_NEAR(actual.t, expected.t, 1e-3) << what;
  EXPECT_NEAR(actual.r, expected.r, 1e-3) << what;
  EXPECT_NEAR(actual.b, expected.b, 1e-3) << what;
}

}  // namespace

TEST(ReaderPlacement, ViewBoxIsFittedByPreserveAspectRatio) {
  struct Case {
    const char* aspect;  // null: not given
    Box expected;
  };
  const std::vector<Case> cases = {
      {nullptr, {50, 0, 150, 100}},
      {"xMidYMid meet", {50, 0, 150, 100}},
      {"none", {0, 0, 200, 100}},
      {"xMidYMid slice", {0, -50, 200, 150}},
      {"xMinYMin slice", {0, 0, 200, 200}},
      {"xMaxYMax slice", {0, -100, 200, 100}},
      {"xMinYMax", {0, 0, 100, 100}},
      {"xMaxYMin meet", {100, 0, 200, 100}},
      {"bogus", {50, 0, 150, 100}},
  };
  for (const Case& c : cases) {
    std::string svg = "<svg width=\"200\" height=\"100\" viewBox=\"0 0 100 100\"";
    if (c.aspect != nullptr) svg += std::string(" preserveAspectRatio=\"") + c.aspect + "\"";
    svg += "><rect width=\"100\" height=\"100\"/></svg>";
    Parsed p(svg);
    ASSERT_NE(p.image, nullptr) << p.error;
    EXPECT_FLOAT_EQ(p.image->width, 200);
    EXPECT_FLOAT_EQ(p.image->height, 100);
    expectBox(boxOf(p), c.expected, c.aspect != nullptr ? c.aspect : "default");
  }
}

TEST(ReaderPlacement, TransformsApplyToPointsAndStrokes) {
  struct Case {
    const char* body;
    Pt first;
    float strokeWidth;
  };
  const std::vector<Case> cases = {
      {"<g transform=\"translate(10,20) scale(2)\"><rect width=\"5\" height=\"5\" stroke=\"red\" stroke-width=\"3\"/></g>",
       {10, 20}, 6},
      {"<path transform=\"rotate(90)\" d=\"M10 0L20 0\" stroke=\"red\"/>", {0, 10}, 1},
      {"<path transform=\"rotate(90 10 10)\" d=\"M20 10L30 10\"/>", {10, 20}, 1},
      // The leftmost transform is the outermost.
      {"<path transform=\"translate(10 0) scale(2)\" d=\"M1 0L2 0\"/>", {12, 0}, 2},
      {"<path transform=\"scale(2) translate(10 0)\" d=\"M1 0L2 0\"/>", {22, 0}, 2},
      {"<path transform=\"scale(2,4)\" d=\"M1 1L2 2\"/>", {2, 4}, 3},
      {"<path transform=\"matrix(1 0 0 1 5 6)\" d=\"M1 1L2 2\"/>", {6, 7}, 1},
      // The mean of the axis scales: (1 + sqrt 2) / 2.
      {"<path transform=\"skewX(45)\" d=\"M0 10L1 10\"/>", {10, 10}, 1.2071068f},
      {"<path transform=\"skewY(45)\" d=\"M10 0L10 1\"/>", {10, 10}, 1.2071068f},
      {"<g transform=\"translate(100)\"><g transform=\"scale(3)\"><path d=\"M1 1L2 2\"/></g></g>", {103, 3}, 3},
      // A transform that does not parse is left out as a whole.
      {"<path transform=\"translate(10 10) frob(2)\" d=\"M1 1L2 2\"/>", {1, 1}, 1},
      {"<path transform=\"translate(10\" d=\"M1 1L2 2\"/>", {1, 1}, 1},
  };
  for (const Case& c : cases) {
    Parsed p(doc(c.body, 500, 500));
    const NSVGshape* s = onlyShape(p);
    ASSERT_NE(s, nullptr) << c.body;
    EXPECT_TRUE(near(points(s->paths)[0], c.first)) << c.body;
    EXPECT_NEAR(s->strokeWidth, c.strokeWidth, 1e-4) << c.body;
  }
}

TEST(ReaderPlacement, SizeIsConvertedToTheOutputUnits) {
  struct Case {
    const char* size;
    const char* units;
    float dpi;
    float expected;
  };
  const std::vector<Case> cases = {
      {"1in", "px", 72, 72},  {"1in", "px", 96, 96},  {"72pt", "px", 72, 72}, {"1in", "in", 72, 1},
      {"25.4mm", "px", 72, 72}, {"2.54cm", "mm", 72, 25.4f}, {"6pc", "in", 96, 1}, {"144", "pt", 144, 72},
      {"10", "bogus", 72, 10},  {"10", nullptr, 72, 10},
  };
  for (const Case& c : cases) {
    Parsed p(std::string("<svg width=\"") + c.size + "\" height=\"" + c.size + "\"><rect width=\"1\" height=\"1\"/></svg>",
             c.units, c.dpi);
    ASSERT_NE(p.image, nullptr) << c.size << " " << p.error;
    EXPECT_NEAR(p.image->width, c.expected, 1e-3) << c.size << " in " << (c.units ? c.units : "null");
    EXPECT_NEAR(p.image->height, c.expected, 1e-3) << c.size;
  }
  // Shapes are in the output units too: one inch of a 2-inch image at 96 dpi.
  Parsed p("<svg width=\"2in\" height=\"2in\" viewBox=\"0 0 192 192\"><rect width=\"96\" height=\"96\"/></svg>", "in",
           96);
  expectBox(boxOf(p), {0, 0, 1, 1}, "inches");
}

TEST(ReaderPlacement, MissingSizeComesFromTheViewBoxElseFromTheShapes) {
  struct Case {
    const char* name;
    const char* svg;
    float width, height;
    Box firstShape;
  };
  const std::vector<Case> cases = {
      {"viewBox origin", "<svg viewBox=\"10 10 50 25\"><rect x=\"10\" y=\"10\" width=\"5\" height=\"5\"/></svg>", 50, 25,
       {0, 0, 5, 5}},
      {"percentages", "<svg width=\"100%\" height=\"50%\" viewBox=\"0 0 40 30\"><rect width=\"5\" height=\"5\"/></svg>",
       40, 30, {0, 0, 5, 5}},
      // No size at all: the image is the shapes' bounds, and they move to start at 0.
      {"bounds", "<svg><rect x=\"10\" y=\"5\" width=\"20\" height=\"10\"/><circle cx=\"40\" cy=\"10\" r=\"2\"/></svg>",
       32, 10, {0, 0, 20, 10}},
      {"height from bounds", "<svg width=\"100\"><rect x=\"10\" y=\"5\" width=\"20\" height=\"10\"/></svg>", 100, 10,
       {10, 0, 30, 10}},
  };
  for (const Case& c : cases) {
    Parsed p(c.svg);
    ASSERT_NE(p.image, nullptr) << c.name << ": " << p.error;
    EXPECT_FLOAT_EQ(p.image->width, c.width) << c.name;
    EXPECT_FLOAT_EQ(p.image->height, c.height) << c.name;
    expectBox(boxOf(p), c.firstShape, c.name);
  }
}

TEST(ReaderPlacement, PercentagesAreOfTheViewport) {
  Parsed p("<svg width=\"400\" height=\"200\" viewBox=\"0 0 200 100\">"
           "<rect x=\"10%\" y=\"50%\" width=\"50%\" height=\"25%\" stroke=\"red\" stroke-width=\"1%\"/></svg>");
  expectBox(boxOf(p), {40, 100, 240, 150}, "percent");
  // 1% of sqrt((200^2 + 100^2) / 2), times the viewBox scale of 2.
  EXPECT_NEAR(onlyShape(p)->strokeWidth, 0.02f * 158.1139f, 1e-3);
}

TEST(ReaderPlacement, DashesScaleWithTheTransform) {
  Parsed p(doc("<path transform=\"scale(2)\" stroke=\"red\" stroke-dasharray=\"1 2\" stroke-dashoffset=\"3\""
               " d=\"M0 0L10 0\"/>"));
  const NSVGshape* s = onlyShape(p);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->strokeDashCount, 2);
  EXPECT_FLOAT_EQ(s->strokeDashArray[0], 2);
  EXPECT_FLOAT_EQ(s->strokeDashArray[1], 4);
  EXPECT_FLOAT_EQ(s->strokeDashOffset, 6);
}
