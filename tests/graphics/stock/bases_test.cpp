// The stock input bases (button, switch, slider) and the text controls (link, text
// toggle, caption, placeholder), driven through the graphics context's dispatch.
#include <clocale>
#include <string>
#include <vector>

#include "graphics/stock/StockBases.h"
#include "graphics/stock/VectorButtons.h"
#include "tests/graphics/stock/stock_fixture.h"

using namespace stocktest;
using sp::test::num;

namespace {

class Button : public IButtonControlBase {
public:
  using IButtonControlBase::IButtonControlBase;
  void Draw(ICanvas&) override {}
};

class Switch : public ISwitchControlBase {
public:
  using ISwitchControlBase::ISwitchControlBase;
  void Draw(ICanvas&) override {}
};

class Slider : public ISliderControlBase {
public:
  using ISliderControlBase::ISliderControlBase;
  void Draw(ICanvas&) override {}
  int mouseUps = 0;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override {
    ++mouseUps;
    ISliderControlBase::OnMouseUp(x, y, mod);
  }
};

class Link : public IURLControl {
public:
  using IURLControl::IURLControl;
  int mouseUps = 0;
  void OnMouseUp(float, float, const IMouseMod&) override { ++mouseUps; }
};

using StockBasesTest = StockTest;

}  // namespace

// ---------------------------------------------------------------------------------------
// Button

TEST_F(StockBasesTest, ButtonIsPressedUntilItsClickEndsAndEndsEachClickOnce) {
  int ends = 0;
  auto countEnd = [&ends](IControl*) { ++ends; };

  // A plain button: the splash click animates vector controls only, so the release ends it.
  auto* plain = attach(new Button(IRECT(0, 0, 50, 50)));
  plain->SetAnimationEndActionFunction(countEnd);
  mouse->press(10, 10);
  EXPECT_EQ(plain->GetValue(), 1.0);
  mouse->release();
  EXPECT_EQ(plain->GetValue(), 0.0);
  EXPECT_EQ(ends, 1);

  // A vector button keeps its value through the 100 ms splash, which then ends the click.
  auto* vector = attach(new IVButtonControl(IRECT(100, 0, 150, 50), SplashClickActionFunc, "", bareStyle()));
  vector->SetAnimationEndActionFunction(countEnd);
  ends = 0;
  mouse->click(110, 10);
  EXPECT_EQ(vector->GetValue(), 1.0);
  after(50);
  EXPECT_EQ(vector->GetValue(), 1.0);
  after(60);
  EXPECT_EQ(vector->GetValue(), 0.0);
  EXPECT_EQ(ends, 1);

  // A press held past the splash: the release finds the click already ended.
  ends = 0;
  mouse->press(110, 10);
  after(200);
  mouse->release();
  EXPECT_EQ(vector->GetValue(), 0.0);
  EXPECT_EQ(ends, 1);
}

// ---------------------------------------------------------------------------------------
// Switch

TEST_F(StockBasesTest, SwitchStepsThroughItsStatesAndWraps) {
  struct Case {
    const char* name;
    int states;
    int param;
    double start;
    std::vector<double> after;  // the value after each click
  };
  const std::vector<Case> cases = {
      {"2 states", 2, kNoLinkedParam, 0.0, {1.0, 0.0, 1.0}},
      {"2 states from between", 2, kNoLinkedParam, 0.3, {0.0, 1.0}},
      {"3 states", 3, kNoLinkedParam, 0.0, {0.5, 1.0, 0.0}},
      {"4 states reach 1 exactly, then wrap", 4, kNoLinkedParam, 0.0, {1.0 / 3, 2.0 / 3, 1.0, 0.0}},
      {"1 state stays at 0", 1, kNoLinkedParam, 0.0, {0.0, 0.0}},
      {"no states stays at 0", 0, kNoLinkedParam, 0.0, {0.0}},
      {"int 0..4 makes 5 states", 2, kSteps, 0.0, {0.25, 0.5, 0.75, 1.0, 0.0}},
      {"bool makes 2 states", 7, kPower, 0.0, {1.0, 0.0}},
  };
  for (const Case& c : cases) {
    auto* s = attach(new Switch(IRECT(0, 0, 50, 50), c.param, nullptr, c.states));
    s->SetValue(c.start);
    for (size_t i = 0; i < c.after.size(); ++i) {
      mouse->click(10, 10);
      EXPECT_NEAR(s->GetValue(), c.after[i], 1e-15) << c.name << " click " << i + 1;
    }
    EXPECT_FALSE(s->GetMouseDown()) << c.name;
    g->RemoveControl(s);
  }
}

TEST_F(StockBasesTest, SwitchSendsEachClickInsideOneEdit) {
  auto* s = attach(new Switch(IRECT(0, 0, 50, 50), kSteps, nullptr, 2));
  EXPECT_EQ(s->GetNumStates(), 5);
  dlg.log.clear();
  mouse->press(10, 10);
  EXPECT_TRUE(s->GetMouseDown());
  mouse->release();
  EXPECT_EQ(dlg.log, (Log{"Begin 1", "Send 1 0.25", "End 1"}));
  EXPECT_EQ(dlg.GetParam(kSteps)->Value(), 1.0);
}

TEST_F(StockBasesTest, SwitchStatesOutsideItsRangeAreNeverDisabled) {
  auto* s = attach(new Switch(IRECT(0, 0, 50, 50), kNoLinkedParam, nullptr, 3));
  s->SetStateDisabled(1, true);
  s->SetStateDisabled(3, true);
  s->SetStateDisabled(-1, true);
  EXPECT_TRUE(s->GetStateDisabled(1));
  EXPECT_FALSE(s->GetStateDisabled(0));
  EXPECT_FALSE(s->GetStateDisabled(3));
  EXPECT_FALSE(s->GetStateDisabled(-1));
  s->SetAllStatesDisabled(true);
  EXPECT_TRUE(s->GetStateDisabled(0) && s->GetStateDisabled(2));
  s->SetClean();
  s->SetAllStatesDisabled(false);
  EXPECT_FALSE(s->GetStateDisabled(1));
  EXPECT_TRUE(s->IsDirty());
}

// ---------------------------------------------------------------------------------------
// Slider

TEST_F(StockBasesTest, SliderDragMovesByTheDragOverTheTrackDividedByTheGearing) {
  // A vertical track 100 tall with gearing 1; the press at y = 50 jumps to 0.5.
  struct Case {
    const char* name;
    float toY;
    sp::test::Mods mods;
    double expected;
  };
  const std::vector<Case> cases = {
      {"up 40", 10, {}, 0.9},
      {"down 30", 80, {}, 0.2},
      {"the whole track up stops at 1", -50, {}, 1.0},
      {"fine with shift", -50, {.shift = true}, 0.6},
      {"fine with control", -50, {.control = true}, 0.6},
  };
  for (const Case& c : cases) {
    auto* s = attach(new Slider(IRECT(0, 0, 20, 100), kLevel));
    mouse->press(10, 50);
    EXPECT_TRUE(g->CursorIsHidden()) << c.name;
    EXPECT_NEAR(s->GetValue(), 0.5, 1e-12) << c.name;
    mouse->dragTo(10, c.toY, c.mods);
    EXPECT_NEAR(s->GetValue(), c.expected, 1e-9) << c.name;
    mouse->release();
    EXPECT_FALSE(g->CursorIsHidden()) << c.name;
    g->RemoveControl(s);
  }

  // Horizontal: to the right raises the value; a whole track's drag moves it by 1.
  auto* h = attach(new Slider(IRECT(0, 0, 100, 20), kLevel, EDirection::Horizontal));
  mouse->press(0, 10);
  mouse->dragTo(100, 10);
  EXPECT_NEAR(h->GetValue(), 1.0, 1e-12);
  mouse->release();
}

TEST_F(StockBasesTest, SliderWithTheCursorShownFollowsThePointer) {
  auto* s = attach(new Slider(IRECT(0, 0, 20, 100), kLevel));
  s->SetHideCursorOnDrag(false);
  mouse->press(10, 50);
  EXPECT_FALSE(g->CursorIsHidden());
  mouse->dragTo(10, 20, {.shift = true});  // fine control has no say over an absolute drag
  EXPECT_NEAR(s->GetValue(), 0.8, 1e-12);
  mouse->release();
  EXPECT_EQ(s->mouseUps, 1);
}

TEST_F(StockBasesTest, SteppedSliderNeverSnapsAndMovesInWholeSteps) {
  auto* s = attach(new Slider(IRECT(0, 0, 20, 100), kSteps));
  dlg.log.clear();
  mouse->press(10, 1);  // near the top: no jump
  EXPECT_EQ(s->GetValue(), 0.0);
  for (int i = 1; i <= 100; ++i) {
    mouse->dragTo(10, 1.f - static_cast<float>(i));
    if (i == 12) {
      EXPECT_EQ(s->GetValue(), 0.0) << "12 units";
    }
    if (i == 13) {
      EXPECT_EQ(s->GetValue(), 0.25) << "13 units";
    }
  }
  EXPECT_EQ(s->GetValue(), 1.0);
  mouse->release();
  EXPECT_EQ(dlg.log.front(), "Begin 1");
  EXPECT_EQ(dlg.log.back(), "End 1");
  EXPECT_EQ(dlg.GetParam(kSteps)->Value(), 4.0);

  // With the cursor shown a stepped slider still drags relatively.
  s->SetHideCursorOnDrag(false);
  s->SetValue(0.0);
  mouse->press(10, 50);
  EXPECT_EQ(s->GetValue(), 0.0);
  mouse->dragTo(10, 20);
  EXPECT_EQ(s->GetValue(), 0.25);
  mouse->release();
}

TEST_F(StockBasesTest, SliderWheelTurnsByHundredthsOrOneStepEachInItsOwnEdit) {
  struct Case {
    const char* name;
    int param;
    double start;
    float d;
    sp::test::Mods mods;
    double expected;
  };
  const std::vector<Case> cases = {
      {"one notch up", kLevel, 0.5, 1, {}, 0.51},
      {"one notch down", kLevel, 0.5, -1, {}, 0.49},
      {"fine with shift", kLevel, 0.5, 1, {.shift = true}, 0.501},
      {"fine with control", kLevel, 0.5, -1, {.control = true}, 0.499},
      {"stepped up", kSteps, 0.5, 1, {}, 0.75},
      {"stepped down by any turn", kSteps, 0.5, -3, {}, 0.25},
      {"stepped stays at the top", kSteps, 1.0, 1, {}, 1.0},
  };
  for (const Case& c : cases) {
    auto* s = attach(new Slider(IRECT(0, 0, 20, 100), c.param));
    s->SetValue(c.start);
    dlg.log.clear();
    mouse->wheel(10, 50, c.d, c.mods);
    EXPECT_NEAR(s->GetValue(), c.expected, 1e-12) << c.name;
    ASSERT_EQ(dlg.log.size(), 3u) << c.name;
    EXPECT_EQ(dlg.log.front(), "Begin " + std::to_string(c.param)) << c.name;
    EXPECT_EQ(dlg.log.back(), "End " + std::to_string(c.param)) << c.name;
    g->RemoveControl(s);
  }
}

TEST_F(StockBasesTest, SliderRightClickPromptsForTheValueUnderThePointer) {
  // A right click on a linked control opens the host's menu in the dispatch, so the
  // handler is called directly.
  auto* level = attach(new Slider(IRECT(0, 0, 20, 100), kLevel));
  level->SetPromptDisabled(false);
  platform.leaveTextOpen();
  level->OnMouseDown(10, 50, IMouseMod(false, true));
  ASSERT_EQ(platform.textEntries.size(), 1u);
  expectRect(platform.textEntries[0].bounds, IRECT(-10, 42, 30, 58), "a box centred on the slider");
  g->dismissTextEntry();
  level->OnMouseUp(10, 50, IMouseMod(false, true));

  auto* letter = attach(new Slider(IRECT(30, 0, 50, 100), kLetter));
  letter->SetPromptDisabled(false);
  platform.dismissMenu();
  letter->OnMouseDown(40, 50, IMouseMod(false, true));
  platform.queue.drain();
  ASSERT_EQ(platform.menus.size(), 1u);
  expectRect(platform.menus[0].bounds, IRECT(30, 0, 50, 100), "the menu over the slider");
  letter->OnMouseUp(40, 50, IMouseMod(false, true));
}

// ---------------------------------------------------------------------------------------
// Link

TEST_F(StockBasesTest, LinkOpensItsURLAndLetsThePointerGo) {
  auto* link = attach(new Link(IRECT(0, 0, 100, 20), "Site", "https://www.brightloom.example/",
                               DEFAULT_TEXT.WithColor(COLOR_BLACK), COLOR_TRANSPARENT, COLOR_RED, COLOR_GREEN));
  mouse->moveTo(50, 10);
  EXPECT_EQ(g->GetCursorKind(), ECursor::Hand);
  EXPECT_EQ(static_cast<int>(g->GetCursorKind()), 11);
  drawOnly(*link);
  EXPECT_EQ(sp::test::paints(*g).back().pattern.GetStop(0).color, COLOR_RED) << "underline in the mouse-over colour";

  mouse->press(50, 10);
  EXPECT_EQ(platform.openedURLs, (std::vector<std::string>{"https://www.brightloom.example/"}));
  EXPECT_FALSE(g->ControlIsCaptured());
  mouse->release();
  EXPECT_EQ(link->mouseUps, 0);
  EXPECT_TRUE(link->GetClicked());

  mouse->moveTo(200, 200);
  EXPECT_EQ(g->GetCursorKind(), ECursor::Arrow);
  drawOnly(*link);
  // Background, underline at the text's bottom in the clicked colour, then the text.
  EXPECT_EQ(sp::test::described(*g, false),
            (std::vector<std::string>{"clear", "M 0 0", "L 100 0", "L 100 20", "L 0 20", "Z", "F", "clear",
                                      "M 36 17", "L 64 17", "S 1", "text Site 0 0 100 20"}));
  EXPECT_EQ(sp::test::paints(*g).back().pattern.GetStop(0).color, COLOR_GREEN);
  EXPECT_EQ(g->opsOf({sp::test::DrawOp::DrawText}).at(0).textStyle.color, COLOR_GREEN);

  // A new style's colour is the normal colour.
  link->SetText(DEFAULT_TEXT.WithColor(COLOR_BLUE).WithAlign(ETextHAlign::Left));
  auto* fresh = attach(new Link(IRECT(0, 30, 100, 50), "Site", "x"));
  fresh->SetText(DEFAULT_TEXT.WithColor(COLOR_BLUE).WithAlign(ETextHAlign::Left));
  drawOnly(*fresh);
  EXPECT_EQ(sp::test::described(*g, false).at(8), "M 0 47");
  EXPECT_EQ(sp::test::paints(*g).back().pattern.GetStop(0).color, COLOR_BLUE);
}

// ---------------------------------------------------------------------------------------
// Text toggle

TEST_F(StockBasesTest, TextToggleFlipsItsValueAndShowsTheMatchingText) {
  auto* toggle = attach(new ITextToggleControl(IRECT(0, 0, 60, 20), kPower, "off", "on"));
  EXPECT_FALSE(toggle->GetIgnoreMouse());
  EXPECT_STREQ(toggle->GetStr(), "off");
  dlg.log.clear();
  mouse->click(10, 10);
  EXPECT_EQ(toggle->GetValue(), 1.0);
  EXPECT_STREQ(toggle->GetStr(), "on");
  EXPECT_EQ(dlg.log, (Log{"Begin 0", "Send 0 1", "End 0"}));
  // A double click counts as a second click.
  mouse->press(10, 10, {}, 2);
  mouse->release();
  EXPECT_STREQ(toggle->GetStr(), "off");

  // The host's value shows and is not sent back.
  dlg.log.clear();
  dlg.hostSets(kPower, 1.0);
  EXPECT_STREQ(toggle->GetStr(), "on");
  EXPECT_TRUE(dlg.log.empty());

  int actions = 0;
  auto* unlinked = attach(new ITextToggleControl(IRECT(0, 30, 60, 50), [&actions](IControl*) { ++actions; }));
  mouse->click(10, 40);
  EXPECT_STREQ(unlinked->GetStr(), "ON");
  EXPECT_EQ(actions, 1);
}

// ---------------------------------------------------------------------------------------
// Caption

TEST_F(StockBasesTest, CaptionShowsTheParameterWithAMenuTriangleForAnEnum) {
  dlg.hostSets(kLetter, 1.0 / 3.0);
  auto* caption = attach(new ICaptionControl(IRECT(0, 0, 100, 20), kLetter, DEFAULT_TEXT.WithSize(12.f)));
  expectRect(caption->GetTriangleRect(), IRECT(91, 8.02f, 97, 11.98f), "right edge");
  drawOnly(*caption);
  EXPECT_EQ(texts(*g), (std::vector<std::string>{"B"}));
  const auto f = fills(*g);
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[1].color, COLOR_BLACK);
  EXPECT_TRUE(f[1].hasBlend);

  auto* right = attach(new ICaptionControl(IRECT(0, 30, 100, 50), kLetter,
                                           DEFAULT_TEXT.WithSize(12.f).WithAlign(ETextHAlign::Right)));
  expectRect(right->GetTriangleRect(), IRECT(3, 38.02f, 9, 41.98f), "left edge when right-aligned");

  // A double parameter: its value with its unit, no triangle.
  auto* mix = attach(new ICaptionControl(IRECT(0, 60, 100, 80), kMix));
  EXPECT_TRUE(mix->GetTriangleRect().IsEmpty());
  drawOnly(*mix);
  EXPECT_EQ(texts(*g), (std::vector<std::string>{"50.0 %"}));
  auto* bare = attach(new ICaptionControl(IRECT(0, 90, 100, 110), kMix, DEFAULT_TEXT, DEFAULT_BGCOLOR, false));
  drawOnly(*bare);
  EXPECT_EQ(texts(*g), (std::vector<std::string>{"50.0"}));
}

TEST_F(StockBasesTest, CaptionClickOpensTheValueMenuWithTheCurrentTextChecked) {
  dlg.hostSets(kLetter, 1.0 / 3.0);
  attach(new ICaptionControl(IRECT(0, 0, 100, 20), kLetter));
  platform.chooseMenuItem({2});
  dlg.log.clear();
  mouse->click(50, 10);
  platform.queue.drain();
  ASSERT_EQ(platform.menus.size(), 1u);
  const auto& items = platform.menus[0].menu.items;
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[1].text, "B");
  EXPECT_TRUE(items[1].flags & IPopupMenu::Item::kChecked);
  EXPECT_FALSE(items[2].flags & IPopupMenu::Item::kChecked);
  EXPECT_EQ(dlg.log, (Log{"Begin 2", "Send 2 " + num(2.0 / 3.0), "End 2"}));
  EXPECT_EQ(dlg.GetParam(kLetter)->Value(), 2.0);
}

TEST_F(StockBasesTest, CaptionRightButtonPromptsToo) {
  // The dispatch gives a linked control's right click to the host's menu: called directly.
  auto* caption = attach(new ICaptionControl(IRECT(0, 0, 100, 20), kMix));
  platform.leaveTextOpen();
  caption->OnMouseDown(50, 10, IMouseMod(false, true));
  ASSERT_EQ(platform.textEntries.size(), 1u);
  expectRect(platform.textEntries[0].bounds, IRECT(0, 0, 100, 20));
  EXPECT_EQ(platform.textEntries[0].initial, "50.0");
  g->dismissTextEntry();
}

// ---------------------------------------------------------------------------------------
// Placeholder

TEST_F(StockBasesTest, PlaceHolderPrintsItsGeometryWithOneDecimalInAnyLocale) {
  auto check = [this](const char* when) {
    auto* p = attach(new PlaceHolder(IRECT(10, 20, 110, 70)));
    EXPECT_STREQ(p->GetTopLeftStr(), "10.0, 20.0") << when;
    EXPECT_STREQ(p->GetWidthStr(), "100.0") << when;
    EXPECT_STREQ(p->GetHeightStr(), "50.0") << when;
    drawOnly(*p);
    EXPECT_EQ(texts(*g), (std::vector<std::string>{"50.0", "100.0", "10.0, 20.0", "Place Holder"})) << when;
    g->RemoveControl(p);
  };
  check("C locale");
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    check("comma locale");
    std::setlocale(LC_NUMERIC, previous.c_str());
  }
}

TEST_F(StockBasesTest, PlaceHolderDrawsACrossAndBoxesEachText) {
  auto* p = attach(new PlaceHolder(IRECT(10, 20, 110, 70), "Knob"));
  drawOnly(*p);
  const auto f = fills(*g);
  ASSERT_EQ(f.size(), 5u);
  EXPECT_EQ(f[0].color, COLOR_WHITE);
  expectRect(f[0].box, IRECT(10, 20, 110, 70), "background");
  // The name's box: "Knob" at 20 measures 40 x 20, centred.
  expectRect(f[4].box, IRECT(40, 35, 80, 55), "name box");
  expectRect(p->GetLabelBounds(), IRECT(40, 35, 80, 55));
  const auto strokes = g->opsOf({sp::test::DrawOp::PathStroke});
  ASSERT_EQ(strokes.size(), 2u);
  for (const auto& s : strokes) {
    EXPECT_EQ(sp::test::colorOf(s), COLOR_RED);
    EXPECT_FLOAT_EQ(s.args[0], 2.f);
    EXPECT_FLOAT_EQ(s.blend.weight, 0.5f);
  }
}

TEST_F(StockBasesTest, PlaceHolderTakesANewNameByDoubleClick) {
  auto* p = attach(new PlaceHolder(IRECT(10, 20, 110, 70)));
  platform.commitText("Knob");
  mouse->doubleClick(50, 40);
  platform.queue.drain();
  ASSERT_EQ(platform.textEntries.size(), 1u);
  EXPECT_EQ(platform.textEntries[0].initial, "Place Holder");
  expectRect(platform.textEntries[0].bounds, IRECT(10, 20, 110, 70));
  EXPECT_STREQ(p->GetStr(), "Knob");
}
