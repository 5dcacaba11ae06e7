// The idle tick's effects on the editor: shades shown and hidden only on change, the live
// controls redrawn, the footer, the accent rebuild (waiting while the editor is in use,
// dropped while it is closed) and the order in which pending work is taken.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/targets/target_files.h"
#include "tests/support/plugin/editor_fixture.h"
#include "tests/support/canvas/event_driver.h"
#include "plugin/version.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;

class Idle : public EditorFixture {};

// The footer as the idle tick writes it for a latency.
std::string footer(int latency) {
  return std::string("SpectraPoise ") + kVersion + " \xC2\xB7 " + std::to_string(latency) + " samples latency";
}

TEST_F(Idle, ShadesFollowBypassCorrectAndFreeze) {
  tick();
  EXPECT_TRUE(panel.bypassShade->IsHidden());
  EXPECT_FALSE(panel.correctShade->IsHidden());
  EXPECT_TRUE(panel.freezeShade->IsHidden());
  const int hides = panel.bypassShade->hideCalls + panel.correctShade->hideCalls + panel.freezeShade->hideCalls;
  tick();  // nothing changed: nothing touched
  EXPECT_EQ(panel.bypassShade->hideCalls + panel.correctShade->hideCalls + panel.freezeShade->hideCalls, hides);

  plug->GetParam(kFreeze)->Set(1.0);  // without "Correct" the freeze shade stays hidden
  tick();
  EXPECT_TRUE(panel.freezeShade->IsHidden());
  plug->GetParam(kCorrect)->Set(1.0);
  tick();
  EXPECT_TRUE(panel.correctShade->IsHidden());
  EXPECT_FALSE(panel.freezeShade->IsHidden());
  plug->GetParam(kCorrect)->Set(0.0);
  tick();
  EXPECT_FALSE(panel.correctShade->IsHidden());
  EXPECT_TRUE(panel.freezeShade->IsHidden());

  plug->GetParam(kBypass)->Set(1.0);
  tick();
  EXPECT_FALSE(panel.bypassShade->IsHidden());
}

TEST_F(Idle, HostBypassShowsTheShadeAndOnlyTheTarget) {
  connect(*plug, 2, 2);
  plug->setTarget(SpectraPoise::Target{TargetKind::Factory, "Tilted", "", {}, {}});
  const Stereo in = pinkNoise(4096, 0.1, 5);
  processAll(*plug, in, 512);  // into the panel's input ring
  plug->SetBypassed(true);
  tick();
  EXPECT_FALSE(panel.bypassShade->IsHidden());
  EXPECT_EQ(plug->inputPanelRing().unread(), 4096u);  // not analysed while bypassed
  EXPECT_EQ(plug->panelSampleRate(), 48000.0);          // the target view was made

  plug->SetBypassed(false);
  tick();
  EXPECT_TRUE(panel.bypassShade->IsHidden());
  EXPECT_EQ(plug->inputPanelRing().unread(), 0u);
}

TEST_F(Idle, LiveControlsAreRedrawnEveryTick) {
  tick();
  Probe* live[] = {panel.spectrum, panel.legend, panel.readouts, panel.meter, panel.chip};
  for (Probe* p : live) p->dirtyCalls = 0;
  panel.caption->dirtyCalls = 0;
  panel.correctKnob->dirtyCalls = 0;
  tick();
  tick();
  for (Probe* p : live) EXPECT_EQ(p->dirtyCalls, 2);
  EXPECT_EQ(panel.caption->dirtyCalls, 0);  // correction off
  EXPECT_EQ(panel.correctKnob->dirtyCalls, 0);

  plug->GetParam(kCorrect)->Set(1.0);
  tick();
  panel.caption->dirtyCalls = 0;
  tick();
  EXPECT_EQ(panel.caption->dirtyCalls, 1);  // live correction: the captions too
  plug->GetParam(kBypass)->Set(1.0);
  tick();
  panel.caption->dirtyCalls = 0;
  tick();
  EXPECT_EQ(panel.caption->dirtyCalls, 0);
}

TEST_F(Idle, FooterIsWrittenWhenItChanges) {
  tick();
  EXPECT_STREQ(panel.footer->GetStr(), footer(0).c_str());
  EXPECT_EQ(panel.footer->sets, 1);
  tick();
  EXPECT_EQ(panel.footer->sets, 1);
  plug->SetLatency(64);
  tick();
  EXPECT_STREQ(panel.footer->GetStr(), footer(64).c_str());
  // A new editor gets it again.
  closeEditor();
  openEditor();
  tick();
  EXPECT_STREQ(panel.footer->GetStr(), footer(64).c_str());
}

TEST_F(Idle, AccentChangeRebuildsTheEditorOnce) {
  tick();
  plug->GetParam(kCorrect)->Set(1.0);
  const int before = layouts;
  plug->setAccentIndex(1);
  tick();
  EXPECT_EQ(layouts, before + 1);
  // The new controls carry the parameters' values and the footer.
  EXPECT_DOUBLE_EQ(panel.correctKnob->GetValue(), 1.0);
  EXPECT_STREQ(panel.footer->GetStr(), footer(0).c_str());
  tick();
  EXPECT_EQ(layouts, before + 1);
  plug->setAccentIndex(1);  // the same accent: nothing
  tick();
  EXPECT_EQ(layouts, before + 1);
}

TEST_F(Idle, RebuildWaitsWhileAControlHoldsTheCapture) {
  tick();
  EventDriver mouse(*platform.canvas());
  mouse.press(100, 100);  // on the spectrum panel
  ASSERT_TRUE(ui()->ControlIsCaptured());
  const int before = layouts;
  plug->setAccentIndex(3);
  tick();
  tick();
  EXPECT_EQ(layouts, before);
  mouse.release();
  tick();
  EXPECT_EQ(layouts, before + 1);
}

TEST_F(Idle, RebuildWaitsWhileATextEntryIsOpen) {
  platform.leaveTextOpen();
  plug->openTargetNameEntry();
  ASSERT_NE(ui()->GetControlInTextEntry(), nullptr);
  const int before = layouts;
  plug->setAccentIndex(2);
  tick();
  EXPECT_EQ(layouts, before);
  platform.canvas()->dismissTextEntry();
  tick();
  EXPECT_EQ(layouts, before + 1);
}

TEST_F(Idle, RebuildWaitsForAMessageBoxOpenedByAPress) {
  // A control whose press shows a box; an accent change arrives while the box is up (the
  // idle timer keeps firing inside the modal loop). The box took the pointer's capture.
  struct BoxOnPress : Probe {
    using Probe::Probe;
    int pressesDone = 0;
    void OnMouseDown(float, float, const plugkit::canvas::IMouseMod&) override {
      GetUI()->ShowMessageBox("Applied.", "Test", plugkit::canvas::EMsgBoxType::OK);
      ++pressesDone;  // still alive: the rebuild did not delete it under its own handler
    }
  };
  tick();
  auto* control = new BoxOnPress(plugkit::canvas::IRECT(500, 300, 600, 340));
  ui()->AttachControl(control);
  const int before = layouts;
  int layoutsInside = -1;
  platform.answerMessageBox("OK", [&] {
    plug->setAccentIndex(3);
    tick();
    tick();
    layoutsInside = layouts;
  });
  EventDriver mouse(*platform.canvas());
  mouse.press(550, 320);
  EXPECT_EQ(layoutsInside, before);
  EXPECT_EQ(control->pressesDone, 1);
  mouse.release();
  tick();
  EXPECT_EQ(layouts, before + 1);
}

TEST_F(Idle, AccentChangeWhileClosedLeavesNoRequest) {
  closeEditor();
  plug->setAccentIndex(4);
  tick();
  const int before = layouts;
  openEditor();
  EXPECT_EQ(layouts, before + 1);
  tick();
  tick();
  EXPECT_EQ(layouts, before + 1);
}

TEST_F(Idle, PendingWorkIsTakenOnceInStepOrder) {
  plug->savePreset("Warm", false);
  SpectraPoise::Target t;
  t.kind = TargetKind::Learned;
  t.name = "Mine";
  plug->setTarget(t);
  plug->saveTarget("Mine");
  plug->setPendingPresetName("Warm");
  plug->setPendingTargetName("Mine");
  plug->learnFromFile("/somewhere/x.ogg");
  while (plug->fileLearningBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  platform.answerMessageBox("No");
  platform.answerMessageBox("No");
  platform.answerMessageBox("OK");
  tick();
  ASSERT_EQ(platform.messageBoxes.size(), 3u);
  EXPECT_EQ(platform.messageBoxes[0].caption, "Save preset");
  EXPECT_EQ(platform.messageBoxes[1].caption, "Save target");
  EXPECT_EQ(platform.messageBoxes[2].caption, "Learn from reference file");
  tick();
  EXPECT_EQ(platform.messageBoxes.size(), 3u);
}

TEST_F(Idle, PendingSavesWaitWhileTheEditorIsInUse) {
  plug->savePreset("Warm", false);
  tick();
  EventDriver mouse(*platform.canvas());
  mouse.press(100, 100);
  plug->setPendingPresetName("Warm");
  tick();
  EXPECT_TRUE(platform.messageBoxes.empty());
  mouse.release();
  platform.answerMessageBox("No");
  tick();
  EXPECT_EQ(platform.messageBoxes.size(), 1u);
}

TEST_F(Idle, ClosedEditorStillRunsTheWork) {
  closeEditor();
  plug->GetParam(kCorrectTilt)->Set(70.0);
  plug->setPendingPresetName("Quiet");  // no question needed: saved
  tick();
  EXPECT_EQ(plug->presetName(), "Quiet");
  EXPECT_TRUE(std::filesystem::exists(plug->presetDirectory() / "Quiet.sppreset"));
}

}  // namespace
