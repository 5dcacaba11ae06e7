#pragma once
// The settings menu: an invisible control owning the popup menu that the preset bar's menu
// button opens: the spectrum resolution, the accent colour, the window size, the update
// check switch (when the layout supplies its items) and a disabled title line naming the
// product and its version. The menu is rebuilt at every opening; a choice runs the action
// for it.
//
// Main thread only. Every action may be empty: its items then show the default check and
// choosing them does nothing. A separator or the title line chosen does nothing.
#include <array>
#include <functional>
#include <string>

#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "ui/palette.h"

namespace balance_panel {

using plugkit::canvas::IPopupMenu;

class SettingsMenuControl : public plugkit::canvas::IControl {
public:
  struct Actions {
    std::function<float()> windowScale;
    std::function<void(float)> setWindowScale;
    std::function<int()> accent;
    std::function<void(int)> setAccent;
    std::function<int()> resolution;
    std::function<void(int)> setResolution;
    std::function<void(IPopupMenu&)> addUpdateItems;  // appends its items to the menu
    std::function<void(int)> updateItem;              // the index among those items
  };

  struct Size {
    const char* label;
    float scale;
  };
  static constexpr std::array<Size, 4> kSizes{{
      {"Window 0.75x", 0.75f},
      {"Window 1x", 1.0f},
      {"Window 1.5x", 1.5f},
      {"Window 2x", 2.0f},
  }};

  // Item indexes of the sections.
  static constexpr int kFirstResolution = 0;
  static constexpr int kFirstAccent = 4;
  static constexpr int kFirstSize = 11;
  static constexpr int kFirstUpdateItem = 16;

  // Hidden, on an empty rectangle, ignoring the mouse. A null version counts as "".
  SettingsMenuControl(Actions actions, const char* version);

  // Rebuilds the menu and opens it anchored on r; the choice comes back through
  // OnPopupMenuSelection.
  void OpenAt(const IRECT& r);
  void OnPopupMenuSelection(IPopupMenu* menu, int valIdx) override;
  void Draw(ICanvas&) override {}

  const IPopupMenu& menu() const { return mMenu; }

private:
  void rebuild();

  Actions mActions;
  std::string mVersion;
  IPopupMenu mMenu;
  // How many items the update-item filler added at the last opening: only those dispatch
  // to the update action (without the filler the title line sits at their index).
  int mUpdateItems = 0;
};

}  // namespace balance_panel
