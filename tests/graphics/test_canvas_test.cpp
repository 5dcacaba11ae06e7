// The headless test canvas itself: deterministic text measurement, scripted platform
// services and their failures, so that the suites built on it can trust it.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/event_driver.h"
#include "tests/support/canvas/test_canvas.h"
#include "tests/support/canvas/test_clock.h"

using namespace gfxtest;
using sp::test::DrawOp;
using sp::test::TestCanvas;
using sp::test::TestPlatform;

namespace {

using TestCanvasTest = EditorTest;

}  // namespace

TEST_F(TestCanvasTest, TextIsMeasuredPerCodePointAndPlacedByAlignment) {
  IRECT r(0, 0, 100, 40);
  EXPECT_EQ(g->MeasureText(IText(10.f), "\xE2\x88\x92" "12.0", r), 25.f);  // the minus sign is one code point
  EXPECT_EQ(r, IRECT(37.5f, 15, 62.5f, 25));

  r = IRECT(0, 0, 100, 40);
  g->MeasureText(IText(10.f).WithAlign(ETextHAlign::Right).WithVAlign(ETextVAlign::Bottom), "ab", r);
  EXPECT_EQ(r, IRECT(90, 30, 100, 40));
  r = IRECT(0, 0, 100, 40);
  EXPECT_EQ(g->MeasureText(IText(10.f), "", r), 0.f);
  EXPECT_EQ(r, IRECT(0, 0, 100, 40));

  g->DrawText(IText(12.f), "hello", IRECT(0, 0, 50, 20));
  g->DrawText(IText(12.f), nullptr, IRECT(0, 0, 50, 20));
  ASSERT_EQ(g->count(DrawOp::DrawText), 1);
  EXPECT_EQ(g->drawOps().back().text, "hello");
}

TEST_F(TestCanvasTest, MessageBoxesAnswerByButtonLabel) {
  int completed = 0;
  platform.answerMessageBox("No");
  EXPECT_EQ(g->ShowMessageBox("Replace it?", "Save preset", EMsgBoxType::YesNo,
                              [&](EMsgBoxResult r) { completed = static_cast<int>(r); }),
            EMsgBoxResult::No);
  EXPECT_EQ(completed, 7);
  platform.answerMessageBox("OK");
  EXPECT_EQ(g->ShowMessageBox("Done.", "Info", EMsgBoxType::OK), EMsgBoxResult::OK);
  platform.answerMessageBox("Cancel");
  EXPECT_EQ(g->ShowMessageBox("?", "Q", EMsgBoxType::YesNoCancel), EMsgBoxResult::Cancel);
  ASSERT_EQ(platform.messageBoxes.size(), 3u);
  EXPECT_EQ(platform.messageBoxes[0].caption, "Save preset");
  EXPECT_EQ(platform.messageBoxes[0].text, "Replace it?");
  EXPECT_EQ(platform.messageBoxes[0].type, EMsgBoxType::YesNo);

  // Code runs while the box is open, as timers do in a modal loop.
  bool ranInside = false;
  platform.answerMessageBox("Yes", [&] { ranInside = platform.messageBoxes.size() == 4; });
  g->ShowMessageBox("a", "b", EMsgBoxType::YesNo);
  EXPECT_TRUE(ranInside);
}

TEST_F(TestCanvasTest, UnscriptedOrMismatchedPromptsFailTheTest) {
  EXPECT_NONFATAL_FAILURE(g->ShowMessageBox("x", "Unexpected", EMsgBoxType::OK), "unscripted message box");
  platform.answerMessageBox("Retry");
  EXPECT_NONFATAL_FAILURE(g->ShowMessageBox("x", "y", EMsgBoxType::YesNo), "has no button");
  StringBuf name, path;
  EXPECT_NONFATAL_FAILURE(g->PromptForFile(name, path, EFileAction::Open, "wav", nullptr), "unscripted file prompt");
  EXPECT_NONFATAL_FAILURE(
      {
        TestPlatform leftover;
        leftover.chooseFile("/tmp/x.wav");
      },
      "never used");
}

TEST_F(TestCanvasTest, MenuPathChoosesInASubmenuAndRunsItsCompletion) {
  auto* p = new Probe(IRECT(0, 0, 50, 20));
  g->AttachControl(p);
  IPopupMenu menu("Targets", 0, false, {"a", "b"});
  int completions = 0;
  IPopupMenu* completedWith = nullptr;
  menu.SetFunction([&](IPopupMenu* m) {
    ++completions;
    completedWith = m;
  });
  auto* sub = new IPopupMenu("More", 0, false, {"x", "y"});
  menu.AddItem("More", sub);  // the submenu gets a copy of the completion

  platform.chooseMenuItem({2, 1});
  g->CreatePopupMenu(*p, menu, p->GetRECT(), 0);
  EXPECT_TRUE(platform.menus.empty());  // shown on the next turn of the main queue
  platform.queue.drain();
  ASSERT_EQ(platform.menus.size(), 1u);
  EXPECT_EQ(platform.menus[0].menu.title, "Targets");
  ASSERT_EQ(platform.menus[0].menu.items.size(), 3u);
  EXPECT_TRUE(platform.menus[0].menu.items[2].hasSubmenu);
  EXPECT_EQ(platform.menus[0].menu.items[2].submenu[1].text, "y");
  EXPECT_EQ(sub->GetChosenItemIdx(), 1);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(completedWith, sub);
  EXPECT_TRUE(p->called("OnPopupMenuSelection 1"));
  EXPECT_EQ(g->GetControlInPopupMenu(), nullptr);

  // A path onto a separator cannot be chosen.
  menu.AddSeparator();
  platform.chooseMenuItem({3});
  g->CreatePopupMenu(*p, menu, p->GetRECT(), 0);
  EXPECT_NONFATAL_FAILURE(platform.queue.drain(), "cannot be chosen");
  EXPECT_TRUE(p->called("OnPopupMenuSelection null"));
}

TEST_F(TestCanvasTest, TextEntryKeepsItsLengthAndCharacterLimits) {
  auto* p = new Probe(IRECT(0, 0, 50, 20));
  g->AttachControl(p);
  p->SetTextEntryLength(16);
  platform.commitText("abcdefghijklmnop\xC3\xA9" "rst");  // 20 code points
  g->CreateTextEntry(*p, p->GetText(), p->GetRECT(), "", kEveryValIdx);
  EXPECT_TRUE(g->textEntryOpen());
  platform.queue.drain();
  EXPECT_FALSE(g->textEntryOpen());
  ASSERT_EQ(platform.textEntries.size(), 1u);
  EXPECT_EQ(sp::test::codePoints(platform.textEntries[0].delivered.c_str()), 16);
  EXPECT_TRUE(p->called("OnTextEntryCompletion abcdefghijklmnop"));

  // An integer parameter's field refuses the point and keeps typing.
  auto* level = new Probe(IRECT(0, 30, 50, 50), 6);
  g->AttachControl(level);
  level->SetTextEntryLength(3);
  platform.commitText("4.56");
  g->CreateTextEntry(*level, level->GetText(), level->GetRECT(), "50", 0);
  platform.queue.drain();
  EXPECT_EQ(platform.textEntries[1].delivered, "456");
  EXPECT_EQ(platform.textEntries[1].initial, "50");

  // One entry at a time; a dismissed entry is forgotten.
  platform.dismissText();
  g->CreateTextEntry(*p, p->GetText(), p->GetRECT(), "", kEveryValIdx);
  g->CreateTextEntry(*level, level->GetText(), level->GetRECT(), "", 0);
  EXPECT_EQ(platform.textEntries.size(), 3u);
  platform.queue.drain();
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
}

TEST_F(TestCanvasTest, AClickOutsideAnOpenTextEntryCommitsItBeforeTheClick) {
  auto* field = new Probe(IRECT(0, 0, 50, 20));
  auto* other = new Probe(IRECT(100, 0, 150, 20));
  g->AttachControl(field);
  g->AttachControl(other);
  sp::test::EventDriver mouse(*g);
  platform.leaveTextOpen();
  g->CreateTextEntry(*field, field->GetText(), field->GetRECT(), "typed", kEveryValIdx);
  mouse.click(10, 10);  // inside the field: it keeps the focus
  EXPECT_TRUE(g->textEntryOpen());
  mouse.click(120, 10);
  EXPECT_FALSE(g->textEntryOpen());
  EXPECT_TRUE(field->called("OnTextEntryCompletion typed"));
  EXPECT_TRUE(other->called("OnMouseDown"));
  EXPECT_EQ(platform.textEntries[0].delivered, "typed");
}

TEST_F(TestCanvasTest, FilePromptsAnswerLikeTheirPlatformCounterparts) {
  StringBuf name("start.wav"), path("/music/");
  std::vector<std::pair<std::string, std::string>> answers;
  auto completion = [&](const StringBuf& f, const StringBuf& p) { answers.emplace_back(f.Get(), p.Get()); };

  platform.chooseFile("/music/ref/song.wav");
  g->PromptForFile(name, path, EFileAction::Open, "wav mp3", completion);
  EXPECT_STREQ(name.Get(), "");  // cleared; the answer comes later, as from a sheet
  platform.cancelFilePrompt();
  g->PromptForFile(name, path, EFileAction::Open, "wav mp3", completion);
  EXPECT_TRUE(answers.empty());
  platform.queue.drain();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0], std::make_pair(std::string("/music/ref/song.wav"), std::string("/music/ref/")));
  EXPECT_EQ(answers[1], std::make_pair(std::string(), std::string()));
  EXPECT_EQ(platform.filePrompts[0].extensions, "wav mp3");
  EXPECT_EQ(platform.filePrompts[0].initialFileName, "start.wav");

  // Modal, without a completion.
  platform.chooseFile("/a/b.sptarget");
  g->PromptForFile(name, path, EFileAction::Save, "sptarget");
  EXPECT_STREQ(name.Get(), "/a/b.sptarget");
  EXPECT_STREQ(path.Get(), "/a/");

  // A completion whose editor closed before it ran is dropped.
  platform.chooseFile("/x/y.wav");
  g->PromptForFile(name, path, EFileAction::Open, "wav", completion);
  dlg.CloseWindow();
  platform.queue.drain();
  EXPECT_EQ(answers.size(), 2u);
}

TEST_F(TestCanvasTest, ClockFiresTimersInTimeOrder) {
  sp::test::TestClock clock(0.0);
  std::vector<std::string> fired;
  clock.addTimer(20, 1, [&] { fired.push_back("idle@" + std::to_string(static_cast<int>(clock.NowMs()))); });
  clock.addTimer(1000, 60, [&] { fired.push_back("tick@" + fmt("%.2f", clock.NowMs())); });
  clock.advance(50);
  EXPECT_EQ(fired, (std::vector<std::string>{"tick@16.67", "idle@20", "tick@33.33", "idle@40", "tick@50.00"}));
  EXPECT_EQ(clock.NowMs(), 50.0);
}
