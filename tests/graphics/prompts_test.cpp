// User prompts: menus and text boxes opened for a control, the answers routed back, the
// host gestures balanced around them, and answers that arrive too late.
#include <gtest/gtest.h>

#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/event_driver.h"
#include "tests/support/canvas/test_canvas.h"

using namespace gfxtest;
using sp::test::EventDriver;
using sp::test::TestCanvas;
using sp::test::TestPlatform;

namespace {

class PromptTest : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (HasFatalFailure()) return;
    g->AttachControl(new Probe(g->GetBounds()));  // background at index 0
  }

  // A control linked to param that opens its prompt when pressed.
  Probe* prompter(const IRECT& r, int param) {
    auto* p = new Probe(r, param);
    p->SetPromptDisabled(false);
    p->onDown = [](Probe& c) { c.PromptUserInput(0); };
    g->AttachControl(p);
    return p;
  }
};

}  // namespace

TEST_F(PromptTest, EnumPromptIsAMenuOfItsTextsAndTheChoiceEndsThePressGesture) {
  Probe* p = prompter(IRECT(10, 10, 110, 40), 2);  // "Mode", value 2 ("Three")
  dlg.GetParam(2)->Set(2);
  platform.chooseMenuItem({1});
  EventDriver mouse(*g);
  mouse.click(50, 20);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 2"}));  // the menu took the pointer; the release ends nothing
  platform.queue.drain();

  ASSERT_EQ(platform.menus.size(), 1u);
  const auto& shown = platform.menus[0].menu;
  EXPECT_EQ(shown.title, "Mode");
  ASSERT_EQ(shown.items.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(shown.items[i].tag, -1);
    EXPECT_EQ((shown.items[i].flags & IPopupMenu::Item::kChecked) != 0, i == 2) << i;
  }
  EXPECT_EQ(shown.items[3].text, "Four");
  EXPECT_EQ(platform.menus[0].bounds, p->GetRECT());
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 2", "Send 2 0.3333", "End 2"}));
  EXPECT_EQ(g->GetControlInPopupMenu(), nullptr);
}

TEST_F(PromptTest, DismissedAndContextMenusAnswerNullAndMinusOne) {
  Probe* p = prompter(IRECT(10, 10, 110, 40), 0);  // a bool with display texts: a menu
  platform.dismissMenu();
  EventDriver mouse(*g);
  mouse.click(50, 20);
  platform.queue.drain();
  EXPECT_TRUE(p->called("OnPopupMenuSelection null"));
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 0", "End 0"}));

  IPopupMenu menu("", 0, false, {"a", "b"});
  platform.dismissMenu();
  g->DoCreatePopupMenu(*p, menu, p->GetRECT(), 0, true);
  platform.queue.drain();
  EXPECT_TRUE(p->called("OnContextSelection -1"));
}

TEST_F(PromptTest, MenuOpenedWithoutAPressOpensAGestureOnlyForWhatItSends) {
  Probe* p = prompter(IRECT(10, 10, 110, 40), 2);
  platform.dismissMenu();
  p->PromptUserInput(0);
  platform.queue.drain();
  EXPECT_TRUE(dlg.gestures().empty());  // no End without a Begin

  platform.chooseMenuItem({3});
  p->PromptUserInput(0);
  platform.queue.drain();
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 2", "Send 2 1", "End 2"}));
}

TEST_F(PromptTest, CommittedTextIsSteppedClampedAndSentInsideItsOwnGesture) {
  auto* stepped = new Probe(IRECT(10, 10, 110, 40), 4);   // -3..3, step 0.5
  auto* free = new Probe(IRECT(10, 50, 110, 80), 5);      // -3..3, unstepped
  g->AttachControl(stepped);
  g->AttachControl(free);
  struct Row {
    Probe* control;
    const char* typed;
    double value;
  } rows[] = {{stepped, "1.3", 1.5}, {stepped, "1.25", 1.5}, {stepped, "-1.25", -1.5},
              {stepped, "7", 3.0},   {free, "1.3", 1.3}};
  for (const Row& r : rows) {
    r.control->SetTextEntryLength(16);
    platform.commitText(r.typed);
    g->CreateTextEntry(*r.control, r.control->GetText(), r.control->GetRECT(), "", 0);
    platform.queue.drain();
    EXPECT_NEAR(dlg.GetParam(r.control->GetParamIdx())->Value(), r.value, 1e-9) << r.typed;
  }
  dlg.log.clear();
  platform.commitText("-2");
  g->CreateTextEntry(*stepped, stepped->GetText(), stepped->GetRECT(), "", 0);
  platform.queue.drain();
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 4", "Send 4 0.1667", "End 4"}));
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);

  // A commit with no text box pending does nothing.
  g->SetControlValueAfterTextEdit("1");
  EXPECT_EQ(dlg.gestures().size(), 3u);
}

TEST_F(PromptTest, NumberPromptShowsTheDisplayValueInATextBox) {
  Probe* p = prompter(IRECT(10, 10, 110, 40), 4);
  p->SetPromptShowsParamLabel(true);
  dlg.GetParam(4)->Set(1.5);
  platform.leaveTextOpen();
  p->PromptUserInput(0);
  ASSERT_EQ(platform.textEntries.size(), 1u);
  EXPECT_EQ(platform.textEntries[0].initial, "1.50 ");
  EXPECT_EQ(platform.textEntries[0].paramIdx, 4);
  EXPECT_EQ(platform.textEntries[0].length, 7);
  EXPECT_EQ(platform.textEntries[0].bounds, IRECT(40, 17, 80, 33));
  g->commitTextEntry("2");
  EXPECT_DOUBLE_EQ(dlg.GetParam(4)->Value(), 2.0);
}

TEST_F(PromptTest, UnlinkedTextGoesToTheControlAndADismissedBoxIsForgotten) {
  auto* chip = new Probe(IRECT(10, 10, 110, 40));
  chip->onDown = [this](Probe& c) {
    // A chip opens its own prompt only while no text box is open.
    if (g->GetControlInTextEntry() != nullptr) return;
    c.SetTextEntryLength(16);
    g->CreateTextEntry(c, c.GetText(), c.GetRECT(), "name", kEveryValIdx);
  };
  g->AttachControl(chip);
  EventDriver mouse(*g);
  platform.dismissText();
  mouse.click(50, 20);
  platform.queue.drain();
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  platform.commitText("My target");
  mouse.click(50, 20);
  platform.queue.drain();
  EXPECT_TRUE(chip->called("OnTextEntryCompletion My target"));
  EXPECT_EQ(platform.textEntries.size(), 2u);
}

TEST_F(PromptTest, AnswersForRemovedControlsOrClosedEditorsAreDropped) {
  Probe* p = prompter(IRECT(10, 10, 110, 40), 2);
  IPopupMenu menu("", 0, false, {"a"});
  g->CreatePopupMenu(*p, menu, p->GetRECT(), 0);
  g->RemoveAllControls();
  EXPECT_EQ(platform.queue.drain(), 1);
  EXPECT_TRUE(platform.menus.empty());

  Probe* q = prompter(IRECT(10, 10, 110, 40), 2);
  g->CreatePopupMenu(*q, menu, q->GetRECT(), 0);
  dlg.CloseWindow();
  EXPECT_EQ(platform.queue.drain(), 1);  // the job finds the editor gone
  EXPECT_TRUE(platform.menus.empty());
  EXPECT_TRUE(dlg.gestures().empty());
}

TEST_F(PromptTest, OnlyTheNewestOfTwoPendingMenusAnswers) {
  Probe* first = prompter(IRECT(10, 10, 110, 40), 2);
  Probe* second = prompter(IRECT(10, 50, 110, 80), 6);
  IPopupMenu a("", 0, false, {"a0", "a1"});
  IPopupMenu b("", 0, false, {"b0", "b1"});
  g->CreatePopupMenu(*first, a, first->GetRECT(), 0);
  g->CreatePopupMenu(*second, b, second->GetRECT(), 0);
  platform.chooseMenuItem({1});
  platform.queue.drain();
  ASSERT_EQ(platform.menus.size(), 1u);
  EXPECT_EQ(platform.menus[0].menu.items[0].text, "b0");
  EXPECT_FALSE(first->called("OnPopupMenuSelection 1"));
  EXPECT_TRUE(second->called("OnPopupMenuSelection 1"));
}

TEST_F(PromptTest, RebuildRaisedDuringAChoiceWaitsForTheCallback) {
  // The plug-in's idle work rebuilds the panel, but waits while a prompt answer runs.
  bool rebuildRequested = false;
  int rebuilds = 0;
  auto idle = [&] {
    if (!rebuildRequested || g->PromptCallbacksRunning() > 0) return;
    rebuildRequested = false;
    ++rebuilds;
    g->RemoveAllControls();
    g->AttachControl(new Probe(g->GetBounds()));
  };
  Probe* p = prompter(IRECT(10, 10, 110, 40), 2);
  int runningInside = -1;
  p->onMenu = [&](Probe& c, IPopupMenu* menu, int valIdx) {
    platform.answerMessageBox("OK", [&] {
      rebuildRequested = true;
      runningInside = g->PromptCallbacksRunning();
      idle();  // a timer firing inside the modal box
    });
    g->ShowMessageBox("Applied.", "Mode", EMsgBoxType::OK);
    c.IControl::OnPopupMenuSelection(menu, valIdx);  // the control is still alive here
  };
  platform.chooseMenuItem({1});
  EventDriver mouse(*g);
  mouse.click(50, 20);
  platform.queue.drain();
  EXPECT_EQ(runningInside, 1);
  EXPECT_EQ(rebuilds, 0);
  EXPECT_EQ(g->PromptCallbacksRunning(), 0);
  idle();
  EXPECT_EQ(rebuilds, 1);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 2", "Send 2 0.3333", "End 2"}));
}

TEST_F(PromptTest, ChoiceThatOpensAnotherPromptEndsItsOwnGestureAndKeepsTheNewOne) {
  Probe* p = prompter(IRECT(10, 10, 110, 40), 2);
  Probe* next = prompter(IRECT(10, 50, 110, 80), 0);
  p->onMenu = [&](Probe&, IPopupMenu*, int) { next->PromptUserInput(0); };
  platform.chooseMenuItem({1});
  platform.chooseMenuItem({1});
  EventDriver mouse(*g);
  mouse.click(50, 20);
  EXPECT_EQ(platform.queue.drain(), 2);
  EXPECT_EQ(platform.menus.size(), 2u);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 2", "End 2", "Begin 0", "Send 0 1", "End 0"}));
  EXPECT_EQ(g->GetControlInPopupMenu(), nullptr);
}

TEST_F(PromptTest, SecondTextEntryWhileOneIsOpenIsRefused) {
  Probe* a = prompter(IRECT(10, 10, 110, 40), 4);
  Probe* b = prompter(IRECT(10, 50, 110, 80), 5);
  platform.leaveTextOpen();
  g->CreateTextEntry(*a, a->GetText(), a->GetRECT(), "", 0);
  const uint64_t generation = g->GetTextEntryGeneration();
  EXPECT_TRUE(g->IsTextEntryLive(generation));

  g->CreateTextEntry(*b, b->GetText(), b->GetRECT(), "", 0);
  EXPECT_EQ(g->GetControlInTextEntry(), a);
  EXPECT_EQ(g->GetTextEntryGeneration(), generation);
  EXPECT_EQ(platform.textEntries.size(), 1u);

  // What the user typed into a's box goes to a's parameter, never to b's.
  g->commitTextEntry("2");
  EXPECT_DOUBLE_EQ(dlg.GetParam(4)->Value(), 2.0);
  EXPECT_DOUBLE_EQ(dlg.GetParam(5)->Value(), 0.0);
  EXPECT_FALSE(g->IsTextEntryLive(generation));

  // A box whose control went before its commit delivers nothing; the next request opens.
  platform.leaveTextOpen();
  g->CreateTextEntry(*a, a->GetText(), a->GetRECT(), "", 0);
  const uint64_t removed = g->GetTextEntryGeneration();
  g->RemoveControl(a);
  EXPECT_FALSE(g->IsTextEntryLive(removed));
  platform.commitText("-1");
  g->CreateTextEntry(*b, b->GetText(), b->GetRECT(), "", 0);
  platform.queue.drain();
  EXPECT_DOUBLE_EQ(dlg.GetParam(5)->Value(), -1.0);
  EXPECT_EQ(platform.textEntries.size(), 3u);
}

TEST_F(PromptTest, OvertakenMenuRequestEndsTheFirstPressGestures) {
  prompter(IRECT(10, 10, 110, 40), 2);
  Probe* second = prompter(IRECT(10, 50, 110, 80), 0);
  EventDriver mouse(*g);
  mouse.click(50, 20);  // the first menu is requested and not shown yet
  mouse.click(50, 60);  // the second request overtakes it
  platform.chooseMenuItem({1});
  EXPECT_EQ(platform.queue.drain(), 2);
  ASSERT_EQ(platform.menus.size(), 1u);
  EXPECT_TRUE(second->called("OnPopupMenuSelection 1"));
  // The first press's gesture ends when its request is overtaken, not never.
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 2", "Begin 0", "End 2", "Send 0 1", "End 0"}));
}

TEST_F(PromptTest, ColourAnswersReachOnlyALiveRequesterEachInItsOwnGesture) {
  auto* swatch = new Probe(IRECT(10, 10, 110, 40), 6);
  g->AttachControl(swatch);
  std::vector<IColor> seen;
  int runningInside = -1;
  auto pick = [&](Probe* p) {
    IColor start(255, 0, 0, 0);
    return g->PromptForColor(*p, start, "Choose a color", [&seen, &runningInside, this, p](const IColor& c) {
      seen.push_back(c);
      runningInside = g->PromptCallbacksRunning();
      p->SetValue(c.R / 255.0);
      p->SetDirty(true);
    });
  };

  platform.pickColor(IColor(255, 51, 0, 0));
  platform.pickColor(IColor(255, 102, 0, 0));
  ASSERT_TRUE(pick(swatch));
  EXPECT_EQ(g->GetControlInColorPrompt(), swatch);
  ASSERT_TRUE(pick(swatch));  // a second request replaces the first: only its answer counts
  platform.queue.drain();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].R, 102);
  EXPECT_EQ(runningInside, 1);
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 6", "Send 6 0.4", "End 6"}));

  // The requester removed before the chooser answers: the answer goes nowhere.
  platform.pickColor(IColor(255, 255, 0, 0));
  ASSERT_TRUE(pick(swatch));
  g->RemoveControl(swatch);
  EXPECT_EQ(g->GetControlInColorPrompt(), nullptr);
  platform.queue.drain();
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_EQ(dlg.gestures().size(), 3u);
}

TEST_F(PromptTest, ModalRunsAreCountedAndSurviveTheEditorClosingInsideThem) {
  std::vector<int> depths;
  platform.answerMessageBox("OK", [&] {
    depths.push_back(g->ModalRunDepth());
    platform.answerMessageBox("OK", [&] { depths.push_back(g->ModalRunDepth()); });
    g->ShowMessageBox("Inner", "Nested", EMsgBoxType::OK);
    depths.push_back(g->ModalRunDepth());
  });
  g->ShowMessageBox("Outer", "Nested", EMsgBoxType::OK);
  EXPECT_EQ(depths, (std::vector<int>{1, 2, 1}));
  EXPECT_EQ(g->ModalRunDepth(), 0);

  // The host closes the editor while a box is up: the run ends without touching it.
  platform.answerMessageBox("OK", [&] { dlg.CloseWindow(); });
  g->ShowMessageBox("Closing", "Nested", EMsgBoxType::OK);
  EXPECT_EQ(dlg.GetGraphics(), nullptr);
}
