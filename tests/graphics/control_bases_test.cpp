// The control bases: the panel's fill and frame, the text control's re-centring, cutting
// and drawing, the knob's drag and wheel maths, containers, and gesture regions.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "graphics/Constants.h"
#include "graphics/IKnobControlBase.h"
#include "graphics/IPanelControl.h"
#include "graphics/ITextControl.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/draw_ops.h"
#include "tests/support/canvas/event_driver.h"

using namespace gfxtest;
using namespace sp::test;
using Path = std::vector<std::string>;
using sp::test::EventDriver;
using sp::test::TestPlatform;

namespace {

class BasesTest : public ::testing::Test {
protected:
  void SetUp() override {
    dlg.logUI = false;
    // Parameter 7: 0..4 in whole steps.
    dlg.GetParam(7)->InitDouble("Steps", 0.0, 0.0, 4.0, 1.0, "", IParam::kFlagStepped);
    dlg.SetMakeGraphicsFunc(platform.graphicsFactory(dlg));
    dlg.OpenWindow(nullptr);
    g = platform.canvas();
    ASSERT_NE(g, nullptr);
    g->clearDrawOps();
  }
  void TearDown() override { dlg.CloseWindow(); }

  FakeDelegate dlg{1};
  TestPlatform platform;
  TestCanvas* g = nullptr;
};

class Knob : public IKnobControlBase {
public:
  using IKnobControlBase::IKnobControlBase;
  void Draw(ICanvas&) override {}
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Panel

TEST_F(BasesTest, PanelFillsItsBoundsWithItsPatternAndFramesOnRequest) {
  auto* framed = new IPanelControl(IRECT(10, 10, 50, 30), IColor(255, 20, 20, 20), true);
  g->AttachControl(framed);
  EXPECT_TRUE(framed->GetIgnoreMouse());
  framed->Draw(*g);
  EXPECT_EQ(described(*g, false),
            (Path{"M 10 10", "L 50 10", "L 50 30", "L 10 30", "Z", "F", "clear", "M 10 10", "L 50 10", "L 50 30",
                  "L 10 30", "Z", "S 1"}));
  const auto p = paints(*g);
  EXPECT_EQ(colorOf(p[0]), IColor(255, 20, 20, 20));
  EXPECT_TRUE(p[0].hasBlend);
  EXPECT_FLOAT_EQ(p[0].blend.weight, 1.f);
  EXPECT_EQ(colorOf(p[1]), COLOR_LIGHT_GRAY);

  // A gradient is kept whole; a disabled panel draws at a quarter of its opacity.
  IPattern gradient(EPatternType::Linear);
  gradient.AddStop(COLOR_RED, 0);
  gradient.AddStop(COLOR_BLUE, 1);
  auto* shaded = new IPanelControl(IRECT(0, 0, 5, 5), gradient);
  g->AttachControl(shaded);
  shaded->SetDisabled(true);
  g->clearDrawOps();
  shaded->Draw(*g);
  const auto q = paints(*g);
  ASSERT_EQ(q.size(), 1u);
  EXPECT_EQ(q[0].pattern.type, EPatternType::Linear);
  EXPECT_EQ(q[0].pattern.NStops(), 2);
  EXPECT_FLOAT_EQ(q[0].blend.weight, 0.25f);
}

TEST_F(BasesTest, PanelBackgroundGoesInFrontAndCoversTheEditor) {
  auto* first = new Probe(IRECT(0, 0, 10, 10));
  g->AttachControl(first);
  IControl* background = g->AttachPanelBackground(IPattern(IColor(255, 10, 10, 10)));
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(g->GetControl(0), background);
  EXPECT_EQ(g->GetControl(1), first);
  EXPECT_EQ(background->GetRECT(), g->GetBounds());
  auto* panel = dynamic_cast<IPanelControl*>(background);
  ASSERT_NE(panel, nullptr);
  EXPECT_FALSE(panel->GetDrawFrame());
  EXPECT_TRUE(panel->GetIgnoreMouse());
  EXPECT_EQ(panel->GetPattern().GetStop(0).color, IColor(255, 10, 10, 10));
}

// ---------------------------------------------------------------------------------------
// Text control

TEST_F(BasesTest, TextSizedToItsStringKeepsItsCentre) {
  auto* text = new ITextControl(IRECT(0, 0, 100, 20), "Hi", DEFAULT_TEXT, DEFAULT_BGCOLOR, true);
  g->AttachControl(text);
  EXPECT_EQ(text->GetRECT(), IRECT(43, 3, 57, 17));
  EXPECT_EQ(text->GetTargetRECT(), text->GetRECT());
  EXPECT_TRUE(text->GetIgnoreMouse());

  text->SetStr("Hello");
  EXPECT_EQ(text->GetRECT(), IRECT(32.5f, 3, 67.5f, 17));
  EXPECT_EQ(text->GetTargetRECT(), text->GetRECT());

  // An empty text measures nothing: the rectangles stay.
  text->ClearStr();
  EXPECT_EQ(text->GetRECT(), IRECT(32.5f, 3, 67.5f, 17));

  // A control not sized to its text keeps its bounds; formatting never re-centres.
  auto* fixed = new ITextControl(IRECT(0, 0, 100, 20), "Hi");
  g->AttachControl(fixed);
  fixed->SetStr("Hello there");
  EXPECT_EQ(fixed->GetRECT(), IRECT(0, 0, 100, 20));
  text->SetStrFmt(32, "%s", "Much longer text");
  EXPECT_EQ(text->GetRECT(), IRECT(32.5f, 3, 67.5f, 17));
}

TEST_F(BasesTest, SameTextIsNoChangeAndANewOneRedraws) {
  auto* text = new ITextControl(IRECT(0, 0, 100, 20), "Title");
  g->AttachControl(text, 0);
  text->SetClean();
  text->SetStr("Title");
  EXPECT_FALSE(text->IsDirty());
  text->SetStr("Track 1");
  EXPECT_TRUE(text->IsDirty());
  EXPECT_STREQ(text->GetStr(), "Track 1");
  text->SetStr(nullptr);
  EXPECT_STREQ(text->GetStr(), "");
}

TEST_F(BasesTest, FormattedTextIsCutToWholeCharacters) {
  auto* text = new ITextControl(IRECT(0, 0, 100, 20));
  g->AttachControl(text);
  struct Case {
    int maxLength;
    const char* arg;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {2, "abc", "ab"},
      {2, "a\xC3\xA9", "a"},                 // a, e-acute: the cut falls inside the e
      {3, "a\xC3\xA9", "a\xC3\xA9"},
      {2, "\xE2\x82\xAC" "x", ""},           // the euro sign needs three bytes
      {4, "x\xF0\x9F\x8E\xB5", "x"},         // a four-byte character cut after three
      {0, "abc", ""},
      {-5, "abc", ""},
  };
  for (const Case& c : cases) {
    text->SetClean();
    text->SetStrFmt(c.maxLength, "%s", c.arg);
    EXPECT_STREQ(text->GetStr(), c.expected) << c.maxLength << " " << c.arg;
    EXPECT_TRUE(text->IsDirty());
  }
  text->SetStrFmt(32, "%.1f dB", -3.0);
  EXPECT_STREQ(text->GetStr(), "-3.0 dB");

  // A host's comma locale does not reach the panel's numbers.
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    text->SetStrFmt(32, "%.1f", 0.5);
    EXPECT_STREQ(text->GetStr(), "0.5");
    std::setlocale(LC_NUMERIC, previous.c_str());
  }
}

TEST_F(BasesTest, TextDrawsItsBackgroundAndItsStringExceptWhileBeingEdited) {
  const IText style = DEFAULT_TEXT.WithAlign(ETextHAlign::Left);
  auto* text = new ITextControl(IRECT(0, 0, 100, 20), "Gain", style, IColor(255, 1, 2, 3));
  g->AttachControl(text);
  text->Draw(*g);
  EXPECT_EQ(described(*g, false), (Path{"clear", "M 0 0", "L 100 0", "L 100 20", "L 0 20", "Z", "F",
                                        "text Gain 0 0 100 20"}));
  EXPECT_EQ(colorOf(paints(*g).at(0)), IColor(255, 1, 2, 3));
  EXPECT_EQ(g->opsOf({DrawOp::DrawText}).at(0).textStyle, style);

  platform.leaveTextOpen();
  g->CreateTextEntry(*text, style, text->GetRECT(), "Gain");
  g->clearDrawOps();
  text->Draw(*g);
  EXPECT_EQ(g->count(DrawOp::DrawText), 0);
  EXPECT_EQ(g->count(DrawOp::PathFill), 1);
  g->dismissTextEntry();

  text->ClearStr();
  g->clearDrawOps();
  text->Draw(*g);
  EXPECT_EQ(g->count(DrawOp::DrawText), 0);
}

// ---------------------------------------------------------------------------------------
// Knob

TEST_F(BasesTest, KnobDragMovesByTheDragOverItsHeightDividedByTheGearing) {
  struct Case {
    const char* name;
    EDirection direction;
    float dX, dY;
    bool shift, control;
    double expected;
  };
  const std::vector<Case> cases = {
      {"up a full height", EDirection::Vertical, 0, -100, false, false, 0.75},
      {"down a full height", EDirection::Vertical, 0, 100, false, false, 0.25},
      {"fine with shift", EDirection::Vertical, 0, -100, true, false, 0.525},
      {"fine with control", EDirection::Vertical, 0, -100, false, true, 0.525},
      {"far up stops at 1", EDirection::Vertical, 0, -1000, false, false, 1.0},
      {"sideways ignored", EDirection::Vertical, 100, 0, false, false, 0.5},
      {"horizontal to the right", EDirection::Horizontal, 100, -50, false, false, 0.75},
  };
  for (const Case& c : cases) {
    auto* knob = new Knob(IRECT(0, 0, 100, 100), 5, c.direction, 4.0);
    g->AttachControl(knob);
    knob->SetValue(0.5);
    const IMouseMod mod(true, false, c.shift, c.control);
    knob->OnMouseDown(50, 50, mod);
    knob->OnMouseDrag(50, 50, c.dX, c.dY, mod);
    EXPECT_NEAR(knob->GetValue(0), c.expected, 1e-12) << c.name;
    knob->OnMouseUp(50, 50, mod);
    g->RemoveControl(knob);
  }
}

TEST_F(BasesTest, SteppedKnobAccumulatesTheDragUntilHalfAStepIsCrossed) {
  auto* knob = new Knob(IRECT(0, 0, 100, 100), 7);
  g->AttachControl(knob);
  const IMouseMod mod(true);
  knob->OnMouseDown(50, 50, mod);
  dlg.log.clear();
  knob->OnMouseDrag(50, 50, 0, -48, mod);  // 0.12 of the range: still step 0
  EXPECT_EQ(knob->GetValue(0), 0.0);
  knob->OnMouseDrag(50, 50, 0, -4, mod);  // 0.13: step 1
  EXPECT_EQ(knob->GetValue(0), 0.25);
  EXPECT_EQ(dlg.only({"Send"}), (Log{"Send 7 0", "Send 7 0.25"}));
}

TEST_F(BasesTest, KnobIgnoresADragWithoutAnExtentOrGearing) {
  auto* flat = new Knob(IRECT(0, 50, 100, 50), 5);
  auto* geared = new Knob(IRECT(0, 0, 100, 100), 5, EDirection::Vertical, 0.0);
  g->AttachControl(flat);
  g->AttachControl(geared);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (Knob* knob : {flat, geared}) {
    knob->SetValue(0.5);
    knob->OnMouseDown(50, 50, IMouseMod(true));
    dlg.log.clear();
    knob->OnMouseDrag(50, 50, 0, -10, IMouseMod(true));
    knob->OnMouseDrag(50, 50, 0, nan, IMouseMod(true));
    EXPECT_EQ(knob->GetValue(0), 0.5);
    EXPECT_TRUE(dlg.only({"Send"}).empty());
  }
}

TEST_F(BasesTest, KnobWheelTurnsByHundredthsOrByOneStep) {
  struct Case {
    const char* name;
    int param;
    double start;
    float d;
    bool fine;
    double expected;
    bool sent;
  };
  const std::vector<Case> cases = {
      {"two notches", 5, 0.5, 2, false, 0.52, true},
      {"two fine notches", 5, 0.5, 2, true, 0.502, true},
      {"far down stops at 0", 5, 0.5, -100, false, 0.0, true},
      {"no notch on a stepped parameter is still sent", 7, 0.5, 0, false, 0.5, true},
      {"any turn down is one step", 7, 0.5, -3, false, 0.25, true},
      {"one step up from the top stays", 7, 1.0, 1, false, 1.0, true},
      {"not a number", 5, 0.5, std::numeric_limits<float>::quiet_NaN(), false, 0.5, false},
  };
  for (const Case& c : cases) {
    auto* knob = new Knob(IRECT(0, 0, 100, 100), c.param);
    g->AttachControl(knob);
    knob->SetValue(c.start);
    dlg.log.clear();
    knob->OnMouseWheel(50, 50, IMouseMod(false, false, c.fine), c.d);
    EXPECT_NEAR(knob->GetValue(0), c.expected, 1e-12) << c.name;
    EXPECT_EQ(dlg.only({"Send"}).size(), c.sent ? 1u : 0u) << c.name;
    g->RemoveControl(knob);
  }
}

TEST_F(BasesTest, KnobDraggedThroughTheEditorHidesTheCursorAndBracketsTheEdit) {
  auto* knob = new Knob(IRECT(0, 0, 100, 100), 5);
  g->AttachControl(knob);
  knob->SetValue(0.5);
  EventDriver mouse(*g);
  dlg.log.clear();
  mouse.press(50, 50);
  EXPECT_TRUE(knob->GetMouseDown());
  EXPECT_TRUE(g->CursorIsHidden());
  mouse.dragTo(50, 25);
  EXPECT_NEAR(knob->GetValue(0), 0.5625, 1e-12);
  mouse.release();
  EXPECT_FALSE(knob->GetMouseDown());
  EXPECT_FALSE(g->CursorIsHidden());
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 5", "Send 5 0.5625", "End 5"}));

  // A wheel turn gets its own edit from the dispatch, not from the knob.
  dlg.log.clear();
  mouse.wheel(50, 50, 1);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 5", "Send 5 0.5725", "End 5"}));

  knob->SetHideCursorOnDrag(false);
  const int hides = g->cursorHideCalls();
  mouse.press(50, 50);
  mouse.release();
  EXPECT_EQ(g->cursorHideCalls(), hides);
}

// ---------------------------------------------------------------------------------------
// Containers

TEST_F(BasesTest, ContainerResizesItsChildrenOnlyWhenItHasSome) {
  int resizes = 0;
  auto countResizes = [&resizes](IContainerBase*, const IRECT&) { ++resizes; };
  auto* empty = new IPanelControl(IRECT(0, 0, 50, 50), COLOR_BLACK, false, nullptr, countResizes);
  g->AttachControl(empty);
  empty->OnResize();
  EXPECT_EQ(resizes, 0);

  Probe* child = nullptr;
  auto* filled = new IPanelControl(
      IRECT(0, 0, 50, 50), COLOR_BLACK, false,
      [&child](IContainerBase* c, const IRECT& r) { child = static_cast<Probe*>(c->AttachChild(new Probe(r))); },
      countResizes);
  g->AttachControl(filled, kNoTag, "shade");
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(resizes, 1);
  EXPECT_EQ(child->GetParent(), filled);
  EXPECT_EQ(filled->NChildren(), 1);
  EXPECT_EQ(g->GetControlIdx(child), 2);

  // A removed child is gone from the container: hiding it later touches nothing freed.
  g->RemoveControl(child);
  EXPECT_EQ(filled->NChildren(), 0);
  filled->Hide(true);
  filled->SetDisabled(true);
  EXPECT_TRUE(filled->IsHidden());
}

// ---------------------------------------------------------------------------------------
// Gestures

TEST_F(BasesTest, GestureRegionsAnswerInTheOrderAttachedWithHalfOpenEdges) {
  std::vector<std::string> calls;
  g->AttachGestureRecognizer(EGestureType::Pinch);
  g->AttachGestureRecognizerToRegion(IRECT(0, 0, 50, 50), EGestureType::Pinch,
                                     [&calls](IControl* c, const IGestureInfo&) {
                                       calls.push_back(c == nullptr ? "first" : "first with control");
                                     });
  g->AttachGestureRecognizerToRegion(IRECT(25, 25, 75, 75), EGestureType::SwipeLeft,
                                     [&calls](IControl*, const IGestureInfo&) { calls.push_back("second"); });
  EXPECT_EQ(g->GetRegisteredGestures(), (std::vector<EGestureType>{EGestureType::Pinch, EGestureType::SwipeLeft}));

  auto gesture = [&](float x, float y) {
    IGestureInfo info;
    info.x = x;
    info.y = y;
    info.type = EGestureType::Pinch;
    g->OnGestureRecognized(info);
  };
  gesture(30, 30);
  gesture(60, 60);
  gesture(50, 10);  // on the first region's right edge: outside
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));
  EXPECT_TRUE(g->RespondsToGesture(49.9f, 10));
  EXPECT_FALSE(g->RespondsToGesture(50, 10));
  EXPECT_FALSE(g->RespondsToGesture(10, 50));

  // A control under the point that wants gestures takes them before any region.
  auto* probe = new Probe(IRECT(0, 0, 40, 40));
  g->AttachControl(probe);
  probe->AttachGestureRecognizer(EGestureType::Pinch,
                                 [&calls](IControl*, const IGestureInfo&) { calls.push_back("control"); });
  calls.clear();
  gesture(30, 30);
  EXPECT_EQ(calls, (std::vector<std::string>{"control"}));

  g->ClearGestureRegions();
  EXPECT_EQ(g->NGestureRegions(), 0);
  EXPECT_FALSE(g->RespondsToGesture(60, 60));
  calls.clear();
  gesture(60, 60);
  EXPECT_TRUE(calls.empty());
}
