// The spectrum panel: which snapshot field feeds which drawing, the window's level range,
// the drawn band range, non-finite levels, the dashed output, and the three crossover
// handles under the pointer (hit test, drag limits, host gestures, double click, hover).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/ui/panel_fixture.h"
#include "ui/spectrum_control.h"

using namespace uitest;
using balance_panel::SpectrumControl;
using spectrapoise::dsp::SpectrumView;
using sp::test::EventDriver;

namespace {

constexpr float kL = 22.f, kT = 108.f, kR = 478.f, kB = 252.f;
constexpr IColor kSlowArea{46, 250, 250, 250};
constexpr IColor kFastLine{235, 250, 250, 250};
constexpr IColor kOutputLine{190, 250, 250, 250};
constexpr IColor kGrid{13, 250, 250, 250};
constexpr double kInf = std::numeric_limits<double>::infinity();

float bandX(int k) { return kL + (kR - kL) * static_cast<float>(k / 179.0); }

class SpectrumTest : public PanelTest {
protected:
  void SetUp() override {
    PanelTest::SetUp();
    view.valid.fill(true);
    view.target.fill(0.0);
    view.spread.fill(3.0);
    spectrum = attach(new SpectrumControl(IRECT(kL, kT, kR, kB), kLowCrossover, kMidCrossover, kHighCrossover,
                                          testPalette(), style("Roboto-Regular", 9, IColor(255, 250, 250, 250)),
                                          [this]() -> const SpectrumView& { return view; }),
                      2);
  }
  // The snapshot of the binding fixture: every curve at its own level, all live.
  void bindingFixture() {
    view.input.fill(-6.0);
    view.inputFast.fill(-12.0);
    view.response.fill(3.0);
    view.output.fill(-9.0);
    view.inputLive = view.outputLive = view.correctionWanted = true;
  }
  std::vector<Shape> excursions() const { return shapesIn(testPalette().contrast.WithAlpha(204)); }

  SpectrumView view;
  SpectrumControl* spectrum = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// What each snapshot field feeds

TEST_F(SpectrumTest, EachCurveIsDrawnFromItsFieldByName) {
  bindingFixture();
  draw(*spectrum);
  EXPECT_DOUBLE_EQ(spectrum->windowTop(), 24.0);  // target 0 +- 3

  // Slow area from `input` (-6 dB at y 198), closed down to the bottom edge.
  const auto areas = shapesIn(kSlowArea);
  ASSERT_EQ(areas.size(), 1u);
  const auto area = areas[0].points();
  ASSERT_EQ(area.size(), 182u);
  EXPECT_EQ(area.front(), std::make_pair(kL, kB));
  for (int k = 0; k < 180; ++k) EXPECT_FLOAT_EQ(area[k + 1].second, 198.f) << k;
  EXPECT_EQ(area.back(), std::make_pair(kR, kB));

  // Fast line from `inputFast` (-12 dB at y 216), 1.5 wide.
  const auto lines = shapesIn(kFastLine);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_FLOAT_EQ(lines[0].thickness(), 1.5f);
  for (const auto& [x, y] : lines[0].points()) EXPECT_FLOAT_EQ(y, 216.f);

  // The fast input lies below the lower edge (-3 dB, y 189) everywhere: one outline over
  // every interval, along the input at 216 and back along the edge at 189, none above.
  const auto runs = excursions();
  ASSERT_EQ(runs.size(), 1u);
  const auto p = runs[0].points();
  ASSERT_EQ(p.size(), 360u);
  for (int k = 0; k < 180; ++k) {
    EXPECT_FLOAT_EQ(p[k].first, bandX(k)) << k;
    EXPECT_FLOAT_EQ(p[k].second, 216.f) << k;
    EXPECT_FLOAT_EQ(p[359 - k].first, bandX(k)) << k;
    EXPECT_FLOAT_EQ(p[359 - k].second, 189.f) << k;
  }

  // Correction from `response` (+3 dB): zero line at 204.5, line at 180, 2 wide, with its
  // tag pill at the right.
  const auto zero = shapesIn(IColor(41, 250, 250, 250));
  ASSERT_EQ(zero.size(), 1u);
  EXPECT_FLOAT_EQ(zero[0].points()[0].second, 204.5f);
  std::vector<Shape> correctionLines;
  for (const Shape& s : shapesIn(testPalette().accent))
    if (!s.fill()) correctionLines.push_back(s);
  ASSERT_EQ(correctionLines.size(), 1u);
  EXPECT_FLOAT_EQ(correctionLines[0].thickness(), 2.f);
  for (const auto& [x, y] : correctionLines[0].points()) EXPECT_FLOAT_EQ(y, 180.f);
  const DrawOp tag = textOp("0 dB");
  EXPECT_EQ(tag.rect, IRECT(446.f, 197.5f, 474.f, 210.5f));
  EXPECT_EQ(tag.textStyle.color, IColor(153, 250, 250, 250));
}

TEST_F(SpectrumTest, ExcursionsAreOneOutlinePerRunOfIntervalsWithAnOutsideEnd) {
  bindingFixture();
  view.inputFast.fill(0.0);     // inside the band (0 +- 3) ...
  view.inputFast[10] = -12.0;   // ... but below it at band 10
  for (int k = 50; k <= 52; ++k) view.inputFast[static_cast<std::size_t>(k)] = 9.0;  // above at 50..52
  view.inputFast[53] = 3.0;     // on the upper edge: inside
  draw(*spectrum);
  const auto runs = excursions();
  ASSERT_EQ(runs.size(), 2u);
  // Upper side first: intervals 49..52, along the input (edge where inside), back along the edge.
  const auto up = runs[0].points();
  ASSERT_EQ(up.size(), 10u);
  const float upper = 171.f, lower = 189.f, above = 153.f, below = 216.f;  // +3, -3, +9, -12 dB
  const std::pair<float, float> upWant[] = {{bandX(49), upper}, {bandX(50), above}, {bandX(51), above},
                                            {bandX(52), above}, {bandX(53), upper}, {bandX(53), upper},
                                            {bandX(52), upper}, {bandX(51), upper}, {bandX(50), upper},
                                            {bandX(49), upper}};
  for (std::size_t i = 0; i < up.size(); ++i) {
    EXPECT_FLOAT_EQ(up[i].first, upWant[i].first) << i;
    EXPECT_FLOAT_EQ(up[i].second, upWant[i].second) << i;
  }
  // Lower side: intervals 9 and 10 around band 10.
  const auto down = runs[1].points();
  ASSERT_EQ(down.size(), 6u);
  const std::pair<float, float> downWant[] = {{bandX(9), lower},  {bandX(10), below}, {bandX(11), lower},
                                              {bandX(11), lower}, {bandX(10), lower}, {bandX(9), lower}};
  for (std::size_t i = 0; i < down.size(); ++i) {
    EXPECT_FLOAT_EQ(down[i].first, downWant[i].first) << i;
    EXPECT_FLOAT_EQ(down[i].second, downWant[i].second) << i;
  }
}

TEST_F(SpectrumTest, FrozenCorrectionTagsItselfOnTheAccent) {
  bindingFixture();
  view.frozen = true;
  draw(*spectrum);
  EXPECT_FALSE(drewText("0 dB"));
  const DrawOp tag = textOp("FROZEN");
  EXPECT_EQ(tag.textStyle.color, IColor(255, 10, 10, 10));
  EXPECT_EQ(tag.rect, IRECT(474.f - 37.f, 197.5f, 474.f, 210.5f));
}

TEST_F(SpectrumTest, WithoutLiveInputTheBandCorrectionAndHandlesStillDraw) {
  bindingFixture();
  view.inputLive = false;
  draw(*spectrum);
  const DrawOp noSignal = textOp("NO SIGNAL");
  EXPECT_EQ(noSignal.rect, IRECT(190.f, 173.f, 310.f, 187.f));
  EXPECT_EQ(noSignal.textStyle.color, testPalette().textMuted);
  EXPECT_TRUE(shapesIn(kSlowArea).empty());
  EXPECT_TRUE(shapesIn(kFastLine).empty());
  EXPECT_TRUE(shapesIn(kOutputLine).empty());
  EXPECT_TRUE(excursions().empty());
  EXPECT_EQ(shapesIn(testPalette().accent.WithAlpha(71)).size(), 1u);  // target band
  EXPECT_EQ(shapesIn(testPalette().accent.WithAlpha(40)).size(), 1u);  // correction area
  EXPECT_TRUE(drewText("200") && drewText("2k") && drewText("6k"));
}

// ---------------------------------------------------------------------------------------
// Drawn range and levels

TEST_F(SpectrumTest, CurvesEndAtTheLastBandOfTheValidRunFromBandZero) {
  bindingFixture();
  for (int k = 151; k < 180; ++k) view.valid[k] = false;
  view.valid[170] = true;  // not part of the run from band 0
  draw(*spectrum);
  const float end = bandX(150);
  EXPECT_NEAR(end, 404.12f, 0.01f);
  EXPECT_FLOAT_EQ(shapesIn(kSlowArea)[0].points().back().first, end);
  EXPECT_FLOAT_EQ(shapesIn(kFastLine)[0].points().back().first, end);
  ASSERT_EQ(excursions().size(), 1u);
  EXPECT_FLOAT_EQ(excursions()[0].points()[150].first, end);
  EXPECT_EQ(excursions()[0].points().size(), 302u);
  float furthest = 0.f;
  for (const auto& [x, y] : shapesIn(testPalette().accent.WithAlpha(71))[0].points()) furthest = std::max(furthest, x);
  EXPECT_FLOAT_EQ(furthest, end);
}

TEST_F(SpectrumTest, InvalidBandZeroLeavesNoExcursionsAndNoOutput) {
  bindingFixture();
  view.valid[0] = false;
  draw(*spectrum);
  EXPECT_TRUE(excursions().empty());
  EXPECT_TRUE(shapesIn(kOutputLine).empty());
  for (const auto& [x, y] : shapesIn(kFastLine)[0].points()) EXPECT_FLOAT_EQ(x, kL);
}

TEST_F(SpectrumTest, WindowTopFollowsTheTargetBand) {
  struct Case {
    const char* name;
    double target, spread;
    bool anyValid;
    double expectedTop;
  };
  const Case cases[] = {
      {"no qualifying band keeps 24", 0.0, 3.0, false, 24.0},
      {"40 dB band centred at -10", -10.0, 20.0, true, 14.0},
      {"50 dB band with upper edge 30", 5.0, 25.0, true, 33.0},
      {"narrow spread counts as 3 dB", 6.0, 0.5, true, 30.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SpectrumView fresh;
    fresh.valid.fill(c.anyValid);
    fresh.target.fill(c.target);
    fresh.spread.fill(c.spread);
    SpectrumControl control(IRECT(kL, kT, kR, kB), -1, -1, -1, testPalette(), IText(),
                            [&fresh]() -> const SpectrumView& { return fresh; });
    draw(control);
    EXPECT_DOUBLE_EQ(control.windowTop(), c.expectedTop);
  }
}

TEST_F(SpectrumTest, GridLinesStepDownFromTheTopAndASnapshotWithoutBandsKeepsIt) {
  view.valid.fill(false);
  draw(*spectrum);
  std::vector<float> ys;
  for (const Shape& s : shapesIn(kGrid)) {
    const auto p = s.points();
    if (p[0].second == p[1].second) ys.push_back(p[0].second);
  }
  EXPECT_EQ(ys, (std::vector<float>{108.5f, 126.5f, 144.5f, 162.5f, 180.5f, 198.5f, 216.5f, 234.5f}));  // 24 .. -18 dB

  view.valid.fill(true);
  view.target.fill(-10.0);
  draw(*spectrum);
  EXPECT_DOUBLE_EQ(spectrum->windowTop(), 14.0);
  view.valid.fill(false);
  draw(*spectrum);
  EXPECT_DOUBLE_EQ(spectrum->windowTop(), 14.0);
}

TEST_F(SpectrumTest, AutoRangeSkipsBandsWhoseCurveOrSpreadIsNotFinite) {
  // Each alone among bands at 0 +- 3 dB, which put the top at 24.
  struct Case {
    const char* name;
    bool spread;
    double value;
  };
  const Case cases[] = {{"curve not a number", false, std::nan("")},
                        {"curve minus infinity", false, -kInf},
                        {"curve plus infinity", false, kInf},
                        {"spread plus infinity", true, kInf},
                        {"spread not a number", true, std::nan("")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SpectrumView fresh = view;
    (c.spread ? fresh.spread : fresh.target)[60] = c.value;
    SpectrumControl control(IRECT(kL, kT, kR, kB), -1, -1, -1, testPalette(), IText(),
                            [&fresh]() -> const SpectrumView& { return fresh; });
    control.Draw(*g);
    EXPECT_DOUBLE_EQ(control.windowTop(), 24.0);
  }
}

TEST_F(SpectrumTest, NonFiniteLevelsSitAtTheWindowMarginsAndNeverReachThePath) {
  bindingFixture();
  view.inputFast[10] = std::nan("");
  view.inputFast[11] = -kInf;
  view.inputFast[12] = kInf;
  view.input[20] = std::nan("");
  view.output[30] = kInf;
  view.response[40] = std::nan("");
  view.response[41] = kInf;
  view.target[50] = std::nan("");
  draw(*spectrum);
  for (const DrawOp& op : g->drawOps())
    for (float a : op.args) ASSERT_TRUE(std::isfinite(a)) << sp::test::describe(op);
  const auto fast = shapesIn(kFastLine)[0].points();
  const float bottomMargin = kT + 72.f / 48.f * (kB - kT), topMargin = kT - 24.f / 48.f * (kB - kT);
  EXPECT_FLOAT_EQ(fast[10].second, bottomMargin);
  EXPECT_FLOAT_EQ(fast[11].second, bottomMargin);
  EXPECT_FLOAT_EQ(fast[12].second, topMargin);
}

TEST_F(SpectrumTest, HugeLevelsDrawAFiniteWindow) {
  bindingFixture();
  // At 1.3e17 a double moves in steps of 16 dB: stepping the grid down by 6 would not move.
  view.target.fill(1.3e17);
  view.inputFast.fill(-1e300);
  draw(*spectrum);
  EXPECT_DOUBLE_EQ(spectrum->windowTop(), 1.3e17);
  for (const DrawOp& op : g->drawOps())
    for (float a : op.args) ASSERT_TRUE(std::isfinite(a)) << sp::test::describe(op);
  EXPECT_LE(shapesIn(kGrid).size(), 9u + 8u);
}

TEST_F(SpectrumTest, FlatOutputIsDashedFourOnThreeOffAcrossBandSegments) {
  bindingFixture();
  draw(*spectrum);
  // Merge the pieces that continue one another into dashes, relative to the left edge.
  std::vector<std::pair<float, float>> dashes;
  for (const Shape& s : shapesIn(kOutputLine)) {
    EXPECT_FLOAT_EQ(s.thickness(), 1.4f);
    const auto p = s.points();
    const float a = p[0].first - kL, b = p[1].first - kL;
    if (!dashes.empty() && std::fabs(dashes.back().second - a) < 1e-3f)
      dashes.back().second = b;
    else
      dashes.emplace_back(a, b);
  }
  ASSERT_GE(dashes.size(), 60u);
  for (size_t i = 0; i + 1 < dashes.size(); ++i) {
    EXPECT_NEAR(dashes[i].first, 7.f * i, 2e-3f) << i;
    EXPECT_NEAR(dashes[i].second, 7.f * i + 4.f, 2e-3f) << i;
  }
  EXPECT_LE(dashes.back().second, kR - kL + 1e-3f);
}

TEST_F(SpectrumTest, EmptyGetterDrawsNothing) {
  SpectrumControl control(IRECT(kL, kT, kR, kB), -1, -1, -1, testPalette(), IText(), nullptr);
  draw(control);
  EXPECT_TRUE(g->drawOps().empty());
}

// ---------------------------------------------------------------------------------------
// Handles

TEST_F(SpectrumTest, HandleLabels) {
  const std::pair<double, const char*> cases[] = {{200, "200"},   {999.6, "1000"}, {1000, "1k"}, {1234, "1.2k"},
                                                  {1250, "1.2k"}, {2000, "2k"},    {2500, "2.5k"}, {9949.9, "9.9k"},
                                                  {9950, "10k"},  {16000, "16k"}};
  for (const auto& [hz, label] : cases) EXPECT_EQ(SpectrumControl::handleLabel(hz), label) << hz;
  CommaLocale comma;
  if (comma.active()) {
    EXPECT_EQ(SpectrumControl::handleLabel(2500), "2.5k");
  }
}

TEST_F(SpectrumTest, HandlesDrawADottedLineAndALabelPillAtTheirFrequency) {
  view.inputLive = true;
  draw(*spectrum);
  const DrawOp low = textOp("200");
  EXPECT_EQ(low.rect, IRECT(162.75f, 109.f, 186.25f, 122.f));
  EXPECT_EQ(low.textStyle.color, IColor(217, 250, 250, 250));
  EXPECT_TRUE(drewText("2k"));
  EXPECT_TRUE(drewText("6k"));
  int dotted = 0;
  for (const Shape& s : shapesIn(IColor(82, 250, 250, 250))) {
    EXPECT_EQ(s.paint.stroke.dashCount, 1);
    EXPECT_FLOAT_EQ(s.paint.stroke.dashArray[0], 2.5f);
    ++dotted;
  }
  EXPECT_EQ(dotted, 3);
  // The handles are drawn with no clip (they may leave the picture).
  EXPECT_EQ(g->clips().back(), g->GetDrawableArea());
}

TEST_F(SpectrumTest, HitTestTakesTheNearestHandleCloserThanTenUnits) {
  const std::pair<float, int> cases[] = {{174.f, 0}, {183.9f, 0}, {184.f, -1}, {326.f, 1}, {390.f, 2}, {22.f, -1}};
  for (const auto& [x, slot] : cases) EXPECT_EQ(spectrum->GetValIdxForPos(x, 500.f), slot) << x;
  // Equal distances: the lower slot wins.
  plug.setParam(kLowCrossover, 500.0);
  plug.setParam(kMidCrossover, 500.0);
  EXPECT_EQ(spectrum->GetValIdxForPos(234.49f, 180.f), 0);
}

TEST_F(SpectrumTest, DraggingAHandleSendsOnlyItsParameterWithinItsNeighbours) {
  struct Case {
    const char* name;
    double low, high;  // set before the press (the mid stays at 2000)
    float pressX, dragX;
    int param;
    double expected;
  };
  const Case cases[] = {
      {"low to the middle", 200, 6000, 174.f, 250.f, kLowCrossover, 632.0},
      {"low to the far right stops at its maximum", 200, 6000, 174.f, 478.f, kLowCrossover, 800.0},
      {"mid to the far left stops at twice the low", 200, 6000, 326.f, 22.f, kMidCrossover, 400.0},
      {"high to the far right", 200, 6000, 398.52f, 478.f, kHighCrossover, 16000.0},
      {"mid between crossed limits takes half the high", 800, 1500, 326.f, 100.f, kMidCrossover, 750.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plug.setParam(kLowCrossover, c.low);
    plug.setParam(kMidCrossover, 2000.0);
    plug.setParam(kHighCrossover, c.high);
    plug.log.clear();
    EventDriver mouse(*g);
    mouse.press(c.pressX, 180.f);
    mouse.dragTo(c.dragX, 200.f);
    mouse.release();
    EXPECT_NEAR(plug.value(c.param), c.expected, 1e-6);
    const Log log = plug.log;
    ASSERT_GE(log.size(), 7u);
    EXPECT_EQ((Log{log[0], log[1], log[2]}), (Log{"Begin 2", "Begin 15", "Begin 3"}));
    for (size_t i = 3; i + 3 < log.size(); ++i) EXPECT_EQ(log[i].rfind("Send " + std::to_string(c.param) + " ", 0), 0u);
    EXPECT_EQ((Log{log[log.size() - 3], log[log.size() - 2], log[log.size() - 1]}),
              (Log{"End 2", "End 15", "End 3"}));
    EXPECT_EQ(spectrum->draggedHandle(), -1);
  }
}

TEST_F(SpectrumTest, APressAwayFromEveryHandleDragsNothing) {
  EventDriver mouse(*g);
  mouse.press(100.f, 180.f);
  mouse.dragTo(300.f, 180.f);
  mouse.release();
  EXPECT_TRUE(plug.sends().empty());
  EXPECT_DOUBLE_EQ(plug.value(kLowCrossover), 200.0);
  EXPECT_DOUBLE_EQ(plug.value(kMidCrossover), 2000.0);
  EXPECT_DOUBLE_EQ(plug.value(kHighCrossover), 6000.0);
}

TEST_F(SpectrumTest, DoubleClickOnAHandleRestoresItsDefaultAndElsewhereDoesNothing) {
  EventDriver mouse(*g);
  mouse.press(174.f, 180.f);
  mouse.dragTo(250.f, 180.f);
  mouse.release();
  ASSERT_NEAR(plug.value(kLowCrossover), 632.0, 1e-6);
  plug.log.clear();
  mouse.doubleClick(100.f, 180.f);
  EXPECT_TRUE(plug.sends().empty());
  mouse.doubleClick(250.f, 180.f);
  EXPECT_DOUBLE_EQ(plug.value(kLowCrossover), 200.0);
  EXPECT_EQ(plug.sends().size(), 1u);
}

TEST_F(SpectrumTest, HoveringAHandleShowsTheResizeCursorAndLightsIt) {
  EventDriver mouse(*g);
  mouse.moveTo(175.f, 200.f);
  EXPECT_EQ(spectrum->hoveredHandle(), 0);
  EXPECT_EQ(g->GetCursorKind(), ECursor::SizeWE);
  draw(*spectrum);
  EXPECT_EQ(textOp("200").textStyle.color, IColor(255, 10, 10, 10));
  EXPECT_EQ(shapesIn(IColor(179, 250, 250, 250)).size(), 1u);

  mouse.moveTo(100.f, 200.f);
  EXPECT_EQ(spectrum->hoveredHandle(), -1);
  EXPECT_EQ(g->GetCursorKind(), ECursor::Arrow);
  mouse.moveTo(326.f, 200.f);
  EXPECT_EQ(spectrum->hoveredHandle(), 1);
  mouse.exitView();
  EXPECT_EQ(spectrum->hoveredHandle(), -1);
  EXPECT_EQ(g->GetCursorKind(), ECursor::Arrow);
}
