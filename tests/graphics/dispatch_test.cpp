// Event dispatch: who gets each event, captures and mouse-over, the host's edit gestures
// around every edit, the host's context menu, keys and the computer-keyboard MIDI keys.
#include <gtest/gtest.h>

#include <functional>

#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/event_driver.h"
#include "tests/support/canvas/test_canvas.h"

using namespace gfxtest;
using sp::test::EventDriver;
using sp::test::Mods;
using sp::test::TestCanvas;
using sp::test::TestPlatform;
namespace vst = Steinberg::Vst;

namespace {

class DispatchTest : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (HasFatalFailure()) return;
    bg = attach(IRECT(0, 0, 640, 400));  // index 0, the background
  }

  Probe* attach(const IRECT& r, int param = kNoLinkedParam) {
    auto* p = new Probe(r, param);
    g->AttachControl(p);
    return p;
  }
  // A control that sends value + 0.1 on every drag and wheel turn.
  Probe* sender(const IRECT& r, int param) {
    Probe* p = attach(r, param);
    p->onDrag = [](Probe& c, float, float, float, float) {
      c.SetValue(c.GetValue() + 0.1);
      c.SetDirty(true);
    };
    p->onWheel = [](Probe& c, float d) {
      c.SetValue(c.GetValue() + 0.1 * d);
      c.SetDirty(true);
    };
    return p;
  }
  // Every Begin has its End, in order, per parameter.
  void expectBalanced() {
    std::map<std::string, int> open;
    for (const std::string& e : dlg.gestures()) {
      const std::string param = e.substr(e.find(' ') + 1, e.find(' ', e.find(' ') + 1) - e.find(' ') - 1);
      if (e.rfind("Begin", 0) == 0) {
        EXPECT_EQ(open[param]++, 0) << "second Begin for " << param;
      } else if (e.rfind("End", 0) == 0) {
        EXPECT_EQ(open[param]--, 1) << "End without Begin for " << param;
      } else {
        EXPECT_EQ(open[param], 1) << "Send outside a gesture: " << e;
      }
    }
    for (const auto& [param, n] : open) EXPECT_EQ(n, 0) << "gesture left open for " << param;
  }

  Probe* bg = nullptr;
};

// The host side of the parameter context menu.
class FakeHostMenu : public vst::IContextMenu {
public:
  struct Added {
    vst::IContextMenuItem item;
    vst::IContextMenuTarget* target;
  };
  std::vector<Added> items;
  int popups = 0;
  Steinberg::UCoord x = 0, y = 0;
  int executeTag = -1;  // when >= 0, popup chooses the item with this tag
  int refs = 1;

  Steinberg::int32 PLUGIN_API getItemCount() override { return static_cast<Steinberg::int32>(items.size()); }
  Steinberg::tresult PLUGIN_API getItem(Steinberg::int32, Item&, vst::IContextMenuTarget**) override {
    return Steinberg::kNotImplemented;
  }
  Steinberg::tresult PLUGIN_API addItem(const Item& item, vst::IContextMenuTarget* target) override {
    items.push_back({item, target});
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API removeItem(const Item&, vst::IContextMenuTarget*) override {
    return Steinberg::kNotImplemented;
  }
  Steinberg::tresult PLUGIN_API popup(Steinberg::UCoord px, Steinberg::UCoord py) override {
    ++popups;
    x = px, y = py;
    for (const Added& a : items)
      if (a.item.tag == executeTag && a.target != nullptr) a.target->executeMenuItem(a.item.tag);
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void**) override { return Steinberg::kNoInterface; }
  Steinberg::uint32 PLUGIN_API addRef() override { return ++refs; }
  Steinberg::uint32 PLUGIN_API release() override { return --refs; }
};

class FakeHandler : public vst::IComponentHandler, public vst::IComponentHandler3 {
public:
  bool offersMenus = true;
  FakeHostMenu menu;
  vst::ParamID askedFor = 0xFFFFFFFF;
  int refs = 1;

  Steinberg::tresult PLUGIN_API beginEdit(vst::ParamID) override { return Steinberg::kResultOk; }
  Steinberg::tresult PLUGIN_API performEdit(vst::ParamID, vst::ParamValue) override { return Steinberg::kResultOk; }
  Steinberg::tresult PLUGIN_API endEdit(vst::ParamID) override { return Steinberg::kResultOk; }
  Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32) override { return Steinberg::kResultOk; }
  vst::IContextMenu* PLUGIN_API createContextMenu(Steinberg::IPlugView*, const vst::ParamID* id) override {
    askedFor = id != nullptr ? *id : 0xFFFFFFFF;
    menu.addRef();
    return &menu;
  }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
    if (offersMenus && Steinberg::FUnknownPrivate::iidEqual(iid, vst::IComponentHandler3::iid)) {
      addRef();
      *obj = static_cast<vst::IComponentHandler3*>(this);
      return Steinberg::kResultOk;
    }
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return ++refs; }
  Steinberg::uint32 PLUGIN_API release() override { return --refs; }
};

}  // namespace

TEST_F(DispatchTest, TheTopmostEligibleControlTakesTheClick) {
  struct Case {
    const char* name;
    std::function<void(Probe&)> setLater;
    bool laterGetsIt;
  } cases[] = {
      {"plain", [](Probe&) {}, true},
      {"hidden", [](Probe& p) { p.Hide(true); }, false},
      {"ignores mouse", [](Probe& p) { p.SetIgnoreMouse(true); }, false},
      {"disabled", [](Probe& p) { p.SetDisabled(true); }, false},
      {"disabled but wants events",
       [](Probe& p) {
         p.SetDisabled(true);
         p.SetMouseEventsWhenDisabled(true);
       },
       true},
  };
  for (const Case& c : cases) {
    Probe* earlier = attach(IRECT(10, 10, 110, 110));
    Probe* later = attach(IRECT(50, 50, 150, 150));
    c.setLater(*later);
    EventDriver(*g).click(80, 80);
    EXPECT_EQ(later->called("OnMouseDown"), c.laterGetsIt) << c.name;
    EXPECT_EQ(earlier->called("OnMouseDown"), !c.laterGetsIt) << c.name;
    g->RemoveControls(1);
  }
}

TEST_F(DispatchTest, BackgroundTakesClicksButNeverMouseOverOrKeys) {
  g->EnableMouseOver(true);
  EventDriver mouse(*g);
  mouse.click(300, 300);
  EXPECT_TRUE(bg->called("OnMouseDown"));
  mouse.moveTo(310, 300);
  EXPECT_FALSE(bg->called("OnMouseOver"));
  EXPECT_EQ(g->GetMouseOverControl(), nullptr);
  bg->onKey = [](Probe&, const IKeyPress&) { return true; };
  EXPECT_FALSE(mouse.keyDown('Q', "q"));
  EXPECT_FALSE(bg->called("OnKeyDown"));
}

TEST_F(DispatchTest, ReleaseOutsideTheViewReachesTheCapturedControlThenMouseOverMovesOn) {
  g->EnableMouseOver(true);
  Probe* p = attach(IRECT(10, 10, 60, 60));
  Probe* other = attach(IRECT(100, 10, 150, 60));
  EventDriver mouse(*g);
  mouse.moveTo(20, 20);
  mouse.press(20, 20);
  mouse.dragTo(700, 500);  // outside the control and the view
  mouse.exitView();
  EXPECT_EQ(p->count("OnMouseDrag"), 1);
  EXPECT_FALSE(p->called("OnMouseOut"));  // delayed to the release while captured
  mouse.releaseAt(120, 20);
  EXPECT_TRUE(p->called("OnMouseUp"));
  EXPECT_EQ(g->GetMouseOverControl(), nullptr);  // the view's exit came after the release
  EXPECT_TRUE(other->called("OnMouseOver"));
  mouse.enterView();
  mouse.moveTo(130, 20);
  EXPECT_EQ(g->GetMouseOverControl(), other);
}

TEST_F(DispatchTest, DragGesturesAreBalancedAndZeroMovesAreNotDelivered) {
  Probe* p = sender(IRECT(10, 10, 110, 110), 6);
  EventDriver mouse(*g);
  mouse.press(50, 50);
  mouse.dragTo(50, 45);
  mouse.dragTo(50, 45);  // no movement: not delivered
  mouse.dragTo(52, 40);
  mouse.dragTo(55, 30);
  mouse.release();
  EXPECT_EQ(p->count("OnMouseDrag"), 3);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 6", "Send 6 0.1", "Send 6 0.2", "Send 6 0.3", "End 6"}));
  expectBalanced();
}

TEST_F(DispatchTest, DoubleClickResetAndWheelGetGesturesOfTheirOwn) {
  Probe* p = sender(IRECT(10, 10, 110, 110), 1);
  EventDriver mouse(*g);
  mouse.doubleClick(50, 50);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 1", "End 1", "Begin 1", "Send 1 0.7333", "End 1"}));
  EXPECT_TRUE(p->called("OnMouseDblClick"));
  dlg.log.clear();
  mouse.wheel(50, 50, 1.f);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 1", "Send 1 0.8333", "End 1"}));
  // A wheel turn with no number in it sends nothing.
  dlg.log.clear();
  mouse.wheel(50, 50, std::numeric_limits<float>::quiet_NaN());
  EXPECT_TRUE(dlg.gestures().empty());
  expectBalanced();
}

TEST_F(DispatchTest, LostReleaseIsEndedBeforeTheNextPressBegins) {
  sender(IRECT(10, 10, 110, 110), 6);
  sender(IRECT(200, 10, 300, 110), 1);
  EventDriver mouse(*g);
  mouse.press(50, 50);
  mouse.loseRelease();
  mouse.press(250, 50);
  mouse.dragTo(250, 40);
  mouse.release();
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 6", "End 6", "Begin 1", "Send 1 0.1", "End 1"}));
}

TEST_F(DispatchTest, RightClickOnALinkedControlOpensTheHostMenuWithoutAGesture) {
  FakeHandler handler;
  int viewStandIn = 0;  // any non-null view: the fake host only passes it on
  dlg.handler = &handler;
  dlg.view = reinterpret_cast<Steinberg::IPlugView*>(&viewStandIn);
  struct MenuMaker : Probe {
    using Probe::Probe;
    void CreateContextMenu(IPopupMenu& menu) override {
      menu.AddItem("A", -1, IPopupMenu::Item::kChecked);
      menu.AddSeparator();
      auto* sub = new IPopupMenu();
      sub->AddItem("B");
      sub->AddItem("C", -1, IPopupMenu::Item::kDisabled);
      menu.AddItem("Sub", sub);
      menu.AddItem(std::string(200, 'x').c_str());
    }
  };
  auto* p = new MenuMaker(IRECT(10, 10, 110, 110), 3);
  g->AttachControl(p);
  g->Resize(640, 400, 1.5f, true);
  handler.menu.executeTag = 3;

  EventDriver mouse(*g);
  mouse.rightClick(40, 20);
  EXPECT_TRUE(dlg.gestures().empty());
  EXPECT_FALSE(p->called("OnMouseDown"));
  EXPECT_EQ(handler.askedFor, 3u);
  ASSERT_EQ(handler.menu.items.size(), 7u);
  const int flags[] = {4, 1, 10, 0, 2, 17, 0};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(handler.menu.items[i].item.tag, i);
    EXPECT_EQ(handler.menu.items[i].item.flags, flags[i]) << i;
    EXPECT_EQ(handler.menu.items[i].target, static_cast<vst::IContextMenuTarget*>(p));
  }
  EXPECT_EQ(handler.menu.items[2].item.name[0], u'S');
  const auto& longName = handler.menu.items[6].item.name;
  EXPECT_EQ(std::char_traits<char16_t>::length(reinterpret_cast<const char16_t*>(longName)), 127u);
  EXPECT_EQ(handler.menu.popups, 1);
  EXPECT_EQ(handler.menu.x, 60);
  EXPECT_EQ(handler.menu.y, 30);
  EXPECT_TRUE(p->called("OnContextSelection 3"));
  EXPECT_EQ(handler.menu.refs, 1);
  EXPECT_EQ(handler.refs, 1);

  // Without the host's menu interface nothing opens; Command-click counts as a right click.
  handler.offersMenus = false;
  mouse.click(40, 20, Mods{.command = true});
  EXPECT_EQ(handler.menu.popups, 1);
  EXPECT_FALSE(p->called("OnMouseDown"));
  // A right click on an unlinked control is an ordinary press.
  Probe* plain = attach(IRECT(200, 10, 300, 110));
  mouse.rightClick(250, 50);
  EXPECT_TRUE(plain->called("OnMouseDown"));
  EXPECT_TRUE(dlg.gestures().empty());
  dlg.handler = nullptr;
}

TEST_F(DispatchTest, DragsWaitWhileAPlatformTextBoxIsOpenAndAWheelClosesIt) {
  Probe* p = sender(IRECT(10, 10, 110, 110), 6);
  EventDriver mouse(*g);
  mouse.press(50, 50);
  platform.leaveTextOpen();
  g->CreateTextEntry(*p, p->GetText(), p->GetRECT(), "", kEveryValIdx);
  mouse.dragTo(50, 40);
  EXPECT_EQ(p->count("OnMouseDrag"), 0);
  mouse.wheel(50, 40, 1.f);
  EXPECT_FALSE(g->textEntryOpen());
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  mouse.dragTo(50, 30);
  EXPECT_EQ(p->count("OnMouseDrag"), 1);
  mouse.release();
  expectBalanced();
}

TEST_F(DispatchTest, ControlRemovingItselfInItsOwnDragLeavesNothingBehind) {
  Probe* p = sender(IRECT(10, 10, 110, 110), 6);
  p->onDrag = [this](Probe& c, float, float, float, float) {
    c.SetValue(0.5);
    c.SetDirty(true);
    g->RemoveControl(&c);
  };
  EventDriver mouse(*g);
  mouse.press(50, 50);
  mouse.dragTo(60, 60);
  mouse.dragTo(70, 70);
  mouse.release();
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 6", "Send 6 0.5", "End 6"}));
  EXPECT_FALSE(g->ControlIsCaptured());
}

TEST_F(DispatchTest, DoubleClickAsSingleClickIsAPressThatKeepsItsCapture) {
  Probe* p = sender(IRECT(10, 10, 110, 110), 6);
  p->SetDblAsSingleClick(true);
  EventDriver mouse(*g);
  mouse.doubleClick(50, 50);
  EXPECT_EQ(p->count("OnMouseDown"), 2);
  EXPECT_FALSE(p->called("OnMouseDblClick"));
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 6", "End 6", "Begin 6", "End 6"}));
}

TEST_F(DispatchTest, APressThatBeginsNoEditLeavesTheEditToWhatItSends) {
  Probe* p = sender(IRECT(10, 10, 110, 110), 6);
  p->SetPressBeginsEdit(false);
  EventDriver mouse(*g);
  mouse.click(50, 50);
  EXPECT_EQ(p->count("OnMouseDown"), 1);
  EXPECT_TRUE(dlg.gestures().empty());
  // A value it sends from a delivery of its own (here a wheel turn) is an edit of its own.
  mouse.wheel(50, 50, 1.f);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 6", "Send 6 0.1", "End 6"}));
}

TEST_F(DispatchTest, SecondTouchOnACapturedControlIsRefusedWithoutMultiTouch) {
  Probe* p = attach(IRECT(10, 10, 110, 110));
  g->EnableMultiTouch(true);
  IMouseInfo one{50, 50, 0, 0, IMouseMod(true, false, false, false, false, 1)};
  IMouseInfo two{60, 60, 0, 0, IMouseMod(true, false, false, false, false, 2)};
  g->OnMouseDown({one, two});
  EXPECT_EQ(p->count("OnMouseDown"), 1);
  p->SetWantsMultiTouch(true);
  IMouseInfo three{70, 70, 0, 0, IMouseMod(true, false, false, false, false, 3)};
  g->OnMouseDown({three});
  EXPECT_EQ(p->count("OnMouseDown"), 2);
  g->OnTouchCancelled({one, three});
  EXPECT_FALSE(g->ControlIsCaptured());
}

TEST_F(DispatchTest, KeysGoToTheControlUnderThePointerThenToTheKeyHandler) {
  Probe* p = attach(IRECT(10, 10, 110, 110), 6);
  p->onKey = [](Probe& c, const IKeyPress& key) {
    if (key.VK != kVK_UP) return false;
    c.SetValue(c.GetValue() + 0.25);
    c.SetDirty(true);
    return true;
  };
  EventDriver mouse(*g);
  mouse.moveTo(50, 50);
  EXPECT_TRUE(mouse.keyDown(kVK_UP));
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 6", "Send 6 0.25", "End 6"}));
  EXPECT_FALSE(mouse.keyDown('Q', "q"));  // unhandled: passed on to the host
  int handled = 0;
  g->SetKeyHandlerFunc([&](const IKeyPress&, bool isUp) { return ++handled, !isUp; });
  EXPECT_TRUE(mouse.keyDown('Q', "q"));
  EXPECT_FALSE(mouse.keyUp('Q', "q"));
  EXPECT_EQ(handled, 2);
}

TEST_F(DispatchTest, QwertyKeysReleaseAndForgetHeldNotesWhenTheOctaveMoves) {
  std::vector<IMidiMsg> echoed;
  g->SetQwertyMidiKeyHandlerFunc([&](const IMidiMsg& m) { echoed.push_back(m); });
  EventDriver mouse(*g);
  mouse.moveTo(700, 700);  // over no control
  EXPECT_TRUE(mouse.keyDown('A'));
  EXPECT_TRUE(mouse.keyDown('X'));
  EXPECT_TRUE(mouse.keyUp('A'));
  EXPECT_TRUE(mouse.keyDown('Z'));
  EXPECT_TRUE(mouse.keyDown('A'));
  EXPECT_TRUE(mouse.keyDown('1'));  // not a letter: consumed without effect
  ASSERT_EQ(dlg.midi.size(), 3u);
  EXPECT_EQ(dlg.midi[0].mStatus, 144);
  EXPECT_EQ(dlg.midi[0].mData1, 48);
  EXPECT_EQ(dlg.midi[1].mStatus, 128);
  EXPECT_EQ(dlg.midi[1].mData1, 48);
  EXPECT_EQ(dlg.midi[2].mStatus, 144);
  EXPECT_EQ(dlg.midi[2].mData1, 48);
  EXPECT_EQ(echoed.size(), 3u);
  EXPECT_TRUE(mouse.keyUp('A'));
  EXPECT_EQ(dlg.midi.back().mStatus, 128);
}

namespace {

// A control whose handler closes the editor, as a host does while a modal box opened by
// that handler is up. The close deletes the control: nothing of it is touched afterwards.
class Closer : public IControl {
public:
  enum When { Down, Up, Drag, Key, Out };
  Closer(const IRECT& r, int param, When when) : IControl(r, param), mWhen(when) {}
  void Draw(ICanvas&) override {}
  void OnMouseDown(float, float, const IMouseMod&) override {
    if (mWhen == Down) closeEditor();
  }
  void OnMouseUp(float, float, const IMouseMod&) override {
    if (mWhen == Up) closeEditor();
  }
  void OnMouseDrag(float, float, float, float, const IMouseMod&) override {
    if (mWhen == Drag) closeEditor();
  }
  bool OnKeyDown(float, float, const IKeyPress&) override {
    if (mWhen == Key) closeEditor();
    return false;  // not handled
  }
  bool OnKeyUp(float, float, const IKeyPress&) override {
    if (mWhen == Key) closeEditor();
    return false;
  }
  void OnMouseOut() override {
    if (mWhen == Out) closeEditor();
    else IControl::OnMouseOut();
  }

private:
  void closeEditor() {
    ICanvasEditorDelegate* dlg = GetDelegate();
    dlg->CloseWindow();
  }
  When mWhen;
};

}  // namespace

TEST_F(DispatchTest, HandlerThatClosesTheEditorEndsTheDispatch) {
  // Under ASan each case read or wrote the deleted graphics context after the handler.
  struct Case {
    const char* name;
    Closer::When when;
    std::function<void(EventDriver&, TestCanvas&)> act;
  } cases[] = {
      {"release", Closer::Up, [](EventDriver& m, TestCanvas&) { m.click(50, 50); }},
      {"drag",
       Closer::Drag,
       [](EventDriver& m, TestCanvas&) {
         m.press(50, 50);
         m.dragTo(60, 60);
       }},
      {"unhandled key down",
       Closer::Key,
       [](EventDriver& m, TestCanvas& g) {
         g.SetKeyHandlerFunc([](const IKeyPress&, bool) { return true; });
         m.moveTo(50, 50);
         m.keyDown('Q', "q");
       }},
      {"unhandled key up",
       Closer::Key,
       [](EventDriver& m, TestCanvas& g) {
         g.SetKeyHandlerFunc([](const IKeyPress&, bool) { return true; });
         m.moveTo(50, 50);
         m.keyUp('Q', "q");
       }},
      {"mouse-over moving away",
       Closer::Out,
       [](EventDriver& m, TestCanvas& g) {
         g.EnableMouseOver(true);
         m.moveTo(50, 50);
         m.moveTo(300, 300);
       }},
      {"pointer leaving the view",
       Closer::Out,
       [](EventDriver& m, TestCanvas& g) {
         g.EnableMouseOver(true);
         m.moveTo(50, 50);
         m.exitView();
       }},
      {"first of two touches",
       Closer::Down,
       [](EventDriver&, TestCanvas& g) {
         g.OnMouseDown({IMouseInfo{50, 50, 0, 0, IMouseMod(true, false, false, false, false, 1)},
                        IMouseInfo{55, 55, 0, 0, IMouseMod(true, false, false, false, false, 2)}});
       }},
  };
  for (const Case& c : cases) {
    if (g == nullptr) {
      dlg.OpenWindow(nullptr);
      g = platform.canvas();
      ASSERT_NE(g, nullptr);
      attach(IRECT(0, 0, 640, 400));
    }
    dlg.log.clear();
    g->AttachControl(new Closer(IRECT(10, 10, 110, 110), 6, c.when));
    EventDriver mouse(*g);
    c.act(mouse, *g);
    EXPECT_EQ(dlg.GetGraphics(), nullptr) << c.name;
    g = nullptr;
    expectBalanced();  // a press closed with the editor leaves no gesture open
  }
}
