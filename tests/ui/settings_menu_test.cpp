// The settings menu: its items and checks as the getters answer, the choice dispatched to
// the right action, the update items only when the filler ran, the title and separators
// never a choice, and the menu emptied before every opening.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/panel_fixture.h"
#include "ui/settings_menu.h"

using namespace uitest;
using balance_panel::SettingsMenuControl;

namespace {

const std::vector<std::string> kItems = {
    "Resolution: fine (1/3 octave)", "Resolution: medium (1/2 octave)", "Resolution: smooth (1 octave)", "",
    "Green", "Red", "Orange", "Blue", "Purple", "DAW color", "",
    "Window 0.75x", "Window 1x", "Window 1.5x", "Window 2x", "",
    "Check for updates", "", "SpectraPoise 9.8.76"};

class SettingsMenu : public PanelTest {
protected:
  SettingsMenuControl* make(bool withUpdateItems = true, bool withGetters = true) {
    SettingsMenuControl::Actions a;
    if (withGetters) {
      a.windowScale = [this] { return scale; };
      a.accent = [this] { return accent; };
      a.resolution = [this] { return resolution; };
    }
    a.setWindowScale = [this](float s) { calls.push_back("scale " + std::to_string(s)); };
    a.setAccent = [this](int i) { calls.push_back("accent " + std::to_string(i)); };
    a.setResolution = [this](int i) { calls.push_back("resolution " + std::to_string(i)); };
    if (withUpdateItems) {
      a.addUpdateItems = [](IPopupMenu& menu) {
        menu.AddItem("Check for updates", -1, IPopupMenu::Item::kChecked);
        menu.AddSeparator();
      };
    }
    a.updateItem = [this](int i) { calls.push_back("update " + std::to_string(i)); };
    return attach(new SettingsMenuControl(std::move(a), "9.8.76"));
  }
  // Opens the menu and answers nothing: the menu as shown.
  sp::test::MenuSnapshot open(SettingsMenuControl& menu) {
    platform.dismissMenu();
    menu.OpenAt(IRECT(605, 5, 625, 26));
    platform.queue.drain();
    return platform.menus.back().menu;
  }
  // The choice of an item index, as the platform hands it back.
  void choose(SettingsMenuControl& menu, int index) {
    menu.OpenAt(IRECT(605, 5, 625, 26));
    IPopupMenu& shown = const_cast<IPopupMenu&>(menu.menu());
    shown.SetChosenItemIdx(index);
    menu.OnPopupMenuSelection(&shown, 0);
  }
  std::vector<int> checked(const sp::test::MenuSnapshot& m) const {
    std::vector<int> out;
    for (std::size_t i = 0; i < m.items.size(); ++i)
      if (m.items[i].flags & IPopupMenu::Item::kChecked) out.push_back(static_cast<int>(i));
    return out;
  }

  float scale = 1.f;
  int accent = 0;
  int resolution = 2;
  std::vector<std::string> calls;
};

}  // namespace

TEST_F(SettingsMenu, IsHiddenIgnoresTheMouseAndListsItsItemsWithTheirFlags) {
  SettingsMenuControl* menu = make();
  EXPECT_TRUE(menu->IsHidden());
  EXPECT_TRUE(menu->GetIgnoreMouse());
  EXPECT_TRUE(menu->GetRECT().IsEmpty());
  const sp::test::MenuSnapshot m = open(*menu);
  ASSERT_EQ(m.items.size(), kItems.size());
  for (std::size_t i = 0; i < kItems.size(); ++i) EXPECT_EQ(m.items[i].text, kItems[i]) << i;
  for (const int sep : {3, 10, 15, 17}) EXPECT_EQ(m.items[static_cast<std::size_t>(sep)].flags, IPopupMenu::Item::kSeparator);
  EXPECT_EQ(m.items[18].flags, IPopupMenu::Item::kDisabled);
  EXPECT_EQ(checked(m), (std::vector<int>{2, 4, 12, 16}));
  EXPECT_EQ(platform.menus.back().bounds, IRECT(605, 5, 625, 26));
  // Opened again: each item once.
  EXPECT_EQ(open(*menu).items.size(), 19u);
}

TEST_F(SettingsMenu, ChecksFollowTheGetters) {
  SettingsMenuControl* menu = make();
  struct Case {
    float scale;
    int accent, resolution;
    std::vector<int> checked;
  } cases[] = {
      {1.49f, 5, 0, {0, 9, 13, 16}},  {1.47f, 7, 1, {1, 16}}, {0.7501f, -1, 3, {11, 16}},
      {2.019f, 1, 2, {2, 5, 14, 16}},
  };
  for (const Case& c : cases) {
    scale = c.scale;
    accent = c.accent;
    resolution = c.resolution;
    EXPECT_EQ(checked(open(*menu)), c.checked) << c.scale;
  }
  // Without getters: the finest resolution, green and 1x.
  SettingsMenuControl* bare = make(false, false);
  const sp::test::MenuSnapshot m = open(*bare);
  EXPECT_EQ(m.items.size(), 17u);
  EXPECT_EQ(m.items[16].text, "SpectraPoise 9.8.76");
  EXPECT_EQ(checked(m), (std::vector<int>{0, 4, 12}));
}

TEST_F(SettingsMenu, ChoicesGoToTheirActions) {
  SettingsMenuControl* menu = make();
  for (const int i : {1, 7, 13, 16, 3, 10, 15, 17, 18, -1, 19}) choose(*menu, i);
  EXPECT_EQ(calls, (std::vector<std::string>{"resolution 1", "accent 3", "scale 1.500000", "update 0"}));
  menu->OnPopupMenuSelection(nullptr, 0);  // dismissed
  EXPECT_EQ(calls.size(), 4u);
}

TEST_F(SettingsMenu, WithoutTheUpdateFillerTheTitleAtIndex16IsNoUpdateChoice) {
  SettingsMenuControl* menu = make(false);
  for (const int i : {16, 17}) choose(*menu, i);
  EXPECT_TRUE(calls.empty());
  for (const int i : {0, 9, 14}) choose(*menu, i);
  EXPECT_EQ(calls, (std::vector<std::string>{"resolution 0", "accent 5", "scale 2.000000"}));
}

TEST_F(SettingsMenu, AChoiceThroughThePlatformReachesTheAction) {
  SettingsMenuControl* menu = make();
  platform.chooseMenuItem({6});
  menu->OpenAt(IRECT(605, 5, 625, 26));
  EXPECT_TRUE(calls.empty());  // the menu opens on the next turn of the main queue
  platform.queue.drain();
  EXPECT_EQ(calls, (std::vector<std::string>{"accent 2"}));
}
