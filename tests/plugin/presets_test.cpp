// Preset actions: saving with the overwrite question and a failed save put right, loading
// (every parameter to the host and the editor, the stored size, the name) and its refusals,
// deleting, the pending save of the idle tick, and the modified mark.
#include <gtest/gtest.h>

#include <filesystem>

#include "plugin/preset_format.h"
#include "plugin/state_chunk.h"
#include "services/presets.h"
#include "tests/support/plugin/editor_fixture.h"
#include "tests/support/temp_dir.h"
#include "tools/testhost/host_objects.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
using spectrapoise::offline::kPresetFormat;
namespace fs = std::filesystem;
namespace presets = brightloom::presets;

class Presets : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    handler = new testhost::ComponentHandler();
    plug->setComponentHandler(handler);
  }
  void TearDown() override {
    plug->setComponentHandler(nullptr);
    handler->release();
  }
  presets::SavedPreset presetNamed(const std::string& name) const {
    for (const presets::SavedPreset& p : plug->savedPresets())
      if (p.name == name) return p;
    ADD_FAILURE() << "no preset " << name;
    return {};
  }
  fs::path fileOf(const std::string& stem) const { return plug->presetDirectory() / (stem + ".sppreset"); }
  void writePresetFile(const std::string& stem, const std::string& name, const std::vector<std::uint8_t>& state) {
    std::string error;
    ASSERT_TRUE(presets::writePreset(kPresetFormat, plug->presetDirectory(), name, state, error)) << error;
    ASSERT_TRUE(fs::exists(fileOf(stem)));
  }
  std::string lastBox() const { return platform.messageBoxes.empty() ? "" : platform.messageBoxes.back().text; }

  testhost::ComponentHandler* handler = nullptr;
};

TEST_F(Presets, LoadTellsTheHostAboutEveryParameterInFourPasses) {
  plug->GetParam(kCorrectTilt)->Set(80.0);
  plug->GetParam(kCorrect)->Set(1.0);
  plug->setTarget(SpectraPoise::Target{TargetKind::Factory, "Pop", "", {}, {}});
  plug->savePreset("Bright", false);
  ASSERT_EQ(plug->presetName(), "Bright");

  plug->GetParam(kCorrectTilt)->Set(10.0);
  plug->GetParam(kCorrect)->Set(0.0);
  plug->setTarget(SpectraPoise::Target{});
  handler->calls.clear();
  plug->loadPreset(presetNamed("Bright"));

  EXPECT_EQ(plug->GetParam(kCorrectTilt)->Value(), 80.0);
  EXPECT_EQ(plug->currentTarget().name, "Pop");
  EXPECT_EQ(panel.correctKnob->GetValue(), 1.0);
  ASSERT_EQ(handler->calls.size(), 3u * kParamCount);
  for (int i = 0; i < kParamCount; ++i) {
    const plugkit::IParam* param = plug->GetParam(i);
    ASSERT_NE(param, nullptr);
    const auto at = [&](int pass) { return handler->calls[static_cast<std::size_t>(pass * kParamCount + i)]; };
    EXPECT_EQ(at(0).kind, "begin");
    EXPECT_EQ(at(0).id, i);
    EXPECT_EQ(at(1).kind, "perform");
    EXPECT_EQ(at(1).id, i);
    EXPECT_DOUBLE_EQ(at(1).value, param->GetNormalized());
    EXPECT_EQ(at(2).kind, "end");
    EXPECT_EQ(at(2).id, i);
  }
  EXPECT_EQ(plug->presetName(), "Bright");
  EXPECT_FALSE(plug->presetModified());
}

// Values between the steps of their parameters come back exactly as saved: a load rounds
// only stepped parameters, as the host's state restore does.
TEST_F(Presets, LoadingKeepsValuesBetweenTheSteps) {
  struct Case {
    int param;
    double value;
  };
  const Case cases[] = {{kCorrectSpeed, 10.954}, {kFrozenTilt, 1.234567}, {kLowCrossover, 123.456}};
  for (const Case& c : cases) plug->GetParam(c.param)->Set(c.value);
  plug->savePreset("Between", false);
  for (const Case& c : cases) plug->GetParam(c.param)->Set(plug->GetParam(c.param)->GetDefault());

  handler->calls.clear();
  plug->loadPreset(presetNamed("Between"));
  for (const Case& c : cases) {
    const plugkit::IParam* param = plug->GetParam(c.param);
    EXPECT_EQ(param->Value(), c.value) << param->GetName();
    const auto perform = handler->calls[static_cast<std::size_t>(kParamCount + c.param)];
    ASSERT_EQ(perform.kind, "perform");
    EXPECT_DOUBLE_EQ(perform.value, param->ToNormalized(c.value)) << param->GetName();
  }
}

TEST_F(Presets, TheNameComesFromTheFileAndTheMeterModeStays) {
  plug->savePreset("Bright", false);
  presets::SavedPreset listed = presetNamed("Bright");
  listed.name = "Something else";
  plug->setIntegratedDisplay(true);
  plug->loadPreset(listed);
  EXPECT_EQ(plug->presetName(), "Bright");
  EXPECT_TRUE(plug->integratedDisplay());
}

TEST_F(Presets, APlainParameterBlockIsNotAPreset) {
  writePresetFile("Plain", "Plain", std::vector<std::uint8_t>(148, 0));
  platform.answerMessageBox("OK");
  plug->loadPreset(presetNamed("Plain"));
  EXPECT_EQ(lastBox(), "Could not load the preset: it does not hold an SpectraPoise state.");
  EXPECT_EQ(platform.messageBoxes.back().caption, "Load preset");
  EXPECT_EQ(plug->presetName(), "");
}

TEST_F(Presets, ADamagedStateChangesNothing) {
  plug->savePreset("Good", false);
  std::vector<std::uint8_t> state = presetNamed("Good").state;
  state.resize(32 + 4 + 10 * 8);  // the header, cut inside the values
  writePresetFile("Cut", "Cut", state);
  plug->GetParam(kLoudnessTarget)->Set(-30.0);
  platform.answerMessageBox("OK");
  plug->loadPreset(presetNamed("Cut"));
  EXPECT_EQ(lastBox(), "Could not load the preset: its state is damaged.");
  EXPECT_EQ(plug->GetParam(kLoudnessTarget)->Value(), -30.0);
  EXPECT_EQ(plug->presetName(), "Good");
}

TEST_F(Presets, AFileThatIsNotAPresetIsReported) {
  ASSERT_TRUE(writeFile(fileOf("Junk"), "hello\n"));
  presets::SavedPreset junk;
  junk.name = "Junk";
  junk.path = fileOf("Junk");
  platform.answerMessageBox("OK");
  plug->loadPreset(junk);
  EXPECT_EQ(lastBox(), "Could not load the preset: not an SpectraPoise preset: Junk.sppreset");
}

TEST_F(Presets, SavingOverAPresetAsksFirst) {
  plug->savePreset("Warm", false);
  const std::string before = readFile(fileOf("Warm"));
  plug->GetParam(kCorrectLow)->Set(90.0);
  plug->savePreset("Other", false);
  tick();  // the snapshot of "Other"
  plug->GetParam(kCorrectLow)->Set(91.0);
  tick();
  ASSERT_TRUE(plug->presetModified());

  platform.answerMessageBox("No");
  plug->savePreset("  Warm\t", true);
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(lastBox(), "A preset named \"Warm\" already exists. Replace it?");
  EXPECT_EQ(platform.messageBoxes.back().caption, "Save preset");
  EXPECT_EQ(readFile(fileOf("Warm")), before);
  EXPECT_EQ(plug->presetName(), "Other");
  EXPECT_TRUE(plug->presetModified());

  platform.answerMessageBox("Yes");
  plug->savePreset("Warm", true);
  EXPECT_NE(readFile(fileOf("Warm")), before);
  EXPECT_EQ(plug->presetName(), "Warm");
  EXPECT_FALSE(plug->presetModified());

  plug->savePreset(" \t", true);  // nothing
  EXPECT_EQ(platform.messageBoxes.size(), 2u);
}

// A name with a line break is stored with a space in its place; the file it goes to is the
// one that already holds that name, so saving again replaces it.
TEST_F(Presets, ANameWithALineBreakKeepsToOneFile) {
  plug->savePreset("Warm\nBass", false);
  plug->savePreset("Warm\nBass", false);
  platform.answerMessageBox("Yes");
  plug->savePreset("Warm\nBass", true);
  EXPECT_EQ(lastBox(), "A preset named \"Warm Bass\" already exists. Replace it?");

  std::vector<std::string> files;
  for (const fs::directory_entry& e : fs::directory_iterator(plug->presetDirectory()))
    files.push_back(e.path().filename().string());
  EXPECT_EQ(files, std::vector<std::string>{"Warm Bass.sppreset"});
  EXPECT_EQ(plug->presetName(), "Warm Bass");
  EXPECT_EQ(plug->savedPresets().size(), 1u);
}

TEST_F(Presets, AFailedSavePutsNameAndMarkBack) {
  plug->savePreset("Warm", false);
  tick();
  plug->GetParam(kCorrectLow)->Set(90.0);
  tick();
  ASSERT_TRUE(plug->presetModified());
  fs::remove_all(plug->presetDirectory());
  ASSERT_TRUE(writeFile(plug->presetDirectory(), "not a folder"));

  platform.answerMessageBox("OK");
  plug->savePreset("New", false);
  EXPECT_EQ(lastBox(), "Could not save the preset: could not write " + fileOf("New").string());
  EXPECT_EQ(plug->presetName(), "Warm");
  EXPECT_TRUE(plug->presetModified());
  tick();
  EXPECT_TRUE(plug->presetModified());
  fs::remove(plug->presetDirectory());
}

TEST_F(Presets, PendingNameIsSavedWithTheQuestionOnTheNextTick) {
  plug->savePreset("Warm", false);
  plug->setPendingPresetName("Warm");
  platform.answerMessageBox("Yes");
  tick();
  EXPECT_EQ(lastBox(), "A preset named \"Warm\" already exists. Replace it?");
  tick();  // taken once
  EXPECT_EQ(platform.messageBoxes.size(), 1u);
}

// The timer may fire inside a box shown by the idle tick; that tick does not run.
TEST_F(Presets, ABoxThatFiresTheTimerDoesNotReenter) {
  plug->savePreset("Warm", false);
  plug->setPendingPresetName("Warm");
  plug->setPendingTargetName("Warm");
  int nested = 0;
  platform.answerMessageBox("No", [&] {
    plug->setPendingPresetName("Warm");  // would ask again if the tick re-entered
    plug->OnTimer(*plug->GetTimer());
    plug->OnIdle();
    ++nested;
  });
  tick();
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(platform.messageBoxes.size(), 1u);
  // The target saved in the same tick (no question: no such target yet).
  EXPECT_EQ(plug->currentTarget().name, "Warm");
  platform.answerMessageBox("No");
  tick();  // the name set inside the box is taken now
  EXPECT_EQ(platform.messageBoxes.size(), 2u);
}

TEST_F(Presets, DeletingKeepsTheCurrentName) {
  plug->savePreset("Warm", false);
  plug->removePreset(presetNamed("Warm"));
  EXPECT_FALSE(fs::exists(fileOf("Warm")));
  EXPECT_EQ(plug->presetName(), "Warm");

  presets::SavedPreset gone;
  gone.name = "Warm";
  gone.path = fileOf("Warm");
  platform.answerMessageBox("OK");
  plug->removePreset(gone);
  EXPECT_EQ(lastBox(), "Could not delete the preset: could not delete Warm.sppreset");
  EXPECT_EQ(platform.messageBoxes.back().caption, "Delete preset");
}

TEST_F(Presets, ModifiedMarkFollowsRealChanges) {
  plug->GetParam(kCorrectTilt)->Set(50.0);
  plug->savePreset("Warm", false);
  tick();  // snapshot taken
  EXPECT_FALSE(plug->presetModified());

  // The same values sent again, or a change below a millionth, are not a modification.
  plug->setFromPanel(kCorrectTilt, 50.0);
  plug->GetParam(kCorrectSpeed)->Set(15.0 + 1e-6);
  tick();
  EXPECT_FALSE(plug->presetModified());

  plug->setFromPanel(kCorrectTilt, 51.0);
  panel.correctKnob->dirtyCalls = 0;
  tick();
  EXPECT_TRUE(plug->presetModified());
  EXPECT_GT(panel.correctKnob->dirtyCalls, 0);  // every control redrawn for the preset bar
  // Turning it back does not clear the mark.
  plug->setFromPanel(kCorrectTilt, 50.0);
  tick();
  EXPECT_TRUE(plug->presetModified());

  // Reloading clears it; a state read from the host brings it back.
  plug->loadPreset(presetNamed("Warm"));
  tick();
  EXPECT_FALSE(plug->presetModified());
  plugkit::IByteChunk chunk;
  plug->setFromPanel(kCorrectTilt, 52.0);
  tick();
  ASSERT_TRUE(plug->SerializeState(chunk));
  PlugPtr other = makePlug();
  ASSERT_GT(other->UnserializeState(chunk, 0), 0);
  EXPECT_TRUE(other->presetModified());
  other->OnIdle();
  EXPECT_TRUE(other->presetModified());
}

TEST_F(Presets, NoPresetNoMark) {
  plug->setFromPanel(kCorrectTilt, 70.0);
  tick();
  tick();
  EXPECT_FALSE(plug->presetModified());
}

TEST_F(Presets, LoadingAppliesTheStoredEditorSize) {
  plug->applyEditorScale(1.5f);
  plug->savePreset("Large", false);
  plug->applyEditorScale(1.0f);
  ASSERT_EQ(ui()->GetDrawScale(), 1.0f);
  plug->loadPreset(presetNamed("Large"));
  EXPECT_FLOAT_EQ(ui()->GetDrawScale(), 1.5f);
  EXPECT_FLOAT_EQ(plug->editorScale(), 1.5f);
}

}  // namespace
