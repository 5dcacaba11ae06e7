#include "ui/settings_menu.h"

#include <cmath>

#include "graphics/ICanvas.h"

namespace balance_panel {

namespace {

constexpr const char* kResolutions[3] = {"Resolution: fine (1/3 octave)", "Resolution: medium (1/2 octave)",
                                         "Resolution: smooth (1 octave)"};
constexpr const char* kAccentNames[6] = {"Green", "Red", "Orange", "Blue", "Purple", "DAW color"};

int checkedIf(bool on) { return on ? IPopupMenu::Item::kChecked : IPopupMenu::Item::kNoFlags; }

}  // namespace

SettingsMenuControl::SettingsMenuControl(Actions actions, const char* version)
    : IControl(IRECT()), mActions(std::move(actions)), mVersion(version != nullptr ? version : "") {
  SetIgnoreMouse(true);
  Hide(true);
}

void SettingsMenuControl::rebuild() {
  mMenu.Reset("");

  const int resolution = mActions.resolution ? mActions.resolution() : 0;
  for (int i = 0; i < 3; ++i) mMenu.AddItem(kResolutions[i], -1, checkedIf(resolution == i));
  mMenu.AddSeparator();

  const int accent = mActions.accent ? mActions.accent() : 0;
  for (int i = 0; i < 6; ++i) mMenu.AddItem(kAccentNames[i], -1, checkedIf(accent == i));
  mMenu.AddSeparator();

  const float scale = mActions.windowScale ? mActions.windowScale() : 1.f;
  for (const Size& size : kSizes) mMenu.AddItem(size.label, -1, checkedIf(std::fabs(scale - size.scale) < 0.02f));
  mMenu.AddSeparator();

  const int before = mMenu.NItems();
  if (mActions.addUpdateItems) mActions.addUpdateItems(mMenu);
  mUpdateItems = mMenu.NItems() - before;

  mMenu.AddItem(("SpectraPoise " + mVersion).c_str(), -1, IPopupMenu::Item::kDisabled);
}

void SettingsMenuControl::OpenAt(const IRECT& r) {
  rebuild();
  if (ICanvas* g = GetUI()) g->CreatePopupMenu(*this, mMenu, r, 0);
}

void SettingsMenuControl::OnPopupMenuSelection(IPopupMenu* menu, int) {
  if (menu == nullptr) return;
  const int i = menu->GetChosenItemIdx();
  // Separators and the title line are never choices.
  const IPopupMenu::Item* item = menu->GetItem(i);
  if (item == nullptr || item->GetIsSeparator() || !item->GetEnabled()) return;
  if (i >= kFirstResolution && i < kFirstResolution + 3) {
    if (mActions.setResolution) mActions.setResolution(i - kFirstResolution);
  } else if (i >= kFirstAccent && i < kFirstAccent + 6) {
    if (mActions.setAccent) mActions.setAccent(i - kFirstAccent);
  } else if (i >= kFirstSize && i < kFirstSize + static_cast<int>(kSizes.size())) {
    if (mActions.setWindowScale) mActions.setWindowScale(kSizes[static_cast<std::size_t>(i - kFirstSize)].scale);
  } else if (i >= kFirstUpdateItem && i < kFirstUpdateItem + mUpdateItems) {
    if (mActions.updateItem) mActions.updateItem(i - kFirstUpdateItem);
  }
}

}  // namespace balance_panel
