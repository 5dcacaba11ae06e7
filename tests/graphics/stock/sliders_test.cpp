// The stock vector sliders: the slider's track and handle, what a click and a release
// send, its value text; the track base's layout, fills, step cells and peak strips; and the
// range slider's handles, which never pass each other.
#include <string>
#include <vector>

#include "graphics/stock/VectorSliders.h"
#include "tests/graphics/stock/stock_fixture.h"

using namespace stocktest;

namespace {

using StockSlidersTest = StockTest;

// A track base that records the fills and peak strips it is asked to draw.
class Bank : public IVTrackControlBase {
public:
  using IVTrackControlBase::IVTrackControlBase;
  void Draw(ICanvas& g) override {
    DrawBackground(g, mRECT);
    DrawWidget(g);
  }
  void DrawTrackHandle(ICanvas& g, const IRECT& r, int chIdx, bool above) override {
    handles.push_back(r);
    IVTrackControlBase::DrawTrackHandle(g, r, chIdx, above);
  }
  void DrawPeak(ICanvas& g, const IRECT& r, int chIdx, bool above) override {
    peaks.push_back(r);
    IVTrackControlBase::DrawPeak(g, r, chIdx, above);
  }
  std::vector<IRECT> handles;
  std::vector<IRECT> peaks;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Slider

TEST_F(StockSlidersTest, VerticalSliderTrackClickAndRelease) {
  auto* slider = attach(new IVSliderControl(IRECT(0, 0, 40, 200), kLevel, "", bareStyle(), false,
                                            EDirection::Vertical, 1.0, 10.f, 2.f));
  expectRect(slider->GetTrack(), IRECT(18, 10, 22, 190), "track");
  EXPECT_EQ(slider->GetShape(), EVShape::Ellipse);
  dlg.log.clear();
  mouse->press(20, 55);
  EXPECT_NEAR(slider->GetValue(), 0.75, 1e-12);
  mouse->release();
  EXPECT_EQ(dlg.log, (Log{"Begin 3", "Send 3 0.75", "Send 3 0.75", "End 3"}));
  EXPECT_NEAR(dlg.GetParam(kLevel)->Value(), 0.75, 1e-12);
}

// Widgets around twice the handle size (10): the track never turns inside out, so a drag
// towards the high end never lowers the value, for the slider and the range slider alike.
TEST_F(StockSlidersTest, AWidgetShorterThanTwoHandlesNeverRunsItsTrackBackwards) {
  const float sizes[] = {40.f, 22.f, 20.f, 19.f, 12.f};
  for (EDirection dir : {EDirection::Vertical, EDirection::Horizontal}) {
    const bool vertical = dir == EDirection::Vertical;
    for (float size : sizes) {
      const std::string what = std::string(vertical ? "vertical " : "horizontal ") + std::to_string(size);
      const IRECT r = vertical ? IRECT(0, 0, 40, size) : IRECT(0, 0, size, 40);
      const float length = std::max(size - 20.f, 0.f);
      auto* slider = attach(new IVSliderControl(r, kLevel, "", bareStyle(), false, dir, 1.0, 10.f, 2.f));
      const IRECT& t = slider->GetTrack();
      EXPECT_NEAR(vertical ? t.Height() : t.Width(), length, 1e-4) << what;
      EXPECT_NEAR(t.CentreX(), r.CentreX(), 1e-4) << what;
      EXPECT_NEAR(t.CentreY(), r.CentreY(), 1e-4) << what;
      dlg.hostSets(kLevel, 0.5);
      mouse->press(r.CentreX(), r.CentreY());
      mouse->dragTo(r.CentreX() + (vertical ? 0.f : 5.f), r.CentreY() - (vertical ? 5.f : 0.f));
      mouse->release();
      EXPECT_GE(slider->GetValue(), 0.5) << what;
      g->RemoveControl(slider);

      auto* range = attach(new IVRangeSliderControl(r, {kLevel, kMix}, "", bareStyle(), dir, false, 10.f, 2.f));
      for (const IRECT& track : range->GetTrackRects())
        EXPECT_NEAR(vertical ? track.Height() : track.Width(), length, 1e-4) << what << " range";
      g->RemoveControl(range);
    }
  }
}

TEST_F(StockSlidersTest, SliderFillsTheTrackUpToItsHandle) {
  auto* slider = attach(new IVSliderControl(IRECT(0, 0, 40, 200), kLevel, "", bareStyle(), false,
                                            EDirection::Vertical, 1.0, 10.f, 2.f));
  dlg.hostSets(kLevel, 0.25);
  drawOnly(*slider);
  EXPECT_EQ(colourAt(*g, 20, 170), DEFAULT_STYLE.colorSpec.GetColor(kExtra1)) << "filled part";
  EXPECT_EQ(colourAt(*g, 20, 120), DEFAULT_STYLE.colorSpec.GetColor(kShadow)) << "the rest of the track";
  EXPECT_EQ(colourAt(*g, 5, 120), COLOR_TRANSPARENT) << "beside the track: the background";
  // The handle is centred on the fill's top edge.
  const auto f = fills(*g);
  expectRect(f.back().box, IRECT(10, 135, 30, 155), "handle");

  // Horizontal, with the track running under the handle at both ends.
  auto* wide = attach(new IVSliderControl(IRECT(0, 0, 200, 40), kLevel, "", bareStyle(), false,
                                          EDirection::Horizontal, 1.0, 10.f, 2.f, true));
  expectRect(wide->GetTrack(), IRECT(10, 18, 190, 22));
  dlg.hostSets(kLevel, 0.25);
  drawOnly(*wide);
  const auto w = fills(*g);
  expectRect(w.at(1).box, IRECT(0, 18, 200, 22), "track under the handle");
  expectRect(w.at(2).box, IRECT(0, 18, 65, 22), "fill under the handle");
}

TEST_F(StockSlidersTest, SliderWithoutHandleOrTrackDrawsNeither) {
  auto* slider = attach(new IVSliderControl(IRECT(0, 0, 40, 200), kLevel, "", bareStyle(), false,
                                            EDirection::Vertical, 1.0, 0.f, 0.f));
  drawOnly(*slider);
  EXPECT_EQ(fills(*g).size(), 1u) << "the background only";
}

TEST_F(StockSlidersTest, SliderValueTextShowsTheParameterAndOpensItsTextBoxWhenEditable) {
  IVStyle style = DEFAULT_STYLE;
  style.drawFrame = false;
  auto* editable = attach(new IVSliderControl(IRECT(0, 0, 60, 200), kMix, "", style, true));
  EXPECT_STREQ(editable->GetLabelStr(), "Mix");
  EXPECT_STREQ(editable->GetValueStr(), "50.0 %");
  const IRECT value = editable->GetValueBounds();
  ASSERT_FALSE(value.IsEmpty());
  EXPECT_TRUE(editable->IsHit(value.CentreX(), value.CentreY()));
  mouse->moveTo(value.CentreX(), value.CentreY());
  EXPECT_TRUE(editable->GetValueMouseOver());

  platform.commitText("25");
  mouse->click(value.CentreX(), value.CentreY());
  platform.queue.drain();
  ASSERT_EQ(platform.textEntries.size(), 1u);
  expectRect(platform.textEntries[0].bounds, value, "the box over the value");
  EXPECT_EQ(dlg.GetParam(kMix)->Value(), 25.0);
  EXPECT_STREQ(editable->GetValueStr(), "25.0 %");

  // Not editable: the value text takes no click.
  auto* fixed = attach(new IVSliderControl(IRECT(100, 0, 160, 200), kMix, "", style, false));
  const IRECT fixedValue = fixed->GetValueBounds();
  EXPECT_FALSE(fixed->IsHit(fixedValue.CentreX(), fixedValue.CentreY()));

  // Shown values off: no value rectangle, and no prompt.
  IVStyle hidden = style;
  hidden.showValue = false;
  auto* quiet = attach(new IVSliderControl(IRECT(200, 0, 260, 200), kMix, "", hidden, true));
  EXPECT_TRUE(quiet->GetValueBounds().IsEmpty());
  mouse->click(230, 195);
  EXPECT_EQ(platform.textEntries.size(), 1u);
}

TEST_F(StockSlidersTest, SliderDoubleClickResetsToTheDefault) {
  auto* slider = attach(new IVSliderControl(IRECT(0, 0, 40, 200), kMix, "", bareStyle()));
  dlg.hostSets(kMix, 0.9);
  dlg.log.clear();
  mouse->doubleClick(20, 100);
  EXPECT_NEAR(slider->GetValue(), 0.5, 1e-12);
  EXPECT_EQ(dlg.log.back(), "End 4");
}

// ---------------------------------------------------------------------------------------
// Track base

TEST_F(StockSlidersTest, TrackBaseLaysOutOneTrackPerValueAndFindsThemByPosition) {
  auto* bank = attach(new Bank(IRECT(0, 0, 40, 100), "", bareStyle(), {kLevel, kMix}, 4));
  bank->SetTrackGap(2.f);
  bank->OnResize();
  ASSERT_EQ(bank->GetTrackRects().size(), 2u);
  expectRect(bank->GetTrackRects()[0], IRECT(0, 0, 18, 98));
  expectRect(bank->GetTrackRects()[1], IRECT(20, 0, 38, 98));
  // Five cells with the extra lowest step, entry 0 at the bottom.
  ASSERT_EQ(bank->GetStepRects().size(), 5u);
  expectRect(bank->GetStepRects()[0], IRECT(0, 80, 40, 100));
  expectRect(bank->GetStepRects()[4], IRECT(0, 0, 40, 20));
  EXPECT_EQ(bank->GetValIdxForPos(25, 50), 1);
  EXPECT_EQ(bank->GetValIdxForPos(19, 50), -1);
  mouse->moveTo(5, 50);
  EXPECT_EQ(bank->GetMouseOverTrack(), 0);
  mouse->moveTo(500, 500);
  EXPECT_EQ(bank->GetMouseOverTrack(), -1);

  auto* horizontal = attach(new Bank(IRECT(0, 200, 100, 220), "", bareStyle(), {kLevel}, 3,
                                     EDirection::Horizontal));
  expectRect(horizontal->GetStepRects()[0], IRECT(75, 200, 100, 220), "entry 0 at the right");
}

TEST_F(StockSlidersTest, StepCellsFollowTheValueTheSameWayInBothDirections) {
  struct Case {
    const char* name;
    int steps;
    bool extraLowest;
    double origin;
    double value;
    int cell;  // counted from the start edge; -1: none drawn
  };
  const std::vector<Case> cases = {
      {"4 cells, a quarter", 4, false, 0, 0.25, 0},
      {"4 cells, just past a quarter", 4, false, 0, 0.26, 1},
      {"4 cells, a half", 4, false, 0, 0.5, 1},
      {"4 cells, full", 4, false, 0, 1.0, 3},
      {"4 cells, empty", 4, false, 0, 0.0, -1},
      {"extra lowest step, empty", 4, true, 0, 0.0, 0},
      {"extra lowest step, a fifth", 4, true, 0, 0.2, 0},
      {"extra lowest step, full", 4, true, 0, 1.0, 4},
      {"below a raised origin", 4, false, 0.5, 0.2, 0},
      {"above a raised origin", 4, false, 0.5, 0.8, 3},
  };
  for (EDirection direction : {EDirection::Vertical, EDirection::Horizontal}) {
    const bool vertical = direction == EDirection::Vertical;
    for (const Case& c : cases) {
      const std::string name = std::string(c.name) + (vertical ? " (vertical)" : " (horizontal)");
      const IRECT bounds = vertical ? IRECT(0, 0, 20, 100) : IRECT(0, 0, 100, 20);
      auto* bank = attach(new Bank(bounds, "", bareStyle(), {kLevel}, c.steps, direction));
      bank->SetExtraLowestStep(c.extraLowest);
      bank->SetBaseValue(c.origin);
      bank->OnResize();
      bank->SetValue(c.value);
      drawOnly(*bank);
      EXPECT_TRUE(bank->peaks.empty()) << name;
      if (c.cell < 0) {
        EXPECT_TRUE(bank->handles.empty()) << name;
      } else {
        ASSERT_EQ(bank->handles.size(), 1u) << name;
        const float n = static_cast<float>(c.steps + (c.extraLowest ? 1 : 0));
        const float size = 100.f / n, k = static_cast<float>(c.cell);
        const IRECT expected = vertical ? IRECT(0, 100 - (k + 1) * size, 20, 100 - k * size)
                                        : IRECT(k * size, 0, (k + 1) * size, 20);
        expectRect(bank->handles[0], expected, name);
      }
      g->RemoveControl(bank);
    }
  }
}

TEST_F(StockSlidersTest, ContinuousTrackFillsFromItsOriginAndMarksTheFarEdge) {
  struct Case {
    const char* name;
    EDirection direction;
    double origin, value;
    IRECT fill, peak;
  };
  const std::vector<Case> cases = {
      {"vertical from the bottom", EDirection::Vertical, 0, 0.25, {0, 75, 20, 100}, {0, 75, 20, 76}},
      {"vertical below the origin", EDirection::Vertical, 0.5, 0.2, {0, 50, 20, 80}, {0, 79, 20, 80}},
      {"vertical above the origin", EDirection::Vertical, 0.5, 0.7, {0, 30, 20, 50}, {0, 30, 20, 31}},
      {"horizontal from the left", EDirection::Horizontal, 0, 0.25, {0, 0, 25, 20}, {24, 0, 25, 20}},
      {"horizontal below the origin", EDirection::Horizontal, 0.5, 0.2, {20, 0, 50, 20}, {20, 0, 21, 20}},
  };
  for (const Case& c : cases) {
    const IRECT bounds = c.direction == EDirection::Vertical ? IRECT(0, 0, 20, 100) : IRECT(0, 0, 100, 20);
    auto* bank = attach(new Bank(bounds, "", bareStyle(), {kLevel}, 0, c.direction));
    bank->SetBaseValue(c.origin);
    bank->SetValue(c.value);
    drawOnly(*bank);
    ASSERT_EQ(bank->handles.size(), 1u) << c.name;
    ASSERT_EQ(bank->peaks.size(), 1u) << c.name;
    expectRect(bank->handles[0], c.fill, std::string(c.name) + " fill");
    expectRect(bank->peaks[0], c.peak, std::string(c.name) + " peak");
    g->RemoveControl(bank);
  }

  // The origin is marked across the background by a line in the shadow colour.
  auto* bank = attach(new Bank(IRECT(0, 0, 20, 100), "", bareStyle(), {kLevel}));
  bank->SetBaseValue(0.5);
  drawOnly(*bank);
  const auto strokes = g->opsOf({sp::test::DrawOp::PathStroke});
  ASSERT_EQ(strokes.size(), 1u);
  EXPECT_EQ(sp::test::colorOf(strokes[0]), DEFAULT_STYLE.colorSpec.GetColor(kShadow));
  const auto paths = sp::test::described(*g, false);
  EXPECT_NE(std::find(paths.begin(), paths.end(), "M 0 50"), paths.end());
}

// ---------------------------------------------------------------------------------------
// Range slider

TEST_F(StockSlidersTest, RangeSliderPressPicksItsHandleWithoutHoverAndStopsAtTheNeighbour) {
  struct Case {
    const char* name;
    float pressX, pressY, dragX;
    int moved;
    double expected;
  };
  const std::vector<Case> cases = {
      {"the low handle stops at the high one", 63, 30, 160, 0, 0.7},
      {"the high handle stops at the low one", 137, 12, 20, 1, 0.3},
      {"the low handle follows the pointer", 63, 30, 100, 0, 0.5},
  };
  for (const Case& c : cases) {
    auto* range = attach(new IVRangeSliderControl(IRECT(0, 0, 200, 40), {kLevel, kMix}, "", DEFAULT_STYLE,
                                                  EDirection::Horizontal, false, 8.f, 2.f));
    expectRect(range->GetTrackRects().at(1), IRECT(8, 18, 192, 22), c.name);
    range->SetValue(0.3, 0);
    range->SetValue(0.7, 1);
    EXPECT_EQ(range->GetMouseOverHandle(), -1);
    dlg.log.clear();
    mouse->press(c.pressX, c.pressY);
    EXPECT_EQ(range->GetMouseOverHandle(), c.moved) << c.name;
    mouse->dragTo(c.dragX, c.pressY);
    mouse->release();
    EXPECT_NEAR(range->GetValue(c.moved), c.expected, 1e-9) << c.name;
    EXPECT_NEAR(range->GetValue(1 - c.moved), c.moved == 0 ? 0.7 : 0.3, 1e-12) << c.name;
    EXPECT_EQ(dlg.log.front(), "Begin 3") << c.name;
    EXPECT_EQ(dlg.log.back(), "End 4") << c.name;
    g->RemoveControl(range);
  }
}

TEST_F(StockSlidersTest, RangeSliderFillsBetweenItsValuesAndPointsItsHandlesAtTheTrack) {
  auto* range = attach(new IVRangeSliderControl(IRECT(0, 0, 200, 40), {kLevel, kMix}, "", bareStyle(),
                                                EDirection::Horizontal, false, 8.f, 2.f));
  range->SetValue(0.25, 0);
  range->SetValue(0.75, 1);
  expectRect(range->GetHandleBounds(0), IRECT(46, 22, 62, 38), "low handle below the track");
  expectRect(range->GetHandleBounds(1), IRECT(138, 4, 154, 20), "high handle above it");
  drawOnly(*range);
  const auto f = fills(*g);
  // Background, the track's own background, the span, then the two handles.
  ASSERT_EQ(f.size(), 5u);
  expectRect(f[2].box, IRECT(54, 18, 146, 22), "span between the values");
  EXPECT_EQ(f[2].color, DEFAULT_STYLE.colorSpec.GetColor(kExtra1));
  // The low handle points up (0 degrees), the high one down: its apex is at the bottom.
  EXPECT_NEAR(f[3].box.T, 22.f, 1e-4);
  const auto paths = sp::test::described(*g, false);
  EXPECT_NE(std::find(paths.begin(), paths.end(), "L 146 20"), paths.end());
}
