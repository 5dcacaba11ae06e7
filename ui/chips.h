#pragma once
// Two small display controls of the panel.
//
// ChipControl: a pill-shaped button showing a label from a getter (cut with "…" when it
// does not fit), opening a menu that a filler fills, reporting the chosen item index to a
// pick callback, and handing the text of an entry opened over it to a text callback. A
// left press (a quick second one too) opens the menu only while no text entry is open. It
// is the target chip's role for the plug-in (it takes typed names when it has a text
// callback).
//
// LegendControl: the key above the spectrum, a right-aligned row of swatches with the
// labels "INPUT", "TARGET" and, when the extra-items function says so, "OUTPUT" and
// "CORRECTION". A row wider than the control is scaled as a whole (swatches, gaps, label
// size) to span it. It takes no mouse input.
//
// Main thread only. An empty label getter draws nothing; an empty filler or pick callback
// does nothing; an empty text callback is skipped.
#include <functional>
#include <string>

#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "plugin/panel_roles.h"
#include "ui/palette.h"

namespace balance_panel {

using plugkit::canvas::IPopupMenu;

class ChipControl : public plugkit::canvas::IControl, public spectrapoise::plugin::TargetChipRole {
public:
  using LabelGetter = std::function<std::string()>;
  using MenuFiller = std::function<void(IPopupMenu&)>;
  using PickHandler = std::function<void(ChipControl&, int)>;
  using TextHandler = std::function<void(const char*)>;

  ChipControl(const IRECT& bounds, const IText& text, const Palette& palette, LabelGetter label, MenuFiller fillMenu,
              PickHandler onPick, TextHandler onText);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnPopupMenuSelection(IPopupMenu* menu, int valIdx) override;
  void OnTextEntryCompletion(const char* str, int valIdx) override;
  void Draw(ICanvas& g) override;

  bool hasTextHandler() const override { return static_cast<bool>(mOnText); }
  const IText& chipText() const { return mChipText; }
  // The area the label is drawn in: 10 units in from the left, 22 from the right.
  IRECT labelArea() const { return IRECT(mRECT.L + 10.f, mRECT.T, mRECT.R - 22.f, mRECT.B); }

private:
  IText mChipText;
  Palette mPalette;
  LabelGetter mLabel;
  MenuFiller mFillMenu;
  PickHandler mOnPick;
  TextHandler mOnText;
  IPopupMenu mMenu;  // refilled on every opening, alive while it is shown
};

class LegendControl : public plugkit::canvas::IControl {
public:
  explicit LegendControl(const IRECT& bounds);

  void Draw(ICanvas& g) override;

  IText text;                        // the labels' style (left-aligned)
  plugkit::canvas::IColor accent;    // the target and correction swatches
  std::function<bool()> extraItems;  // true: also "OUTPUT" and "CORRECTION"
};

}  // namespace balance_panel
