// The vector knob and the product's logo through the NanoVG drawing class: real pixels at
// scale 1 and 2, written as PNGs for a look (SP_RENDER_PNG_DIR, else a temporary folder).
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "graphics/ISVGControl.h"
#include "graphics/IVKnobControl.h"
#include "tests/graphics/nanovg/nanovg_fixture.h"

namespace nanovgtest {
namespace {

std::vector<char> logoBytes() {
  std::ifstream in(std::string(SP_SOURCE_DIR) + "/resources/spectrapoise-lockup.svg", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The panel's dark background, as the logo is drawn on it.
const IColor kPanel(255, 20, 20, 20);

// Pixels of the rectangle (in main-framebuffer pixels) that differ from the background.
int paintedPixels(const Editor& e, int l, int t, int r, int b) {
  int n = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) {
      const Rgba p = e.at(x, y);
      n += std::abs(p[0] - kPanel.R) + std::abs(p[1] - kPanel.G) + std::abs(p[2] - kPanel.B) > 30 ? 1 : 0;
    }
  return n;
}

class KnobAndLogo : public ::testing::TestWithParam<float> {};

TEST_P(KnobAndLogo, DrawAtEveryScale) {
  const float s = GetParam();
  const std::vector<char> svg = logoBytes();
  ASSERT_FALSE(svg.empty());
  IVKnobControl* knob = nullptr;
  Editor e(300, 80, 1.f, s, [&](ICanvas* c) {
    knob = new IVKnobControl(IRECT(10, 10, 70, 70), IControl::ActionFunc(nullptr), "");
    c->AttachControl(knob);
    const ISVG logo = c->LoadSVG("spectrapoise-lockup.svg", static_cast<const void*>(svg.data()), static_cast<int>(svg.size()));
    ASSERT_TRUE(logo.IsValid());
    const float h = 24.f;
    c->AttachControl(new ISVGControl(IRECT(80, 28, 80 + h * logo.W() / logo.H(), 28 + h), logo));
  });
  ASSERT_NE(knob, nullptr);
  knob->SetValue(0.75);
  knob->SetDirty(false);
  e.draw([](ICanvas& g) { g.FillRect(kPanel, g.GetBounds()); });
  const std::string tag = s > 1.f ? "2x" : "1x";
  e.save("knob_and_logo_" + tag);

  const int k = static_cast<int>(s);
  // The knob: its handle fills the middle, nothing lands outside its bounds on the left.
  EXPECT_GT(paintedPixels(e, 30 * k, 30 * k, 50 * k, 50 * k), 300 * k * k);
  EXPECT_EQ(paintedPixels(e, 0, 0, 9 * k, 80 * k), 0);
  // The logo: letters cover a good part of its box, nothing below it.
  EXPECT_GT(paintedPixels(e, 80 * k, 28 * k, 290 * k, 52 * k), 400 * k * k);
  EXPECT_EQ(paintedPixels(e, 80 * k, 56 * k, 300 * k, 80 * k), 0);
}

INSTANTIATE_TEST_SUITE_P(Scales, KnobAndLogo, ::testing::Values(1.f, 2.f));

}  // namespace
}  // namespace nanovgtest
