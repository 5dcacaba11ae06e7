// The target chip and its menu: the items and their flags in every learning state, the
// actions behind them, the name entry of "Save target…", and learning a target from the
// plug-in's own input as it reaches the panel.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/targets/target_files.h"
#include "tests/support/plugin/editor_fixture.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
using plugkit::canvas::IPopupMenu;
using Item = IPopupMenu::Item;

struct Row {
  std::string text;
  int flags;
};

std::vector<Row> rowsOf(const IPopupMenu& menu) {
  std::vector<Row> rows;
  for (int i = 0; i < menu.NItems(); ++i)
    rows.push_back({menu.GetItem(i)->GetText(), menu.GetItem(i)->GetFlags()});
  return rows;
}

std::vector<std::string> textsOf(const IPopupMenu& menu) {
  std::vector<std::string> texts;
  for (const Row& r : rowsOf(menu)) texts.push_back(r.text);
  return texts;
}

int indexOf(const IPopupMenu& menu, const std::string& text) {
  for (int i = 0; i < menu.NItems(); ++i)
    if (text == menu.GetItem(i)->GetText()) return i;
  return -1;
}

void saveTargetFile(const SpectraPoise& plug, const std::string& name, double level) {
  spectrapoise::dsp::BandCurve curve{};
  curve.fill(level);
  std::string error;
  ASSERT_TRUE(spectrapoise::offline::writeTarget(plug.targetDirectory(), name, "", curve, {}, error)) << error;
}

class TargetMenu : public EditorFixture {};

TEST_F(TargetMenu, EmptyListsGiveTheFixedItems) {
  // An instance whose factory list did not load reads the same way without its five items.
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  std::vector<std::string> texts = textsOf(menu);
  texts.erase(texts.begin() + 1, texts.begin() + 1 + static_cast<long>(plug->factoryTargets().size()));
  EXPECT_EQ(texts, (std::vector<std::string>{"Balanced (pink noise)", "", "Learn from input",
                                             "Learn from reference file…", "", "No saved targets", "",
                                             "Save target…"}));
  const std::vector<Row> rows = rowsOf(menu);
  EXPECT_EQ(rows[0].flags, Item::kChecked);
  EXPECT_EQ(rows[6].flags, Item::kSeparator);
  EXPECT_EQ(rows[indexOf(menu, "No saved targets")].flags, Item::kDisabled);
  EXPECT_EQ(plug->targetMenuActionCount(), static_cast<std::size_t>(menu.NItems()));
}

TEST_F(TargetMenu, ChecksTheCurrentTargetByKindAndName) {
  saveTargetFile(*plug, "Rock", 1.0);  // a saved target with a factory target's name
  saveTargetFile(*plug, "Warm", 2.0);
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  const std::vector<std::string> texts = textsOf(menu);
  const int factoryRock = indexOf(menu, "Rock");
  const int savedRock = static_cast<int>(std::find(texts.begin() + factoryRock + 1, texts.end(), "Rock") - texts.begin());
  ASSERT_LT(savedRock, menu.NItems());

  plug->runTargetMenuAction(factoryRock);
  IPopupMenu second;
  plug->buildTargetMenu(second);
  EXPECT_TRUE(second.GetItem(factoryRock)->GetChecked());
  EXPECT_FALSE(second.GetItem(savedRock)->GetChecked());
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Factory);
  EXPECT_EQ(plug->currentTarget().curve, plug->factoryTargets()[3].curve);

  plug->runTargetMenuAction(indexOf(second, "Warm"));
  const SpectraPoise::Target warm = plug->currentTarget();
  EXPECT_EQ(warm.kind, TargetKind::Saved);
  EXPECT_EQ(warm.name, "Warm");
  EXPECT_EQ(warm.curve[90], 2.0);
  IPopupMenu third;
  plug->buildTargetMenu(third);
  EXPECT_TRUE(third.GetItem(indexOf(third, "Warm"))->GetChecked());
  EXPECT_FALSE(third.GetItem(factoryRock)->GetChecked());
  EXPECT_EQ(textsOf(third).back(), "Delete “Warm”…");
  EXPECT_EQ(plug->targetChipLabel(), "Warm");

  plug->runTargetMenuAction(0);
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Balanced);
  EXPECT_EQ(plug->currentTarget().name, "Balanced");
  // Out of range and separators do nothing.
  plug->runTargetMenuAction(-1);
  plug->runTargetMenuAction(1000);
  plug->runTargetMenuAction(indexOf(third, ""));
}

// Audio through the plug-in into the panel's input analysis, one idle tick per 20 ms.
void feed(SpectraPoise& plug, const Stereo& signal, int ticksPerSecond = 50) {
  const int block = 48000 / ticksPerSecond;
  Stereo out(static_cast<std::size_t>(block));
  for (std::size_t start = 0; start + static_cast<std::size_t>(block) <= signal.size();
       start += static_cast<std::size_t>(block)) {
    double* in[2] = {const_cast<double*>(signal.left.data() + start), const_cast<double*>(signal.right.data() + start)};
    double* o[2] = {out.left.data(), out.right.data()};
    plug.ProcessBlock(in, o, block);
    if ((start / static_cast<std::size_t>(block)) % 25 == 24) plug.analyseForPanel();
  }
  plug.analyseForPanel();
}

Stereo scaled(Stereo s, double gain) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    s.left[i] *= gain;
    s.right[i] *= gain;
  }
  return s;
}

TEST_F(TargetMenu, LearningFromTheInputNeedsFifteenLoudSeconds) {
  connect(*plug, 2, 2);
  plug->startInputLearn();
  ASSERT_TRUE(plug->inputLearning());
  EXPECT_EQ(plug->targetChipLabel(), "Learning 0 s");

  feed(*plug, pinkNoise(static_cast<std::size_t>(48000 * 8), 0.1, 41));
  ASSERT_GE(plug->inputLearnedSeconds(), 7.0);
  ASSERT_LT(plug->inputLearnedSeconds(), 8.0);
  IPopupMenu early;
  plug->buildTargetMenu(early);
  const std::string n = std::to_string(static_cast<int>(plug->inputLearnedSeconds()));
  EXPECT_EQ(plug->targetChipLabel(), "Learning " + n + " s");
  const int progress = indexOf(early, "Learning… " + n + " of 15 s");
  ASSERT_GE(progress, 0);
  EXPECT_EQ(early.GetItem(progress)->GetFlags(), Item::kDisabled);
  EXPECT_EQ(textsOf(early)[static_cast<std::size_t>(progress) + 1], "Cancel learning");
  EXPECT_EQ(early.GetItem(indexOf(early, "Learn from reference file…"))->GetFlags(), Item::kDisabled);
  EXPECT_EQ(early.GetItem(indexOf(early, "Save target…"))->GetFlags(), Item::kDisabled);

  // 12 s loud in all, then quiet material 40 dB down until 15 s were fed.
  feed(*plug, pinkNoise(static_cast<std::size_t>(48000 * 4), 0.1, 42));
  feed(*plug, scaled(pinkNoise(static_cast<std::size_t>(48000 * 4), 0.1, 43), 0.01));
  ASSERT_GE(plug->inputLearnedSeconds(), 15.0);
  IPopupMenu ready;
  plug->buildTargetMenu(ready);
  const std::string seconds = std::to_string(static_cast<int>(plug->inputLearnedSeconds()));
  const int finish = indexOf(ready, "Finish learning (" + seconds + " s)");
  ASSERT_GE(finish, 0);
  EXPECT_EQ(ready.GetItem(finish)->GetFlags(), 0);

  platform.answerMessageBox("OK");
  plug->runTargetMenuAction(finish);
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].caption, "Learn from input");
  EXPECT_EQ(platform.messageBoxes[0].text,
            "Not finished yet: only 12 s was loud enough to learn from, at least 15 s is needed. Learning goes on; "
            "finish again later, or cancel.");
  EXPECT_TRUE(plug->inputLearning());
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Balanced);

  // More loud material: finishing installs the learned target.
  feed(*plug, pinkNoise(static_cast<std::size_t>(48000 * 4), 0.1, 44));
  plug->finishInputLearn();
  EXPECT_FALSE(plug->inputLearning());
  const SpectraPoise::Target t = plug->currentTarget();
  EXPECT_EQ(t.kind, TargetKind::Learned);
  EXPECT_EQ(t.name, "Learned from input");
  EXPECT_EQ(t.source, "");
  EXPECT_NE(t.curve[10], 0.0);
}

TEST_F(TargetMenu, NonFiniteHopAddsNothing) {
  plug->startInputLearn();
  spectrapoise::dsp::BandCurve bands{};
  bands.fill(1.0);
  plug->panelInputAnalysis().hopCallback(bands, 0.01, 0.5);
  EXPECT_EQ(plug->inputLearnedSeconds(), 0.5);
  bands[17] = NAN;
  plug->panelInputAnalysis().hopCallback(bands, 0.01, 0.5);
  bands[17] = 1.0;
  plug->panelInputAnalysis().hopCallback(bands, NAN, 0.5);
  EXPECT_EQ(plug->inputLearnedSeconds(), 0.5);
}

TEST_F(TargetMenu, ClosingTheEditorCancelsInputLearning) {
  plug->startInputLearn();
  closeEditor();
  EXPECT_FALSE(plug->inputLearning());
  EXPECT_FALSE(plug->panelInputAnalysis().hopCallback);
  openEditor();
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  EXPECT_GE(indexOf(menu, "Learn from input"), 0);
}

TEST_F(TargetMenu, CancelLearningKeepsTheTarget) {
  plug->setTarget(SpectraPoise::Target{TargetKind::Factory, "Pop", "", {}, {}});
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  plug->runTargetMenuAction(indexOf(menu, "Learn from input"));
  ASSERT_TRUE(plug->inputLearning());
  IPopupMenu learning;
  plug->buildTargetMenu(learning);
  panel.spectrum->dirtyCalls = 0;
  plug->runTargetMenuAction(indexOf(learning, "Cancel learning"));
  EXPECT_FALSE(plug->inputLearning());
  EXPECT_GT(panel.spectrum->dirtyCalls, 0);  // all controls redrawn
  EXPECT_EQ(plug->currentTarget().name, "Pop");
}

TEST_F(TargetMenu, SaveTargetOpensTheNameEntryOverTheChip) {
  SpectraPoise::Target learned;
  learned.kind = TargetKind::Learned;
  learned.name = "Learned from input";
  plug->setTarget(learned);
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  platform.commitText("  My target\t");
  plug->runTargetMenuAction(indexOf(menu, "Save target…"));
  ASSERT_EQ(platform.textEntries.size(), 1u);
  const ShownTextEntry& entry = platform.textEntries[0];
  EXPECT_EQ(entry.initial, "Learned target");
  EXPECT_EQ(entry.length, 16);
  EXPECT_EQ(entry.paramIdx, -1);
  EXPECT_EQ(entry.bounds, panel.chip->GetRECT());
  EXPECT_STREQ(entry.text.font, "Roboto-Regular");
  EXPECT_EQ(entry.text.size, 11.5f);
  EXPECT_EQ(entry.text.color, plugkit::canvas::IColor(255, 250, 250, 250));
  EXPECT_EQ(entry.text.entryBackground, plugkit::canvas::IColor(255, 30, 30, 30));
  EXPECT_EQ(entry.text.entryColor, plugkit::canvas::IColor(255, 250, 250, 250));
  EXPECT_EQ(entry.text.align, plugkit::canvas::ETextHAlign::Left);
  EXPECT_EQ(entry.text.valign, plugkit::canvas::ETextVAlign::Middle);

  // The typed name waits for the idle tick, which saves it.
  platform.queue.drain();
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Learned);
  tick();
  const SpectraPoise::Target saved = plug->currentTarget();
  EXPECT_EQ(saved.kind, TargetKind::Saved);
  EXPECT_EQ(saved.name, "My target");
  ASSERT_EQ(plug->savedTargets().size(), 1u);
  EXPECT_EQ(plug->savedTargets()[0].name, "My target");
}

TEST_F(TargetMenu, NameEntryNeedsAChipThatTakesText) {
  IPopupMenu menu;
  plug->buildTargetMenu(menu);
  const int save = indexOf(menu, "Save target…");
  panel.chip->textHandler = false;
  plug->runTargetMenuAction(save);
  EXPECT_TRUE(platform.textEntries.empty());

  // A saved target proposes its own name; a second entry does not open over the first.
  panel.chip->textHandler = true;
  plug->setTarget(SpectraPoise::Target{TargetKind::Saved, "Warm", "", {}, {}});
  platform.leaveTextOpen();
  plug->runTargetMenuAction(save);
  plug->runTargetMenuAction(save);
  ASSERT_EQ(platform.textEntries.size(), 1u);
  EXPECT_EQ(platform.textEntries[0].initial, "Warm");
  platform.canvas()->dismissTextEntry();

  closeEditor();
  plug->openTargetNameEntry();  // no editor: nothing
  EXPECT_EQ(platform.textEntries.size(), 1u);
}

}  // namespace
