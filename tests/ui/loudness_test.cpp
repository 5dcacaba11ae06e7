// The loudness column: the caption and elapsed time, the number, meter and status against
// the target in both modes, the true peak and its caption, non-finite readings, and which
// presses reach the two callbacks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/ui/panel_fixture.h"
#include "ui/loudness_control.h"

using namespace uitest;
using balance_panel::LoudnessControl;
using balance_panel::LoudnessReading;
using sp::test::EventDriver;

namespace {

constexpr float kL = 498.f, kT = 82.f, kR = 620.f, kB = 354.f;
const Palette kPalette = testPalette();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class LoudnessTest : public PanelTest {
protected:
  void SetUp() override {
    PanelTest::SetUp();
    meter = attach(new LoudnessControl(
                       IRECT(kL, kT, kR, kB), kPalette, style("Roboto-Regular", 10, IColor(107, 250, 250, 250)),
                       style("RobotoCondensed-Bold", 40, IColor(255, 250, 250, 250)),
                       style("Roboto-Regular", 11, IColor(107, 250, 250, 250)),
                       style("Roboto-Regular", 9, IColor(77, 250, 250, 250)), [this] { return reading; },
                       [this] { ++clicks; }, [this] { ++doubleClicks; }),
                   5);
  }
  // The level bar: a fill in the accent or warning colour starting at the track's left end.
  std::vector<Shape> bars() const {
    std::vector<Shape> out;
    for (const Shape& s : shapes())
      if ((s.colour() == kPalette.accent || s.colour() == kPalette.warning) && s.bounds().L == kL + 6.f) out.push_back(s);
    return out;
  }

  LoudnessReading reading;
  LoudnessControl* meter = nullptr;
  int clicks = 0;
  int doubleClicks = 0;
};

}  // namespace

TEST_F(LoudnessTest, DefaultReadingShowsNothingMeasuredAroundTheTarget) {
  draw(*meter);
  EXPECT_EQ(textOp("SHORT-TERM").rect, IRECT(528.f, 82.f, 580.f, 96.f));
  const DrawOp number = textOp("\xE2\x88\x92inf");
  EXPECT_EQ(number.rect, IRECT(kL, kT + 16.f, kR, kT + 58.f));
  EXPECT_EQ(number.textStyle.color, kPalette.text);
  EXPECT_TRUE(bars().empty());
  const auto zone = shapesIn(IColor(31, 250, 250, 250));
  ASSERT_EQ(zone.size(), 1u);
  EXPECT_TRUE(rectNear(zone[0].bounds(), IRECT(568.17f, 162.f, 586.5f, 168.f)));
  const auto marker = shapesIn(kPalette.text);
  ASSERT_EQ(marker.size(), 1u);
  EXPECT_TRUE(rectNear(marker[0].bounds(), IRECT(576.33f, 158.f, 578.33f, 172.f)));
  EXPECT_EQ(textOp("no signal").textStyle.color, kPalette.textMuted);
  EXPECT_EQ(textOp("dBTP \xC2\xB7 last 3 s").textStyle.color, kPalette.textMuted);
  // Scale under the track's ends and middle; the true peak below the hairline.
  EXPECT_EQ(textOp("\xE2\x88\x92" "30").rect, IRECT(488.f, 171.f, 520.f, 182.f));
  EXPECT_EQ(textOp("\xE2\x88\x92" "18").rect, IRECT(543.f, 171.f, 575.f, 182.f));
  EXPECT_EQ(textOp("\xE2\x88\x92" "6").rect, IRECT(598.f, 171.f, 630.f, 182.f));
  const auto peaks = texts();
  EXPECT_EQ(peaks[peaks.size() - 2].text, "\xE2\x88\x92inf");
  EXPECT_EQ(peaks[peaks.size() - 2].textStyle.size, 28.f);
  EXPECT_EQ(peaks[peaks.size() - 2].textStyle.color, kPalette.text);
}

TEST_F(LoudnessTest, StatusNumberAndBarFollowTheDistanceToTheTarget) {
  struct Case {
    double shortTerm;
    const char* status;
    IColor statusColour, numberColour;
    bool bar;
    IColor barColour;
    float barRight;
  };
  const Case cases[] = {
      {-12.5, "1.5 LU above target", kPalette.textMuted, kPalette.text, true, kPalette.accent, 504.f + 110.f * 17.5f / 24.f},
      {-11.9, "2.1 LU above target", kPalette.warning, kPalette.warning, true, kPalette.warning, 504.f + 110.f * 18.1f / 24.f},
      {-14.05, "0.1 LU below target", kPalette.textMuted, kPalette.text, true, kPalette.accent, 504.f + 110.f * 15.95f / 24.f},
      {-14.0, "on target", kPalette.textMuted, kPalette.text, true, kPalette.accent, 504.f + 110.f * 16.f / 24.f},
      {-40.0, "26.0 LU below target", kPalette.warning, kPalette.warning, false, {}, 0.f},
      {-3.0, "11.0 LU above target", kPalette.warning, kPalette.warning, true, kPalette.warning, 614.f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shortTerm);
    reading.shortTerm = c.shortTerm;
    draw(*meter);
    const DrawOp status = textOp(c.status);
    EXPECT_EQ(status.rect, IRECT(kL, kT + 100.f, kR, kT + 114.f));
    EXPECT_EQ(status.textStyle.color, c.statusColour);
    EXPECT_EQ(texts()[1].textStyle.color, c.numberColour);  // after the caption
    const auto bar = bars();
    ASSERT_EQ(bar.size(), c.bar ? 1u : 0u);
    if (!c.bar) continue;
    EXPECT_EQ(bar[0].colour(), c.barColour);
    EXPECT_TRUE(rectNear(bar[0].bounds(), IRECT(504.f, 162.f, c.barRight, 168.f)));
  }
}

TEST_F(LoudnessTest, IntegratedModeShowsElapsedTimeAndATighterTolerance) {
  reading.integratedMode = true;
  reading.integrated = -12.9;
  reading.integratedSeconds = 59.0;
  draw(*meter);
  EXPECT_TRUE(drewText("INTEGRATED \xC2\xB7 0:59"));
  EXPECT_EQ(textOp("1.1 LU above target").textStyle.color, kPalette.warning);
  EXPECT_EQ(bars()[0].colour(), kPalette.warning);
  EXPECT_TRUE(rectNear(shapesIn(IColor(31, 250, 250, 250))[0].bounds(), IRECT(572.75f, 162.f, 581.92f, 168.f)));
  EXPECT_TRUE(drewText("dBTP \xC2\xB7 since reset"));

  // Whole seconds; counts that are not finite or out of range are taken within 0..1e9.
  const std::pair<double, const char*> times[] = {
      {3725.0, "1:02:05"}, {3599.9, "59:59"}, {-5.0, "0:00"},         {kNaN, "0:00"},
      {kInf, "277777:46:40"}, {1e300, "277777:46:40"}, {-kInf, "0:00"},
  };
  for (const auto& [seconds, elapsed] : times) {
    reading.integratedSeconds = seconds;
    EXPECT_EQ(LoudnessControl::caption(reading), std::string("INTEGRATED \xC2\xB7 ") + elapsed) << seconds;
  }
}

TEST_F(LoudnessTest, TruePeakAboveMinusOneIsFlagged) {
  struct Case {
    bool integrated;
    double recent, sinceReset;
    const char* number;
    const char* caption;
    bool danger;
  };
  const Case cases[] = {
      {false, -1.0, -150.0, "\xE2\x88\x92" "1.0", "dBTP \xC2\xB7 last 3 s", false},
      {false, -0.9, -150.0, "\xE2\x88\x92" "0.9", "dBTP \xC2\xB7 above \xE2\x88\x92" "1", true},
      {false, 0.46, -150.0, "+0.5", "dBTP \xC2\xB7 above \xE2\x88\x92" "1", true},
      {true, -0.5, -3.0, "\xE2\x88\x92" "3.0", "dBTP \xC2\xB7 since reset", false},
      {true, -3.0, -0.5, "\xE2\x88\x92" "0.5", "dBTP \xC2\xB7 since reset", true},
      {false, kInf, -150.0, "\xE2\x88\x92inf", "dBTP \xC2\xB7 last 3 s", false},
      {false, kNaN, -150.0, "\xE2\x88\x92inf", "dBTP \xC2\xB7 last 3 s", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    reading = LoudnessReading();
    reading.integratedMode = c.integrated;
    reading.truePeakRecent = c.recent;
    reading.truePeakSinceReset = c.sinceReset;
    draw(*meter);
    const auto all = texts();
    const DrawOp& number = all[all.size() - 2];
    const DrawOp& caption = all.back();
    EXPECT_EQ(number.text, c.number);
    EXPECT_EQ(number.rect, IRECT(kL, kT + 210.f, kR, kT + 240.f));
    EXPECT_EQ(caption.text, c.caption);
    EXPECT_EQ(number.textStyle.color, c.danger ? kPalette.danger : kPalette.text);
    EXPECT_EQ(caption.textStyle.color, c.danger ? kPalette.danger : kPalette.textMuted);
  }
}

TEST_F(LoudnessTest, LevelsThatAreNotFiniteCountAsNothingMeasured) {
  for (const double level : {kNaN, kInf, -kInf}) {
    SCOPED_TRACE(level);
    reading.shortTerm = level;
    draw(*meter);
    EXPECT_EQ(texts()[1].text, "\xE2\x88\x92inf");
    EXPECT_TRUE(drewText("no signal"));
    EXPECT_TRUE(bars().empty());
    for (const DrawOp& op : g->drawOps())
      for (float a : op.args) ASSERT_TRUE(std::isfinite(a)) << sp::test::describe(op);
  }
}

TEST_F(LoudnessTest, NumbersIgnoreTheHostsCommaLocale) {
  CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no comma locale installed";
  reading.shortTerm = -12.5;
  reading.truePeakRecent = -3.25;
  draw(*meter);
  EXPECT_TRUE(drewText("\xE2\x88\x92" "12.5"));
  EXPECT_TRUE(drewText("1.5 LU above target"));
  EXPECT_TRUE(drewText("\xE2\x88\x92" "3.3"));
}

TEST_F(LoudnessTest, OnlyLeftPressesOnTheUpperPartReachTheCallbacks) {
  EventDriver mouse(*g);
  mouse.click(559.f, 120.f);
  EXPECT_EQ(clicks, 1);
  mouse.click(559.f, 300.f);  // the true-peak part
  mouse.rightClick(559.f, 120.f);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(doubleClicks, 0);
  // The lower edge of the upper part is inside, unlike a half-open rectangle.
  EXPECT_TRUE(meter->IsHit(559.f, kT + 118.f));
  EXPECT_TRUE(meter->IsHit(kR, kT));
  EXPECT_FALSE(meter->IsHit(559.f, kT + 118.5f));

  mouse.doubleClick(559.f, 120.f);
  EXPECT_EQ(clicks, 2);  // the double click's first press
  EXPECT_EQ(doubleClicks, 1);
  EXPECT_TRUE(plug.log.empty());
}

TEST_F(LoudnessTest, HoverShowsTheHandAndAHighlight) {
  EventDriver mouse(*g);
  mouse.moveTo(559.f, 100.f);
  EXPECT_EQ(g->GetCursorKind(), ECursor::Hand);
  draw(*meter);
  const auto hover = shapesIn(IColor(10, 250, 250, 250));
  ASSERT_EQ(hover.size(), 1u);
  EXPECT_TRUE(rectNear(hover[0].bounds(), IRECT(kL, kT - 2.f, kR, kT + 118.f)));
  mouse.moveTo(100.f, 100.f);
  EXPECT_EQ(g->GetCursorKind(), ECursor::Arrow);
  draw(*meter);
  EXPECT_TRUE(shapesIn(IColor(10, 250, 250, 250)).empty());
}

TEST_F(LoudnessTest, EmptyFunctionsDrawNothingAndIgnorePresses) {
  auto* bare = attach(new LoudnessControl(IRECT(0, 0, 100, 300), kPalette, IText(), IText(), IText(), IText(), nullptr,
                                          nullptr, nullptr));
  draw(*bare);
  EXPECT_TRUE(g->drawOps().empty());
  EventDriver mouse(*g);
  mouse.doubleClick(50.f, 50.f);
  EXPECT_EQ(clicks + doubleClicks, 0);
}
