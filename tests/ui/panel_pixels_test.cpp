// The product's panel with the real plug-in, drawn by the NanoVG drawing class on the
// software renderer at screen scales 1 and 2 while audio plays: chosen pixels (window
// background, bar, main panel, the CORRECT dot in the accent, the Low knob's value arc
// under and without its shade), an incremental frame equal to a full redraw after every
// kind of change (switches, shades, a title moved by the update notice inside the dirty
// scan, a rebuild, a resize), a long title fitted left of the update notice, written as
// PNGs for a look (SP_RENDER_PNG_DIR, else a temporary folder).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/ITextControl.h"
#include "tests/support/plugin/nanovg_panel.h"
#include "tests/support/render/metal_target.h"
#include "tests/ui/product_panel.h"
#include "ui/update_pill.h"

namespace {

using namespace plugkit::canvas;
using namespace spectrapoise::plugin;
using sp::test::NanoVGTestCanvas;
using sp::test::Rgba;

class PanelPixels : public ::testing::TestWithParam<float> {
protected:
  void SetUp() override {
    panel = std::make_unique<sp::test::NanoVGPanel>(GetParam(), SP_SOURCE_DIR);
    screen = panel->screen;
    plug = panel->plug.get();
    g = panel->g;
    ASSERT_NE(g, nullptr);
  }
  void TearDown() override { panel.reset(); }

  void play(double seconds) { panel->play(seconds); }
  void offer(const std::string& version) { panel->offer(version); }
  // The view's pixel at panel coordinates (scaled by the draw and screen scales).
  Rgba at(float x, float y) const {
    const float k = g->GetDrawScale() * screen;
    return g->drawablePixel(static_cast<int>(x * k), static_cast<int>(y * k));
  }
  // One frame, then the same picture redrawn in full: the two must be equal (a difference
  // is a lost dirty mark, which leaves stale content). A channel may differ by one level:
  // where a region's clip edge crosses an anti-aliased edge, the renderer's soft clip
  // computes a coverage a rounding error below 1, which can round a blend down.
  void expectIncrementalEqualsFull(const std::string& step) {
    SCOPED_TRACE(step);
    g->tick();
    int w = 0, h = 0;
    const std::vector<uint8_t> incremental = g->drawablePixels(&w, &h);
    g->redrawAll();
    const std::vector<uint8_t> full = g->drawablePixels();
    ASSERT_EQ(incremental.size(), full.size());
    std::size_t differing = 0, first = full.size();
    for (std::size_t i = 0; i < full.size(); ++i)
      if (std::abs(int(incremental[i]) - int(full[i])) > 1) {
        ++differing;
        first = std::min(first, i);
      }
    EXPECT_EQ(differing, 0u) << "first at x " << (first / 4) % static_cast<std::size_t>(w) << ", y "
                             << (first / 4) / static_cast<std::size_t>(w);
    if (differing != 0) {
      sp::test::savePng("panel-incremental-" + step, w, h, incremental);
      sp::test::savePng("panel-full-" + step, w, h, full);
    }
  }
  std::string scaleTag() const { return screen > 1.f ? "2x" : "1x"; }

  std::unique_ptr<sp::test::NanoVGPanel> panel;
  float screen = 1.f;
  SpectraPoise* plug = nullptr;
  NanoVGTestCanvas* g = nullptr;
};

bool near(const Rgba& p, int r, int gr, int b, int tol = 3) {
  return std::abs(p[0] - r) <= tol && std::abs(p[1] - gr) <= tol && std::abs(p[2] - b) <= tol;
}

std::string str(const Rgba& p) {
  return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) + ")";
}

}  // namespace

TEST_P(PanelPixels, ThePanelWhileAudioPlaysWithCorrectOn) {
  play(3.0);
  g->redrawAll();
  int w = 0, h = 0;
  const std::vector<uint8_t> px = g->drawablePixels(&w, &h);
  EXPECT_EQ(w, static_cast<int>(640 * screen));
  EXPECT_EQ(h, static_cast<int>(400 * screen));
  const std::string path = sp::test::savePng("panel-" + scaleTag(), w, h, px);
  std::printf("panel picture: %s\n", path.c_str());

  EXPECT_TRUE(near(at(5, 200), 10, 10, 10)) << str(at(5, 200));      // window background
  EXPECT_TRUE(near(at(320, 12), 17, 17, 17)) << str(at(320, 12));    // preset bar, between the buttons
  EXPECT_TRUE(near(at(14, 200), 20, 20, 20)) << str(at(14, 200));    // main panel
  EXPECT_TRUE(near(at(29, 267), 21, 232, 121)) << str(at(29, 267));  // the CORRECT dot, green
  EXPECT_TRUE(near(at(209, 326), 21, 232, 121, 40)) << str(at(209, 326));  // the Low knob's value arc
  EXPECT_TRUE(near(at(632, 395), 36 * 250 / 255 + 10, 36 * 250 / 255 + 10, 36 * 250 / 255 + 10, 20))
      << str(at(632, 395));  // the corner's triangle over the window background
}

TEST_P(PanelPixels, ShadesDarkenTheKnobRowWhileCorrectIsOff) {
  play(0.5);
  g->redrawAll();
  const Rgba lit = at(209, 326);
  panel->setParam(kCorrect, 0.0);
  plug->OnIdle();
  g->tick();
  const Rgba shaded = at(209, 326);
  // The shade (173 of 255 over the arc) leaves about a third of the arc's green.
  EXPECT_LT(shaded[1], lit[1] / 2) << str(lit) << " " << str(shaded);
  EXPECT_GT(shaded[1], 40) << str(shaded);
  // Over the bare panel it cannot be seen.
  EXPECT_TRUE(near(at(300, 355), 20, 20, 20)) << str(at(300, 355));
}

TEST_P(PanelPixels, AnIncrementalFrameEqualsAFullRedrawAfterEveryKindOfChange) {
  play(1.0);
  g->redrawAll();
  expectIncrementalEqualsFull("playing");

  play(0.2);
  expectIncrementalEqualsFull("ticks");

  // Freeze on, Correct off, Bypass on: each shade shows or hides.
  const std::pair<int, double> edits[] = {{kFreeze, 1.0}, {kCorrect, 0.0}, {kBypass, 1.0}};
  for (const auto& [p, v] : edits) {
    plug->setFromPanel(p, v);
    plug->OnIdle();
    expectIncrementalEqualsFull("param-" + std::to_string(p));
    // The FREEZE pill shows the freeze: its dot lit in the accent.
    if (p == kFreeze) {
      EXPECT_TRUE(near(at(29, 293), 21, 232, 121)) << str(at(29, 293));
    }
  }
  plug->setFromPanel(kBypass, 0.0);
  plug->setFromPanel(kCorrect, 1.0);
  plug->OnIdle();
  expectIncrementalEqualsFull("back");

  // A long track label, then an update notice that fills the pill's whole space (a larger
  // pill text makes the longest version reach it): the title shrinks to end at 354 during
  // the dirty scan, uncovering 354.75 .. 363.25, which lies outside the pill.
  uitest::setTrackName(*plug, "A very long track name that runs all the way under the update notice", 12);
  plug->OnIdle();
  expectIncrementalEqualsFull("long-title");
  auto* pill = dynamic_cast<brightloom::controls::UpdatePillControl*>(g->GetControl(30));
  ASSERT_NE(pill, nullptr);
  pill->SetText(pill->GetText().WithSize(14.f));
  offer("1234.5678.9012");
  expectIncrementalEqualsFull("notice");
  EXPECT_EQ(pill->pillRect(), IRECT(364, 41, 524, 65));
  EXPECT_EQ(g->GetControlWithTag(0)->GetRECT(), IRECT(20, 41, 354, 69));
  offer("");
  expectIncrementalEqualsFull("notice-gone");

  plug->setAccentIndex(3);
  plug->OnIdle();
  expectIncrementalEqualsFull("rebuild");
  EXPECT_TRUE(near(at(29, 267), 0, 184, 255)) << str(at(29, 267));

  plug->applyEditorScale(1.5f);
  expectIncrementalEqualsFull("resize");
  EXPECT_EQ(g->WindowWidth(), 960);
  EXPECT_TRUE(near(at(29, 267), 0, 184, 255)) << str(at(29, 267));
  play(0.2);
  expectIncrementalEqualsFull("scaled-ticks");
  int w = 0, h = 0;
  const std::vector<uint8_t> px = g->drawablePixels(&w, &h);
  sp::test::savePng("panel-blue-1.5-" + scaleTag(), w, h, px);
}

TEST_P(PanelPixels, ALongTitleEndsInAnEllipsisLeftOfTheUpdateNotice) {
  uitest::setTrackName(*plug, "Lead Vocal Doubles and Harmonies Bus (Chorus 2, comped)", 12);
  plug->OnIdle();
  offer("0.5.0");
  g->tick();  // the pill lays itself out and narrows the title
  const IRECT title = g->GetControlWithTag(0)->GetRECT();
  auto* pill = dynamic_cast<brightloom::controls::UpdatePillControl*>(g->GetControl(30));
  ASSERT_NE(pill, nullptr);
  ASSERT_FALSE(pill->pillRect().IsEmpty());
  ASSERT_EQ(title.R, pill->pillRect().L - 10.f);
  g->redrawAll();
  int w = 0, h = 0;
  const std::vector<uint8_t> px = g->drawablePixels(&w, &h);
  sp::test::savePng("panel-long-title-" + scaleTag(), w, h, px);
  // The text ends within the title's rectangle: from its right edge to the pill the row
  // is bare window background (a letter cut by the clip would reach past the edge).
  for (float x = title.R + 0.5f / screen; x < pill->pillRect().L; x += 0.5f / screen)
    for (float y = title.T; y < title.B; y += 0.5f / screen)
      ASSERT_TRUE(near(at(x, y), 10, 10, 10)) << "x " << x << ", y " << y << ": " << str(at(x, y));
  // And the text reaches near that edge: the ellipsis stands where the cut is.
  bool inked = false;
  for (float x = title.R - 12.f; x < title.R; x += 0.5f / screen)
    for (float y = title.T; y < title.B; y += 0.5f / screen) inked = inked || !near(at(x, y), 10, 10, 10, 20);
  EXPECT_TRUE(inked);
}

TEST_P(PanelPixels, ThePillMeasuresItsTextOutsideAFrameAsItIsMeasuredWhileDrawing) {
  auto* pill = dynamic_cast<brightloom::controls::UpdatePillControl*>(g->GetControl(30));
  ASSERT_NE(pill, nullptr);
  float drawnWidth = -1.f;
  g->AttachControl(new sp::test::DrawControl(IRECT(0, 0, 1, 1), [&](ICanvas& c, const IRECT&) {
    IRECT box;
    drawnWidth = c.MeasureText(pill->GetText(), pill->label().c_str(), box);
  }));
  for (const float scale : {1.f, 1.5f}) {
    SCOPED_TRACE(scale);
    plug->applyEditorScale(scale);
    offer("");
    g->tick();
    offer("0.5.0");
    g->tick();  // the pill lays itself out in the dirty scan, outside the frame
    ASSERT_FALSE(pill->pillRect().IsEmpty());
    g->redrawAll();
    EXPECT_NEAR(pill->pillRect().W() - 16.f, drawnWidth, 0.01f);
    EXPECT_GT(drawnWidth, 50.f);
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, PanelPixels, ::testing::Values(1.f, 2.f),
                         [](const ::testing::TestParamInfo<float>& info) { return info.param > 1.f ? "x2" : "x1"; });
