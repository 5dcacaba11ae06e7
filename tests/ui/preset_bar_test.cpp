// The preset bar: its regions, stepping through the list (wrapping, from a name not in the
// list), the list menu, "Save", the name entry (trimmed, 80 characters, centred on the name
// box), the two-press delete and what cancels it, the menu button, and what it draws with
// and without presets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/panel_fixture.h"
#include "ui/preset_bar.h"

using namespace uitest;
using brightloom::controls::PresetBarControl;
using brightloom::controls::PresetHooks;
using sp::test::EventDriver;
using Region = PresetBarControl::Region;

namespace {

const IColor kLabel(255, 250, 250, 250);
const IColor kLabelDim(107, 250, 250, 250);
const IColor kConfirm(255, 255, 157, 46);
const IColor kHoverFill(20, 250, 250, 250);

PresetBarControl::Style barStyle() {
  PresetBarControl::Style s;
  s.buttonFill = IColor(255, 20, 20, 20);
  s.buttonFrame = IColor(77, 250, 250, 250);
  s.label = kLabel;
  s.labelDim = kLabelDim;
  s.hoverFill = kHoverFill;
  s.confirm = kConfirm;
  s.labelText = entryStyle(style("Roboto-Regular", 11, kLabel));
  s.barFill = IColor(255, 17, 17, 17);
  s.barLine = IColor(26, 250, 250, 250);
  return s;
}

class PresetBar : public PanelTest {
protected:
  PresetBarControl* make(bool withMenu = true) {
    PresetHooks hooks;
    hooks.names = [this] {
      ++nameCalls;
      return names;
    };
    hooks.current = [this] { return current; };
    hooks.load = [this](const std::string& n) {
      calls.push_back("load " + n);
      current = n;
    };
    hooks.save = [this](const std::string& n) { calls.push_back("save " + n); };
    hooks.remove = [this](const std::string& n) { calls.push_back("remove " + n); };
    hooks.modified = [this] { return modified; };
    std::function<void(const IRECT&)> menu;
    if (withMenu) menu = [this](const IRECT& r) { menus.push_back(r); };
    return attach(new PresetBarControl(IRECT(0, 0, 640, 32), barStyle(), std::move(hooks), std::move(menu)));
  }
  // The centre of a region.
  std::pair<float, float> at(PresetBarControl& bar, Region r) const {
    const IRECT rect = bar.region(r);
    return {rect.CentreX(), rect.CentreY()};
  }
  void press(PresetBarControl& bar, Region r) {
    const auto [x, y] = at(bar, r);
    EventDriver mouse(*g);
    mouse.click(x, y);
  }
  bool drewTextIn(const std::string& text, const IColor& colour) const {
    for (const sp::test::DrawOp& op : texts())
      if (op.text == text && op.textStyle.color == colour) return true;
    return false;
  }

  std::vector<std::string> names;
  std::string current;
  bool modified = false;
  std::vector<std::string> calls;
  std::vector<IRECT> menus;
  int nameCalls = 0;
};

}  // namespace

TEST_F(PresetBar, RegionsOfTheRow) {
  PresetBarControl* bar = make();
  const float h = 20.48f;
  EXPECT_TRUE(rectNear(bar->region(PresetBarControl::kPrevious), IRECT(14.2656f, 5.76f, 14.2656f + h, 26.24f), 1e-3f));
  EXPECT_TRUE(rectNear(bar->region(PresetBarControl::kName), IRECT(34.7456f, 5.76f, 244.7456f, 26.24f), 1e-3f));
  EXPECT_TRUE(rectNear(bar->region(PresetBarControl::kNext), IRECT(244.7456f, 5.76f, 265.2256f, 26.24f), 1e-3f));
  EXPECT_TRUE(rectNear(bar->region(PresetBarControl::kSave), IRECT(275.4656f, 5.76f, 345.0976f, 26.24f), 1e-3f));
  EXPECT_TRUE(rectNear(bar->region(PresetBarControl::kSaveAs), IRECT(348.3744f, 5.76f, 418.0064f, 26.24f), 1e-3f));
  EXPECT_TRUE(rectNear(bar->region(PresetBarControl::kDelete), IRECT(421.2832f, 5.76f, 490.9152f, 26.24f), 1e-3f));
  EXPECT_TRUE(rectNear(bar->region(PresetBarControl::kMenu), IRECT(605.0496f, 5.76f, 625.5296f, 26.24f), 1e-3f));
  // Edges: left and top inside, right and bottom outside; the gaps belong to no region.
  EXPECT_EQ(bar->regionAt(275.4656f, 5.76f), PresetBarControl::kSave);
  EXPECT_EQ(bar->regionAt(345.0976f, 16), PresetBarControl::kNone);
  EXPECT_EQ(bar->regionAt(300, 26.24f), PresetBarControl::kNone);
  EXPECT_EQ(bar->regionAt(270, 16), PresetBarControl::kNone);

  PresetBarControl* plain = make(false);
  EXPECT_TRUE(plain->region(PresetBarControl::kMenu).IsEmpty());
  EXPECT_EQ(plain->regionAt(615, 16), PresetBarControl::kNone);
  EXPECT_TRUE(rectNear(plain->region(PresetBarControl::kSave), bar->region(PresetBarControl::kSave), 1e-3f));
}

TEST_F(PresetBar, StepsWrapAndStartFromTheEndsForANameNotInTheList) {
  PresetBarControl* bar = make();
  names = {"A", "B", "C"};
  struct Case {
    std::string from;
    Region region;
    std::string loaded;
  } cases[] = {{"B", PresetBarControl::kNext, "C"},     {"C", PresetBarControl::kNext, "A"},
               {"A", PresetBarControl::kPrevious, "C"}, {"X", PresetBarControl::kNext, "A"},
               {"X", PresetBarControl::kPrevious, "C"}, {"", PresetBarControl::kNext, "A"}};
  for (const Case& c : cases) {
    current = c.from;
    calls.clear();
    press(*bar, c.region);
    EXPECT_EQ(calls, (std::vector<std::string>{"load " + c.loaded})) << c.from;
  }
  names.clear();
  calls.clear();
  press(*bar, PresetBarControl::kNext);
  press(*bar, PresetBarControl::kPrevious);
  press(*bar, PresetBarControl::kName);
  platform.queue.drain();
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(platform.menus.empty());
}

TEST_F(PresetBar, TheNameBoxOpensTheListWithTheCurrentCheckedAndLoadsTheChoice) {
  PresetBarControl* bar = make();
  names = {"A", "B", "C"};
  current = "B";
  platform.chooseMenuItem({2});
  press(*bar, PresetBarControl::kName);
  platform.queue.drain();
  ASSERT_EQ(platform.menus.size(), 1u);
  EXPECT_TRUE(rectNear(platform.menus[0].bounds, bar->region(PresetBarControl::kName)));
  ASSERT_EQ(platform.menus[0].menu.items.size(), 3u);
  EXPECT_EQ(platform.menus[0].menu.items[1].flags, IPopupMenu::Item::kChecked);
  EXPECT_EQ(platform.menus[0].menu.items[0].flags, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"load C"}));
  // Opened again: each name once.
  platform.dismissMenu();
  press(*bar, PresetBarControl::kName);
  platform.queue.drain();
  EXPECT_EQ(platform.menus[1].menu.items.size(), 3u);
  EXPECT_EQ(calls.size(), 1u);
}

TEST_F(PresetBar, SaveNeedsACurrentPresetAndSaveAsTakesATrimmedName) {
  PresetBarControl* bar = make();
  press(*bar, PresetBarControl::kSave);
  EXPECT_TRUE(calls.empty());
  current = "Mine";
  press(*bar, PresetBarControl::kSave);
  EXPECT_EQ(calls, (std::vector<std::string>{"save Mine"}));

  calls.clear();
  platform.commitText(" \tNew \t");
  press(*bar, PresetBarControl::kSaveAs);
  platform.queue.drain();
  ASSERT_EQ(platform.textEntries.size(), 1u);
  const sp::test::ShownTextEntry& entry = platform.textEntries[0];
  EXPECT_TRUE(rectNear(entry.bounds, IRECT(29.7456f, 5.76f, 249.7456f, 26.24f), 1e-3f));
  EXPECT_EQ(entry.length, 80);
  EXPECT_EQ(entry.initial, "Mine");
  EXPECT_EQ(entry.text.size, 11.f);
  EXPECT_EQ(calls, (std::vector<std::string>{"save New"}));

  // Blanks only, or a dismissed entry: nothing.
  const int before = nameCalls;
  platform.commitText("   ");
  press(*bar, PresetBarControl::kSaveAs);
  platform.queue.drain();
  platform.dismissText();
  press(*bar, PresetBarControl::kSaveAs);
  platform.queue.drain();
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_EQ(nameCalls, before);
}

TEST_F(PresetBar, DeleteAsksOnceMoreAndIsCancelledByAnyOtherPressOrByLeaving) {
  PresetBarControl* bar = make();
  names = {"A"};
  current = "A";
  press(*bar, PresetBarControl::kDelete);
  EXPECT_EQ(bar->pendingDelete(), "A");
  draw(*bar);
  EXPECT_TRUE(drewTextIn("Sure?", kConfirm));
  press(*bar, PresetBarControl::kDelete);
  EXPECT_EQ(calls, (std::vector<std::string>{"remove A"}));
  EXPECT_EQ(bar->pendingDelete(), "");

  // Press, leave "Delete", press: asks again.
  calls.clear();
  press(*bar, PresetBarControl::kDelete);
  EventDriver mouse(*g);
  const auto [sx, sy] = at(*bar, PresetBarControl::kSaveAs);
  mouse.moveTo(sx, sy);
  EXPECT_EQ(bar->pendingDelete(), "");
  press(*bar, PresetBarControl::kDelete);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(bar->pendingDelete(), "A");
  // Any other press cancels; so does leaving the bar.
  press(*bar, PresetBarControl::kMenu);
  EXPECT_EQ(bar->pendingDelete(), "");
  press(*bar, PresetBarControl::kDelete);
  mouse.moveTo(300, 200);
  EXPECT_EQ(bar->pendingDelete(), "");
  // A change of the current name disarms it too.
  press(*bar, PresetBarControl::kDelete);
  current = "B";
  press(*bar, PresetBarControl::kDelete);
  EXPECT_TRUE(calls.empty());
  // Without a current preset "Delete" does nothing.
  current = "";
  press(*bar, PresetBarControl::kDelete);
  EXPECT_EQ(bar->pendingDelete(), "B");
  EXPECT_TRUE(calls.empty());
}

TEST_F(PresetBar, TheMenuButtonCallsTheMenuFunctionWithItsRegion) {
  PresetBarControl* bar = make();
  EventDriver mouse(*g);
  mouse.click(615, 16);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_TRUE(rectNear(menus[0], IRECT(605.0496f, 5.76f, 625.5296f, 26.24f), 1e-3f));
  EXPECT_EQ(bar->hovered(), PresetBarControl::kMenu);
}

TEST_F(PresetBar, DrawsNoPresetDimArrowsAndADisabledSaveWithoutPresets) {
  PresetBarControl* bar = make();
  draw(*bar);
  EXPECT_TRUE(drewTextIn("no preset", kLabelDim));
  EXPECT_TRUE(drewTextIn("Save", kLabelDim));
  EXPECT_TRUE(drewTextIn("Save as", kLabel));
  EXPECT_TRUE(drewTextIn("Delete", kLabelDim));
  // The bar, its line along the bottom; two dim arrows.
  const auto fills = shapes();
  ASSERT_GE(fills.size(), 2u);
  EXPECT_EQ(fills[0].colour(), IColor(255, 17, 17, 17));
  EXPECT_TRUE(rectNear(fills[1].bounds(), IRECT(0, 31, 640, 32)));
  int dimArrows = 0;
  for (const Shape& s : fills)
    if (s.fill() && s.colour() == kLabelDim && s.points().size() == 3) ++dimArrows;
  EXPECT_EQ(dimArrows, 2);
  // Hovering an arrow without presets fills nothing.
  EventDriver mouse(*g);
  const auto [px, py] = at(*bar, PresetBarControl::kPrevious);
  mouse.moveTo(px, py);
  draw(*bar);
  EXPECT_TRUE(shapesIn(kHoverFill).empty());
}

TEST_F(PresetBar, ALongNameIsCutByWholeCharactersAndKeepsItsModifiedMark) {
  PresetBarControl* bar = make();
  names = {"A"};
  current = std::string(34, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9" + std::string(30, 'x');
  modified = true;
  draw(*bar);
  // The text area is 210 - 2 x 5.76 = 198.48 wide, 5.5 per character: "*" leaves room for
  // 34 characters and "…".
  const std::string expected = std::string(34, 'x') + "\xE2\x80\xA6*";
  EXPECT_TRUE(drewTextIn(expected, kLabel));
  modified = false;
  draw(*bar);
  EXPECT_TRUE(drewTextIn(std::string(34, 'x') + "\xC3\xA9\xE2\x80\xA6", kLabel));
  current = "Short";
  draw(*bar);
  EXPECT_TRUE(drewTextIn("Short", kLabel));
}

TEST_F(PresetBar, HoverHighlightsTheBoxUnderThePointerAndTheHamburgerBars) {
  PresetBarControl* bar = make();
  names = {"A"};
  current = "A";
  EventDriver mouse(*g);
  const auto [nx, ny] = at(*bar, PresetBarControl::kNext);
  mouse.moveTo(nx, ny);
  draw(*bar);
  ASSERT_EQ(shapesIn(kHoverFill).size(), 1u);
  EXPECT_TRUE(rectNear(shapesIn(kHoverFill)[0].bounds(), bar->region(PresetBarControl::kNext)));
  mouse.moveTo(615, 16);
  draw(*bar);
  // The hover box and the three bars in the label colour.
  EXPECT_EQ(shapesIn(kHoverFill).size(), 1u);
  int bars = 0;
  for (const Shape& s : shapesIn(kLabel))
    if (s.fill() && s.bounds().L > 605 && s.bounds().R < 626) ++bars;
  EXPECT_EQ(bars, 3);
}
