// The stock vector buttons and switches: what a click does to their values and to the
// host's edits, their hit areas, value texts, the sliding handle, tabs, radio marks and the
// menu button, and what they draw.
#include <string>
#include <vector>

#include "graphics/stock/VectorButtons.h"
#include "tests/graphics/stock/stock_fixture.h"

using namespace stocktest;
using sp::test::num;

namespace {

using StockButtonsTest = StockTest;

// A control that only counts the presses it receives.
class PressCounter : public IControl {
public:
  explicit PressCounter(const IRECT& r) : IControl(r) {}
  void Draw(ICanvas&) override {}
  void OnMouseDown(float, float, const IMouseMod&) override { ++presses; }
  int presses = 0;
};

// The corner radii of each filled path, as "tl tr bl br" (a plain rectangle has none).
std::vector<std::string> fillCorners(const sp::test::TestCanvas& g) {
  std::vector<std::string> out;
  float r[4] = {0, 0, 0, 0};  // tl, tr, bl, br
  for (const sp::test::DrawOp& op : g.drawOps()) {
    if (op.kind == sp::test::DrawOp::PathClear) {
      r[0] = r[1] = r[2] = r[3] = 0;
    } else if (op.kind == sp::test::DrawOp::PathArc) {
      const float start = op.args[3];
      const int corner = start == 270.f ? 0 : start == 0.f ? 1 : start == 180.f ? 2 : 3;
      r[corner] = op.args[2];
    } else if (op.kind == sp::test::DrawOp::PathFill) {
      out.push_back(num(r[0]) + " " + num(r[1]) + " " + num(r[2]) + " " + num(r[3]));
    }
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Label and hit areas

TEST_F(StockButtonsTest, LabelDrawsItsTextOverItsShadowAndAFrame) {
  auto* label = attach(new IVLabelControl(IRECT(0, 0, 100, 20), "Title"));
  EXPECT_TRUE(label->GetIgnoreMouse());
  EXPECT_EQ(label->GetText(), DEFAULT_STYLE.valueText);
  drawOnly(*label);
  const auto drawn = g->opsOf({sp::test::DrawOp::DrawText});
  ASSERT_EQ(drawn.size(), 2u);
  expectRect(drawn[0].rect, IRECT(3, 3, 103, 23), "shadow offset");
  EXPECT_EQ(drawn[0].textStyle.color, DEFAULT_STYLE.colorSpec.GetColor(kShadow));
  expectRect(drawn[1].rect, IRECT(0, 0, 100, 20));
  EXPECT_EQ(drawn[1].textStyle.color, DEFAULT_STYLE.valueText.color);
  EXPECT_EQ(sp::test::colorOf(g->opsOf({sp::test::DrawOp::PathStroke}).at(0)), DEFAULT_STYLE.colorSpec.GetColor(kFrame));

  label->SetDisabled(true);
  drawOnly(*label);
  EXPECT_EQ(texts(*g), (std::vector<std::string>{"Title"})) << "no shadow when disabled";
}

TEST_F(StockButtonsTest, AClickOutsideTheWidgetReachesTheControlBehind) {
  auto* behind = new PressCounter(g->GetBounds());
  g->AttachBackgroundControl(behind);
  // Label above (19 tall for "Go"), value at the bottom: the widget lies between them.
  auto* button = attach(new IVButtonControl(IRECT(0, 0, 100, 80), SplashClickActionFunc, "Go", DEFAULT_STYLE, false));
  auto* sw = attach(new IVSwitchControl(IRECT(200, 0, 300, 80), kPower, "Go"));
  for (IControl* c : std::vector<IControl*>{button, sw}) {
    const IRECT& r = c->GetRECT();
    mouse->click(r.CentreX(), 5);  // on the label
    EXPECT_EQ(behind->presses, 1);
    behind->presses = 0;
  }
  mouse->click(50, 40);
  EXPECT_EQ(behind->presses, 0);
  EXPECT_EQ(button->GetValue(), 1.0);
  mouse->click(250, 40);
  EXPECT_EQ(behind->presses, 0);
  EXPECT_EQ(sw->GetValue(), 1.0);
}

// ---------------------------------------------------------------------------------------
// Switch and toggle

TEST_F(StockButtonsTest, SwitchShowsItsParametersTextAndTakesTheHostsValueWithoutSendingIt) {
  dlg.hostSets(kLetter, 1.0 / 3.0);
  auto* sw = attach(new IVSwitchControl(IRECT(0, 0, 100, 60), kLetter));
  EXPECT_EQ(sw->GetNumStates(), 4);
  EXPECT_STREQ(sw->GetValueStr(), "B");
  EXPECT_STREQ(sw->GetLabelStr(), "Letter");
  EXPECT_EQ(sw->GetValueBounds(), sw->GetWidgetBounds()) << "the value sits in the button";

  dlg.log.clear();
  dlg.hostSets(kLetter, 1.0);
  EXPECT_STREQ(sw->GetValueStr(), "D");
  EXPECT_TRUE(dlg.log.empty());

  mouse->click(50, 40);
  EXPECT_STREQ(sw->GetValueStr(), "A");
  EXPECT_EQ(dlg.log, (Log{"Begin 2", "Send 2 0", "End 2"}));

  // Made on a parameter with a unit, the value text has no unit, as every later update.
  auto* mix = attach(new IVSwitchControl(IRECT(0, 100, 100, 160), kMix, "Mix"));
  EXPECT_STREQ(mix->GetValueStr(), "50.0");
  EXPECT_STREQ(mix->GetLabelStr(), "Mix");

  // Without a parameter the value text is left as it is.
  auto* free = attach(new IVSwitchControl(IRECT(0, 200, 100, 260), [](IControl*) {}, "", DEFAULT_STYLE, 3));
  free->SetValueStr("mine");
  mouse->click(50, 240);
  EXPECT_STREQ(free->GetValueStr(), "mine");
  EXPECT_EQ(free->GetValue(), 0.5);
}

TEST_F(StockButtonsTest, ToggleShowsItsOnTextAboveHalfEvenWithValuesHidden) {
  IVStyle style = DEFAULT_STYLE;
  style.showValue = false;
  auto* toggle = attach(new IVToggleControl(IRECT(0, 0, 100, 40), [](IControl*) {}, "", style, "off", "on"));
  struct Case {
    double value;
    const char* text;
    bool pressed;
  };
  for (const Case& c : {Case{0.6, "on", true}, Case{0.5, "off", false}, Case{0.0, "off", false}}) {
    toggle->SetValue(c.value);
    drawOnly(*toggle);
    EXPECT_EQ(texts(*g), (std::vector<std::string>{c.text})) << c.value;
    // Pressed: the pressed colour fills the button, and no shadow is drawn.
    const auto f = fills(*g);
    const bool pressedFill = std::any_of(f.begin(), f.end(), [](const Fill& x) {
      return x.color == DEFAULT_STYLE.colorSpec.GetColor(kPressed);
    });
    EXPECT_EQ(pressedFill, c.pressed) << c.value;
  }
  auto* initiallyOn = attach(new IVToggleControl(IRECT(0, 50, 100, 90), [](IControl*) {}, "", style, "off", "on", true));
  EXPECT_EQ(initiallyOn->GetValue(), 1.0);
}

// ---------------------------------------------------------------------------------------
// Slide switch

TEST_F(StockButtonsTest, SlideSwitchSlidesItsHandleToTheNextStateIn100Ms) {
  IVStyle style = bareStyle();
  style.showValue = true;
  int ends = 0;
  auto* slide = attach(new IVSlideSwitchControl(IRECT(0, 0, 90, 30), [&ends](IControl*) { ++ends; }, "", style, true,
                                                EDirection::Horizontal, 3, 1));
  slide->SetValueStr("state");
  EXPECT_EQ(slide->GetValue(), 1.0);
  expectRect(slide->GetHandleRect(), IRECT(60, 0, 90, 30), "at 1.0");
  expectRect(slide->GetEndRect(), IRECT(0, 0, 30, 30), "heading for state 0");

  mouse->click(75, 15);
  EXPECT_EQ(slide->GetValue(), 0.0);
  expectRect(slide->GetHandleRect(), IRECT(60, 0, 90, 30), "the slide has not moved yet");
  g->clearDrawOps();
  after(50);
  expectRect(slide->GetHandleRect(), IRECT(30, 0, 60, 30), "half way");
  EXPECT_TRUE(texts(*g).empty()) << "no value text while sliding";
  expectRect(slide->GetValueBounds(), IRECT(30, 0, 60, 30), "the value rides on the handle");
  after(50);
  expectRect(slide->GetHandleRect(), IRECT(0, 0, 30, 30), "arrived");
  EXPECT_EQ(ends, 0);
  g->clearDrawOps();
  after(17);
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(slide->GetAnimationFunction());
  expectRect(slide->GetHandleRect(), IRECT(0, 0, 30, 30));
  expectRect(slide->GetEndRect(), IRECT(30, 0, 60, 30));
  after(17);
  EXPECT_EQ(texts(*g), (std::vector<std::string>{"state"}));
  EXPECT_EQ(ends, 1);
}

TEST_F(StockButtonsTest, VerticalSlideSwitchOnAParameterStacksItsStates) {
  auto* slide = attach(new IVSlideSwitchControl(IRECT(0, 0, 20, 100), kSteps, "", bareStyle(), false,
                                                EDirection::Vertical));
  EXPECT_EQ(slide->GetNumStates(), 5);
  dlg.hostSets(kSteps, 0.5);
  expectRect(slide->GetHandleRect(), IRECT(0, 40, 20, 60), "state 2 of 5");
  dlg.log.clear();
  mouse->click(10, 50);
  EXPECT_EQ(dlg.log, (Log{"Begin 1", "Send 1 0.75", "End 1"}));
  after(120);
  expectRect(slide->GetHandleRect(), IRECT(0, 60, 20, 80), "state 3 once the slide ended");
}

// ---------------------------------------------------------------------------------------
// Tabs and radio buttons

TEST_F(StockButtonsTest, TabClickSelectsItsTabUnlessTheTabIsDisabled) {
  struct Case {
    const char* name;
    std::vector<float> clicksX;
    bool disableTab1;
    double expected;
    int actions;
  };
  const std::vector<Case> cases = {
      {"last tab", {250}, false, 1.0, 1},
      {"middle tab", {150}, false, 0.5, 1},
      {"first tab", {10}, false, 0.0, 1},
      {"the right edge is outside", {300}, false, 0.25, 0},
      {"a disabled tab takes no click", {150}, true, 0.25, 0},
      {"its neighbours still do", {250, 150}, true, 1.0, 1},
  };
  for (const Case& c : cases) {
    int actions = 0;
    auto* tabs = attach(new IVTabSwitchControl(IRECT(0, 0, 300, 30), [&actions](IControl*) { ++actions; },
                                               {"A", "B", "C"}, "", bareStyle()));
    tabs->SetValue(0.25);
    tabs->SetStateDisabled(1, c.disableTab1);
    for (float x : c.clicksX) mouse->click(x, 15);
    EXPECT_EQ(tabs->GetValue(), c.expected) << c.name;
    EXPECT_EQ(actions, c.actions) << c.name;
    g->RemoveControl(tabs);
  }

  auto* one = attach(new IVTabSwitchControl(IRECT(0, 0, 300, 30), [](IControl*) {}, {"Only"}, "", bareStyle()));
  one->SetValue(0.7);
  mouse->click(150, 15);
  EXPECT_EQ(one->GetValue(), 0.0);
  EXPECT_STREQ(one->GetSelectedLabelStr(), "Only");
}

TEST_F(StockButtonsTest, TabsOnAParameterTakeItsTextsAndHoverMarksATab) {
  auto* tabs = attach(new IVTabSwitchControl(IRECT(0, 0, 400, 30), kLetter, {}, "", bareStyle()));
  dlg.hostSets(kLetter, 2.0 / 3.0);
  EXPECT_EQ(tabs->GetNumStates(), 4);
  EXPECT_STREQ(tabs->GetSelectedLabelStr(), "C");
  EXPECT_STREQ(tabs->GetLabelStr(), "Letter");
  drawOnly(*tabs);
  EXPECT_EQ(texts(*g), (std::vector<std::string>{"A", "B", "C", "D"}));

  mouse->moveTo(150, 15);
  EXPECT_EQ(tabs->GetMouseOverIdx(), 1);
  mouse->moveTo(150, 100);
  EXPECT_EQ(tabs->GetMouseOverIdx(), -1);

  dlg.log.clear();
  mouse->click(50, 15);
  EXPECT_EQ(dlg.log, (Log{"Begin 2", "Send 2 0", "End 2"}));
  EXPECT_STREQ(tabs->GetSelectedLabelStr(), "A");
}

TEST_F(StockButtonsTest, VerticalHalfRoundedTabsRoundTheirOuterRightCornersAndDimDisabledOnes) {
  IVStyle style = bareStyle();
  style.roundness = 1.f;
  auto* tabs = attach(new IVTabSwitchControl(IRECT(0, 0, 40, 90), [](IControl*) {}, {"A", "B", "C"}, "", style,
                                             EVShape::HalfRoundedRectangle, EDirection::Vertical));
  tabs->SetValue(1.0);  // the last tab selected
  tabs->SetStateDisabled(1, true);
  drawOnly(*tabs);
  // The background, then one fill per tab. Radius: roundness x half the shorter side (30 x 40 tabs).
  EXPECT_EQ(fillCorners(*g), (std::vector<std::string>{"0 0 0 0", "0 15 0 0", "0 0 0 0", "0 0 0 15"}));
  const auto f = fills(*g);
  EXPECT_EQ(f[1].color, DEFAULT_STYLE.colorSpec.GetColor(kForeground));
  EXPECT_EQ(f[2].color, IVectorBase::Disabled(DEFAULT_STYLE.colorSpec.GetColor(kForeground), true));
  EXPECT_EQ(f[3].color, DEFAULT_STYLE.colorSpec.GetColor(kPressed));

  auto* flat = attach(new IVTabSwitchControl(IRECT(0, 100, 90, 140), [](IControl*) {}, {"A", "B", "C"}, "", style,
                                             EVShape::HalfRoundedRectangle));
  drawOnly(*flat);
  EXPECT_EQ(fillCorners(*g), (std::vector<std::string>{"0 0 0 0", "15 0 0 0", "0 0 0 0", "0 15 0 0"}));
  auto* all = attach(new IVTabSwitchControl(IRECT(0, 150, 90, 190), [](IControl*) {}, {"A", "B"}, "", style,
                                            EVShape::AllRoundedRectangle, EDirection::Vertical));
  drawOnly(*all);
  EXPECT_EQ(fillCorners(*g), (std::vector<std::string>{"0 0 0 0", "0 10 0 10", "0 10 0 10"}));
}

TEST_F(StockButtonsTest, RadioWithMarksOnlyIgnoresClicksOnItsTexts) {
  auto* radio = attach(new IVRadioButtonControl(IRECT(0, 0, 100, 90), [](IControl*) {}, {"One", "Two", "Three"}, "",
                                                bareStyle()));
  EXPECT_EQ(radio->GetMarkColumnWidth(), 30.f);
  radio->SetMarksOnlyHitTesting(true);
  mouse->click(60, 45);  // the text of "Two"
  EXPECT_EQ(radio->GetValue(), 0.0);
  mouse->click(29, 45);  // its mark column
  EXPECT_EQ(radio->GetValue(), 0.5);
  mouse->click(30, 75);  // just past the mark column of "Three"
  EXPECT_EQ(radio->GetValue(), 0.5);
  radio->SetMarksOnlyHitTesting(false);
  mouse->click(60, 75);
  EXPECT_EQ(radio->GetValue(), 1.0);

  drawOnly(*radio);
  const auto drawn = g->opsOf({sp::test::DrawOp::DrawText});
  ASSERT_EQ(drawn.size(), 3u);
  expectRect(drawn[0].rect, IRECT(30, 0, 100, 30), "text beside the mark");
  EXPECT_EQ(drawn[0].textStyle.color, DEFAULT_STYLE.colorSpec.GetColor(kExtra1));
  EXPECT_EQ(drawn[2].textStyle.color, DEFAULT_STYLE.colorSpec.GetColor(kPressed));
  EXPECT_EQ(drawn[2].textStyle.align, ETextHAlign::Left);
  // After the background, the marks: 10 x 10 squares centred in the mark column.
  const auto f = fills(*g);
  expectRect(f.at(1).box, IRECT(10, 10, 20, 20), "first mark");
}

// ---------------------------------------------------------------------------------------
// Menu button

TEST_F(StockButtonsTest, MenuButtonOpensTheValueMenuAfterItsSplashAndBracketsTheChoice) {
  EXPECT_EQ(IVMenuButtonControl::Create(IRECT(0, 0, 100, 40), kNoLinkedParam), nullptr);

  auto* menu = attach(IVMenuButtonControl::Create(IRECT(0, 0, 100, 60), kLetter, "Pick"));
  ASSERT_NE(menu, nullptr);
  IVButtonControl* button = menu->GetButton();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(menu->NChildren(), 1);
  EXPECT_STREQ(button->GetValueStr(), "A");
  EXPECT_STREQ(button->GetLabelStr(), "Pick");
  EXPECT_STREQ(menu->GetLabelStr(), "");
  EXPECT_EQ(button->GetStyle().valueText.valign, ETextVAlign::Middle);

  dlg.log.clear();
  platform.chooseMenuItem({2});
  mouse->click(50, 40);
  EXPECT_TRUE(dlg.log.empty()) << "the click lands on the unlinked button";
  after(101);
  EXPECT_EQ(dlg.log, (Log{"Begin 2"})) << "the edit begins before the menu opens";
  platform.queue.drain();
  ASSERT_EQ(platform.menus.size(), 1u);
  expectRect(platform.menus[0].bounds, button->GetWidgetBounds(), "the menu opens under the button");
  EXPECT_EQ(dlg.log, (Log{"Begin 2", "Send 2 " + num(2.0 / 3.0), "End 2"}));
  EXPECT_EQ(dlg.GetParam(kLetter)->Value(), 2.0);
  EXPECT_STREQ(button->GetValueStr(), "C");
  EXPECT_EQ(g->NOpenGestures(), 0);

  // A dismissed menu ends the edit it began.
  dlg.log.clear();
  platform.dismissMenu();
  mouse->click(50, 40);
  after(101);
  platform.queue.drain();
  EXPECT_EQ(dlg.log, (Log{"Begin 2", "End 2"}));

  // The host's value shows on the button and is not sent back.
  dlg.log.clear();
  dlg.hostSets(kLetter, 1.0 / 3.0);
  EXPECT_STREQ(button->GetValueStr(), "B");
  EXPECT_TRUE(dlg.log.empty());

  // A new style reaches the button, its value still centred.
  IVStyle style = DEFAULT_STYLE;
  style.roundness = 0.5f;
  menu->SetStyle(style);
  EXPECT_EQ(button->GetStyle().roundness, 0.5f);
  EXPECT_EQ(button->GetStyle().valueText.valign, ETextVAlign::Middle);
}

TEST_F(StockButtonsTest, MenuButtonRemovedDuringItsSplashOpensNothing) {
  auto* menu = attach(IVMenuButtonControl::Create(IRECT(0, 0, 100, 60), kLetter, "Pick"));
  IVButtonControl* button = menu->GetButton();
  mouse->click(50, 40);
  g->RemoveControl(menu);
  EXPECT_EQ(button->GetParent(), nullptr);
  dlg.log.clear();
  after(101);
  platform.queue.drain();
  EXPECT_TRUE(platform.menus.empty());
  EXPECT_TRUE(dlg.log.empty());
  EXPECT_EQ(button->GetValue(), 0.0);
}
