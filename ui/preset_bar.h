#pragma once
// The preset bar: the strip along the top of the panel through which the user steps
// through, picks, saves, saves under a new name and deletes presets. From left to right:
// an optional title, a previous arrow, the name box (the current preset's name with "*"
// while modified, "no preset" when none; a press opens the list), a next arrow, "Save",
// "Save as" (a name entry over the name box) and "Delete" (which reads "Sure?" and deletes
// on a second press), and, when a menu function is given, a menu button with three bars.
// A quick second press (a double click) is a press like any other.
//
// It knows nothing of files: every action goes through PresetHooks, each of which may be
// empty (an empty `names` lists nothing, an empty `current` means no current preset,
// empty actions are skipped). Main thread only; the hooks run inside the mouse, menu and
// text-entry handlers.
#include <functional>
#include <string>
#include <vector>

#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "ui/palette.h"

namespace brightloom::controls {

using plugkit::canvas::ICanvas;
using plugkit::canvas::IColor;
using plugkit::canvas::IMouseMod;
using plugkit::canvas::IPopupMenu;
using plugkit::canvas::IRECT;
using plugkit::canvas::IText;

struct PresetHooks {
  std::function<std::vector<std::string>()> names;  // in list order
  std::function<std::string()> current;             // "" when none
  std::function<void(const std::string&)> load;
  std::function<void(const std::string&)> save;
  std::function<void(const std::string&)> remove;
  std::function<bool()> modified;
};

class PresetBarControl : public plugkit::canvas::IControl {
public:
  struct Style {
    IColor buttonFill;  // name box and buttons
    IColor buttonFrame;
    IColor label;       // enabled text and arrows
    IColor labelDim;    // disabled text and arrows, and the title
    IColor hoverFill;   // over a hovered box
    IColor confirm;     // outline and text of "Sure?"
    IText labelText;
    float scale = 1.f;
    std::string title;  // drawn left of the arrows when not empty
    IColor barFill;
    IColor barLine;     // 1 unit along the bottom
    float insetLeft = 20.f;
    float insetRight = 20.f;
  };

  enum Region : int { kNone = 0, kPrevious, kName, kNext, kSave, kSaveAs, kDelete, kMenu, kRegions };

  // The name entry takes this many characters.
  static constexpr int kNameLength = 80;

  PresetBarControl(const IRECT& bounds, Style style, PresetHooks hooks, std::function<void(const IRECT&)> openMenu);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnPopupMenuSelection(IPopupMenu* menu, int valIdx) override;
  void OnTextEntryCompletion(const char* str, int valIdx) override;
  void Draw(ICanvas& g) override;

  // The rectangle of a region (empty for kNone and for the menu without a menu function).
  IRECT region(Region r) const;
  Region regionAt(float x, float y) const;
  Region hovered() const { return mHovered; }
  // The name a second press on "Delete" removes ("" when not armed).
  const std::string& pendingDelete() const { return mPendingDelete; }

private:
  struct Layout {
    float pad = 0.f;
    IRECT regions[kRegions];
  };
  Layout layout() const;
  void step(int direction);
  void openList();
  void promptForName();
  void refreshCache();
  std::string current() const { return mHooks.current ? mHooks.current() : std::string(); }
  // The name cut with "…" to width, cached while neither changes.
  const std::string& fitted(ICanvas& g, const IText& text, const std::string& name, float width);
  void drawButton(ICanvas& g, const IRECT& r, const char* text, bool hoverFill, const IColor& frame,
                  const IColor& textColour);
  void drawHamburger(ICanvas& g, const IRECT& r, bool hovered);

  Style mStyle;
  PresetHooks mHooks;
  std::function<void(const IRECT&)> mOpenMenu;
  IPopupMenu mMenu;
  std::vector<std::string> mMenuNames;  // the names of the list menu's items
  std::string mPendingDelete;
  std::vector<std::string> mNames;
  bool mCacheFilled = false;
  bool mAnyNames = false;
  std::string mFitName;
  float mFitWidth = -1.f;
  std::string mFitResult;
  Region mHovered = kNone;
};

}  // namespace brightloom::controls
