#pragma once
// The panel's small parameter controls.
//
// PillToggleControl: an on/off pill bound to a switch parameter, with a dot and a label
// that may differ between the states; a press toggles it (any button that reaches it), and
// so does a quick second press.
// With inverted set it is lit while the parameter is off (the bypass pill).
//
// RingKnobControl: the stock vector knob with a full background ring under its value arc.
//
// AmountCaptionControl: the caption under a correction knob: prefix, the parameter's
// display text and a suffix from a function. A left press (or double click) opens a text
// entry holding the display text, only while no entry is open; the committed text goes to
// the typed-value sender, which makes it the host's one edit (the press itself begins
// none). A commit byte-equal to the text the entry opened with changes nothing (the
// display text is rounded: "12 s" for 12.3 s).
//
// Main thread only. They reach the plug-in only through their parameter (SetDirty) and the
// typed-value sender.
#include <functional>
#include <string>

#include "graphics/IControl.h"
#include "graphics/IVKnobControl.h"
#include "plugin/panel_roles.h"
#include "ui/palette.h"

namespace balance_panel {

class PillToggleControl : public plugkit::canvas::IControl {
public:
  PillToggleControl(const IRECT& bounds, int paramIdx, const char* offLabel, const char* onLabel, const IText& text,
                    float dotScale, const IColor& litColour, bool inverted);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void Draw(ICanvas& g) override;

  // Whether the pill shows lit for its current value.
  bool lit() const;

private:
  IColor mFill{255, 20, 20, 20};
  IColor mOutline{56, 250, 250, 250};
  IColor mOutlineLit{107, 250, 250, 250};
  IColor mDotLit;
  IColor mDot{56, 250, 250, 250};
  std::string mOffLabel;
  std::string mOnLabel;
  IText mLabelText;
  float mDotScale;
  bool mInverted;
};

class RingKnobControl : public plugkit::canvas::IVKnobControl {
public:
  using IVKnobControl::IVKnobControl;

  // The ring from the start to the end angle, then the value arc over it; neither for a
  // track size or radius of 0 or less.
  void DrawIndicatorTrack(ICanvas& g, float angle, float cx, float cy, float radius) override;

  IColor ringColour{36, 250, 250, 250};  // set by the layout right after construction
};

class AmountCaptionControl : public plugkit::canvas::IControl, public spectrapoise::plugin::AmountCaptionRole {
public:
  // Characters the entry takes.
  static constexpr int kEntryLength = 16;

  AmountCaptionControl(const IRECT& bounds, int paramIdx);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnTextEntryCompletion(const char* str, int valIdx) override;
  void Draw(ICanvas& g) override;

  // The parameter's display text of its current value ("" without a parameter).
  std::string displayText() const;

  IText captionText;
  IText entryText;                      // the entry's style, and the caption's colour under the mouse
  std::function<std::string()> suffix;  // may be empty
  std::string prefix;

private:
  std::string mEntryStart;  // the text the open entry started with
  bool mEntryOpen = false;
  unsigned mCompletions = 0;
};

}  // namespace balance_panel
