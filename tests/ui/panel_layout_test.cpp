// The panel's layout with the real plug-in: the catalogue of controls in drawing order
// (classes, rectangles, tags, groups, parameters, which ones ignore the mouse), the same
// panel after the context was emptied and laid out again, a context that already holds
// controls refused, the logo or its text, the title from the track label (fitted with an
// ellipsis), every control drawing only inside the area it is redrawn in, the shades at
// build time, and the hue opposite the accent.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <optional>
#include <utility>
#include <string>
#include <typeinfo>
#include <vector>

#include "graphics/IPanelControl.h"
#include "graphics/ISVGControl.h"
#include "graphics/ITextControl.h"
#include "plugin/version.h"
#include "tests/support/canvas/draw_ops.h"
#include "tests/ui/panel_fixture.h"
#include "tests/ui/product_panel.h"
#include "ui/chips.h"
#include "ui/corner_scale.h"
#include "ui/loudness_control.h"
#include "ui/panel_layout.h"
#include "ui/panel_style.h"
#include "ui/parameter_controls.h"
#include "ui/preset_bar.h"
#include "ui/readouts_control.h"
#include "ui/settings_menu.h"
#include "ui/spectrum_control.h"
#include "ui/title_control.h"
#include "ui/update_pill.h"

namespace plugkit::canvas {
inline void PrintTo(const IRECT& r, std::ostream* os) { *os << "(" << r.L << ", " << r.T << ", " << r.R << ", " << r.B << ")"; }
}  // namespace plugkit::canvas

using namespace uitest;
using balance_panel::AmountCaptionControl;
using balance_panel::ChipControl;
using balance_panel::CornerScaleControl;
using balance_panel::LegendControl;
using balance_panel::LoudnessControl;
using balance_panel::PillToggleControl;
using balance_panel::ReadoutsControl;
using balance_panel::RingKnobControl;
using balance_panel::SettingsMenuControl;
using balance_panel::SpectrumControl;
using balance_panel::TitleControl;
using brightloom::controls::PresetBarControl;
using brightloom::controls::UpdatePillControl;

namespace {

struct Entry {
  const std::type_info* type;
  IRECT rect;
  int tag = kNoTag;
  const char* group = "";
  bool ignoresMouse = false;
  std::vector<int> params = {};
  // The drawn area (GetRECT) where it reaches beyond the layout's rectangle; else rect.
  IRECT drawn = IRECT();
};

std::vector<Entry> catalogue(bool logoImage, const IRECT& logo) {
  std::vector<Entry> c = {
      {&typeid(IPanelControl), IRECT(0, 0, 640, 400), kNoTag, "", true},
      {&typeid(IPanelControl), IRECT(10, 74, 630, 360), kNoTag, "", true},
      {&typeid(ITextControl), IRECT(22, 80, 72, 104), kNoTag, "", true},
      {&typeid(ChipControl), IRECT(72, 81, 250, 103), 7},
      {&typeid(LegendControl), IRECT(256, 80, 478, 104), 3, "", true},
      {&typeid(SpectrumControl), IRECT(22, 108, 478, 252), 2, "", false, {kLowCrossover, kMidCrossover, kHighCrossover}},
      {&typeid(ReadoutsControl), IRECT(110, 260, 482, 306), 4, "", true, {}, IRECT(110, 260, 482, 307.5f)},
      {&typeid(PillToggleControl), IRECT(20, 256, 112, 278), kNoTag, "", false, {kCorrect}},
      {&typeid(PillToggleControl), IRECT(20, 282, 112, 304), kNoTag, "", false, {kFreeze}},
  };
  const std::pair<int, float> knobs[6] = {{kCorrectSpeed, 66.f}, {kCorrectTilt, 149.f}, {kCorrectLow, 223.f},
                                          {kCorrectLoMid, 297.f}, {kCorrectHiMid, 371.f}, {kCorrectHigh, 445.f}};
  for (const auto& [p, x] : knobs) {
    c.push_back({&typeid(RingKnobControl), IRECT(x - 16, 310, x + 16, 342), kNoTag, "", false, {p}});
    c.push_back({&typeid(AmountCaptionControl), IRECT(x - 37, 344, x + 37, 358), kNoTag, "", false, {p}});
  }
  const std::vector<Entry> rest = {
      {&typeid(IPanelControl), IRECT(20, 308, 112, 360), kNoTag, "correct-shade", true},
      {&typeid(IPanelControl), IRECT(112, 308, 482, 360), kNoTag, "correct-shade", true},
      {&typeid(IPanelControl), IRECT(20, 308, 112, 360), kNoTag, "freeze-shade", true},
      {&typeid(IPanelControl), IRECT(490, 82, 491, 352), kNoTag, "", true},
      {&typeid(LoudnessControl), IRECT(498, 82, 620, 354), 5, "", false, {}, IRECT(498, 80, 620, 354)},
      {&typeid(ChipControl), IRECT(509, 230, 609, 252), 6},
      {&typeid(TitleControl), IRECT(20, 41, 504, 69), 0, "", true},
      {&typeid(PillToggleControl), IRECT(534, 41, 620, 65), kNoTag, "", false, {kBypass}},
      {&typeid(SettingsMenuControl), IRECT(), kNoTag, "", true},
      {&typeid(UpdatePillControl), IRECT(364, 41, 524, 65)},
      {&typeid(IPanelControl), IRECT(10, 74, 630, 360), kNoTag, "bypass-shade", true},
      {&typeid(PresetBarControl), IRECT(0, 0, 640, 32)},
      {logoImage ? &typeid(ISVGControl) : &typeid(ITextControl), logo, kNoTag, "", !logoImage},
      {&typeid(ITextControl), IRECT(300, 373, 620, 387), 1, "", true},
      {&typeid(CornerScaleControl), IRECT(626, 386, 638, 398)},
  };
  c.insert(c.end(), rest.begin(), rest.end());
  return c;
}

void expectCatalogue(ICanvas& g, bool logoImage = false, const IRECT& logo = IRECT(20, 371, 300, 389)) {
  const std::vector<Entry> expected = catalogue(logoImage, logo);
  ASSERT_EQ(g.NControls(), static_cast<int>(expected.size()));
  for (int i = 0; i < g.NControls(); ++i) {
    SCOPED_TRACE("control " + std::to_string(i));
    IControl* c = g.GetControl(i);
    const Entry& e = expected[static_cast<std::size_t>(i)];
    EXPECT_EQ(typeid(*c), *e.type) << typeid(*c).name();
    EXPECT_EQ(c->GetRECT(), e.drawn.IsEmpty() ? e.rect : e.drawn);
    // A knob's target is its widget; every other control is hit over its whole rectangle.
    if (e.type != &typeid(RingKnobControl)) {
      EXPECT_EQ(c->GetTargetRECT(), e.rect);
    }
    EXPECT_EQ(g.GetControlTag(c), e.tag);
    EXPECT_STREQ(c->GetGroup(), e.group);
    EXPECT_EQ(c->GetIgnoreMouse(), e.ignoresMouse);
    if (!e.params.empty()) {
      ASSERT_EQ(c->NVals(), static_cast<int>(e.params.size()));
      for (int v = 0; v < c->NVals(); ++v) EXPECT_EQ(c->GetParamIdx(v), e.params[static_cast<std::size_t>(v)]);
    } else {
      for (int v = 0; v < c->NVals(); ++v) EXPECT_EQ(c->GetParamIdx(v), kNoLinkedParam);
    }
  }
  // Tags 0..7 exactly once each, and no other.
  int tagged = 0;
  for (int i = 0; i < g.NControls(); ++i)
    if (g.GetControlTag(g.GetControl(i)) != kNoTag) ++tagged;
  EXPECT_EQ(tagged, 8);
  for (int tag = 0; tag < 8; ++tag) EXPECT_NE(g.GetControlWithTag(tag), nullptr) << tag;
}

class PanelLayout : public ProductPanelTest {};

}  // namespace

// ---------------------------------------------------------------------------------------
// Catalogue

TEST_F(PanelLayout, ControlsInDrawingOrderWithTheirClassesRectanglesTagsGroupsAndParameters) {
  expectCatalogue(*g);
  EXPECT_FALSE(g->GetLayoutOnResize());
  EXPECT_TRUE(g->MouseOverEnabled());
  // The settings menu is never drawn and never hit.
  EXPECT_TRUE(control(29)->IsHidden());
  // Fonts asked for by their files.
  EXPECT_EQ(platform.fontLog.front(), "platform Roboto-Regular Roboto-Regular.ttf");
  // The caption prefixes: "Speed " on the first knob only, suffixes on the five amounts.
  EXPECT_EQ(as<AmountCaptionControl>(10)->prefix, "Speed ");
  EXPECT_FALSE(static_cast<bool>(as<AmountCaptionControl>(10)->suffix));
  for (int i = 12; i <= 20; i += 2) {
    EXPECT_EQ(as<AmountCaptionControl>(i)->prefix, "");
    EXPECT_TRUE(static_cast<bool>(as<AmountCaptionControl>(i)->suffix));
  }
  // The knob gearing and angles as the row uses them.
  const auto* knob = as<RingKnobControl>(11);
  EXPECT_EQ(knob->GetStartAngle(), -135.f);
  EXPECT_EQ(knob->GetEndAngle(), 135.f);
  EXPECT_EQ(knob->ringColour, IColor(36, 250, 250, 250));
}

TEST_F(PanelLayout, ClicksHitFromTheTopmostControlDown) {
  struct Probe {
    float x, y;
    int idx;
  } probes[] = {
      {615, 16, 32},   // the preset bar's menu button
      {60, 267, 7},    // CORRECT
      {60, 293, 8},    // FREEZE
      {223, 326, 13},  // the Low knob
      {223, 351, 14},  // its caption
      {150, 92, 3},    // the target chip
      {300, 92, -1},   // the legend ignores the mouse
      {300, 180, 5},   // the spectrum
      {550, 150, 25},  // the meter's upper part
      {520, 300, -1},  // below it the meter takes nothing
      {550, 240, 26},  // the loudness-target chip
      {577, 53, 28},   // Bypass
      {400, 53, -1},   // no update notice: the pill takes nothing
      {632, 394, 35},  // the corner
  };
  for (const Probe& p : probes) EXPECT_EQ(g->GetMouseControlIdx(p.x, p.y), p.idx) << p.x << ", " << p.y;
}

TEST_F(PanelLayout, EmptiedAndLaidOutAgainGivesTheSamePanel) {
  relayOut();
  expectCatalogue(*g);
  relayOut();
  expectCatalogue(*g);
}

TEST_F(PanelLayout, AContextThatHoldsControlsIsRefusedAndKeepsThem) {
  IControl* first = control(3);
  plug->layout(g);
  EXPECT_EQ(g->NControls(), 36);
  EXPECT_EQ(control(3), first);
  expectCatalogue(*g);
}

// ---------------------------------------------------------------------------------------
// Logo

namespace {

// Preloads the logo's cache entry from SVG text before each layout; `size` then rewrites
// the parsed image's size (the reader itself refuses sizes that are not above 0).
class LogoLayout : public ProductPanelTest {
protected:
  void beforeLayout(ICanvas& canvas) override {
    if (svg.empty()) return;
    ISVG image = canvas.LoadSVG(balance_panel::kLogoFile, static_cast<const void*>(svg.data()),
                                static_cast<int>(svg.size()));
    ASSERT_TRUE(image.IsValid());
    if (size) {
      image.mImage->width = size->first;
      image.mImage->height = size->second;
    }
  }
  void layOutWith(std::optional<std::pair<float, float>> imageSize) {
    closeEditor();
    svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="50"><rect width="200" height="50"/></svg>)";
    size = imageSize;
    openEditor();
  }
  std::string svg;
  std::optional<std::pair<float, float>> size;
};

}  // namespace

TEST_F(LogoLayout, WithoutAnImageTheProductNameStandsInItsPlace) {
  auto* text = as<ITextControl>(33);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text->GetStr(), "SPECTRAPOISE");
  EXPECT_EQ(text->GetText().size, 14.f);
  EXPECT_STREQ(text->GetText().font, "RobotoCondensed-Bold");
}

TEST_F(LogoLayout, AnImageIsDrawn18UnitsHighAtItsAspect) {
  layOutWith(std::nullopt);
  expectCatalogue(*g, true, IRECT(20, 371, 92, 389));
}

TEST_F(LogoLayout, AnImageWithoutAUsableSizeFallsBackToTheText) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (const auto& [w, h] : std::vector<std::pair<float, float>>{{200.f, 0.f}, {0.f, 50.f}, {200.f, -5.f},
                                                                 {nan, 50.f}, {200.f, inf}, {3e38f, 1e-30f}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    layOutWith(std::make_pair(w, h));
    ASSERT_NE(as<ITextControl>(33), nullptr);
    EXPECT_STREQ(as<ITextControl>(33)->GetStr(), "SPECTRAPOISE");
  }
}

// ---------------------------------------------------------------------------------------
// Title

TEST_F(PanelLayout, TheTitleShowsTheTrackLabelOrTheProductName) {
  EXPECT_STREQ(static_cast<ITextControl*>(tagged(0))->GetStr(), "SPECTRAPOISE");
  EXPECT_STREQ(static_cast<ITextControl*>(tagged(0))->GetText().font, "RobotoCondensed-Bold");

  setTrackName(*plug, "Kick", 3);
  tick();
  relayOut();
  EXPECT_STREQ(static_cast<ITextControl*>(tagged(0))->GetStr(), "#3: Kick");

  setTrackName(*plug, "", 3);
  tick();
  relayOut();
  EXPECT_STREQ(static_cast<ITextControl*>(tagged(0))->GetStr(), "SPECTRAPOISE");
}

TEST_F(PanelLayout, ALongTitleIsCutByWholeCharactersAndEndsInAnEllipsis) {
  const std::string ellipsis = "\xE2\x80\xA6";
  const std::string label = "#12: Lead Vocal Doubles and Harmonies Bus (Chorus 2, comped) \xC3\xA9\xC3\xA9";
  setTrackName(*plug, label.substr(5).c_str(), 12);
  tick();
  auto* title = static_cast<ITextControl*>(tagged(0));
  ASSERT_EQ(title->GetStr(), label);  // the stored text stays whole
  // Narrowed as by the update notice, and at the full width with a label that fits.
  struct Case {
    float right;
    std::string expected;
  } cases[] = {
      // 21-unit text measures 10.5 per character here: 334 units hold 31 characters, the
      // ellipsis included; 484 hold 46.
      {354.f, label.substr(0, 30) + ellipsis},
      {504.f, label.substr(0, 45) + ellipsis},
      // Narrower than the ellipsis itself: the ellipsis alone.
      {28.f, ellipsis},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.right);
    title->SetBothRects(IRECT(20, 41, c.right, 69));
    g->clearDrawOps();
    title->Draw(*g);
    const std::vector<DrawOp> drawn = g->opsOf({DrawOp::DrawText});
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].text, c.expected);
  }
  // A short label is drawn whole.
  title->SetBothRects(IRECT(20, 41, 504, 69));
  setTrackName(*plug, "Kick", 3);
  tick();
  g->clearDrawOps();
  title->Draw(*g);
  EXPECT_EQ(g->opsOf({DrawOp::DrawText}).at(0).text, "#3: Kick");
}

TEST_F(PanelLayout, TheFooterIsWrittenAgainByTheFirstTickAfterALayout) {
  tick();
  EXPECT_STREQ(static_cast<ITextControl*>(tagged(1))->GetStr(), (std::string("SpectraPoise ") + spectrapoise::plugin::kVersion + " \xC2\xB7 0 samples latency").c_str());
  relayOut();
  EXPECT_STREQ(static_cast<ITextControl*>(tagged(1))->GetStr(), "");
  tick();
  EXPECT_STREQ(static_cast<ITextControl*>(tagged(1))->GetStr(), (std::string("SpectraPoise ") + spectrapoise::plugin::kVersion + " \xC2\xB7 0 samples latency").c_str());
}

// ---------------------------------------------------------------------------------------
// Drawing inside the redrawn area

namespace {

// What a control draws that the redraw would cut: the redraw clips each control to its
// drawn area grown by 0.75 and aligned to pixels, so everything it draws must lie there.
// The control draws once under a pass clip far wider than the window; each fill and stroke
// (a stroke grown by half its thickness), each text's measured box and each bitmap, cut by
// any clip the control set itself, is compared with that area.
std::vector<std::string> drawnOutside(sp::test::TestCanvas& g, IControl& c) {
  const IRECT area = c.GetRECT().GetPadded(0.75f).GetPixelAligned(1.f);
  g.clearDrawOps();
  g.PrepareRegion(IRECT(-1000, -1000, 2000, 2000));
  c.Draw(g);
  std::vector<std::pair<std::string, IRECT>> extents;  // what, and where it shows
  for (const Shape& shape : shapesOf(g)) {
    const float grow = shape.fill() ? 0.f : shape.thickness() / 2.f;
    extents.push_back({shape.fill() ? "fill" : "stroke", shape.bounds().GetPadded(grow).Intersect(shape.paint.clip)});
  }
  for (const DrawOp& op : g.opsOf({DrawOp::DrawText, DrawOp::DrawBitmap})) {
    IRECT box = op.rect;
    if (op.kind == DrawOp::DrawText) g.MeasureText(op.textStyle, op.text.c_str(), box);
    extents.push_back({op.kind == DrawOp::DrawText ? "text \"" + op.text + "\"" : "bitmap", box.Intersect(op.clip)});
  }
  std::vector<std::string> outside;
  for (const auto& [what, r] : extents) {
    if (r.IsEmpty()) continue;  // wholly clipped by the control itself
    constexpr float kTol = 0.01f;
    if (r.L < area.L - kTol || r.T < area.T - kTol || r.R > area.R + kTol || r.B > area.B + kTol)
      outside.push_back(what + " at (" + sp::test::num(r.L) + ", " + sp::test::num(r.T) + ", " + sp::test::num(r.R) +
                        ", " + sp::test::num(r.B) + ") beyond (" + sp::test::num(area.L) + ", " + sp::test::num(area.T) +
                        ", " + sp::test::num(area.R) + ", " + sp::test::num(area.B) + ")");
  }
  return outside;
}

}  // namespace

TEST_F(PanelLayout, EveryControlDrawsOnlyInsideTheAreaItIsRedrawnIn) {
  // A held column in every region, four legend items, the meter hovered, and a track
  // name far longer than the title line.
  auto* readouts = dynamic_cast<ReadoutsControl*>(tagged(4));
  auto* legend = dynamic_cast<LegendControl*>(tagged(3));
  ASSERT_NE(readouts, nullptr);
  ASSERT_NE(legend, nullptr);
  readouts->readouts = [] {
    spectrapoise::dsp::Readouts r;
    r.active = true;
    r.tilt = -1.2;
    r.low = 4.5;
    r.loMid = -7.0;
    r.hiMid = 2.0;
    r.high = -0.5;
    r.hold = {0.0, 0.5, 0.2, 0.0};
    return r;
  };
  legend->extraItems = [] { return true; };
  sp::test::EventDriver mouse(*g);
  mouse.moveTo(559, 150);
  ASSERT_TRUE(tagged(5)->GetMouseIsOver());
  setTrackName(*plug, "Lead Vocal Doubles and Harmonies Bus (Chorus 2, comped)", 12);
  tick();

  // The crossover handles at their lowest, then at their highest.
  for (const bool highest : {false, true}) {
    SCOPED_TRACE(highest ? "handles at their highest" : "handles at their lowest");
    for (const int p : {kLowCrossover, kMidCrossover, kHighCrossover})
      hostSet(p, highest ? plug->GetParam(p)->GetMax() : plug->GetParam(p)->GetMin());
    for (int i = 0; i < g->NControls(); ++i) {
      IControl* c = control(i);
      if (c->IsHidden() && i != 0) continue;  // the redraw skips it
      for (const std::string& fault : drawnOutside(*g, *c))
        ADD_FAILURE() << "control " << i << " (" << typeid(*c).name() << "): " << fault;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Shades at build time

TEST_F(PanelLayout, ShadesFollowCorrectFreezeBypassAndTheHostBypass) {
  struct Case {
    int correct, freeze, bypass, host;
    bool correctShades, freezeShade, bypassShade;
  } cases[] = {
      {0, 0, 0, 0, true, false, false},  {1, 0, 0, 0, false, false, false}, {1, 1, 0, 0, false, true, false},
      {0, 1, 0, 0, true, false, false},  {0, 0, 0, 1, true, false, true},   {0, 0, 1, 0, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.correct) + std::to_string(c.freeze) + std::to_string(c.bypass) +
                 std::to_string(c.host));
    plug->GetParam(kCorrect)->Set(c.correct);
    plug->GetParam(kFreeze)->Set(c.freeze);
    plug->GetParam(kBypass)->Set(c.bypass);
    plug->SetBypassed(c.host != 0);
    relayOut();
    EXPECT_EQ(!control(21)->IsHidden(), c.correctShades);
    EXPECT_EQ(!control(22)->IsHidden(), c.correctShades);
    EXPECT_EQ(!control(23)->IsHidden(), c.freezeShade);
    EXPECT_EQ(!control(31)->IsHidden(), c.bypassShade);
    // The shade fill, invisible over the bare panel.
    EXPECT_EQ(static_cast<IPanelControl*>(control(21))->GetPattern().GetStop(0).color, IColor(173, 20, 20, 20));
  }
}

// ---------------------------------------------------------------------------------------
// Colours

TEST(OppositeHue, StockAccentsGreyAndBlack) {
  struct Case {
    int r, g, b;
    int er, eg, eb;
  } cases[] = {
      {21, 232, 121, 232, 21, 132}, {233, 21, 90, 21, 233, 164}, {255, 122, 0, 0, 133, 255},
      {0, 184, 255, 255, 71, 0},    {134, 0, 255, 116, 245, 0},  {128, 128, 128, 255, 157, 46},
      {0, 0, 0, 255, 157, 46},      {255, 255, 255, 255, 157, 46},
  };
  for (const Case& c : cases) {
    int r = -1, g = -1, b = -1;
    spectrapoise::plugin::oppositeHue(c.r, c.g, c.b, r, g, b);
    EXPECT_EQ(r, c.er) << c.r << " " << c.g << " " << c.b;
    EXPECT_EQ(g, c.eg) << c.r << " " << c.g << " " << c.b;
    EXPECT_EQ(b, c.eb) << c.r << " " << c.g << " " << c.b;
  }
}

TEST_F(PanelLayout, TheAccentReachesTheSwitchesAndKnobsAndItsOppositeThePalette) {
  plug->setAccentIndex(3);  // blue
  relayOut();
  hostSet(kCorrect, 1.0);
  g->clearDrawOps();
  control(7)->Draw(*g);
  bool blueDot = false;
  for (const sp::test::DrawOp& op : g->opsOf({sp::test::DrawOp::PathFill}))
    if (sp::test::colorOf(op) == IColor(255, 0, 184, 255)) blueDot = true;
  EXPECT_TRUE(blueDot);
  EXPECT_EQ(as<RingKnobControl>(11)->GetStyle().colorSpec.GetColor(kExtra1), IColor(255, 0, 184, 255));
  const balance_panel::Palette palette = balance_panel::makePalette(IColor(255, 0, 184, 255));
  EXPECT_EQ(palette.contrast, IColor(255, 255, 71, 0));
}
