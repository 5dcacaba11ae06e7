#pragma once
// The stock control bases and the small text controls.
//
// Three input bases fix how the mouse maps to a control's value, so the controls deriving
// from them only draw: IButtonControlBase (momentary: 1 while pressed, back to 0 when its
// click animation ends, or on release when none runs), ISwitchControlBase (each click steps
// through N states and wraps) and ISliderControlBase (drag along a track, absolute or
// relative, fine control, wheel, whole steps for stepped parameters).
//
// Four controls on ITextControl: IURLControl (a link that opens a URL), ITextToggleControl
// (a text that flips between an off and an on text), ICaptionControl (a parameter's display
// text, with a value menu or text box on click) and PlaceHolder (a layout placeholder that
// prints its own geometry and takes a name by double click).
//
// Main thread only, like every control. Nothing here fails: a value that is not finite is
// never stored, and a control without its parameter or graphics context does nothing.
#include <vector>

#include "framework/StringBuf.h"
#include "graphics/Constants.h"
#include "graphics/IControl.h"
#include "graphics/ITextControl.h"
#include "graphics/IVectorBase.h"

namespace plugkit::canvas {

// The display text of the parameter linked at value 0 (display texts allowed), followed
// by " " and its unit label when withLabel is set and the label is not empty. False, with
// out untouched, when no parameter is linked.
bool LinkedParamDisplay(const IControl& control, StringBuf& out, bool withLabel);

class IButtonControlBase : public IControl {
public:
  // The action defaults to the splash click (which animates vector controls only).
  explicit IButtonControlBase(const IRECT& bounds, ActionFunc action = SplashClickActionFunc);

  // Value 1, then the action (typically the click animation).
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // Without a click animation running, the release ends the click: value 0 and the
  // animation-end action. With one, its end does that.
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnEndAnimation() override;
};

class ISwitchControlBase : public IControl {
public:
  ISwitchControlBase(const IRECT& bounds, int paramIdx = kNoLinkedParam, ActionFunc action = SplashClickActionFunc,
                     int numStates = 2);

  // A linked parameter decides the number of states: its whole range plus one.
  void OnInit() override;
  // Steps to the next state: with 2 states 0 <-> 1; with more by 1 / (states - 1), wrapping
  // to 0 past 1. With fewer than 2 states the value stays 0.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;

  int GetNumStates() const { return mNumStates; }
  // A state outside 0..states-1 is never disabled; setting one only redraws.
  void SetAllStatesDisabled(bool disabled);
  void SetStateDisabled(int stateIdx, bool disabled);
  bool GetStateDisabled(int stateIdx) const;
  bool GetMouseDown() const { return mMouseDown; }

protected:
  void setNumStates(int numStates);

  int mNumStates;
  std::vector<bool> mDisabledStates;
  bool mMouseDown = false;
};

class ISliderControlBase : public IControl {
public:
  static constexpr double kDefaultGearing = 1.0;

  ISliderControlBase(const IRECT& bounds, int paramIdx = kNoLinkedParam, EDirection direction = EDirection::Vertical,
                     double gearing = kDefaultGearing, float handleSize = 0.f);
  ISliderControlBase(const IRECT& bounds, ActionFunc action, EDirection direction = EDirection::Vertical,
                     double gearing = kDefaultGearing, float handleSize = 0.f);

  // Target and track become the control's rectangle.
  void OnResize() override;
  // Jumps to the pointer unless the parameter is stepped, hides the cursor when asked, and
  // with the right button prompts for the value under the pointer.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  // Follows the pointer (a touch, or the cursor shown, and not stepped), else moves by the
  // drag over the track divided by the gearing (ten times finer when IsFineControl); a
  // stepped parameter receives whole steps while the drag itself adds up unstepped.
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  // 0.01 per wheel unit (0.001 fine); a stepped parameter moves by one step.
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;
  virtual bool IsFineControl(const IMouseMod& mod) const { return mod.S || mod.C; }

  EDirection GetDirection() const { return mDirection; }
  const IRECT& GetTrack() const { return mTrack; }
  float GetHandleSize() const { return mHandleSize; }
  double GetGearing() const { return mGearing; }
  bool GetHideCursorOnDrag() const { return mHideCursorOnDrag; }
  void SetHideCursorOnDrag(bool hide) { mHideCursorOnDrag = hide; }
  bool GetMouseDown() const { return mMouseDown; }

protected:
  bool mHideCursorOnDrag = true;
  EDirection mDirection;
  IRECT mTrack;
  float mHandleSize;
  double mGearing;
  bool mMouseDown = false;
  double mMouseDragValue = 0.0;
};

class IURLControl : public ITextControl {
public:
  IURLControl(const IRECT& bounds, const char* str, const char* url, const IText& text = DEFAULT_TEXT,
              const IColor& bgColor = DEFAULT_BGCOLOR, const IColor& mouseOverColor = COLOR_WHITE,
              const IColor& clickedColor = COLOR_BLUE);

  // Background, then the string underlined (1 unit) in the colour of its state: mouse-over,
  // clicked, or normal.
  void Draw(ICanvas& g) override;
  // Opens the URL and lets the pointer go: the control hears no release.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  // The text colour of the style becomes the normal colour.
  void SetText(const IText& text) override;

  const char* GetURL() const { return mURLStr.Get(); }
  bool GetClicked() const { return mClicked; }

private:
  StringBuf mURLStr;
  IColor mOriginalColor;
  IColor mMouseOverColor;
  IColor mClickedColor;
  bool mClicked = false;
};

class ITextToggleControl : public ITextControl {
public:
  ITextToggleControl(const IRECT& bounds, int paramIdx = kNoLinkedParam, const char* offText = "OFF",
                     const char* onText = "ON", const IText& text = DEFAULT_TEXT,
                     const IColor& bgColor = DEFAULT_BGCOLOR);
  ITextToggleControl(const IRECT& bounds, ActionFunc action, const char* offText = "OFF", const char* onText = "ON",
                     const IText& text = DEFAULT_TEXT, const IColor& bgColor = DEFAULT_BGCOLOR);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // Shows the on text above 0.5, else the off text.
  void SetDirty(bool triggerAction = true, int valIdx = kEveryValIdx) override;

private:
  StringBuf mOffText;
  StringBuf mOnText;
};

class ICaptionControl : public ITextControl {
public:
  ICaptionControl(const IRECT& bounds, int paramIdx, const IText& text = DEFAULT_TEXT,
                  const IColor& bgColor = DEFAULT_BGCOLOR, bool showParamLabel = true);

  // The parameter's display text (and unit label), and a menu triangle for an enum.
  void Draw(ICanvas& g) override;
  // A left or right click opens the parameter's value menu or text box over the control.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // An enum parameter gets the triangle: 0.5 x 0.33 of the text size, in a strip one text
  // size wide at the right edge (the left edge for right-aligned text).
  void OnResize() override;

  const IRECT& GetTriangleRect() const { return mTri; }

private:
  bool mShowParamLabel;
  IColor mTriangleColor = COLOR_BLACK;
  IColor mTriangleMouseOverColor = COLOR_WHITE;
  IRECT mTri;
};

class PlaceHolder : public ITextControl {
public:
  explicit PlaceHolder(const IRECT& bounds, const char* str = "Place Holder");

  // White, crossed in red, with its position, width and height, and its name.
  void Draw(ICanvas& g) override;
  // The geometry texts, with one decimal whatever the locale.
  void OnResize() override;
  // A text box over the control for a new name.
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnTextEntryCompletion(const char* str, int valIdx) override;

  const char* GetTopLeftStr() const { return mTLGCStr.Get(); }
  const char* GetWidthStr() const { return mWidthStr.Get(); }
  const char* GetHeightStr() const { return mHeightStr.Get(); }
  // The box of the name as last drawn.
  const IRECT& GetLabelBounds() const { return mCentreLabelBounds; }

private:
  // A text at (x, y) on a white box of its measured extent.
  void drawBoxedText(ICanvas& g, const IText& style, const char* str, float x, float y, const IBlend& boxBlend);

  IRECT mCentreLabelBounds;
  StringBuf mTLGCStr;
  StringBuf mWidthStr;
  StringBuf mHeightStr;
  IText mTLHCText = DEFAULT_TEXT.WithAlign(ETextHAlign::Left);
  IText mWidthText = DEFAULT_TEXT;
  IText mHeightText = DEFAULT_TEXT.WithAngle(270.f);
};

}  // namespace plugkit::canvas
