#pragma once
// What the graphics context asks of the controls it holds in slots of their own, outside
// its control list: a drawn popup menu, a drawn text entry, value bubbles and a frame-rate
// display. The stock control library provides the controls (this product attaches none);
// the context only knows them through these bases. Main thread only; nothing here fails.
#include <cstdint>

#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"

namespace plugkit::canvas {

// A popup menu drawn by the graphics context. While it is expanded it takes every click,
// hover, wheel turn and key.
class IPopupMenuControlBase : public IControl {
public:
  using IControl::IControl;

  // Shown: opening, open, or a submenu opening.
  virtual bool IsExpanded() const = 0;
  // Not yet closed: expanded, or fading out after its choice was reported.
  virtual bool IsBusy() const = 0;
  // Shows menu (which stays the caller's) for the anchor area. Called while not busy.
  virtual void CreatePopupMenu(IPopupMenu& menu, const IRECT& anchorArea) = 0;
  // Closes at once and reports nothing: panels gone, hidden, collapsed, menu forgotten.
  virtual void CloseNow() = 0;
};

// A single-line text box drawn by the graphics context. While it is editing it takes
// every click, drag and key (unless a drawn menu is expanded over it).
class ITextEntryControlBase : public IControl {
public:
  using IControl::IControl;

  virtual bool IsEditing() const = 0;
  // Opens over bounds holding str (UTF-8); the text is limited to length characters and,
  // for a parameter, to the characters its value can be typed with.
  virtual void CreateTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length, const char* str) = 0;
  // Closes without sending the text.
  virtual void DismissEdit() = 0;
};

// A bubble showing a control's value beside the pointer while the control is dragged.
class IBubbleControlBase : public IControl {
public:
  using IControl::IControl;

  virtual void ShowBubble(IControl* caller, float x, float y, const char* str, EDirection dir,
                          IRECT minimumContentBounds, uint64_t touchID) = 0;
  // The pointer whose drag the bubble shows (0 for the mouse, and once hidden).
  virtual uint64_t GetTouchID() const = 0;
  // The control is being removed: the bubble no longer refers to it.
  virtual void ForgetCaller(const IControl* control) = 0;
};

// A display of the last frame times, fed once per drawn frame.
class IFPSDisplayControlBase : public IControl {
public:
  using IControl::IControl;

  // The time since the previous frame, in seconds.
  virtual void Update(float frameTimeSeconds) = 0;
};

}  // namespace plugkit::canvas
