// The panel's level text (`decibels`) and the five correction readouts: which field feeds
// which column, highlight, bars, held regions and the inactive dash.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/ui/panel_fixture.h"
#include "ui/panel_text.h"
#include "ui/readouts_control.h"

using namespace uitest;
using balance_panel::decibels;
using balance_panel::ReadoutsControl;
using spectrapoise::dsp::Readouts;

namespace {

const Palette kPalette = testPalette();
constexpr float kT = 260.f;
constexpr float kCentres[5] = {149.f, 223.f, 297.f, 371.f, 445.f};
const std::string kMinus = "\xE2\x88\x92";

class ReadoutsTest : public PanelTest {
protected:
  void SetUp() override {
    PanelTest::SetUp();
    readouts = attach(new ReadoutsControl(IRECT(110, kT, 482, 306)), 4);
    readouts->columnCentres = {149.f, 223.f, 297.f, 371.f, 445.f};
    readouts->palette = kPalette;
    readouts->labelText = style("Roboto-Regular", 11.5f, kPalette.text);
    readouts->valueText = style("Roboto-Regular", 15, kPalette.text);
    readouts->unitText = style("Roboto-Regular", 10, kPalette.textMuted);
    readouts->readouts = [this] { return reading; };
  }
  // The shapes drawn in a column (their boxes centred within 30 units of its centre).
  std::vector<Shape> columnShapes(int column) const {
    std::vector<Shape> out;
    for (const Shape& s : shapes())
      if (std::fabs(s.bounds().CentreX() - kCentres[column]) <= 30.f) out.push_back(s);
    return out;
  }
  std::vector<Shape> barsIn(int column) const {
    std::vector<Shape> out;
    for (const Shape& s : columnShapes(column))
      if (s.bounds().T == kT + 39.f && s.colour() != kPalette.hairline) out.push_back(s);
    return out;
  }

  Readouts reading;
  ReadoutsControl* readouts = nullptr;
};

}  // namespace

TEST(Decibels, RoundsHalfAwayFromZeroAndSignsOnlyNonZeroResults) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    bool plus, dropZero;
    double floor;
    std::string expected;
  };
  const Case cases[] = {
      {-0.04, false, false, -149, "0.0"},
      {0.04, true, false, -149, "0.0"},
      {0.05, true, false, -149, "+0.1"},
      {-0.05, false, false, -149, kMinus + "0.1"},
      {-6.0, false, true, -149, kMinus + "6"},
      {-6.5, false, true, -149, kMinus + "6.5"},
      {-6.0, false, false, -149, kMinus + "6.0"},
      {-14.25, false, false, -149, kMinus + "14.3"},
      {1.25, true, false, -149, "+1.3"},
      {-149.0, false, false, -149, kMinus + "inf"},
      {-148.96, false, false, -149, kMinus + "149.0"},
      {kNaN, true, false, -149, kMinus + "inf"},
      {kInf, true, false, -149, kMinus + "inf"},
      {-kInf, true, false, -149, kMinus + "inf"},
      {1e20, false, true, -149, "1" + std::string(20, '0')},
  };
  for (const Case& c : cases) EXPECT_EQ(decibels(c.value, c.plus, c.dropZero, c.floor), c.expected) << c.value;
  // The largest finite levels print in full rather than cut or overflowing.
  EXPECT_EQ(decibels(1e300, false, true, -149).size(), 301u);
  const std::string lowest = decibels(-1.7e308, false, false, -kInf);
  EXPECT_EQ(lowest.size(), 3u + 309u + 2u);
  EXPECT_EQ(lowest.rfind(kMinus + "1", 0), 0u);
}

TEST(Decibels, IgnoresTheHostsCommaLocale) {
  CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no comma locale installed";
  EXPECT_EQ(decibels(-14.25, false, false, -149), kMinus + "14.3");
  EXPECT_EQ(decibels(2.5, true, true, -149), "+2.5");
}

TEST_F(ReadoutsTest, ColumnsReadTheirFieldsByName) {
  reading.active = true;
  reading.tilt = 0.1;
  reading.low = 1.0;
  reading.loMid = 2.0;
  reading.hiMid = -1.5;
  reading.high = -2.5;
  draw(*readouts);
  const char* labels[5] = {"TILT", "LOW", "LO-MID", "HI-MID", "HIGH"};
  const std::string numbers[5] = {"+0.1", "+1.0", "+2.0", kMinus + "1.5", kMinus + "2.5"};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(labels[i]);
    EXPECT_EQ(textOp(labels[i]).rect, IRECT(kCentres[i] - 37.f, kT, kCentres[i] + 37.f, kT + 14.f));
    // Number and unit centred together on the column, the unit one unit lower.
    const DrawOp number = textOp(numbers[i]);
    const float w1 = 7.5f * sp::test::codePoints(numbers[i].c_str());
    const float w2 = i == 0 ? 35.f : 15.f;
    const float x0 = kCentres[i] - (w1 + w2) / 2.f;
    EXPECT_EQ(number.rect, IRECT(x0, kT + 16.f, x0 + w1 + 2.f, kT + 36.f));
    EXPECT_EQ(number.textStyle.align, ETextHAlign::Left);
  }
  EXPECT_EQ(textOp(" dB/oct").rect.T, kT + 17.f);
}

TEST_F(ReadoutsTest, HighlightsAboveThresholdAndBarsScaleToTheirFullValue) {
  struct Case {
    const char* name;
    int column;
    double value;
    IColor numberColour, unitColour;
    float barL, barR;  // 0, 0: no bar
  };
  const float x1 = kCentres[1];
  const Case cases[] = {
      {"tilt 0.6 is not highlighted", 0, 0.6, kPalette.text, kPalette.textMuted, 149.f, 149.f + 11.2f},
      {"tilt 0.61 is, its unit stays muted", 0, 0.61, kPalette.warning, kPalette.textMuted, 149.f,
       149.f + 0.61f / 1.5f * 28.f},
      {"region +9 fills the right half", 1, 9.0, kPalette.warning, kPalette.warning, x1, x1 + 28.f},
      {"region -3 is not highlighted", 1, -3.0, kPalette.text, kPalette.text, x1 - 14.f, x1},
      {"region -0.05 draws no bar", 1, -0.05, kPalette.text, kPalette.text, 0.f, 0.f},
      {"not finite: no bar", 1, std::numeric_limits<double>::infinity(), kPalette.text, kPalette.text, 0.f, 0.f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reading = Readouts();
    reading.active = true;
    (c.column == 0 ? reading.tilt : reading.low) = c.value;
    draw(*readouts);
    const auto all = texts();
    // Per column: label, number, unit.
    const DrawOp& number = all[static_cast<size_t>(3 * c.column + 1)];
    const DrawOp& unit = all[static_cast<size_t>(3 * c.column + 2)];
    EXPECT_EQ(number.textStyle.color, c.numberColour);
    EXPECT_EQ(unit.textStyle.color, c.unitColour);
    const auto bars = barsIn(c.column);
    if (c.barL == 0.f) {
      EXPECT_TRUE(bars.empty());
      continue;
    }
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0].colour(), c.numberColour);
    EXPECT_TRUE(rectNear(bars[0].bounds(), IRECT(c.barL, kT + 39.f, c.barR, kT + 43.f)));
  }
}

TEST_F(ReadoutsTest, InactiveColumnsShowADashWithTrackAndTickButNoBar) {
  reading.active = false;
  reading.tilt = 1.4;
  reading.low = 5.0;
  reading.hold = {0.0, 0.0, 0.0, 0.0};  // held regions count only while active
  draw(*readouts);
  int dashes = 0;
  for (const DrawOp& op : texts()) {
    if (op.text != "\xE2\x80\x93") continue;
    EXPECT_EQ(op.textStyle.color, kPalette.textMuted);
    ++dashes;
  }
  EXPECT_EQ(dashes, 5);
  EXPECT_FALSE(drewText("HELD"));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(barsIn(i).empty()) << i;
  EXPECT_EQ(shapesIn(kPalette.hairline).size(), 5u);   // the tracks
  EXPECT_EQ(shapesIn(kPalette.textMuted).size(), 5u);  // the ticks
}

TEST_F(ReadoutsTest, HeldRegionsAreDimmedWithABadgeInPlaceOfTheBar) {
  struct Case {
    double hold;
    bool held;
  };
  for (const Case& c : {Case{0.5, true}, Case{0.2, true}, Case{0.51, false}}) {
    SCOPED_TRACE(c.hold);
    reading = Readouts();
    reading.active = true;
    reading.loMid = 4.0;
    reading.hold = {1.0, c.hold, 1.0, 1.0};
    draw(*readouts);
    const auto all = texts();
    const DrawOp& number = all[3 * 2 + 1];
    const DrawOp& unit = all[3 * 2 + 2];
    EXPECT_EQ(number.textStyle.color.A, c.held ? 96 : 255);
    EXPECT_EQ(unit.textStyle.color, number.textStyle.color);
    EXPECT_EQ(drewText("HELD"), c.held);
    const auto column = columnShapes(2);
    if (c.held) {
      const DrawOp badge = textOp("HELD");
      const float w = 4.25f * 4.f + 14.f;
      EXPECT_EQ(badge.rect, IRECT(297.f - w / 2.f, kT + 34.5f, 297.f + w / 2.f, kT + 47.5f));
      EXPECT_EQ(badge.textStyle.size, 8.5f);
      ASSERT_EQ(column.size(), 1u);  // the badge's pill only: no track, bar or tick
      EXPECT_EQ(column[0].colour(), IColor(36, 250, 250, 250));
    } else {
      EXPECT_EQ(column.size(), 3u);  // track, bar, tick
    }
  }
}

TEST_F(ReadoutsTest, EmptyGetterDrawsNothing) {
  readouts->readouts = nullptr;
  draw(*readouts);
  EXPECT_TRUE(g->drawOps().empty());
}
