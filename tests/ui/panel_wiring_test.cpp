// The panel's wiring with the real plug-in: the loudness-target chip (menu texts and
// checks, picks, the typed-value rule, its entry), the target chip's menu actions and name
// entry, the window-scale getter and setter, the accent and resolution items, the update
// item, the loudness meter's clicks and reading, the caption suffixes, a value set from the
// panel reaching every linked control, and the preset hooks (saving at once or after the
// idle tick's question).
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "engine/dsp/correction_filters.h"
#include "plugin/version.h"
#include "services/updates.h"
#include "tests/ui/panel_fixture.h"
#include "tests/ui/product_panel.h"
#include "ui/chips.h"
#include "ui/panel_text.h"
#include "ui/panel_wiring.h"
#include "ui/parameter_controls.h"
#include "ui/settings_menu.h"
#include "ui/update_pill.h"

using namespace uitest;
using balance_panel::AmountCaptionControl;
using balance_panel::ChipControl;
using balance_panel::SettingsMenuControl;
using sp::test::EventDriver;
namespace fs = std::filesystem;

namespace {

const std::string kMinus = "\xE2\x88\x92";
const std::string kDot = "\xC2\xB7";

class PanelWiring : public ProductPanelTest {
protected:
  // Clicks at (x, y) and runs the main queue (menus and entries answer there).
  void clickAndPump(float x, float y) {
    EventDriver mouse(*g);
    mouse.click(x, y);
    platform.queue.drain();
  }
  void openLoudnessChipAndChoose(int item) {
    platform.chooseMenuItem({item});
    clickAndPump(550.f, 240.f);
  }
  SettingsMenuControl& settings() { return *as<SettingsMenuControl>(29); }
  // Opens the settings menu from the preset bar and chooses an item.
  void chooseSetting(int item) {
    platform.chooseMenuItem({item});
    clickAndPump(615.f, 16.f);
  }
  std::vector<std::string> shownItems(std::size_t menu) const {
    std::vector<std::string> out;
    for (const auto& item : platform.menus.at(menu).menu.items) out.push_back(item.text);
    return out;
  }
  int edits(const std::string& kind, int id) const {
    int n = 0;
    for (const auto& call : handler->calls)
      if (call.kind == kind && call.id == id) ++n;
    return n;
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Loudness-target chip

TEST(LoudnessTargetRule, TypedTextIsANegativeTargetOnTheHalfDecibelGridWithinRange) {
  struct Case {
    const char* text;
    std::optional<double> value;
  } cases[] = {
      {"14", -14.0},  {"-14.26", -14.5},  {"+16", -16.0},  {"5.8", -6.0},  {"3", -6.0},
      {"36.3", -36.0}, {"\xE2\x88\x92" "23", -23.0}, {"100", -36.0}, {"-14,75", -15.0},
      {"abc", std::nullopt}, {"", std::nullopt}, {nullptr, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(balance_panel::typedLoudnessTarget(c.text), c.value) << (c.text ? c.text : "null");
}

TEST_F(PanelWiring, LoudnessMenuTextsChecksAndPicks) {
  EXPECT_EQ(tagged(6) != nullptr, true);
  hostSet(kLoudnessTarget, -16.0);
  openLoudnessChipAndChoose(2);
  ASSERT_EQ(platform.menus.size(), 1u);
  EXPECT_EQ(shownItems(0), (std::vector<std::string>{kMinus + "14 LUFS " + kDot + " streaming", kMinus + "16 LUFS",
                                                     kMinus + "23 LUFS " + kDot + " broadcast", "",
                                                     "Type a value\xE2\x80\xA6"}));
  const auto& items = platform.menus[0].menu.items;
  EXPECT_EQ(items[1].flags, IPopupMenu::Item::kChecked);
  EXPECT_EQ(items[0].flags | items[2].flags, 0);
  EXPECT_EQ(items[3].flags, IPopupMenu::Item::kSeparator);
  EXPECT_EQ(param(kLoudnessTarget), -23.0);
  EXPECT_EQ(edits("begin", kLoudnessTarget), 1);
  EXPECT_EQ(edits("end", kLoudnessTarget), 1);

  // No item is checked for a target between the three.
  hostSet(kLoudnessTarget, -15.0);
  openLoudnessChipAndChoose(0);
  for (const auto& item : platform.menus[1].menu.items) EXPECT_EQ(item.flags & IPopupMenu::Item::kChecked, 0);
  EXPECT_EQ(param(kLoudnessTarget), -14.0);
  EXPECT_EQ(edits("perform", kLoudnessTarget), 2);

  // The separator (which the platform never offers) and indexes beyond the menu do nothing.
  balance_panel::ChipFunctions pick = balance_panel::loudnessChipFunctions(*plug, IText());
  for (const int index : {3, 5, -1}) pick.pick(*static_cast<ChipControl*>(tagged(6)), index);
  platform.queue.drain();
  EXPECT_EQ(param(kLoudnessTarget), -14.0);
  EXPECT_EQ(edits("perform", kLoudnessTarget), 2);
  EXPECT_TRUE(platform.textEntries.empty());

  // The chip's label: no plus sign, whole values without decimals.
  balance_panel::ChipFunctions f = balance_panel::loudnessChipFunctions(*plug, IText());
  EXPECT_EQ(f.label(), kMinus + "14 LUFS");
  hostSet(kLoudnessTarget, -14.5);
  EXPECT_EQ(f.label(), kMinus + "14.5 LUFS");
}

TEST_F(PanelWiring, TypeAValueOpensACentredEntryOverTheChipAndSetsTheTypedTarget) {
  platform.commitText("23");
  openLoudnessChipAndChoose(4);
  ASSERT_EQ(platform.textEntries.size(), 1u);
  const sp::test::ShownTextEntry& entry = platform.textEntries[0];
  EXPECT_EQ(entry.initial, "-14.0");
  EXPECT_EQ(entry.length, 16);
  EXPECT_EQ(entry.bounds, IRECT(509, 230, 609, 252));
  EXPECT_EQ(entry.text.align, ETextHAlign::Centre);
  EXPECT_EQ(entry.text.size, 11.5f);
  EXPECT_EQ(entry.paramIdx, kNoLinkedParam);
  EXPECT_EQ(param(kLoudnessTarget), -23.0);
  EXPECT_EQ(edits("perform", kLoudnessTarget), 1);

  // Text without a number changes nothing and opens no edit with the host.
  platform.commitText("abc");
  openLoudnessChipAndChoose(4);
  EXPECT_EQ(param(kLoudnessTarget), -23.0);
  EXPECT_EQ(edits("begin", kLoudnessTarget), 1);
}

TEST_F(PanelWiring, TheEntryIsNotOpenedWhileAnotherIsOpenAndIsCLocaleFormatted) {
  CommaLocale comma;
  hostSet(kLoudnessTarget, -9.5);
  platform.leaveTextOpen();
  openLoudnessChipAndChoose(4);
  ASSERT_EQ(platform.textEntries.size(), 1u);
  EXPECT_EQ(platform.textEntries[0].initial, "-9.5");
  // Another "Type a value…" while the entry is open opens nothing.
  balance_panel::ChipFunctions f = balance_panel::loudnessChipFunctions(*plug, IText());
  f.pick(*static_cast<ChipControl*>(tagged(6)), 4);
  platform.queue.drain();
  EXPECT_EQ(platform.textEntries.size(), 1u);
  g->dismissTextEntry();
}

// ---------------------------------------------------------------------------------------
// Target chip

TEST_F(PanelWiring, TheTargetChipRunsThePickedMenuActionAndQueuesATypedName) {
  ASSERT_FALSE(plug->factoryTargets().empty());
  const std::string factory = plug->factoryTargets()[0].name;
  platform.chooseMenuItem({1});
  clickAndPump(150.f, 92.f);
  EXPECT_EQ(plug->currentTarget().name, factory);
  EXPECT_EQ(static_cast<ChipControl*>(tagged(7))->chipText().size, 11.5f);

  // Indexes outside the stored actions do nothing.
  balance_panel::ChipFunctions f = balance_panel::targetChipFunctions(*plug);
  f.pick(*static_cast<ChipControl*>(tagged(7)), -1);
  f.pick(*static_cast<ChipControl*>(tagged(7)), 999);
  EXPECT_EQ(plug->currentTarget().name, factory);
  EXPECT_EQ(f.label(), factory);

  f.text(nullptr);
  f.text("Mine");
  tick();
  EXPECT_EQ(plug->currentTarget().name, "Mine");
  EXPECT_EQ(plug->currentTarget().kind, TargetKind::Saved);
}

// ---------------------------------------------------------------------------------------
// Window size, accent, resolution

TEST_F(PanelWiring, WindowScaleSetterKeepsTheSizeRuleAndTheGetterTheWindowWidth) {
  SettingsMenuControl::Actions a = balance_panel::settingsActions(*plug, nullptr);
  struct Case {
    float asked;
    int width, height;
    float scale;
  } cases[] = {{0.75f, 480, 300, 0.75f}, {1.49f, 953, 596, 1.49f}, {3.f, 1280, 800, 2.f}, {0.1f, 480, 300, 0.75f}};
  for (const Case& c : cases) {
    a.setWindowScale(c.asked);
    EXPECT_FLOAT_EQ(g->GetDrawScale(), c.scale) << c.asked;
    EXPECT_EQ(g->WindowWidth(), c.width) << c.asked;
    EXPECT_EQ(g->WindowHeight(), c.height) << c.asked;
  }
  a.setWindowScale(1.49f);
  EXPECT_FLOAT_EQ(a.windowScale(), 1.4890625f);
  // The host was asked for each new size.
  EXPECT_EQ(plug->GetEditorWidth(), 953);
}

TEST_F(PanelWiring, SizeItemsCheckTheNearestSizeAndResizeTheWindow) {
  SettingsMenuControl::Actions a = balance_panel::settingsActions(*plug, nullptr);
  a.setWindowScale(1.49f);
  chooseSetting(13);  // "Window 1.5x"
  EXPECT_EQ(platform.menus[0].menu.items[13].text, "Window 1.5x");
  EXPECT_EQ(platform.menus[0].menu.items[13].flags, IPopupMenu::Item::kChecked);
  EXPECT_EQ(g->WindowWidth(), 960);
  EXPECT_EQ(g->WindowHeight(), 600);
  chooseSetting(11);
  EXPECT_EQ(g->WindowWidth(), 480);
}

TEST_F(PanelWiring, AccentItemsRebuildThePanelAtTheNextTickOnlyWhenTheAccentChanges) {
  SettingsMenuControl::Actions a = balance_panel::settingsActions(*plug, nullptr);
  a.setAccent(7);
  EXPECT_EQ(plug->accentIndex(), 0);
  tick();
  IControl* chip = tagged(7);

  chooseSetting(4);  // "Green", already chosen
  tick();
  EXPECT_EQ(tagged(7), chip);

  chooseSetting(7);  // "Blue"
  EXPECT_EQ(plug->accentIndex(), 3);
  EXPECT_EQ(tagged(7), chip);  // not before the tick
  tick();
  EXPECT_NE(tagged(7), chip);
  EXPECT_EQ(g->NControls(), 36);
  EXPECT_EQ(plug->resolvedAccent(255), IColor(255, 0, 184, 255));
}

TEST_F(PanelWiring, ResolutionItemsStoreTheIndex) {
  chooseSetting(1);
  // The preset bar's menu button opens the settings menu on itself.
  EXPECT_TRUE(rectNear(platform.menus[0].bounds, IRECT(605.0496f, 5.76f, 625.5296f, 26.24f), 1e-3f));
  EXPECT_EQ(plug->resolutionIndex(), 1);
  EXPECT_EQ(platform.menus[0].menu.items[2].flags, IPopupMenu::Item::kChecked);  // 2 was the default
  chooseSetting(0);
  EXPECT_EQ(plug->resolutionIndex(), 0);
  EXPECT_EQ(platform.menus[1].menu.items[1].flags, IPopupMenu::Item::kChecked);
}

TEST_F(PanelWiring, TheUpdateItemSwitchesChecksAndRedrawsThePill) {
  brightloom::updates::UpdateCheck& checker = *plug->updateCheck();
  checker.setEnabled(true);
  chooseSetting(16);
  EXPECT_EQ(shownItems(0)[16], "Check for updates");
  EXPECT_EQ(platform.menus[0].menu.items[16].flags, IPopupMenu::Item::kChecked);
  EXPECT_EQ(shownItems(0)[18], std::string("SpectraPoise ") + spectrapoise::plugin::kVersion);
  EXPECT_FALSE(checker.enabled());
  EXPECT_TRUE(fs::exists(checker.offFile()));
  chooseSetting(16);
  EXPECT_EQ(platform.menus[1].menu.items[16].flags, 0);
  EXPECT_TRUE(checker.enabled());
  // The separator after it and the title (the platform never offers them) do nothing.
  for (const int item : {15, 17, 18}) {
    IPopupMenu& menu = const_cast<IPopupMenu&>(settings().menu());
    menu.SetChosenItemIdx(item);
    settings().OnPopupMenuSelection(&menu, 0);
  }
  EXPECT_TRUE(checker.enabled());
}

// ---------------------------------------------------------------------------------------
// Loudness meter, captions

TEST_F(PanelWiring, MeterClicksSwapTheDisplayAndTheReadingCarriesTheTarget) {
  EXPECT_FALSE(plug->integratedDisplay());
  clickAndPump(559.f, 150.f);
  EXPECT_TRUE(plug->integratedDisplay());
  EventDriver mouse(*g);
  mouse.doubleClick(559.f, 150.f);  // a press (swap) and a double click (swap, reset)
  EXPECT_TRUE(plug->integratedDisplay());

  hostSet(kLoudnessTarget, -23.0);
  const balance_panel::LoudnessReading r = balance_panel::loudnessReadingGetter(*plug)();
  EXPECT_EQ(r.targetLoudness, -23.0);
  EXPECT_TRUE(r.integratedMode);
  EXPECT_EQ(r.shortTerm, -150.0);
}

TEST_F(PanelWiring, CaptionSuffixesShowThePanelGainsWhileCorrectIsOn) {
  plug->publishGains({1.5, -0.84, 0.25, 0.0, 2.26});
  tick();  // the panel reads the published gains
  auto tilt = balance_panel::captionSuffix(*plug, balance_panel::kTiltSuffix);
  auto low = balance_panel::captionSuffix(*plug, 0);
  auto high = balance_panel::captionSuffix(*plug, 3);
  EXPECT_EQ(tilt(), "");
  EXPECT_EQ(low(), "");

  hostSet(kCorrect, 1.0);
  tick();
  EXPECT_EQ(low(), " " + kDot + " " + kMinus + "0.8 dB");
  EXPECT_EQ(high(), " " + kDot + " +2.3 dB");
  EXPECT_EQ(balance_panel::captionSuffix(*plug, 2)(), " " + kDot + " 0.0 dB");
  const double slope = spectrapoise::dsp::correction_detail::tiltSlope(1.5, plug->sampleRate());
  EXPECT_EQ(tilt(), " " + kDot + " " + balance_panel::decibels(slope, true, false, -149.0) + "/oct");
  // The caption under the Low knob draws it.
  g->clearDrawOps();
  as<AmountCaptionControl>(14)->Draw(*g);
  bool drawn = false;
  for (const auto& op : g->opsOf({sp::test::DrawOp::DrawText}))
    if (op.text.find(kMinus + "0.8 dB") != std::string::npos) drawn = true;
  EXPECT_TRUE(drawn);
}

// ---------------------------------------------------------------------------------------
// Presets

TEST_F(PanelWiring, AValueSetFromThePanelReachesEveryControlLinkedToItsParameter) {
  // Freeze (its pill), a correction amount (its knob and caption), a crossover (the
  // spectrum's handle slot); the loudness target has no linked control.
  const std::pair<int, double> edits[] = {
      {kFreeze, 1.0}, {kCorrectTilt, 37.0}, {kMidCrossover, 3000.0}, {kLoudnessTarget, -9.0}, {kFreeze, 0.0}};
  for (const auto& [p, value] : edits) {
    SCOPED_TRACE(std::to_string(p) + " " + std::to_string(value));
    plug->setFromPanel(p, value);
    tick();
    g->clearDrawOps();
    frame();
    const double normalized = plug->GetParam(p)->GetNormalized();
    int linked = 0;
    for (int i = 0; i < g->NControls(); ++i)
      for (int slot = 0; slot < control(i)->NVals(); ++slot)
        if (control(i)->GetParamIdx(slot) == p) {
          ++linked;
          EXPECT_NEAR(control(i)->GetValue(slot), normalized, 1e-9) << "control " << i << " slot " << slot;
        }
    EXPECT_EQ(linked > 0, p != kLoudnessTarget);
  }
}

TEST_F(PanelWiring, SavingUnderTheCurrentOrAFreeNameSavesAtOnceAnotherPresetsNameAsksAtTheTick) {
  const brightloom::controls::PresetHooks hooks = balance_panel::presetHooks(*plug);
  hooks.save("A");
  EXPECT_EQ(plug->presetName(), "A");
  hooks.save("B");
  EXPECT_EQ(plug->presetName(), "B");
  EXPECT_EQ(hooks.names(), (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(platform.messageBoxes.empty());

  // The current name: saved again at once.
  hostSet(kCorrectTilt, 70.0);
  hooks.save("B");
  EXPECT_TRUE(platform.messageBoxes.empty());
  EXPECT_FALSE(hooks.modified());

  // Another preset's file: nothing until the tick, which asks.
  hooks.save("A");
  EXPECT_EQ(plug->presetName(), "B");
  EXPECT_TRUE(platform.messageBoxes.empty());
  platform.answerMessageBox("No");
  tick();
  ASSERT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(platform.messageBoxes[0].text, "A preset named \"A\" already exists. Replace it?");
  EXPECT_EQ(plug->presetName(), "B");

  // Loading and removing go by name; unknown names do nothing.
  hooks.load("A");
  EXPECT_EQ(plug->presetName(), "A");
  hooks.load("nope");
  hooks.remove("nope");
  EXPECT_EQ(hooks.names().size(), 2u);
  EXPECT_EQ(hooks.current(), "A");
}

TEST_F(PanelWiring, APresetPathThatCannotBeCheckedTakesTheQuestion) {
  const brightloom::controls::PresetHooks hooks = balance_panel::presetHooks(*plug);
  // The preset folder is a link to itself: nothing under it can be looked at.
  const fs::path folder = plug->presetDirectory();
  fs::create_directories(folder.parent_path());
  fs::create_symlink(folder.filename(), folder);
  hooks.save("C");
  EXPECT_EQ(plug->presetName(), "");
  EXPECT_TRUE(platform.messageBoxes.empty());
  fs::remove(folder);
}
