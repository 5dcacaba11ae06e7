// The control list of the graphics context: attaching, tags, groups, finding, visiting,
// removing (with captures, prompts and open host gestures), containers, and the lifetime
// of the context itself.
#include <gtest/gtest.h>

#include "graphics/IContainerBase.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/event_driver.h"
#include "tests/support/canvas/test_canvas.h"

using namespace gfxtest;
using sp::test::EventDriver;
using sp::test::TestCanvas;
using sp::test::TestPlatform;

namespace {

class ControlListTest : public EditorTest {
protected:
  Probe* attach(const IRECT& r, int param = kNoLinkedParam, int tag = kNoTag, const char* group = "") {
    auto* p = new Probe(r, param);
    EXPECT_EQ(g->AttachControl(p, tag, group), p);
    return p;
  }
};

// Counts live instances, to show that every control is deleted exactly once.
class Counted : public Probe {
public:
  static inline int live = 0;
  explicit Counted(const IRECT& r, int param = kNoLinkedParam) : Probe(r, param) { ++live; }
  ~Counted() override { --live; }
};

// A container that draws nothing.
class Box : public IContainerBase {
public:
  using IContainerBase::IContainerBase;
  void Draw(ICanvas&) override {}
};

struct CountedBitmap : APIBitmap {
  static inline int live = 0;
  CountedBitmap() { ++live; }
  ~CountedBitmap() override { --live; }
};

}  // namespace

TEST_F(ControlListTest, DuplicateTagIsRefusedAndLeavesTheListUnchanged) {
  Probe* first = attach(IRECT(0, 0, 10, 10), kNoLinkedParam, 3);
  Probe second(IRECT(0, 0, 10, 10));
  EXPECT_EQ(g->AttachControl(&second, 3), nullptr);  // still the caller's (on the stack here)
  EXPECT_EQ(g->NControls(), 1);
  EXPECT_EQ(g->GetControlWithTag(3), first);
  EXPECT_EQ(second.GetGraphics(), nullptr);
  EXPECT_TRUE(second.calls.empty());

  attach(IRECT(0, 0, 10, 10));
  attach(IRECT(0, 0, 10, 10));
  EXPECT_EQ(g->NControls(), 3);
  EXPECT_EQ(g->GetControlWithTag(-1), nullptr);
  EXPECT_EQ(g->GetControlWithTag(99), nullptr);
  EXPECT_EQ(g->GetControlTag(first), 3);
  EXPECT_EQ(g->GetControl(3), nullptr);
  EXPECT_EQ(g->GetControl(-1), nullptr);
}

TEST_F(ControlListTest, AttachCallsInitResizeRescaleThenAttachedOnceListed) {
  struct Order : Probe {
    using Probe::Probe;
    int idxAtInit = -2, idxAtAttached = -2;
    void OnInit() override {
      Probe::OnInit();
      idxAtInit = GetGraphics()->GetControlIdx(this);
    }
    void OnAttached() override {
      Probe::OnAttached();
      idxAtAttached = GetGraphics()->GetControlIdx(this);
    }
  };
  auto* p = new Order(IRECT(0, 0, 10, 10));
  g->AttachControl(p, 7, "grp");
  EXPECT_EQ(p->calls, (Log{"OnInit", "OnResize", "OnRescale", "OnAttached"}));
  EXPECT_EQ(p->idxAtInit, -1);
  EXPECT_EQ(p->idxAtAttached, 0);
  EXPECT_EQ(p->GetGraphics(), g);
  EXPECT_EQ(p->GetDelegate(), &dlg);
  EXPECT_STREQ(p->GetGroup(), "grp");
}

TEST_F(ControlListTest, ControlsGetTheContextThatAttachedThemEvenBesideTheDelegatesOwn) {
  TestCanvas other(platform, dlg);
  auto* p = new Probe(IRECT(0, 0, 10, 10));
  other.AttachControl(p);
  EXPECT_EQ(p->GetGraphics(), &other);
  EXPECT_NE(dlg.GetGraphics(), &other);
}

TEST_F(ControlListTest, BackgroundGoesInFrontWithoutTagGroupOrAttachedCall) {
  Probe* a = attach(IRECT(0, 0, 10, 10));
  Probe* b = attach(IRECT(0, 0, 10, 10));
  Probe* c = attach(IRECT(0, 0, 10, 10));
  auto* bg = new Probe(g->GetBounds());
  EXPECT_EQ(g->AttachBackgroundControl(bg), bg);
  EXPECT_EQ(g->GetControl(0), bg);
  EXPECT_EQ(g->GetControl(1), a);
  EXPECT_EQ(g->GetControl(2), b);
  EXPECT_EQ(g->GetControl(3), c);
  EXPECT_EQ(bg->calls, (Log{"OnInit", "OnResize", "OnRescale"}));
  EXPECT_EQ(g->GetControlTag(bg), kNoTag);
}

TEST_F(ControlListTest, GroupsAndParameterVisits) {
  Probe* a = attach(IRECT(0, 0, 10, 10), 1, kNoTag, "shade");
  auto* both = new Probe(IRECT(0, 0, 10, 10), std::initializer_list<int>{1, 2});
  g->AttachControl(both, kNoTag, "");
  Probe* c = attach(IRECT(0, 0, 10, 10), 2, kNoTag, "shade");
  attach(IRECT(0, 0, 10, 10), 3, kNoTag, "shade-other");

  std::vector<IControl*> seen;
  auto collect = [&](IControl* ctl) { seen.push_back(ctl); };
  g->ForControlInGroup("shade", collect);
  EXPECT_EQ(seen, (std::vector<IControl*>{a, c}));
  seen.clear();
  g->ForControlInGroup("", collect);
  g->ForControlInGroup(nullptr, collect);
  EXPECT_TRUE(seen.empty());

  g->ForControlWithParam({1, 2}, collect);
  EXPECT_EQ(seen, (std::vector<IControl*>{a, both, both, c}));
  seen.clear();
  g->ForControlWithParam(2, collect);
  EXPECT_EQ(seen, (std::vector<IControl*>{both, c}));
  EXPECT_EQ(g->GetControlWithParamIdx(2), both);
  EXPECT_EQ(g->GetControlWithParamIdx(6), nullptr);

  g->HideControl(2, true);
  EXPECT_TRUE(both->IsHidden() && c->IsHidden());
  EXPECT_FALSE(a->IsHidden());
}

TEST_F(ControlListTest, SetAllControlsDirtySendsNothingAndCleanClearsAll) {
  Probe* a = attach(IRECT(0, 0, 10, 10), 6);
  a->SetValue(2.0);  // clamped by the dirty marking, but not sent
  g->SetAllControlsClean();
  EXPECT_FALSE(a->IsDirty());
  g->SetAllControlsDirty();
  EXPECT_TRUE(a->IsDirty());
  EXPECT_EQ(a->GetValue(), 1.0);
  EXPECT_TRUE(dlg.gestures().empty());
}

TEST_F(ControlListTest, RemovalForgetsMouseOverTextEntryAndPopup) {
  g->EnableMouseOver(true);
  attach(IRECT(200, 0, 300, 100));  // index 0 never gets mouse-over
  Probe* p = attach(IRECT(0, 0, 100, 100), 5, 4);
  g->OnMouseOver(50, 50, IMouseMod());
  ASSERT_EQ(g->GetMouseOverControl(), p);
  platform.leaveTextOpen();
  g->CreateTextEntry(*p, p->GetText(), p->GetRECT(), "x", 0);
  IPopupMenu menu("", 0, false, {"a"});
  g->CreatePopupMenu(*p, menu, p->GetRECT(), 0);
  ASSERT_EQ(g->GetControlInTextEntry(), p);
  ASSERT_EQ(g->GetControlInPopupMenu(), p);

  g->RemoveControl(p);
  EXPECT_EQ(g->GetMouseOverControl(), nullptr);
  EXPECT_EQ(g->GetMouseOverIdx(), -1);
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  EXPECT_EQ(g->GetControlInPopupMenu(), nullptr);
  EXPECT_EQ(g->GetControlWithTag(4), nullptr);
  EXPECT_EQ(g->NControls(), 1);
  EXPECT_FALSE(platform.canvas()->textEntryOpen() && g->GetControlInTextEntry() != nullptr);
  // The queued menu belongs to the removed control: it is never shown.
  platform.queue.drain();
  EXPECT_TRUE(platform.menus.empty());
}

TEST_F(ControlListTest, RemovingUnlistedOrOutOfRangeDoesNothingButRemoveControlsStillDirties) {
  Probe* a = attach(IRECT(0, 0, 10, 10));
  Probe stranger(IRECT(0, 0, 1, 1));
  g->RemoveControl(&stranger);
  g->RemoveControl(5);
  g->RemoveControl(-1);
  g->RemoveControlWithTag(12);
  EXPECT_EQ(g->NControls(), 1);
  g->SetAllControlsClean();
  g->RemoveControls(1);
  EXPECT_EQ(g->NControls(), 1);
  EXPECT_TRUE(a->IsDirty());
  attach(IRECT(0, 0, 10, 10));
  attach(IRECT(0, 0, 10, 10));
  g->RemoveControls(1);
  EXPECT_EQ(g->NControls(), 1);
  EXPECT_EQ(g->GetControl(0), a);
}

TEST_F(ControlListTest, ControlRemovedMidDragGetsItsGestureEndedOnce) {
  attach(IRECT(0, 0, 100, 100), 6);
  auto* both = new Probe(IRECT(200, 0, 300, 100), std::initializer_list<int>{1, 2});
  g->AttachControl(both);
  EventDriver mouse(*g);
  mouse.press(250, 50);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 1", "Begin 2"}));
  g->RemoveAllControls();
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 1", "Begin 2", "End 1", "End 2"}));
  EXPECT_EQ(g->NOpenGestures(), 0);
  mouse.release();  // the capture went with the control
  EXPECT_EQ(dlg.gestures().size(), 4u);

  Probe* again = attach(IRECT(0, 0, 100, 100), 6);
  mouse.press(50, 50);
  g->RemoveControl(again);
  mouse.dragTo(60, 60);
  mouse.release();
  EXPECT_EQ(dlg.only({"Begin 6", "End 6"}), (Log{"Begin 6", "End 6"}));
}

TEST_F(ControlListTest, ContainerAndChildUnlinkFromBothSides) {
  auto* box = new Box(IRECT(0, 0, 100, 100));
  g->AttachControl(box);
  auto* child = new Probe(IRECT(10, 10, 20, 20));
  ASSERT_EQ(box->AddChildControl(child, 9), child);
  EXPECT_EQ(child->GetParent(), box);
  EXPECT_EQ(g->GetControlWithTag(9), child);
  EXPECT_TRUE(box->GetIgnoreMouse());

  g->RemoveControl(child);
  EXPECT_EQ(box->NChildren(), 0);

  auto* second = new Probe(IRECT(10, 10, 20, 20));
  box->AddChildControl(second);
  g->RemoveControl(box);
  EXPECT_EQ(second->GetParent(), nullptr);
  EXPECT_EQ(g->NControls(), 1);

  // Both kept until the end: removing everything touches no freed container (ASan).
  auto* box2 = new Box(IRECT(0, 0, 100, 100));
  g->AttachControl(box2);
  box2->AddChildControl(new Probe(IRECT(0, 0, 5, 5)));
  auto* early = new Probe(IRECT(0, 0, 5, 5));
  g->AttachBackgroundControl(early);  // before the container in the list
  box2->AddChildControl(new Probe(IRECT(0, 0, 5, 5)));
  g->RemoveAllControls();
  EXPECT_EQ(g->NControls(), 0);

  // A container that is not attached adds no child.
  Box loose(IRECT(0, 0, 10, 10));
  Probe orphan(IRECT(0, 0, 1, 1));
  EXPECT_EQ(loose.AddChildControl(&orphan), nullptr);
  EXPECT_EQ(orphan.GetParent(), nullptr);
}

TEST_F(ControlListTest, ContainerHidesAndDisablesItsChildrenFirst) {
  struct Child : Probe {
    using Probe::Probe;
    bool parentHiddenFirst = true;
    void Hide(bool hide) override {
      parentHiddenFirst = GetParent()->IsHidden();
      Probe::Hide(hide);
    }
  };
  auto* box = new Box(IRECT(0, 0, 100, 100));
  g->AttachControl(box);
  auto* child = new Child(IRECT(0, 0, 10, 10));
  box->AddChildControl(child);
  box->Hide(true);
  EXPECT_TRUE(child->IsHidden());
  EXPECT_TRUE(box->IsHidden());
  EXPECT_FALSE(child->parentHiddenFirst);
  box->SetDisabled(true);
  EXPECT_TRUE(child->IsDisabled());
  EXPECT_TRUE(box->IsDisabled());
}

TEST(CanvasLifetime, TwoContextsShareTheCachesAndTheLastEmptiesThem) {
  FakeDelegate dlg;
  TestPlatform platform;
  auto* first = new TestCanvas(platform, dlg);
  auto* second = new TestCanvas(platform, dlg);
  EXPECT_EQ(ICanvas::sBitmapCache.UseCount(), 2);
  EXPECT_EQ(ICanvas::sSVGCache.UseCount(), 2);
  {
    StaticStorage<APIBitmap>::Accessor lock(ICanvas::sBitmapCache);
    ICanvas::sBitmapCache.Add(new CountedBitmap, "knob.png", 2.0);
    EXPECT_NE(ICanvas::sBitmapCache.Find("knob.png", 2.0), nullptr);
    EXPECT_EQ(ICanvas::sBitmapCache.Find("knob.png", 1.0), nullptr);
  }
  EXPECT_EQ(StaticStorage<APIBitmap>::key("knob.png", 2.0), "knob.png-2.0x");
  delete first;
  EXPECT_EQ(ICanvas::sBitmapCache.Size(), 1);
  EXPECT_EQ(CountedBitmap::live, 1);
  delete second;
  EXPECT_EQ(ICanvas::sBitmapCache.Size(), 0);
  EXPECT_EQ(ICanvas::sBitmapCache.UseCount(), 0);
  EXPECT_EQ(CountedBitmap::live, 0);
}

TEST(CanvasLifetime, DeletingAContextWithACaptureAndHiddenCursorMakesNoPlatformCall) {
  FakeDelegate dlg;
  dlg.logUI = false;
  TestPlatform platform;
  {
    auto* g = new TestCanvas(platform, dlg);
    // Left to the graphics context's own destructor, where the platform class is gone.
    g->setRemoveControlsOnDestroy(false);
    auto* knob = new Counted(IRECT(0, 0, 100, 100), 6);
    knob->onDown = [g](Probe&) { g->HideMouseCursor(true, true); };
    g->AttachControl(knob);
    g->AttachControl(new Counted(IRECT(100, 0, 200, 100)));
    g->OnMouseDown({IMouseInfo{50, 50, 0, 0, IMouseMod(true)}});
    ASSERT_TRUE(g->CursorIsHidden());
    ASSERT_TRUE(g->ControlIsCaptured(knob));
    EXPECT_EQ(Counted::live, 2);
    delete g;  // a pure-virtual call here would abort the test program
  }
  EXPECT_EQ(Counted::live, 0);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 6", "End 6"}));
}
