// The control base: values, parameter binding, the edit path to the plug-in, dirty
// marking, hide/disable, geometry and the faults built around.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graphics/Constants.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/event_driver.h"
#include "tests/support/canvas/test_canvas.h"
#include "tests/support/canvas/test_clock.h"

using namespace gfxtest;
using sp::test::EventDriver;
using sp::test::TestCanvas;
using sp::test::TestPlatform;

namespace {

class ControlTest : public EditorTest {
protected:
  template <class... Args>
  Probe* attach(Args&&... args) {
    auto* p = new Probe(std::forward<Args>(args)...);
    g->AttachControl(p);
    return p;
  }
};

}  // namespace

TEST_F(ControlTest, EditPathReachesThePluginThroughSetDirty) {
  // One value: any value index means value 0.
  Probe* one = attach(IRECT(0, 0, 10, 10), 6);
  one->SetValue(0.3);
  one->SetDirty(true, 5);
  // Values are clamped first: 1.7 is stored and sent as 1.0.
  one->SetValue(1.7);
  one->SetDirty(true);
  EXPECT_EQ(one->GetValue(), 1.0);
  EXPECT_EQ(dlg.gestures(), (Log{"Send 6 0.3", "Send 6 1"}));
  EXPECT_DOUBLE_EQ(dlg.GetParam(6)->Value(), 100.0);
  // A value that is not a number is never sent.
  one->SetValue(std::numeric_limits<double>::quiet_NaN());
  one->SetDirty(true);
  EXPECT_EQ(dlg.gestures().size(), 2u);
}

TEST_F(ControlTest, UnlinkedControlRunsItsActionOnceAndSendsNothing) {
  int actions = 0;
  Probe* p = attach(IRECT(0, 0, 10, 10), [&](IControl*) { ++actions; });
  p->SetValue(0.5);
  p->SetDirty(true);
  EXPECT_EQ(actions, 1);
  EXPECT_TRUE(dlg.gestures().empty());
  p->SetDirty(false);
  EXPECT_EQ(actions, 1);
}

TEST_F(ControlTest, PeersTakeTheValueAtTheirFirstLinkedSlotButNeverTheCaller) {
  Probe* a = attach(IRECT(0, 0, 10, 10), 6);
  Probe* b = attach(IRECT(20, 0, 30, 10), std::initializer_list<int>{1, 6, 6});
  Probe* other = attach(IRECT(40, 0, 50, 10), 1);
  a->SetValue(0.4);
  a->SetDirty(true);
  EXPECT_EQ(b->GetValue(1), 0.4);
  EXPECT_EQ(b->GetValue(2), 0.0);
  EXPECT_EQ(b->GetValue(0), 0.0);
  EXPECT_EQ(other->GetValue(), 0.0);

  // The caller keeps its own value even when a peer reports back.
  b->SetValue(0.9, 1);
  a->SetValue(0.2);
  a->SetDirty(true);
  EXPECT_EQ(a->GetValue(), 0.2);
}

TEST_F(ControlTest, CapturedControlIgnoresTheDelegate) {
  Probe* p = attach(IRECT(0, 0, 100, 100), 6);
  EventDriver mouse(*g);
  mouse.press(50, 50);
  dlg.SendParameterValueFromDelegate(6, 0.9, true);
  EXPECT_EQ(p->GetValue(), 0.0);
  mouse.release();
  dlg.SendParameterValueFromDelegate(6, 0.9, true);
  EXPECT_EQ(p->GetValue(), 0.9);
}

TEST_F(ControlTest, DefaultValueIsSteppedClampedAndNormalisedThroughTheParameter) {
  Probe* p = attach(IRECT(0, 0, 10, 10), 1);
  p->SetValueToDefault();
  EXPECT_EQ(dlg.gestures(), (Log{"Send 1 0.7333"}));
  EXPECT_NEAR(p->GetValue(), 22.0 / 30.0, 1e-12);

  // The exponential shape of the crossover: 6000 Hz in 1500..16000.
  Probe* x = attach(IRECT(0, 20, 10, 30), 3);
  x->SetValueToDefault(kEveryValIdx);
  EXPECT_NEAR(x->GetValue(), 0.5856, 1e-4);
}

TEST_F(ControlTest, UnattachedControlStoresAndMarksButReachesNoOne) {
  int actions = 0;
  Probe p(IRECT(0, 0, 10, 10), 6, [&](IControl*) { ++actions; });
  p.SetValue(1.5);
  p.SetClean();
  p.SetDirty(true);
  EXPECT_EQ(p.GetValue(), 1.0);
  EXPECT_TRUE(p.IsDirty());
  p.SetValueFromDelegate(0.25);
  EXPECT_EQ(p.GetValue(), 0.25);
  p.SetValueToDefault();
  p.SetValueFromUserInput(0.75);
  p.SnapToMouse(5, 5, EDirection::Vertical, IRECT(0, 0, 10, 10));
  p.PromptUserInput(0);
  p.SetPromptDisabled(false);
  p.OnMouseDown(1, 1, IMouseMod(false, true));
  p.OnPopupMenuSelection(nullptr, 0);
  ShowBubbleHorizontalActionFunc(&p);
  DefaultClickActionFunc(&p);
  EXPECT_EQ(p.GetParam(), nullptr);
  EXPECT_EQ(actions, 0);
  EXPECT_TRUE(dlg.gestures().empty());
}

TEST_F(ControlTest, SetPositionMovesTheTargetOnceEvenWhenOnResizeRebuildsIt) {
  auto* p = new Probe(IRECT(20, 20, 60, 40), 6);
  p->insetTargetOnResize = true;
  g->AttachControl(p);
  EXPECT_EQ(p->GetTargetRECT(), IRECT(22, 22, 58, 38));

  p->SetPosition(-5, 10);
  EXPECT_EQ(p->GetRECT(), IRECT(0, 10, 40, 30));
  EXPECT_EQ(p->GetTargetRECT(), IRECT(2, 12, 38, 28));

  // Without a rebuild the target simply follows the drawing.
  p->insetTargetOnResize = false;
  p->SetTargetRECT(IRECT(5, 15, 10, 20));
  p->SetPosition(10, 10);
  EXPECT_EQ(p->GetTargetRECT(), IRECT(15, 15, 20, 20));

  p->SetSize(-3, 5);
  EXPECT_EQ(p->GetRECT(), IRECT(10, 10, 10, 15));
  EXPECT_EQ(p->GetTargetRECT(), p->GetRECT());
}

TEST_F(ControlTest, SnapToMouseWithZeroExtentSendsNothing) {
  Probe* p = attach(IRECT(0, 0, 10, 10), 6);
  p->SetValue(0.3);
  p->SnapToMouse(5, 5, EDirection::Vertical, IRECT(0, 10, 10, 10));
  p->SnapToMouse(5, 5, EDirection::Horizontal, IRECT(3, 0, 3, 10));
  EXPECT_EQ(p->GetValue(), 0.3);
  EXPECT_TRUE(dlg.gestures().empty());

  // A real extent: 3/4 of the way up, rounded to 0.001 and limited.
  p->SnapToMouse(5, 2.5f, EDirection::Vertical, IRECT(0, 0, 10, 10));
  EXPECT_EQ(dlg.gestures(), (Log{"Send 6 0.75"}));
  p->SnapToMouse(12.3456f, 0, EDirection::Horizontal, IRECT(0, 0, 10, 10), kEveryValIdx, 0.0, 0.9);
  EXPECT_DOUBLE_EQ(p->GetValue(), 0.9);
}

TEST_F(ControlTest, MenuChoiceConvertsThroughTheParameterOfItsOwnValue) {
  Probe* p = attach(IRECT(0, 0, 10, 10), std::initializer_list<int>{1, 2});
  p->SetPromptDisabled(false);
  IPopupMenu menu("", 0, false, {"a", "b", "c", "d"});
  menu.SetChosenItemIdx(1);
  p->OnPopupMenuSelection(&menu, 1);
  // Value 1 is the enum 0..3: item 1 is 1/3. Through value 0's parameter it would be 1.0.
  EXPECT_NEAR(p->GetValue(1), 1.0 / 3.0, 1e-12);
  EXPECT_EQ(p->GetValue(0), 0.0);

  // Disabled prompts, a null menu and an unlinked index change nothing.
  p->SetPromptDisabled(true);
  menu.SetChosenItemIdx(3);
  p->OnPopupMenuSelection(&menu, 1);
  p->SetPromptDisabled(false);
  p->OnPopupMenuSelection(nullptr, 1);
  p->OnPopupMenuSelection(&menu, 7);
  EXPECT_NEAR(p->GetValue(1), 1.0 / 3.0, 1e-12);
}

TEST_F(ControlTest, HideDisableAndMouseOverMarkDirty) {
  Probe* p = attach(IRECT(0, 0, 10, 10));
  EXPECT_TRUE(p->IsDirty());  // a new control draws on the first frame
  p->SetClean();
  p->Hide(true);
  EXPECT_TRUE(p->IsHidden());
  EXPECT_TRUE(p->IsDirty());

  p->SetBlend(IBlend(EBlend::Default, 0.5f));
  p->SetDisabled(true);
  EXPECT_EQ(p->GetBlend().weight, 0.25f);
  p->SetDisabled(false);
  EXPECT_EQ(p->GetBlend().weight, 1.0f);

  p->SetClean();
  p->OnMouseOver(1, 1, IMouseMod());
  EXPECT_TRUE(p->IsDirty());
  p->SetClean();
  p->OnMouseOver(2, 2, IMouseMod());
  EXPECT_FALSE(p->IsDirty());
  p->OnMouseOut();
  EXPECT_TRUE(p->IsDirty());
  EXPECT_FALSE(p->GetMouseIsOver());
}

TEST_F(ControlTest, AnimationRunsOnTheClockAndEndsAfterItsDuration) {
  sp::test::TestClock clock;
  Probe* p = attach(IRECT(0, 0, 10, 10));
  int ended = 0;
  p->SetAnimationEndActionFunction([&](IControl*) { ++ended; });
  DefaultClickActionFunc(p);
  p->SetClean();
  EXPECT_TRUE(p->IsDirty());
  clock.advance(50);
  EXPECT_DOUBLE_EQ(p->GetAnimationProgress(), 0.5);
  p->Animate();
  EXPECT_TRUE(p->GetAnimationFunction() != nullptr);
  clock.advance(60);
  EXPECT_GT(p->GetAnimationProgress(), 1.0);  // may pass 1 before the next tick
  p->Animate();
  EXPECT_FALSE(p->GetAnimationFunction() != nullptr);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(p->GetAnimationProgress(), 0.0);
}

TEST_F(ControlTest, RightClickPromptWaitsUntilPromptingIsEnabled) {
  Probe* p = attach(IRECT(0, 0, 40, 20), 5);
  p->OnMouseDown(10, 10, IMouseMod(false, true));
  EXPECT_TRUE(platform.textEntries.empty());

  p->SetPromptDisabled(false);
  platform.leaveTextOpen();
  p->OnMouseDown(10, 10, IMouseMod(false, true));
  ASSERT_EQ(platform.textEntries.size(), 1u);
  EXPECT_EQ(platform.textEntries[0].bounds, IRECT(0, 2, 40, 18));  // 40 x 16 around the centre
  EXPECT_EQ(platform.textEntries[0].initial, "0.000");
  EXPECT_EQ(g->GetControlInTextEntry(), p);
}

TEST_F(ControlTest, ParameterLinksAndLookups) {
  Probe* p = attach(IRECT(0, 0, 10, 10), std::initializer_list<int>{4, kNoLinkedParam, 99});
  EXPECT_EQ(p->NVals(), 3);
  EXPECT_EQ(p->GetParamIdx(0), 4);
  EXPECT_EQ(p->GetParamIdx(5), kNoLinkedParam);
  EXPECT_EQ(p->GetParam(1), nullptr);
  EXPECT_EQ(p->GetParam(2), nullptr);  // outside the delegate's list
  EXPECT_EQ(p->LinkedToParam(99), 2);
  EXPECT_EQ(p->LinkedToParam(7), -1);
  EXPECT_EQ(p->GetValIdxForPos(0, 0), kEveryValIdx);
  p->SetParamIdx(6, 1);
  EXPECT_EQ(p->GetParamIdx(1), 6);
  EXPECT_THROW(p->SetParamIdx(6, 3), std::out_of_range);
}

TEST_F(ControlTest, ContextMenuTargetAnswersThroughOneReferenceCount) {
  Probe* p = attach(IRECT(0, 0, 10, 10));
  void* obj = nullptr;
  ASSERT_EQ(p->queryInterface(Steinberg::Vst::IContextMenuTarget::iid, &obj), Steinberg::kResultOk);
  EXPECT_EQ(obj, static_cast<Steinberg::Vst::IContextMenuTarget*>(p));
  EXPECT_EQ(p->getRefCount(), 2);
  static_cast<Steinberg::Vst::IContextMenuTarget*>(obj)->release();
  EXPECT_EQ(p->getRefCount(), 1);
  EXPECT_EQ(static_cast<Steinberg::Vst::IContextMenuTarget*>(obj)->executeMenuItem(3), Steinberg::kResultOk);
  EXPECT_TRUE(p->called("OnContextSelection 3"));

  EXPECT_TRUE(p->isTypeOf("IControl", false));
  EXPECT_FALSE(p->isTypeOf("FObject", false));
  EXPECT_TRUE(p->isTypeOf("FObject", true));
  EXPECT_FALSE(p->isTypeOf(nullptr, true));
  EXPECT_STREQ(p->isA(), "IControl");
}

TEST_F(ControlTest, SetAnimationFunctionStoresTheFunctionAndStartsTheAnimation) {
  sp::test::TestClock clock;
  clock.addTimer(1000, 60, [this] { g->tick(); });
  Probe* p = attach(IRECT(0, 0, 10, 10));
  clock.advance(500);  // the clock has run for a while: a function stored without a start is long over
  p->calls.clear();
  p->SetAnimationFunction(DefaultAnimationFunc, 200);
  EXPECT_DOUBLE_EQ(p->GetAnimationProgress(), 0.0);
  EXPECT_DOUBLE_EQ(p->GetAnimationDuration(), 200.0);
  clock.advance(100);
  EXPECT_TRUE(p->GetAnimationFunction());
  EXPECT_NEAR(p->GetAnimationProgress(), 0.5, 1e-9);
  EXPECT_GE(p->count("Draw"), 5);  // redrawn on every tick (one per 16.7 ms) while it runs
  clock.advance(120);
  EXPECT_FALSE(p->GetAnimationFunction());
}
