// How the reader paints shapes: colours and opacities, the style attribute against
// presentation attributes, inheritance, stroke properties, what is not drawn, and
// gradients with their transforms, stops and references.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/graphics/svg/reader_fixture.h"

using namespace svgtest;

namespace {

// Unit-space coordinates of an image point under a gradient's xform.
Pt toUnit(const NSVGgradient* g, float x, float y) {
  const float* m = g->xform;
  return {m[0] * x + m[2] * y + m[4], m[1] * x + m[3] * y + m[5]};
}

const char* kStops = "<stop offset=\"0\" stop-color=\"#000\"/><stop offset=\"1\" stop-color=\"#fff\"/>";

}  // namespace

TEST(ReaderPaint, ColoursArePackedWithTheirOpacity) {
  struct Case {
    const char* attrs;
    unsigned expected;
  };
  const std::vector<Case> cases = {
      {"fill=\"#FF8040\"", 0xFF4080FFu},
      {"fill=\"#f84\"", 0xFF4488FFu},
      {"fill=\"rgb(255, 128, 64)\"", 0xFF4080FFu},
      {"fill=\"rgb(100%,50%,25%)\"", 0xFF4080FFu},
      {"fill=\"rgb(300,-5,64)\"", 0xFF4000FFu},
      {"fill=\"red\"", 0xFF0000FFu},
      {"fill=\"RED\"", 0xFF0000FFu},
      {"fill=\"cornflowerblue\"", 0xFFED9564u},
      {"fill=\"currentColor\"", 0xFF000000u},
      {"fill=\"#FF8040\" fill-opacity=\"0.5\"", 0x804080FFu},
      {"fill=\"#FF8040\" fill-opacity=\"50%\"", 0x804080FFu},
      {"fill=\"#FF8040\" fill-opacity=\"7\"", 0xFF4080FFu},
      {"fill=\"#FF8040\" fill-opacity=\"-1\"", 0x004080FFu},
      // The style attribute wins over the presentation attribute.
      {"fill=\"red\" style=\"fill:#00f\"", 0xFFFF0000u},
      {"style=\"stroke: none ; fill : #00f !important;\" fill=\"red\"", 0xFFFF0000u},
      // A value that does not parse keeps what the group gave.
      {"fill=\"bogus\"", 0xFF00FF00u},
      {"fill=\"#12\"", 0xFF00FF00u},
      {"fill=\"rgb(1,2)\"", 0xFF00FF00u},
  };
  for (const Case& c : cases) {
    Parsed p(doc(std::string("<g fill=\"lime\"><rect width=\"5\" height=\"5\" ") + c.attrs + "/></g>"));
    const NSVGshape* s = onlyShape(p);
    ASSERT_NE(s, nullptr) << c.attrs;
    ASSERT_EQ(s->fill.type, NSVG_PAINT_COLOR) << c.attrs;
    EXPECT_EQ(s->fill.color, c.expected) << c.attrs << std::hex << " got " << s->fill.color;
  }
}

TEST(ReaderPaint, DefaultsAndInheritance) {
  Parsed p(doc("<rect width=\"5\" height=\"5\"/>"
               "<g stroke=\"red\" stroke-width=\"4\" stroke-linejoin=\"round\" stroke-linecap=\"square\""
               " stroke-miterlimit=\"10\" stroke-opacity=\"0.5\" fill=\"none\">"
               "<rect width=\"5\" height=\"5\"/>"
               "<rect width=\"5\" height=\"5\" stroke=\"blue\" stroke-linejoin=\"bevel\" stroke-linecap=\"round\""
               " stroke-miterlimit=\"0.5\" fill=\"inherit\"/></g>"));
  const auto all = shapes(p.image);
  ASSERT_EQ(all.size(), 3u) << p.error;
  // Fill opaque black, no stroke, width 1, miter joins at 4, butt caps, visible.
  EXPECT_EQ(all[0]->fill.type, NSVG_PAINT_COLOR);
  EXPECT_EQ(all[0]->fill.color, 0xFF000000u);
  EXPECT_EQ(all[0]->stroke.type, NSVG_PAINT_NONE);
  EXPECT_FLOAT_EQ(all[0]->strokeWidth, 1);
  EXPECT_FLOAT_EQ(all[0]->miterLimit, 4);
  EXPECT_EQ(all[0]->strokeLineJoin, NSVG_JOIN_MITER);
  EXPECT_EQ(all[0]->strokeLineCap, NSVG_CAP_BUTT);
  EXPECT_EQ(all[0]->strokeDashCount, 0);
  EXPECT_FLOAT_EQ(all[0]->opacity, 1);
  EXPECT_EQ(all[0]->flags, NSVG_FLAGS_VISIBLE);

  EXPECT_EQ(all[1]->fill.type, NSVG_PAINT_NONE);
  EXPECT_EQ(all[1]->stroke.color, 0x800000FFu);
  EXPECT_FLOAT_EQ(all[1]->strokeWidth, 4);
  EXPECT_EQ(all[1]->strokeLineJoin, NSVG_JOIN_ROUND);
  EXPECT_EQ(all[1]->strokeLineCap, NSVG_CAP_SQUARE);
  EXPECT_FLOAT_EQ(all[1]->miterLimit, 10);

  EXPECT_EQ(all[2]->fill.type, NSVG_PAINT_NONE);
  EXPECT_EQ(all[2]->stroke.color, 0x80FF0000u);
  EXPECT_EQ(all[2]->strokeLineJoin, NSVG_JOIN_BEVEL);
  EXPECT_EQ(all[2]->strokeLineCap, NSVG_CAP_ROUND);
  EXPECT_FLOAT_EQ(all[2]->miterLimit, 10) << "a miter limit below 1 is not taken";

  Parsed huge(doc("<rect width=\"5\" height=\"5\" stroke=\"red\" stroke-miterlimit=\"1e300\"/>"));
  EXPECT_FLOAT_EQ(onlyShape(huge)->miterLimit, 4) << "nor one beyond a float";
}

TEST(ReaderPaint, GroupOpacityMultipliesIntoTheShape) {
  Parsed p(doc("<g opacity=\".5\"><rect width=\"5\" height=\"5\" opacity=\".5\"/>"
               "<g style=\"opacity:0.5\"><rect width=\"5\" height=\"5\" fill-opacity=\"0.5\"/></g></g>"
               "<rect width=\"5\" height=\"5\" opacity=\"0.3\" style=\"opacity:0.6\"/>"));
  const auto all = shapes(p.image);
  ASSERT_EQ(all.size(), 3u) << p.error;
  EXPECT_FLOAT_EQ(all[0]->opacity, 0.25f);
  EXPECT_EQ(all[0]->fill.color >> 24, 0xFFu) << "the element's opacity stays out of the colour";
  EXPECT_FLOAT_EQ(all[1]->opacity, 0.25f);
  EXPECT_EQ(all[1]->fill.color >> 24, 0x80u);
  EXPECT_FLOAT_EQ(all[2]->opacity, 0.6f) << "counted once, from the style";
}

TEST(ReaderPaint, DashLists) {
  struct Case {
    const char* dashes;
    std::vector<float> expected;
  };
  const std::vector<Case> cases = {
      {"5", {5, 5}},
      {"1 2 3", {1, 2, 3, 1, 2, 3}},
      {"1,2,3,4,5", {1, 2, 3, 4, 5, 1, 2, 3}},
      {"9 8 7 6 5 4 3 2 1 1", {9, 8, 7, 6, 5, 4, 3, 2}},
      {"2px, 1in", {2, 72}},
      {"1 -2", {}},
      {"0 0", {}},
      {"none", {}},
      {"1 x", {}},
  };
  for (const Case& c : cases) {
    Parsed p(doc(std::string("<path stroke=\"red\" stroke-dasharray=\"") + c.dashes + "\" d=\"M0 0L10 0\"/>"));
    const NSVGshape* s = onlyShape(p);
    ASSERT_NE(s, nullptr) << c.dashes;
    ASSERT_EQ(s->strokeDashCount, static_cast<signed char>(c.expected.size())) << c.dashes;
    for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_FLOAT_EQ(s->strokeDashArray[i], c.expected[i]) << c.dashes;
  }
}

TEST(ReaderPaint, HiddenAndIgnoredElementsDrawNothing) {
  struct Case {
    const char* body;
    size_t shapes;
    bool lastVisible;
  };
  const std::vector<Case> cases = {
      {"<g display=\"none\"><rect width=\"5\" height=\"5\"/><g><rect width=\"5\" height=\"5\"/></g></g>", 0, true},
      {"<rect width=\"5\" height=\"5\" style=\"display:none\"/>", 0, true},
      {"<rect width=\"5\" height=\"5\" display=\"none\" style=\"display:inline\"/>", 1, true},
      {"<defs><rect width=\"5\" height=\"5\"/></defs>", 0, true},
      {"<clipPath><rect width=\"5\" height=\"5\"/></clipPath><mask><rect width=\"5\" height=\"5\"/></mask>", 0, true},
      {"<symbol><rect width=\"5\" height=\"5\"/></symbol>", 0, true},
      {"<text x=\"1\" y=\"1\">hi</text><image width=\"5\" height=\"5\"/><use href=\"#a\"/>", 0, true},
      {"<filter><rect width=\"5\" height=\"5\"/></filter><metadata><rect width=\"5\" height=\"5\"/></metadata>", 0,
       true},
      {"<rect width=\"5\" height=\"5\" visibility=\"hidden\"/>", 1, false},
      {"<g visibility=\"hidden\"><rect width=\"5\" height=\"5\" visibility=\"visible\"/></g>", 1, true},
      {"<g style=\"visibility:hidden\"><rect width=\"5\" height=\"5\"/></g>", 1, false},
  };
  for (const Case& c : cases) {
    Parsed p(doc(std::string(c.body) + "<circle cx=\"50\" cy=\"50\" r=\"1\"/>"));
    const auto all = shapes(p.image);
    ASSERT_EQ(all.size(), c.shapes + 1) << c.body;
    if (c.shapes > 0) {
      EXPECT_EQ(all[c.shapes - 1]->flags == NSVG_FLAGS_VISIBLE, c.lastVisible) << c.body;
    }
  }
  // A style sheet is not applied.
  Parsed sheet(doc("<style>rect { fill: red }</style><rect width=\"5\" height=\"5\"/>"));
  EXPECT_EQ(onlyShape(sheet)->fill.color, 0xFF000000u);
}

TEST(ReaderPaint, PrefixedNamesAreAccepted) {
  Parsed p("<svg:svg xmlns:svg=\"http://www.w3.org/2000/svg\" xmlns:xl=\"http://www.w3.org/1999/xlink\" width=\"10\""
           " height=\"10\"><svg:defs><svg:linearGradient id=\"a\">" +
           std::string(kStops) +
           "</svg:linearGradient><svg:linearGradient id=\"b\" xl:href=\"#a\"/></svg:defs>"
           "<svg:rect width=\"5\" height=\"5\" fill=\"url(#b)\"/></svg:svg>");
  const NSVGshape* s = onlyShape(p);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->fill.type, NSVG_PAINT_LINEAR_GRADIENT);
  EXPECT_EQ(s->fill.gradient->nstops, 2);
}

TEST(ReaderPaint, GradientTransformsMapTheImageIntoUnitSpace) {
  {
    Parsed p(doc(std::string("<linearGradient id=\"g\" gradientUnits=\"userSpaceOnUse\" x1=\"10\" y1=\"50\" x2=\"110\""
                             " y2=\"50\">") +
                 kStops + "</linearGradient><rect width=\"200\" height=\"100\" fill=\"url(#g)\"/>"));
    const NSVGshape* s = onlyShape(p);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->fill.type, NSVG_PAINT_LINEAR_GRADIENT);
    const float expected[6] = {0, 0.01f, -0.01f, 0, 0.5f, -0.1f};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(s->fill.gradient->xform[i], expected[i], 1e-6) << i;
  }
  {
    Parsed p(doc(std::string("<radialGradient id=\"g\" gradientUnits=\"userSpaceOnUse\" cx=\"50\" cy=\"50\" r=\"25\">") +
                 kStops + "</radialGradient><rect width=\"200\" height=\"100\" fill=\"url(#g)\"/>"));
    const NSVGshape* s = onlyShape(p);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->fill.type, NSVG_PAINT_RADIAL_GRADIENT);
    const float expected[6] = {0.04f, 0, 0, 0.04f, -2, -2};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(s->fill.gradient->xform[i], expected[i], 1e-6) << i;
  }
  // Where the start (unit y 0) and the end (unit y 1) of the vector land in the image.
  struct Case {
    const char* gradient;  // attributes of the linearGradient
    const char* shape;
    Pt start, end;  // image points
  };
  const std::vector<Case> cases = {
      // The default bounding box units: the vector spans the shape left to right.
      {"", "<rect x=\"10\" y=\"0\" width=\"100\" height=\"50\"", {10, 0}, {110, 0}},
      {"x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\"", "<rect x=\"10\" y=\"20\" width=\"100\" height=\"50\"", {10, 20}, {10, 70}},
      {"x1=\"50%\" x2=\"100%\"", "<rect x=\"10\" y=\"0\" width=\"100\" height=\"50\"", {60, 0}, {110, 0}},
      // The shape's own transform moves the box with it.
      {"", "<rect transform=\"translate(5 0) scale(2)\" x=\"10\" width=\"50\" height=\"5\"", {25, 0}, {125, 0}},
      // The box is the curve's, not its control points' (those reach up to y = -30).
      {"x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\"", "<path d=\"M0 0C0 -30 10 -30 10 0\"", {0, -22.5f}, {0, 0}},
      {"gradientUnits=\"userSpaceOnUse\" x1=\"0\" x2=\"100\" gradientTransform=\"translate(10 0)\"",
       "<rect width=\"200\" height=\"50\"", {10, 0}, {110, 0}},
      {"gradientUnits=\"userSpaceOnUse\" x1=\"0\" x2=\"100\"", "<rect transform=\"scale(2)\" width=\"100\" height=\"50\"",
       {0, 0}, {200, 0}},
      // Percentages of user space are of the viewport (200 wide here).
      {"gradientUnits=\"userSpaceOnUse\" x1=\"25%\" x2=\"75%\"", "<rect width=\"200\" height=\"50\"", {50, 0},
       {150, 0}},
  };
  for (const Case& c : cases) {
    Parsed p(doc(std::string("<linearGradient id=\"g\" ") + c.gradient + ">" + kStops + "</linearGradient>" + c.shape +
                 " fill=\"url(#g)\"/>"));
    const NSVGshape* s = onlyShape(p);
    ASSERT_NE(s, nullptr) << c.gradient;
    ASSERT_EQ(s->fill.type, NSVG_PAINT_LINEAR_GRADIENT) << c.gradient << c.shape;
    EXPECT_NEAR(toUnit(s->fill.gradient, c.start.first, c.start.second).second, 0, 1e-4) << c.gradient << c.shape;
    EXPECT_NEAR(toUnit(s->fill.gradient, c.end.first, c.end.second).second, 1, 1e-4) << c.gradient << c.shape;
  }
}

TEST(ReaderPaint, GradientStopsAndDegenerateGradients) {
  {
    Parsed p(doc("<linearGradient id=\"g\" spreadMethod=\"reflect\"><stop offset=\"0.5\" stop-color=\"red\"/>"
                 "<stop offset=\"30%\" style=\"stop-color:#00f;stop-opacity:0.5\"/><stop offset=\"2\"/></linearGradient>"
                 "<rect width=\"5\" height=\"5\" fill=\"url(#g)\" fill-opacity=\"0.5\"/>"));
    const NSVGshape* s = onlyShape(p);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->fill.type, NSVG_PAINT_LINEAR_GRADIENT);
    const NSVGgradient* g = s->fill.gradient;
    EXPECT_EQ(g->spread, NSVG_SPREAD_REFLECT);
    ASSERT_EQ(g->nstops, 3);
    EXPECT_FLOAT_EQ(g->stops[0].offset, 0.5f);
    EXPECT_FLOAT_EQ(g->stops[1].offset, 0.5f) << "never below the previous";
    EXPECT_FLOAT_EQ(g->stops[2].offset, 1.f) << "clamped";
    EXPECT_EQ(g->stops[0].color, 0x800000FFu) << "fill-opacity scales the stops";
    EXPECT_EQ(g->stops[1].color, 0x40FF0000u);
    EXPECT_EQ(g->stops[2].color, 0x80000000u);
  }
  struct Case {
    const char* defs;
    const char* shape;
    signed char type;
    unsigned color;  // for a colour paint
  };
  const std::vector<Case> cases = {
      {"<linearGradient id=\"g\"/>", "<rect width=\"5\" height=\"5\"", NSVG_PAINT_NONE, 0},
      {"<linearGradient id=\"g\"><stop stop-color=\"#0f0\" stop-opacity=\"0.5\"/></linearGradient>",
       "<rect width=\"5\" height=\"5\"", NSVG_PAINT_COLOR, 0x8000FF00u},
      {"<linearGradient id=\"g\" x2=\"0\"><stop/><stop stop-color=\"#00f\"/></linearGradient>",
       "<rect width=\"5\" height=\"5\"", NSVG_PAINT_COLOR, 0xFFFF0000u},
      {"<radialGradient id=\"g\" r=\"0\"><stop/><stop stop-color=\"#00f\"/></radialGradient>",
       "<rect width=\"5\" height=\"5\"", NSVG_PAINT_COLOR, 0xFFFF0000u},
      // A bounding box of no area.
      {"<linearGradient id=\"g\"><stop/><stop offset=\"1\"/></linearGradient>",
       "<line x2=\"10\" stroke=\"red\"", NSVG_PAINT_NONE, 0},
      // A gradient transform that cannot be inverted.
      {"<linearGradient id=\"g\" gradientTransform=\"scale(0)\"><stop/><stop offset=\"1\"/></linearGradient>",
       "<rect width=\"5\" height=\"5\"", NSVG_PAINT_NONE, 0},
      // A missing id: none, or the fallback colour.
      {"", "<rect width=\"5\" height=\"5\"", NSVG_PAINT_NONE, 0},
  };
  for (const Case& c : cases) {
    Parsed p(doc(std::string(c.defs) + c.shape + " fill=\"url(#g)\"/>"));
    const NSVGshape* s = onlyShape(p);
    ASSERT_NE(s, nullptr) << c.defs;
    EXPECT_EQ(s->fill.type, c.type) << c.defs;
    if (c.type == NSVG_PAINT_COLOR) {
      EXPECT_EQ(s->fill.color, c.color) << c.defs;
    }
  }
  Parsed fallback(doc("<rect width=\"5\" height=\"5\" fill=\"url(#nothing) red\"/>"));
  EXPECT_EQ(onlyShape(fallback)->fill.color, 0xFF0000FFu);
}

TEST(ReaderPaint, GradientReferencesInheritAndEnd) {
  // Stops and attributes come along the href chain; the gradient itself may come later.
  Parsed p(doc(std::string("<rect width=\"100\" height=\"10\" fill=\"url(#c)\"/>") +
               "<linearGradient id=\"c\" xlink:href=\"#b\"/>"
               "<linearGradient id=\"b\" href=\"#a\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" x2=\"50\"/>"
               "<linearGradient id=\"a\" x1=\"999\" spreadMethod=\"repeat\">" +
               kStops + "</linearGradient>"));
  const NSVGshape* s = onlyShape(p);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->fill.type, NSVG_PAINT_LINEAR_GRADIENT);
  EXPECT_EQ(s->fill.gradient->nstops, 2);
  EXPECT_EQ(s->fill.gradient->spread, NSVG_SPREAD_REPEAT);
  EXPECT_NEAR(toUnit(s->fill.gradient, 50, 0).second, 1, 1e-5);

  // A cycle of references ends: with no stops anywhere, none.
  Parsed cycle(doc("<linearGradient id=\"a\" href=\"#b\"/><linearGradient id=\"b\" href=\"#a\"/>"
                   "<rect width=\"5\" height=\"5\" fill=\"url(#a)\"/>"));
  ASSERT_NE(onlyShape(cycle), nullptr);
  EXPECT_EQ(onlyShape(cycle)->fill.type, NSVG_PAINT_NONE);
  Parsed self(doc(std::string("<linearGradient id=\"a\" href=\"#a\">") + kStops +
                  "</linearGradient><rect width=\"5\" height=\"5\" fill=\"url(#a)\"/>"));
  EXPECT_EQ(onlyShape(self)->fill.type, NSVG_PAINT_LINEAR_GRADIENT);
}
