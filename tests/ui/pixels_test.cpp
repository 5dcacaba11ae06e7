// The product's panel (the plug-in's own layout, wiring and shades) through the NanoVG
// drawing class on the software GPU, at screen scale 1 and 2, fed a realistic snapshot in
// place of the audio's (a tilted target, boomy and dull input, an output near the target,
// a correction that cuts the lows and lifts the highs). Each test writes the PNGs of the
// parts it checks (SP_RENDER_PNG_DIR, else a temporary folder) and probes pixels at panel
// positions (x2 at scale 2): colours, heights and extents that a wrong binding, a wrong
// colour or a misplaced part would change. The last tests compare the scale 2 picture
// with the scale 1 picture part by part (the ink and where it lies), and a window drawn
// twice as large on a screen of scale 1 with screen scale 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/render/metal_target.h"
#include "tests/support/nanovg/nanovg_canvas.h"
#include "tests/support/plugin/nanovg_panel.h"
#include "tests/ui/panel_fixture.h"
#include "ui/spectrum_control.h"

using namespace uitest;
using balance_panel::SpectrumControl;
using sp::test::NanoVGTestCanvas;
using sp::test::Rgba;
using spectrapoise::dsp::CorrectionGains;
using spectrapoise::dsp::Readouts;
using spectrapoise::dsp::SpectrumView;
using spectrapoise::plugin::MeterReadings;

namespace {

// The colours the panel is expected in: the palette around the default green accent.
const Palette kPalette = testPalette();
const IColor kMainPanel(255, 20, 20, 20);
const std::string kMiddleDot = "\xC2\xB7";

// Where the layout puts the parts.
const IRECT kTargetChipRect(72, 81, 250, 103);
const IRECT kLegendRect(256, 80, 478, 104);
const IRECT kSpectrumRect(22, 108, 478, 252);
const IRECT kReadoutsRect(110, 260, 482, 306);
const IRECT kMeterRect(498, 82, 620, 354);
const IRECT kLoudnessChipRect(509, 230, 609, 252);
const IRECT kBypassPillRect(534, 41, 620, 65);
// The knob columns' centres: speed, tilt, low, lo-mid, hi-mid, high.
const float kKnobCentres[6] = {66, 149, 223, 297, 371, 445};
IRECT captionRect(float x) { return IRECT(x - 37, 344, x + 37, 358); }
const IRECT kKnobRowRect(20, 308, 482, 360);

// Band k's centre in octaves from 1 kHz.
double octave(int k) { return std::log2(20.0 * std::pow(1000.0, k / 179.0) / 1000.0); }

// A track that is boomy around 125 Hz and dull above 4 kHz against a target that falls
// 2.2 dB per octave, measured live, with a correction that pulls it towards the target.
SpectrumView musicSnapshot() {
  SpectrumView v;
  for (int k = 0; k < 180; ++k) {
    const std::size_t i = static_cast<std::size_t>(k);
    const double o = octave(k);
    const double boom = 6.0 * std::exp(-(o + 3.0) * (o + 3.0) / 1.5);
    const double dull = -5.0 * std::clamp((o - 1.5) / 2.5, 0.0, 1.0);
    v.target[i] = -2.2 * o - 1.0;
    v.spread[i] = 3.0 + 0.3 * std::fabs(o);
    v.input[i] = v.target[i] + boom + dull;
    v.inputFast[i] = v.input[i] + 1.2 * std::sin(k * 0.35) + 0.6 * std::sin(k * 1.1);
    v.output[i] = v.target[i] + 0.3 * (boom + dull) + 0.8 * std::sin(k * 0.5);
    v.response[i] = -0.6 * (boom + dull);
    v.valid[i] = true;
  }
  v.inputLive = v.outputLive = v.correctionWanted = true;
  return v;
}

// The product's plug-in whose panel analysis, meter readings and target name come from the
// members below instead of the audio: what the panel draws is the test's to choose.
class SnapshotPlug : public SpectraPoise {
public:
  using SpectraPoise::SpectraPoise;
  const SpectrumView& spectrumView() const override { return view; }
  const Readouts& readouts() const override { return shownReadouts; }
  const CorrectionGains& panelGains() const override { return gains; }
  MeterReadings meterReadings() const override { return meters; }
  std::string targetChipLabel() const override { return targetLabel; }

  SpectrumView view = musicSnapshot();
  Readouts shownReadouts;
  MeterReadings meters;
  CorrectionGains gains{0.36, 1.24, -0.8, 2.05, -3.5};
  std::string targetLabel = "Pop " + kMiddleDot + " Modern Master";
};

// The product's 640 x 400 editor (tests/support/plugin/nanovg_panel.h) on a SnapshotPlug, its parameters at
// their defaults, the window drawn at a draw scale.
class PanelEditor {
public:
  explicit PanelEditor(float screenScale, float drawScale = 1.f)
      : panel(screenScale, SP_SOURCE_DIR,
              [this](const SpectraPoise::Options& options) {
                snapshot = new SnapshotPlug(plugkit::InstanceInfo{}, options);
                return snapshot;
              }),
        plug(*snapshot),
        scale(screenScale * drawScale),
        view(plug.view),
        readouts(plug.shownReadouts),
        meters(plug.meters),
        targetLabel(plug.targetLabel) {
    panel.setParam(kCorrect, plug.GetParam(kCorrect)->GetDefault());  // the fixture switched it on
    if (drawScale != 1.f) plug.applyEditorScale(drawScale);
    g = panel.g;
    spectrum = g != nullptr ? dynamic_cast<SpectrumControl*>(g->GetControlWithTag(2)) : nullptr;  // tag 2
  }
  PanelEditor(const PanelEditor&) = delete;
  PanelEditor& operator=(const PanelEditor&) = delete;

  // A parameter set by the host, shown by its controls.
  void setParam(int paramIdx, double value) { panel.setParam(paramIdx, value); }
  // One idle tick of the plug-in (the shades follow the switches), everything redrawn,
  // the frame read.
  void draw() {
    plug.OnIdle();
    g->redrawAll();
    pixels = g->mainPixels(&w, &h);
  }
  // The pixel at panel position (x, y): (x, y) at scale 1, (2x, 2y) at scale 2.
  Rgba at(float x, float y) const {
    return sp::test::pixelAt(pixels, w, static_cast<int>(x * scale), static_cast<int>(y * scale));
  }
  // The part of the frame under r (panel units), a margin of 3 units around it.
  void save(const std::string& name, const IRECT& r) const {
    const int l = std::max(0, static_cast<int>((r.L - 3.f) * scale)), t = std::max(0, static_cast<int>((r.T - 3.f) * scale));
    const int rr = std::min(w, static_cast<int>(std::ceil((r.R + 3.f) * scale)));
    const int b = std::min(h, static_cast<int>(std::ceil((r.B + 3.f) * scale)));
    std::vector<uint8_t> crop;
    for (int y = t; y < b; ++y)
      crop.insert(crop.end(), pixels.begin() + (static_cast<std::ptrdiff_t>(y) * w + l) * 4,
                  pixels.begin() + (static_cast<std::ptrdiff_t>(y) * w + rr) * 4);
    const std::string file = name + (scale > 1.f ? "_2x" : "_1x");
    std::printf("picture: %s\n", sp::test::savePng(file, rr - l, b - t, crop).c_str());
  }

private:
  SnapshotPlug* snapshot = nullptr;  // made by the panel, owned by it
  sp::test::NanoVGPanel panel;

public:
  SnapshotPlug& plug;
  float scale;  // pixels per panel unit: the window's draw scale times the screen's
  NanoVGTestCanvas* g = nullptr;
  std::vector<uint8_t> pixels;
  int w = 0, h = 0;

  // What the panel shows (the plug-in's members).
  SpectrumView& view;
  Readouts& readouts;
  MeterReadings& meters;
  std::string& targetLabel;

  SpectrumControl* spectrum = nullptr;
};

// ---------------------------------------------------------------------------------------
// Reading pixels

int brightness(const Rgba& p) { return std::min({p[0], p[1], p[2]}); }
bool whiteish(const Rgba& p, int floor) { return brightness(p) >= floor; }
bool accentLike(const Rgba& p) { return p[1] >= 140 && p[1] - p[0] >= 100; }

::testing::AssertionResult colourNear(const Rgba& got, const IColor& want, int tolerance) {
  const int d = std::max({std::abs(got[0] - want.R), std::abs(got[1] - want.G), std::abs(got[2] - want.B)});
  if (d <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << got[0] << ", " << got[1] << ", " << got[2] << ") is not within "
                                       << tolerance << " of (" << want.R << ", " << want.G << ", " << want.B << ")";
}

// An opaque colour over an opaque background at the colour's alpha.
IColor over(const IColor& c, const IColor& background) {
  auto mix = [&](int a, int b) { return static_cast<int>(std::lround(b + (a - b) * c.A / 255.0)); };
  return IColor(255, mix(c.R, background.R), mix(c.G, background.G), mix(c.B, background.B));
}

// Frame pixels inside r (panel units) for which the test holds.
template <class Pred>
int countIn(const PanelEditor& e, const IRECT& r, Pred pred) {
  int n = 0;
  for (int y = static_cast<int>(r.T * e.scale); y < static_cast<int>(r.B * e.scale); ++y)
    for (int x = static_cast<int>(r.L * e.scale); x < static_cast<int>(r.R * e.scale); ++x)
      n += pred(sp::test::pixelAt(e.pixels, e.w, x, y)) ? 1 : 0;
  return n;
}

// The mean y (panel units) of the pixels of the column at panel x, between y0 and y1, for
// which the test holds; NaN when none does.
template <class Pred>
float columnCentre(const PanelEditor& e, float x, float y0, float y1, Pred pred) {
  double sum = 0.0;
  int n = 0;
  const int px = static_cast<int>(x * e.scale);
  for (int y = static_cast<int>(y0 * e.scale); y < static_cast<int>(y1 * e.scale); ++y)
    if (pred(sp::test::pixelAt(e.pixels, e.w, px, y))) {
      sum += (y + 0.5) / e.scale;
      ++n;
    }
  return n > 0 ? static_cast<float>(sum / n) : NAN;
}

// The horizontal extent (panel units) of the pixels inside r for which the test holds:
// {left edge, right edge}; {NaN, NaN} when none does.
template <class Pred>
std::pair<float, float> inkSpan(const PanelEditor& e, const IRECT& r, Pred pred) {
  int lo = -1, hi = -1;
  for (int y = static_cast<int>(r.T * e.scale); y < static_cast<int>(r.B * e.scale); ++y)
    for (int x = static_cast<int>(r.L * e.scale); x < static_cast<int>(r.R * e.scale); ++x)
      if (pred(sp::test::pixelAt(e.pixels, e.w, x, y))) {
        lo = lo < 0 ? x : std::min(lo, x);
        hi = std::max(hi, x);
      }
  if (lo < 0) return {NAN, NAN};
  return {lo / e.scale, (hi + 1) / e.scale};
}

// Text ink on the main panel: clearly lighter than the panel.
bool ink(const Rgba& p) { return brightness(p) > kMainPanel.R + 30; }

class PanelPixels : public ::testing::TestWithParam<float> {
protected:
  void SetUp() override {
    e = std::make_unique<PanelEditor>(GetParam());
    ASSERT_NE(e->g, nullptr);
  }
  PanelEditor& panel() { return *e; }
  // The level's y on the spectrum's window (the window top as the last draw left it).
  float yOfLevel(double level) const {
    return static_cast<float>(kSpectrumRect.T + (e->spectrum->windowTop() - level) / 48.0 * kSpectrumRect.H());
  }
  static float xOfBand(int k) { return kSpectrumRect.L + kSpectrumRect.W() * static_cast<float>(k / 179.0); }

  std::unique_ptr<PanelEditor> e;
};

std::string scaleName(const ::testing::TestParamInfo<float>& info) { return info.param > 1.f ? "Scale2" : "Scale1"; }

}  // namespace

// ---------------------------------------------------------------------------------------
// Spectrum

TEST_P(PanelPixels, SpectrumCurvesSitAtTheirLevels) {
  PanelEditor& p = panel();
  p.setParam(kCorrect, 1.0);
  p.draw();
  p.save("panel_live", IRECT(0, 0, 640, 400));
  p.save("spectrum_live", kSpectrumRect);
  const SpectrumView& v = p.view;

  // The fast input line (near white) at its level, looked for within 5 units: in columns
  // away from the handles where it runs inside the target band and the dashed output
  // (greyer, but not by much where it is fully covered) lies 3 dB or more away.
  for (const int k : {24, 141, 155}) {
    const std::size_t i = static_cast<std::size_t>(k);
    ASSERT_GT(std::fabs(v.output[i] - v.inputFast[i]), 3.0) << "the probe needs the output away, band " << k;
    const float want = yOfLevel(v.inputFast[i]);
    const float y = columnCentre(p, xOfBand(k), want - 5.f, want + 5.f, [](const Rgba& c) { return whiteish(c, 200); });
    EXPECT_NEAR(y, want, 1.5f) << "fast input at band " << k;
  }
  // The correction line (accent) around the zero line at y 204, 8 units per dB.
  for (const int k : {30, 90, 165}) {
    const float y = columnCentre(p, xOfBand(k), kSpectrumRect.T + 15.f, kSpectrumRect.B, accentLike);
    EXPECT_NEAR(y, 204.f - static_cast<float>(v.response[static_cast<std::size_t>(k)]) * 8.f, 1.5f)
        << "correction at band " << k;
  }
  // The slow area's top edge at the slow input's level (band 15, 60 Hz: inside the target
  // band, the fast line 4 dB below it): the area (drawn after the band) over the band just
  // below, the band alone above.
  const IColor bandOverPanel = over(kPalette.accent.WithAlpha(71), IColor(255, 15, 15, 15));
  const float ySlow = yOfLevel(v.input[15]);
  EXPECT_TRUE(colourNear(p.at(xOfBand(15), ySlow + 2.f), over(IColor(46, 250, 250, 250), bandOverPanel), 4));
  EXPECT_TRUE(colourNear(p.at(xOfBand(15), ySlow - 4.f), bandOverPanel, 4));
  // The slow area reaches the bottom edge; above the curves (and between the grid lines at
  // 24 and 18 dB, y 109 and 127) the panel shows bare.
  const IColor panelFill(255, 15, 15, 15);
  EXPECT_TRUE(colourNear(p.at(xOfBand(90), 249.f), over(IColor(46, 250, 250, 250), panelFill), 4));
  EXPECT_TRUE(colourNear(p.at(xOfBand(90), 118.f), panelFill, 3));
  // The target band (accent at alpha 71) between its edges where nothing else lies, at
  // band 120 (2.2 kHz, right of the mid handle): between the fast line and the upper edge.
  const std::size_t k = 120;
  const double upper = v.target[k] + std::max(v.spread[k], 3.0);
  const double top = std::max(v.inputFast[k], v.input[k]);
  ASSERT_GT(upper - top, 1.5) << "the probe needs room between the curves";
  const Rgba band = p.at(xOfBand(120), (yOfLevel(upper) + yOfLevel(top)) / 2.f);
  EXPECT_TRUE(colourNear(band, bandOverPanel, 4));
}

// The input far below the target band everywhere: the excursion is one even area, with no
// darker seams where the intervals meet.
TEST_P(PanelPixels, ExcursionAreaHasNoSeamsBetweenItsIntervals) {
  PanelEditor& p = panel();
  for (std::size_t i = 0; i < 180; ++i) {
    p.view.target[i] = 0.0;
    p.view.spread[i] = 3.0;
    p.view.input[i] = -30.0;
    p.view.inputFast[i] = -15.0 + 0.5 * std::sin(static_cast<double>(i));
    p.view.response[i] = 12.0;
  }
  p.view.outputLive = false;
  p.setParam(kCorrect, 1.0);
  p.draw();
  p.save("spectrum_excursion", kSpectrumRect);
  const float y = yOfLevel(-13.0);
  ASSERT_GT(p.at(xOfBand(60), y)[0], 150) << "the row must cross the excursion";
  int seams = 0;
  for (float x = kSpectrumRect.L + 4.f; x < kSpectrumRect.R - 4.f; x += 1.f / p.scale) {
    const auto sum = [&](float at) {
      const Rgba c = p.at(at, y);
      return c[0] + c[1] + c[2];
    };
    const int left = sum(x - 1.f / p.scale), mid = sum(x), right = sum(x + 1.f / p.scale);
    seams += mid + 12 < left && mid + 12 < right;
  }
  EXPECT_EQ(seams, 0);
}

TEST_P(PanelPixels, SpectrumWithoutSignalShowsTheFrozenCorrectionAndHandles) {
  PanelEditor& p = panel();
  p.view.inputLive = false;
  p.view.frozen = true;
  p.setParam(kCorrect, 1.0);
  p.setParam(kFreeze, 1.0);
  p.draw();
  p.save("spectrum_no_signal_frozen", kSpectrumRect);
  // "NO SIGNAL" in the centre, muted; no input line anywhere.
  const IRECT centre(190, 173, 310, 187);
  EXPECT_GT(countIn(p, centre, [](const Rgba& c) { return brightness(c) > 60; }), 40);
  EXPECT_EQ(countIn(p, IRECT(22, 123, 478, 238), [](const Rgba& c) { return whiteish(c, 150); }), 0);
  // The "FROZEN" tag: an accent pill at the right end of the zero line with dark text.
  EXPECT_TRUE(colourNear(p.at(472.f, 204.f), kPalette.accent, 3));
  EXPECT_GT(countIn(p, IRECT(430, 199, 472, 209), [](const Rgba& c) { return brightness(c) < 60 && c[1] < 100; }), 20);
  // The correction line still drawn; the three handle pills at the top (200 Hz, 2k, 6k).
  EXPECT_FALSE(std::isnan(columnCentre(p, xOfBand(30), 123.f, 252.f, accentLike)));
  for (const float x : {174.f, 326.f, 398.5f}) EXPECT_TRUE(colourNear(p.at(x - 6.f, 115.f), IColor(255, 42, 42, 42), 3)) << x;
}

// ---------------------------------------------------------------------------------------
// Loudness meter

TEST_P(PanelPixels, MeterBarTakesTheAccentNearTheTarget) {
  PanelEditor& p = panel();
  p.meters.shortTerm = -12.5f;
  p.meters.truePeak3s = -3.2f;
  p.draw();
  p.save("meter_on_target", kMeterRect);
  // Track y 162..168 from x 504 to 614; -12.5 LUFS ends the bar at 584.2.
  EXPECT_TRUE(colourNear(p.at(530.f, 165.f), kPalette.accent, 3));
  EXPECT_TRUE(colourNear(p.at(582.f, 165.f), kPalette.accent, 3));
  EXPECT_TRUE(colourNear(p.at(600.f, 165.f), over(kPalette.hairline, kMainPanel), 3));
  // The target marker (-14 at 577.33) reaches 4 units above the track, in the text colour.
  EXPECT_TRUE(colourNear(p.at(577.f, 159.f), kPalette.text, 25));
  // The number in the text colour: its lightest ink is near white.
  EXPECT_GT(countIn(p, IRECT(498, 98, 620, 140), [](const Rgba& c) { return whiteish(c, 235); }), 40);
}

TEST_P(PanelPixels, MeterFarFromTheTargetWarnsAndAPeakOverMinusOneIsDanger) {
  PanelEditor& p = panel();
  p.plug.setIntegratedDisplay(true);
  p.meters.integrated = -11.9f;
  p.meters.integratedSeconds = 3725.f;
  p.meters.truePeakSinceReset = -0.9f;
  p.draw();
  p.save("meter_warning", kMeterRect);
  EXPECT_TRUE(colourNear(p.at(530.f, 165.f), kPalette.warning, 3));
  // Number, status and true peak ink in their colours, and no white ink in the number.
  auto near = [](const IColor& want) {
    return [want](const Rgba& c) { return std::abs(c[0] - want.R) + std::abs(c[1] - want.G) + std::abs(c[2] - want.B) < 30; };
  };
  EXPECT_GT(countIn(p, IRECT(498, 98, 620, 140), near(kPalette.warning)), 40);
  EXPECT_EQ(countIn(p, IRECT(498, 98, 620, 140), [](const Rgba& c) { return whiteish(c, 200); }), 0);
  EXPECT_GT(countIn(p, IRECT(498, 292, 620, 322), near(kPalette.danger)), 30);
  EXPECT_GT(countIn(p, IRECT(498, 326, 620, 340), [](const Rgba& c) { return c[0] > 110 && c[0] - c[1] > 40; }), 10);
}

// ---------------------------------------------------------------------------------------
// Readouts

TEST_P(PanelPixels, ReadoutBarsSpanTheirValues) {
  PanelEditor& p = panel();
  p.readouts.active = true;
  p.readouts.tilt = 0.45;
  p.readouts.low = 4.5;    // warning, bar 223..244
  p.readouts.loMid = -2.0; // text colour, bar 287.67..297
  p.readouts.hiMid = 1.1;
  p.readouts.high = -7.0;  // warning, full bar 417..445
  p.readouts.hold = {1.0, 1.0, 0.3, 1.0};  // hi-mid held
  p.draw();
  p.save("readouts_active", kReadoutsRect);
  // Bars on y 299..303.
  EXPECT_TRUE(colourNear(p.at(240.f, 301.f), kPalette.warning, 3));
  EXPECT_TRUE(colourNear(p.at(247.f, 301.f), over(kPalette.hairline, kMainPanel), 3));
  EXPECT_TRUE(colourNear(p.at(206.f, 301.f), over(kPalette.hairline, kMainPanel), 3));
  EXPECT_TRUE(colourNear(p.at(290.f, 301.f), kPalette.text, 3));
  EXPECT_TRUE(colourNear(p.at(285.f, 301.f), over(kPalette.hairline, kMainPanel), 3));
  EXPECT_TRUE(colourNear(p.at(418.f, 301.f), kPalette.warning, 3));
  // The held column: a badge and no track beside it.
  EXPECT_TRUE(colourNear(p.at(371.f - 27.f, 301.f), kMainPanel, 2));
  EXPECT_GT(countIn(p, IRECT(356, 295, 386, 307), ink), 10);
  // The tilt's number and unit sit centred on its column.
  const auto [l, r] = inkSpan(p, IRECT(113, 278, 185, 296), ink);
  EXPECT_NEAR((l + r) / 2.f, 149.f, 1.5f);
}

TEST_P(PanelPixels, InactiveReadoutsShowDashesTracksAndTicks) {
  PanelEditor& p = panel();
  p.draw();
  p.save("readouts_inactive", kReadoutsRect);
  for (const float x : {149.f, 223.f, 297.f, 371.f, 445.f}) {
    EXPECT_TRUE(colourNear(p.at(x - 20.f, 301.f), over(kPalette.hairline, kMainPanel), 3)) << x;
    // The tick, 1 unit wide on x - 0.5 .. x + 0.5 (two half-covered pixels at scale 1).
    EXPECT_GT(std::max(brightness(p.at(x - 0.5f, 297.f)), brightness(p.at(x, 297.f))), kMainPanel.R + 40) << x;
    EXPECT_TRUE(colourNear(p.at(x + 2.f, 297.f), kMainPanel, 2)) << x;
    const auto [l, r] = inkSpan(p, IRECT(x - 30, 278, x + 30, 296), ink);  // the dash
    EXPECT_NEAR((l + r) / 2.f, x, 1.f) << x;
    EXPECT_LT(r - l, 12.f) << x;
  }
}

// ---------------------------------------------------------------------------------------
// Chips and legend

TEST_P(PanelPixels, ChipsKeepTheirLabelsInsideTheTextArea) {
  PanelEditor& p = panel();
  p.draw();
  p.save("target_chip", kTargetChipRect);
  p.save("loudness_chip", kLoudnessChipRect);
  // The chevron in textMuted, the outline in textFaint.
  EXPECT_TRUE(colourNear(p.at(238.f, 92.f), over(kPalette.textMuted, kMainPanel), 4));
  EXPECT_TRUE(colourNear(p.at(597.f, 241.f), over(kPalette.textMuted, kMainPanel), 4));
  EXPECT_GT(brightness(p.at(160.f, 81.f)), kMainPanel.R + 20);
  // The label starts 10 units in and leaves the chevron alone.
  const auto [l, r] = inkSpan(p, IRECT(78, 86, 233, 100), ink);
  EXPECT_NEAR(l, 82.5f, 1.5f);
  EXPECT_LT(r, 228.5f);

  p.targetLabel = "A very long learned target name " + kMiddleDot + " \xC3\x84\xC3\x84\xC3\x84\xC3\x84";
  p.draw();
  p.save("target_chip_cut", kTargetChipRect);
  const auto [lc, rc] = inkSpan(p, IRECT(78, 86, 233, 100), ink);
  EXPECT_NEAR(lc, 82.5f, 1.5f);
  EXPECT_LE(rc, 228.5f);
  EXPECT_GT(rc, 215.f);  // cut close to the end of the area, with the ellipsis
}

TEST_P(PanelPixels, LegendRowEndsAtTheRightEdgeAndFitsWithFourItems) {
  PanelEditor& p = panel();
  p.draw();
  p.save("legend_four_items", kLegendRect);
  const auto [l4, r4] = inkSpan(p, IRECT(250, 84, 484, 100), ink);
  EXPECT_NEAR(l4, 256.f, 1.f);
  EXPECT_LE(r4, 478.5f);
  EXPECT_GT(r4, 470.f);
  // The correction swatch in the accent colour, the target swatch in its alpha.
  EXPECT_GT(countIn(p, IRECT(256, 90, 478, 94), accentLike), 6);

  p.view.correctionWanted = false;
  p.draw();
  p.save("legend_two_items", kLegendRect);
  const auto [l2, r2] = inkSpan(p, IRECT(250, 84, 484, 100), ink);
  EXPECT_GT(l2, 370.f);
  EXPECT_LE(r2, 478.5f);
  EXPECT_GT(r2, 470.f);
}

// ---------------------------------------------------------------------------------------
// Pills, knobs, captions

TEST_P(PanelPixels, PillDotsAreLitInTheAccent) {
  PanelEditor& p = panel();
  p.setParam(kCorrect, 1.0);
  p.draw();
  p.save("pills_correct_on", IRECT(20, 256, 112, 304));
  p.save("bypass_pill_active", kBypassPillRect);
  EXPECT_TRUE(colourNear(p.at(29.f, 267.f), kPalette.accent, 3));
  EXPECT_TRUE(colourNear(p.at(29.f, 293.f), IColor(255, 70, 70, 70), 3));   // FREEZE off
  EXPECT_TRUE(colourNear(p.at(543.f, 53.f), kPalette.accent, 3));           // ACTIVE: lit while off
  EXPECT_GT(countIn(p, IRECT(34, 260, 106, 274), ink), 30);                 // "CORRECT"

  p.setParam(kCorrect, 0.0);
  p.setParam(kFreeze, 1.0);
  p.draw();
  p.save("pills_correct_off", IRECT(20, 256, 112, 304));
  EXPECT_TRUE(colourNear(p.at(29.f, 267.f), IColor(255, 70, 70, 70), 3));
  EXPECT_TRUE(colourNear(p.at(29.f, 293.f), kPalette.accent, 3));            // FROZEN
  // Bypassed, the main panel (with the two pills) lies under the bypass shade; the bypass
  // pill above it does not.
  p.setParam(kBypass, 1.0);
  p.draw();
  p.save("bypass_pill_bypassed", kBypassPillRect);
  EXPECT_TRUE(colourNear(p.at(543.f, 53.f), IColor(255, 70, 70, 70), 3));    // BYPASSED
}

TEST_P(PanelPixels, KnobArcsShowTheirValuesOverTheRing) {
  PanelEditor& p = panel();
  p.setParam(kCorrect, 1.0);
  p.setParam(kCorrectHigh, 100.0);
  p.setParam(kCorrectLoMid, 0.0);
  p.draw();
  p.save("knob_row", kKnobRowRect);
  // Low at 50 %: the arc from the start up to 12 o'clock passes 9 o'clock (209, 326); past
  // it, at 3 o'clock, only the ring.
  EXPECT_TRUE(colourNear(p.at(209.f, 326.f), kPalette.accent, 3));
  EXPECT_TRUE(colourNear(p.at(236.f, 326.f), over(IColor(36, 250, 250, 250), kMainPanel), 4));
  // High at 100 %: 3 o'clock lit; Lo-Mid at 0 %: 9 o'clock only the ring.
  EXPECT_TRUE(colourNear(p.at(458.f, 326.f), kPalette.accent, 3));
  EXPECT_TRUE(colourNear(p.at(283.f, 326.f), over(IColor(36, 250, 250, 250), kMainPanel), 4));
}

TEST_P(PanelPixels, CaptionsAreCentredUnderTheirKnobsAndFit) {
  PanelEditor& p = panel();
  p.setParam(kCorrect, 1.0);
  p.setParam(kCorrectSpeed, 12.3);
  p.draw();
  p.save("captions_with_gains", IRECT(20, 342, 482, 360));
  for (const float x : kKnobCentres) {
    const auto [l, r] = inkSpan(p, IRECT(x - 40, 344, x + 40, 358), ink);
    EXPECT_NEAR((l + r) / 2.f, x, 1.5f) << x;
    EXPECT_GE(l, x - 37.f) << x;
    EXPECT_LE(r, x + 37.f) << x;
  }
  // "50 % · +1.2 dB" is far wider than "50 %" with Correct off. Correct off, the knob row
  // lies under its shade (the panel's colour at 173 of 255), which leaves the muted text
  // about a third of its lift over the panel.
  const auto [l, r] = inkSpan(p, captionRect(223), ink);
  p.setParam(kCorrect, 0.0);
  p.draw();
  p.save("captions_plain", IRECT(20, 342, 482, 360));
  const auto shadedInk = [](const Rgba& c) { return brightness(c) > kMainPanel.R + 10; };
  const auto [l0, r0] = inkSpan(p, captionRect(223), shadedInk);
  EXPECT_GT(r - l, 2.f * (r0 - l0));
  EXPECT_NEAR((l0 + r0) / 2.f, 223.f, 1.5f);
}

INSTANTIATE_TEST_SUITE_P(Scales, PanelPixels, ::testing::Values(1.f, 2.f), scaleName);

// ---------------------------------------------------------------------------------------
// Scale 2 against scale 1

namespace {

// What a part of the frame holds, in panel units: the ink (each pixel's summed channel
// distance from the main panel, per square unit) and its centre.
struct Ink {
  double mass = 0.0, x = 0.0, y = 0.0;
};
Ink inkOf(const PanelEditor& e, const IRECT& r) {
  Ink ink;
  for (int y = static_cast<int>(r.T * e.scale); y < static_cast<int>(r.B * e.scale); ++y)
    for (int x = static_cast<int>(r.L * e.scale); x < static_cast<int>(r.R * e.scale); ++x) {
      const Rgba p = sp::test::pixelAt(e.pixels, e.w, x, y);
      const double m = std::abs(p[0] - kMainPanel.R) + std::abs(p[1] - kMainPanel.G) + std::abs(p[2] - kMainPanel.B);
      ink.mass += m;
      ink.x += m * (x + 0.5) / e.scale;
      ink.y += m * (y + 0.5) / e.scale;
    }
  if (ink.mass > 0.0) {
    ink.x /= ink.mass;
    ink.y /= ink.mass;
  }
  ink.mass /= e.scale * e.scale;
  return ink;
}

}  // namespace

TEST(PanelPixelsAcrossScales, ScaleTwoHoldsTheSameInkInTheSamePlaces) {
  PanelEditor one(1.f), two(2.f);
  ASSERT_NE(one.g, nullptr);
  ASSERT_NE(two.g, nullptr);
  for (PanelEditor* p : {&one, &two}) {
    p->setParam(kCorrect, 1.0);
    p->meters.shortTerm = -12.5f;
    p->readouts.active = true;
    p->readouts.low = 4.5;
    p->readouts.hiMid = -2.0;
    p->draw();
  }
  ASSERT_EQ(two.w, 2 * one.w);
  struct Part {
    const char* name;
    IRECT r;
  };
  const Part parts[] = {{"spectrum", kSpectrumRect},     {"meter", kMeterRect},
                        {"readouts", kReadoutsRect},     {"target chip", kTargetChipRect},
                        {"legend", kLegendRect},         {"pills", IRECT(20, 256, 112, 304)},
                        {"knobs", IRECT(20, 308, 482, 343)}, {"captions", IRECT(20, 343, 482, 360)},
                        {"bypass", kBypassPillRect},     {"loudness chip", kLoudnessChipRect}};
  for (const Part& part : parts) {
    const Ink a = inkOf(one, part.r), b = inkOf(two, part.r);
    std::printf("%-14s mass %10.0f %10.0f (%+.2f %%)  centre (%.2f, %.2f) (%.2f, %.2f)\n", part.name, a.mass, b.mass,
                100.0 * (b.mass / a.mass - 1.0), a.x, a.y, b.x, b.y);
    // Small text comes out a little lighter at scale 1 (glyphs of 6 or 7 pixels), which
    // moves the centre of a text-heavy part by up to about 1.5 units.
    EXPECT_NEAR(b.mass / a.mass, 1.0, 0.08) << part.name;
    EXPECT_NEAR(b.x, a.x, 2.0) << part.name;
    EXPECT_NEAR(b.y, a.y, 1.0) << part.name;
  }
}

// A window drawn twice as large on a screen of scale 1 ("Window 2x") shows the same pixels
// as the panel at its size on a screen of scale 2.
TEST(PanelPixelsAcrossScales, TwiceTheWindowOnScaleOneMatchesScreenScaleTwo) {
  PanelEditor screen(2.f), window(1.f, 2.f);
  ASSERT_NE(screen.g, nullptr);
  ASSERT_NE(window.g, nullptr);
  for (PanelEditor* p : {&screen, &window}) {
    p->setParam(kCorrect, 1.0);
    p->meters.shortTerm = -12.5f;
    p->draw();
  }
  ASSERT_EQ(window.w, screen.w);
  ASSERT_EQ(window.h, screen.h);
  window.save("panel_window_twice", IRECT(0, 0, 640, 400));
  double sum = 0.0;
  int worst = 0;
  for (std::size_t i = 0; i < screen.pixels.size(); ++i) {
    const int d = std::abs(static_cast<int>(screen.pixels[i]) - static_cast<int>(window.pixels[i]));
    sum += d;
    worst = std::max(worst, d);
  }
  std::printf("mean difference %.4f, largest %d\n", sum / screen.pixels.size(), worst);
  EXPECT_LT(sum / screen.pixels.size(), 0.05);
}
