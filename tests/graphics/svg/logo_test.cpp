// The product's logo: it parses in the units the panel asks for, into outlined letters
// whose counters are subpaths of their letter, flat fills with opacity and one gradient.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/graphics/svg/reader_fixture.h"

using namespace svgtest;

namespace {

std::string readLogo() {
  std::ifstream in(SP_RESOURCES_DIR "/spectrapoise-lockup.svg", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST(ReaderLogo, TheLockupParsesIntoOutlinedLettersWithOneGradient) {
  const std::string text = readLogo();
  ASSERT_FALSE(text.empty());
  for (const char* banned : {"<text", "<use", "<style", "<image"})
    EXPECT_EQ(text.find(banned), std::string::npos) << banned;

  Parsed p(text, "px", 72);
  ASSERT_NE(p.image, nullptr) << p.error;
  EXPECT_GT(p.image->width, 0.f);
  EXPECT_GT(p.image->height, 0.f);
  EXPECT_GT(p.image->width / p.image->height, 2.f) << "a lockup is wider than tall";

  int gradients = 0, withCounters = 0, translucent = 0;
  for (const NSVGshape* s : shapes(p.image)) {
    EXPECT_EQ(s->stroke.type, NSVG_PAINT_NONE);
    ASSERT_TRUE(s->fill.type == NSVG_PAINT_COLOR || s->fill.type == NSVG_PAINT_LINEAR_GRADIENT);
    if (s->fill.type == NSVG_PAINT_LINEAR_GRADIENT) ++gradients;
    if (s->fill.type == NSVG_PAINT_COLOR && (s->fill.color >> 24) < 255) ++translucent;
    if (paths(s).size() > 1) ++withCounters;
    for (const NSVGpath* path : paths(s)) {
      EXPECT_EQ(path->closed, 1);
      // Everything inside the image.
      EXPECT_GE(path->bounds[0], 0.f);
      EXPECT_GE(path->bounds[1], 0.f);
      EXPECT_LE(path->bounds[2], p.image->width);
      EXPECT_LE(path->bounds[3], p.image->height);
    }
  }
  EXPECT_EQ(gradients, 1);
  EXPECT_GE(withCounters, 8) << "letters with counters (and the i's dot) keep them as subpaths";
  EXPECT_GE(translucent, 12) << "flat fills with opacity";
}
