// The editor view's events, end to end through the window of the headless desktop: a table
// of scripted pointer events (positions divided by the draw scale, odd and even click
// counts, Command adding the right button, right-button modifiers, drag deltas from the
// previous event, tablet input), the exit under a capture delivered after the release, an
// open text field (drags dropped, a wheel closing it uncommitted and then turning
// unscaled, keys going to it, a click outside committing it first), keys (virtual keys,
// characters, modifiers, the last pointer position, unhandled ones to the host), dropped
// files, and the frame timer drawing only what is dirty.
#include "tests/platform/mac/mac_editor.h"

namespace {

using namespace mactest;

constexpr NSUInteger kShift = NSEventModifierFlagShift, kCtrl = NSEventModifierFlagControl,
                     kOpt = NSEventModifierFlagOption, kCmd = NSEventModifierFlagCommand;

class ViewEvents : public MacEditorTest {
protected:
  void SetUp() override {
    drawScale = 2.f;
    MacEditorTest::SetUp();
    open();
  }
};

TEST_F(ViewEvents, PointerEventsByTheRules) {
  struct Step {
    NSEventType type;
    NSPoint point;  // view points
    NSUInteger flags;
    NSInteger clicks;
    std::string what;  // what the left control hears ("" for nothing)
    float x, y;
    IMouseMod mod;
    float dX = 0, dY = 0;
  };
  const Step steps[] = {
      {NSEventTypeLeftMouseDown, {200, 100}, 0, 1, "down", 100, 50, IMouseMod(true)},
      {NSEventTypeLeftMouseDragged, {210, 96}, kShift, 1, "drag", 105, 48, IMouseMod(true, false, true), 5, -2},
      {NSEventTypeLeftMouseUp, {210, 96}, 0, 1, "up", 105, 48, IMouseMod(true)},
      {NSEventTypeLeftMouseDown, {20, 20}, 0, 2, "dblclick", 10, 10, IMouseMod(true)},
      {NSEventTypeLeftMouseUp, {20, 20}, 0, 2, "", 0, 0, IMouseMod()},  // a double click captures nothing
      {NSEventTypeLeftMouseDown, {20, 20}, kCmd, 3, "down", 10, 10, IMouseMod(true, true)},
      {NSEventTypeLeftMouseUp, {20, 20}, kCmd, 3, "up", 10, 10, IMouseMod(true, true)},
      {NSEventTypeRightMouseDown, {40, 60}, kShift | kCtrl | kOpt, 1, "down", 20, 30,
       IMouseMod(false, true, true, true, true)},
      {NSEventTypeRightMouseDragged, {44, 60}, 0, 1, "drag", 22, 30, IMouseMod(false, true), 2, 0},
      {NSEventTypeRightMouseUp, {44, 60}, 0, 1, "up", 22, 30, IMouseMod(false, true)},
      {NSEventTypeRightMouseDown, {44, 60}, 0, 4, "dblclick", 22, 30, IMouseMod(false, true)},
      {NSEventTypeRightMouseUp, {44, 60}, 0, 4, "", 0, 0, IMouseMod()},
      {NSEventTypeScrollWheel, {100, 100}, 0, 1, "wheel", 50, 50, IMouseMod(true)},
  };
  g->EnableMouseOver(true);
  EventScript e = events();
  for (const Step& s : steps) {
    left->events.clear();
    NSEvent ev = e.at(s.type, s.point, s.flags, s.clicks);
    ev.deltaY = 3.5;
    e.send(ev);
    if (s.what.empty()) {
      EXPECT_TRUE(left->events.empty()) << "step " << (&s - steps);
      continue;
    }
    const Recorder::Event* heard = nullptr;
    for (const Recorder::Event& r : left->events)
      if (r.what == s.what) heard = &r;
    ASSERT_NE(heard, nullptr) << s.what << " at step " << (&s - steps);
    EXPECT_EQ(heard->x, s.x) << s.what;
    EXPECT_EQ(heard->y, s.y) << s.what;
    EXPECT_EQ(heard->mod, s.mod) << s.what << " at step " << (&s - steps);
    EXPECT_EQ(heard->dX, s.dX) << s.what;
    EXPECT_EQ(heard->dY, s.dY) << s.what;
    if (s.what == "wheel") {
      EXPECT_EQ(heard->d, 3.5f);  // unscaled
    }
  }
  // Moves reach the control under the pointer (the first control never hears them).
  e.move({800, 100}, kCmd);
  EXPECT_EQ(right->last("over").x, 400);
  EXPECT_EQ(right->last("over").y, 50);
  EXPECT_EQ(right->last("over").mod, IMouseMod(true, true));

  EXPECT_FALSE(g->GetTabletInput());
  NSEvent pen = e.at(NSEventTypeMouseMoved, {10, 10});
  pen.subtype = NSEventSubtypeTabletPoint;
  e.send(pen);
  EXPECT_TRUE(g->GetTabletInput());
  e.move({12, 10});
  EXPECT_FALSE(g->GetTabletInput());  // each event says
}

TEST_F(ViewEvents, LeavingDuringADragIsHeardAfterTheRelease) {
  EventScript e = events();
  e.move({10, 10});
  e.press({10, 10});
  left->events.clear();
  NSEvent out = e.at(NSEventTypeLeftMouseDragged, {2000, 10});  // outside the view
  e.send(out);
  EXPECT_EQ(left->names(), (std::vector<std::string>{"drag"}));
  e.release({2000, 10});
  EXPECT_EQ(left->names(), (std::vector<std::string>{"drag", "up", "out"}));

  // Entering again re-applies the cursor and forgets an out that was owed.
  g->SetMouseCursor(ECursor::Hand);
  NSApp->currentCursor = "arrowCursor";
  e.move({10, 10});
  EXPECT_EQ(NSApp->currentCursor, "pointingHandCursor");
}

TEST_F(ViewEvents, AnOpenFieldTakesKeysAndDropsDragsAWheelClosesItAndAClickOutsideCommitsIt) {
  EventScript e = events();
  script.leaveTextOpen();
  g->CreateTextEntry(*left, IText(14.f), IRECT(10, 10, 100, 30), "12", kEveryValIdx);
  ASSERT_NE(view->textField(), nullptr);
  EXPECT_EQ(host->firstResponder(), view->textField());

  // Keys go to the field, not the editor; drags are dropped while it is open.
  e.keyDown(0, u"a");
  EXPECT_EQ(view->textField()->stringValue(), "12a");
  e.drag({400, 400});
  EXPECT_TRUE(left->events.empty());

  // A wheel turn closes the field without committing, then turns.
  e.wheel({50, 40}, -2.0);
  EXPECT_EQ(view->textField(), nullptr);
  EXPECT_EQ(left->names(), (std::vector<std::string>{"wheel"}));
  EXPECT_EQ(left->last("wheel").d, -2.f);
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  EXPECT_EQ(host->firstResponder(), view);

  // A click outside the field commits what it holds before the click is dispatched.
  left->events.clear();
  script.leaveTextOpen();
  g->CreateTextEntry(*left, IText(14.f), IRECT(10, 10, 100, 30), "7", kEveryValIdx);
  e.keyDown(0, u"8");
  e.press({300, 300});
  EXPECT_EQ(left->names(), (std::vector<std::string>{"text 78", "down"}));
  e.release({300, 300});
  EXPECT_EQ(view->textField(), nullptr);

  // Return commits too.
  left->events.clear();
  script.leaveTextOpen();
  g->CreateTextEntry(*left, IText(14.f), IRECT(10, 10, 100, 30), "", kEveryValIdx);
  e.keyDown(0, u"9");
  e.keyDown(36, u"\r");
  EXPECT_EQ(left->names(), (std::vector<std::string>{"text 9"}));
}

TEST_F(ViewEvents, KeysBecomeKeyPressesAtTheLastPointerPositionAndUnhandledOnesReachTheHost) {
  EventScript e = events();
  e.move({800, 200});  // (400, 100): the right control (the first control takes no keys)
  e.keyDown(0, u"A", kShift | kCtrl);
  const Recorder::Event& key = right->last("key");
  EXPECT_EQ(key.key.VK, 65);
  EXPECT_STREQ(key.key.utf8, "A");
  EXPECT_TRUE(key.key.S);
  EXPECT_FALSE(key.key.C);  // Control is not passed
  EXPECT_EQ(key.x, 400);
  EXPECT_EQ(key.y, 100);
  e.keyDown(18, u"!", kShift);
  EXPECT_EQ(right->last("key").key.VK, 0);
  EXPECT_STREQ(right->last("key").key.utf8, "!");
  EXPECT_FALSE(right->last("key").key.S);
  e.keyDown(76, u"\x03");
  EXPECT_EQ(right->last("key").key.VK, 0x800D);

  EXPECT_TRUE(NSApp->unhandledKeys.empty());
  right->takesKeys = false;
  e.keyDown(122, u"\uF704", kCmd);
  ASSERT_EQ(NSApp->unhandledKeys.size(), 1u);
  EXPECT_EQ(NSApp->unhandledKeys[0].keyCode, 122);
}

TEST_F(ViewEvents, DroppedFilesGoToTheControlUnderThem) {
  EventScript e = events();
  // View point (700, 100) is (350, 50) in the editor: the right control.
  EXPECT_TRUE(e.drop({"/a.wav"}, {700, 100}));
  EXPECT_TRUE(e.drop({"/a.wav", "/b.wav", "/c.wav"}, {700, 100}));
  EXPECT_EQ(right->names(), (std::vector<std::string>{"drop /a.wav", "drops 3"}));
  EXPECT_TRUE(left->events.empty());
}

TEST_F(ViewEvents, TheFrameTimerDrawsOnlyWhatIsDirty) {
  EXPECT_NE(view->timer(), nullptr);
  EXPECT_DOUBLE_EQ(view->timer()->timeInterval(), 1.0 / 60.0);
  loop.advance(20);
  const int leftDraws = left->draws, rightDraws = right->draws;
  EXPECT_GE(leftDraws, 1);  // the first frame draws everything
  EXPECT_GE(rightDraws, 1);
  loop.advance(100);
  EXPECT_EQ(left->draws, leftDraws);  // idle: nothing drawn
  EXPECT_EQ(right->draws, rightDraws);
  left->SetDirty(false);
  loop.advance(20);
  EXPECT_EQ(left->draws, leftDraws + 1);
  // The drawn frame reached the layer.
  EXPECT_NE(view->layer()->frontTexture(), nullptr);
}

}  // namespace
