// The panel's parameter controls: pill switches (lit state, labels, toggling, a quick
// second click), ring knobs (ring and value arc, drag, fine drag, wheel, double click,
// hit area) and amount captions (their text, the typed-value entry and what a commit
// sends).
#include <gtest/gtest.h>

#include <string>

#include "tests/ui/panel_fixture.h"
#include "ui/panel_style.h"
#include "ui/panel_text.h"
#include "ui/parameter_controls.h"

using namespace uitest;
using balance_panel::AmountCaptionControl;
using balance_panel::PillToggleControl;
using balance_panel::RingKnobControl;
using sp::test::EventDriver;

namespace {

const Palette kPalette = testPalette();
const IColor kOutline{56, 250, 250, 250};
const IColor kOutlineLit{107, 250, 250, 250};

class PillTest : public PanelTest {
protected:
  PillToggleControl* makePill(const IRECT& r, int param, const char* off, const char* on, bool inverted) {
    return attach(new PillToggleControl(r, param, off, on, style("Roboto-Regular", 10, kPalette.text), 1.f,
                                        kPalette.accent, inverted));
  }
  // Outline and dot colours, and the label, as drawn.
  struct Look {
    IColor outline, dot;
    std::string label;
  };
  Look look(PillToggleControl& pill) {
    draw(pill);
    const auto all = shapes();
    return {all.at(1).colour(), all.at(2).colour(), texts().at(0).text};
  }
};

}  // namespace

TEST_F(PillTest, BypassPillIsLitWhileTheParameterIsOff) {
  PillToggleControl* bypass = makePill(IRECT(534, 41, 620, 65), kBypass, "ACTIVE", "BYPASSED", true);
  Look off = look(*bypass);
  EXPECT_EQ(off.label, "ACTIVE");
  EXPECT_EQ(off.outline, kOutlineLit);
  EXPECT_EQ(off.dot, kPalette.accent);
  plug.setParam(kBypass, 1.0);
  Look on = look(*bypass);
  EXPECT_EQ(on.label, "BYPASSED");
  EXPECT_EQ(on.outline, kOutline);
  EXPECT_EQ(on.dot, kOutline);
}

TEST_F(PillTest, PillGeometryFollowsItsHeight) {
  PillToggleControl* correct = makePill(IRECT(20, 256, 112, 278), kCorrect, "CORRECT", "CORRECT", false);
  plug.setParam(kCorrect, 1.0);
  draw(*correct);
  const auto all = shapes();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].colour(), IColor(255, 20, 20, 20));
  EXPECT_TRUE(rectNear(all[0].bounds(), IRECT(20, 256, 112, 278)));
  EXPECT_TRUE(rectNear(all[2].bounds(), IRECT(26.6f, 264.5f, 31.6f, 269.5f)));  // the dot, centred at x 29.1
  EXPECT_EQ(all[2].colour(), kPalette.accent);
  EXPECT_TRUE(rectNear(textOp("CORRECT").rect, IRECT(31.6f, 256.f, 105.4f, 278.f)));
  // Every call carries the control's blend (a disabled pill draws at a quarter).
  correct->SetDisabled(true);
  draw(*correct);
  for (const Shape& s : shapes()) {
    EXPECT_TRUE(s.paint.hasBlend);
    EXPECT_FLOAT_EQ(s.paint.blend.weight, 0.25f);
  }
  EXPECT_TRUE(texts()[0].hasBlend);
}

TEST_F(PillTest, ClickTogglesWithOneHostEdit) {
  makePill(IRECT(534, 41, 620, 65), kBypass, "ACTIVE", "BYPASSED", true);
  EventDriver mouse(*g);
  mouse.click(570.f, 50.f);
  EXPECT_EQ(plug.log, (Log{"Begin 0", "Send 0 1", "End 0"}));
  mouse.click(570.f, 50.f);
  EXPECT_DOUBLE_EQ(plug.value(kBypass), 0.0);
}

TEST_F(PillTest, AValueOfExactlyOneHalfTogglesOn) {
  PillToggleControl* pill = makePill(IRECT(20, 282, 112, 304), kFreeze, "FREEZE", "FROZEN", false);
  pill->SetValue(0.5);
  EXPECT_FALSE(pill->lit());
  EventDriver mouse(*g);
  mouse.click(60.f, 290.f);
  EXPECT_EQ(plug.sends(), (Log{"Send 10 1"}));
  draw(*pill);
  EXPECT_EQ(texts()[0].text, "FROZEN");
}

TEST_F(PillTest, AQuickSecondClickTogglesAgain) {
  // Two quick clicks on CORRECT from off give on, then off: two edits. From on (not the
  // default), they give off, then on again.
  makePill(IRECT(20, 256, 112, 278), kCorrect, "CORRECT", "CORRECT", false);
  EventDriver mouse(*g);
  mouse.doubleClick(60.f, 267.f);
  EXPECT_EQ(plug.log, (Log{"Begin 4", "Send 4 1", "End 4", "Begin 4", "Send 4 0", "End 4"}));
  EXPECT_DOUBLE_EQ(plug.value(kCorrect), 0.0);
  plug.setParam(kCorrect, 1.0);
  plug.log.clear();
  mouse.doubleClick(60.f, 267.f);
  EXPECT_EQ(plug.sends(), (Log{"Send 4 0", "Send 4 1"}));
  EXPECT_DOUBLE_EQ(plug.value(kCorrect), 1.0);
}

// ---------------------------------------------------------------------------------------
// Ring knobs

namespace {

class KnobTest : public PanelTest {
protected:
  void SetUp() override {
    PanelTest::SetUp();
    knob = attach(new RingKnobControl(IRECT(207, 310, 239, 342), kCorrectLow, "",
                                      balance_panel::knobStyle(kPalette.accent), false, false, -135.f, 135.f, -135.f,
                                      EDirection::Vertical, 4.0, 2.0f));
    knob->ringColour = IColor(36, 250, 250, 250);
  }
  // The arcs drawn: centre, radius, start and end angle, colour and width.
  struct Arc {
    float cx, cy, r, a1, a2;
    IColor colour;
    float width;
  };
  std::vector<Arc> arcs() const {
    std::vector<Arc> out;
    for (const Shape& s : shapes())
      if (s.path.size() == 1 && s.path[0].kind == DrawOp::PathArc) {
        const auto& a = s.path[0].args;
        out.push_back({a[0], a[1], a[2], a[3], a[4], s.colour(), s.thickness()});
      }
    return out;
  }
  RingKnobControl* knob = nullptr;
};

}  // namespace

TEST_F(KnobTest, TheRingRunsUnderTheValueArc) {
  draw(*knob);
  const auto drawn = arcs();
  ASSERT_EQ(drawn.size(), 2u);
  // Widget 29.44 square centred at (223, 326); radius 29.44 / 2 - 2 / 2.
  EXPECT_FLOAT_EQ(drawn[0].cx, 223.f);
  EXPECT_FLOAT_EQ(drawn[0].cy, 326.f);
  EXPECT_NEAR(drawn[0].r, 13.72f, 1e-4f);
  EXPECT_EQ(std::make_pair(drawn[0].a1, drawn[0].a2), std::make_pair(-135.f, 135.f));
  EXPECT_EQ(drawn[0].colour, IColor(36, 250, 250, 250));
  EXPECT_FLOAT_EQ(drawn[0].width, 2.f);
  // 50 %: the value arc from the anchor up to 12 o'clock, in the accent.
  EXPECT_EQ(std::make_pair(drawn[1].a1, drawn[1].a2), std::make_pair(-135.f, 0.f));
  EXPECT_EQ(drawn[1].colour, kPalette.accent);

  knob->SetTrackSize(0.f);
  draw(*knob);
  EXPECT_TRUE(arcs().empty());
}

TEST_F(KnobTest, DragsMoveAFullTurnIn58Point88UnitsAndReleaseResendsTheValue) {
  struct Case {
    const char* name;
    float dy;
    sp::test::Mods mods;
    double expected;
  };
  const Case cases[] = {
      {"up a quarter of the range", -14.72f, {}, 75.0},
      {"fine: ten times slower", -29.44f, {.shift = true}, 55.0},
      {"far up stops at the maximum", -200.f, {}, 100.0},
      {"far down stops at the minimum", 200.f, {}, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plug.setParam(kCorrectLow, 50.0);
    plug.log.clear();
    EventDriver mouse(*g);
    mouse.press(223.f, 326.f, c.mods);
    mouse.dragTo(223.f, 326.f + c.dy, c.mods);
    mouse.release(c.mods);
    EXPECT_NEAR(plug.value(kCorrectLow), c.expected, 1e-3);
    const Log log = plug.log;
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log.front(), "Begin 6");
    EXPECT_EQ(log.back(), "End 6");
    EXPECT_EQ(log[log.size() - 2], log[log.size() - 3]);  // the release sends the value again
  }
}

TEST_F(KnobTest, WheelAndDoubleClickEachMakeOneHostEdit) {
  EventDriver mouse(*g);
  mouse.wheel(223.f, 326.f, 1.f);
  EXPECT_EQ(plug.log, (Log{"Begin 6", "Send 6 0.51", "End 6"}));
  mouse.wheel(223.f, 326.f, -1.f, {.shift = true});
  EXPECT_NEAR(plug.value(kCorrectLow), 50.9, 1e-9);
  plug.log.clear();
  mouse.doubleClick(223.f, 326.f);
  EXPECT_DOUBLE_EQ(plug.value(kCorrectLow), 50.0);
  EXPECT_EQ(plug.sends().back(), "Send 6 0.5");
}

TEST_F(KnobTest, OnlyTheWidgetSquareTakesTheMouse) {
  // The 29.44 square centred in the 32 box.
  EXPECT_TRUE(knob->IsHit(208.3f, 326.f));
  EXPECT_FALSE(knob->IsHit(208.2f, 326.f));
  EXPECT_TRUE(knob->IsHit(223.f, 311.3f));
  EXPECT_FALSE(knob->IsHit(223.f, 311.2f));
  EXPECT_FALSE(knob->IsHit(237.8f, 326.f));
  // Drags are geared to a box as wide as the widget and half as tall.
  EXPECT_TRUE(rectNear(knob->GetKnobDragBounds(), IRECT(208.28f, 318.64f, 237.72f, 333.36f), 1e-3f));
}

// ---------------------------------------------------------------------------------------
// Amount captions

namespace {

class CaptionTest : public PanelTest {
protected:
  AmountCaptionControl* makeCaption(float x, int param, const char* prefix = "") {
    auto* caption = attach(new AmountCaptionControl(IRECT(x - 37.f, 344.f, x + 37.f, 358.f), param));
    caption->captionText = style("Roboto-Regular", 9.5f, IColor(107, 250, 250, 250));
    caption->entryText = entryStyle(style("Roboto-Regular", 9.5f, IColor(255, 250, 250, 250)));
    caption->prefix = prefix;
    return caption;
  }
  // Clicks the caption, lets the scripted entry answer, and returns what reached the host
  // after the click itself.
  Log typeInto(float x, const std::string& text) {
    platform.commitText(text);
    EventDriver mouse(*g);
    mouse.click(x, 351.f);
    plug.log.clear();
    platform.queue.drain();
    return plug.log;
  }
};

}  // namespace

TEST_F(CaptionTest, ShowsPrefixDisplayTextAndSuffix) {
  AmountCaptionControl* low = makeCaption(223.f, kCorrectLow);
  draw(*low);
  EXPECT_EQ(textOp("50 %").rect, IRECT(186, 344, 260, 358));
  EXPECT_EQ(texts()[0].textStyle.color, IColor(107, 250, 250, 250));

  // The layout's suffix: the applied gain while Correct is on.
  double gain = 1.24;
  low->suffix = [this, &gain] {
    if (plug.value(kCorrect) < 0.5) return std::string();
    return std::string(" ") + balance_panel::kMiddleDot + " " + balance_panel::decibels(gain, true, false, -149) + " dB";
  };
  draw(*low);
  EXPECT_EQ(texts()[0].text, "50 %");
  plug.setParam(kCorrect, 1.0);
  draw(*low);
  EXPECT_EQ(texts()[0].text, "50 % \xC2\xB7 +1.2 dB");

  AmountCaptionControl* speed = makeCaption(66.f, kCorrectSpeed, "Speed ");
  draw(*speed);
  EXPECT_EQ(texts()[0].text, "Speed 15 s");

  // Under the mouse the caption takes the entry's colour.
  EventDriver mouse(*g);
  mouse.moveTo(223.f, 351.f);
  draw(*low);
  EXPECT_EQ(texts()[0].textStyle.color, IColor(255, 250, 250, 250));
}

TEST_F(CaptionTest, ClickOpensAnEntryHoldingTheDisplayText) {
  makeCaption(223.f, kCorrectLow);
  platform.leaveTextOpen();
  EventDriver mouse(*g);
  mouse.click(223.f, 351.f);
  ASSERT_EQ(platform.textEntries.size(), 1u);
  const sp::test::ShownTextEntry& entry = platform.textEntries[0];
  EXPECT_EQ(entry.bounds, IRECT(186, 342, 260, 360));
  EXPECT_EQ(entry.initial, "50 %");
  EXPECT_EQ(entry.length, 16);
  EXPECT_EQ(entry.paramIdx, -1);  // the commit reaches the caption, not the parameter's parser
  EXPECT_EQ(entry.text.entryBackground, IColor(255, 30, 30, 30));
  // A double click opens nothing more while the entry is open.
  mouse.doubleClick(223.f, 351.f);
  EXPECT_EQ(platform.textEntries.size(), 1u);
}

TEST_F(CaptionTest, CommittedTextGoesThroughTheTypedValueSender) {
  struct Case {
    std::string typed;
    Log log;
    double value;
  };
  const Case cases[] = {
      {"75", {"Begin 6", "Send 6 0.75", "End 6"}, 75.0},
      {"150", {"Begin 6", "Send 6 1", "End 6"}, 100.0},
      {"abc", {}, 100.0},
      {"100 %", {}, 100.0},  // unchanged: the entry's own text
      {"\xE2\x88\x92" "5", {"Begin 6", "Send 6 0", "End 6"}, 0.0},
  };
  makeCaption(223.f, kCorrectLow);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(typeInto(223.f, c.typed), c.log);
    EXPECT_DOUBLE_EQ(plug.value(kCorrectLow), c.value);
  }
}

TEST_F(CaptionTest, AnUnchangedCommitKeepsAValueTheDisplayRounds) {
  plug.setParam(kCorrectSpeed, 12.3);
  makeCaption(66.f, kCorrectSpeed, "Speed ");
  EXPECT_TRUE(typeInto(66.f, "12 s").empty());
  EXPECT_NEAR(plug.value(kCorrectSpeed), 12.3, 1e-9);
  // Typing the same number by hand is an edit.
  EXPECT_EQ(typeInto(66.f, "12").size(), 3u);
  EXPECT_NEAR(plug.value(kCorrectSpeed), 12.0, 1e-9);
}

TEST_F(CaptionTest, ARefusedRequestLeavesTheCaptionAsItWas) {
  AmountCaptionControl* low = makeCaption(223.f, kCorrectLow);
  AmountCaptionControl* mid = makeCaption(297.f, kCorrectLoMid);
  platform.leaveTextOpen();
  EventDriver mouse(*g);
  mouse.click(297.f, 351.f);
  ASSERT_EQ(g->GetControlInTextEntry(), mid);
  // The other caption asks while the entry is open (a click outside the entry would first
  // take the focus from it and commit it, as the platform view does).
  const plugkit::canvas::IMouseInfo press{223.f, 351.f, 0.f, 0.f, plugkit::canvas::IMouseMod(true)};
  g->OnMouseDown({press});
  g->OnMouseUp({press});
  EXPECT_EQ(platform.textEntries.size(), 1u);
  EXPECT_EQ(low->GetTextEntryLength(), 7);
  // The open entry keeps its target: its commit goes to the mid caption's parameter.
  plug.log.clear();
  g->commitTextEntry("25");
  EXPECT_EQ(plug.sends(), (Log{"Send 7 0.25"}));
  EXPECT_DOUBLE_EQ(plug.value(kCorrectLow), 50.0);
}

TEST_F(CaptionTest, ADismissedEntryLetsTheCaptionOpenAgain) {
  makeCaption(223.f, kCorrectLow);
  platform.dismissText();
  EventDriver mouse(*g);
  mouse.click(223.f, 351.f);
  platform.queue.drain();
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  EXPECT_EQ(typeInto(223.f, "60"), (Log{"Begin 6", "Send 6 0.6", "End 6"}));
}

TEST_F(CaptionTest, RightClickOpensNoEntry) {
  makeCaption(223.f, kCorrectLow);
  EventDriver mouse(*g);
  mouse.rightClick(223.f, 351.f);
  platform.queue.drain();
  EXPECT_TRUE(platform.textEntries.empty());
}
