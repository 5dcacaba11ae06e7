#pragma once
// The editor's Cocoa view: the view the host embeds. It carries the Metal layer NanoVG draws
// on, runs the frame timer that redraws dirty controls, turns Cocoa mouse, wheel, key,
// drag-and-drop and tooltip events into the graphics context's dispatch, sets the cursor,
// and hosts the native text field, popup menus and the colour panel of its graphics class.
//
// Main thread only. Lifetime: the graphics class owns one reference and tears the view
// down (detachGraphics first, so that nothing the view does afterwards reaches the graphics
// class). Every handler, the timer tick and the removal hold a reference to the view for
// their length and stop as soon as the graphics class is gone (a control may close the
// editor from inside a handler). Without a graphics class every handler does nothing.
#include <functional>
#include <string>

#include "graphics/IRECTList.h"
#include "graphics/PlatformTypes.h"
#include "graphics/Style.h"
#include "shims/apple/appkit/AppKit.h"

namespace plugkit::canvas {
class ICanvasMac;
class IPopupMenu;
struct IMouseInfo;
}  // namespace plugkit::canvas

// The Cocoa classes of the platform layer (this view, its text field, menus and formatter)
// carry the product and format in their names: Objective-C classes share one flat namespace
// in the host's process, so two plug-ins built on this framework would otherwise register the
// same class names and one would get the other's code. They stay outside C++ namespaces for
// the same reason.
class ICanvasTextField_vSpectraPoise_vst3;

class ICanvasView_vSpectraPoise_vst3 : public NSView, public NSTextFieldDelegate, public NSDraggingSource {
public:
  using ColorPickerFunc = std::function<void(const plugkit::canvas::IColor&)>;

  // initWithICanvas: sized to the editor's window, layer-backed by a Metal layer of the
  // system device, taking file drops; the frame timer runs from here on.
  explicit ICanvasView_vSpectraPoise_vst3(plugkit::canvas::ICanvasMac* graphics);

  // ---- NSView ----
  bool isFlipped() const override { return true; }
  bool isOpaque() const override { return mGraphics != nullptr; }
  bool acceptsFirstResponder() override { return true; }
  bool acceptsFirstMouse(NSEvent*) override { return true; }
  CAMetalLayer* makeBackingLayer() override;
  void viewDidMoveToWindow() override;
  void viewDidChangeBackingProperties() override;
  void viewDidChangeEffectiveAppearance() override;
  void updateTrackingAreas() override;
  // Ends a text entry; a removal by the host closes the editor through the delegate (the
  // graphics class's own teardown has detached the view first, and a nested removal does
  // nothing more).
  void removeFromSuperview() override;

  // ---- Events ----
  void mouseDown(NSEvent* event) override;
  void rightMouseDown(NSEvent* event) override;
  void mouseUp(NSEvent* event) override;
  void rightMouseUp(NSEvent* event) override;
  void mouseDragged(NSEvent* event) override;
  void rightMouseDragged(NSEvent* event) override;
  void mouseMoved(NSEvent* event) override;
  void mouseEntered(NSEvent* event) override;
  void mouseExited(NSEvent* event) override;
  void scrollWheel(NSEvent* event) override;
  void keyDown(NSEvent* event) override;
  void keyUp(NSEvent* event) override;

  // ---- Tooltips, drops, drags out ----
  void registerToolTip(const plugkit::canvas::IRECT& bounds);
  std::string stringForToolTip(NSInteger tag, NSPoint point, void* userData) override;
  NSUInteger draggingEntered(NSDraggingInfo* info) override;
  bool performDragOperation(NSDraggingInfo* info) override;
  NSUInteger draggingSourceOperationMask(NSDraggingContext context) override { return NSDragOperationCopy; }

  // ---- Frame loop ----
  void setTimer();
  void killTimer();
  // The render step: the dirty controls drawn (nothing when none is dirty). A draw that
  // throws marks every control dirty again, so a later tick draws the frame again, and
  // passes the exception on (the timer's tick swallows it).
  void render();
  void activateGLContext() {}
  void deactivateGLContext() {}
  void swapBuffers() {}

  // ---- Cursor ----
  void setMouseCursor(plugkit::canvas::ECursor cursor);

  // ---- Native menus and text entry (ICanvasMenus.cpp, ICanvasTextField.cpp) ----
  // Shows the menu (modally) over bounds: the menu chosen from with its chosen index set,
  // or null.
  plugkit::canvas::IPopupMenu* createPopupMenu(plugkit::canvas::IPopupMenu& menu, NSRect bounds);
  // Opens the text field over bounds (one at a time).
  void createTextEntry(int paramIdx, const plugkit::canvas::IText& text, const char* str, int length, NSRect bounds);
  // Commits the field's text and closes it.
  void controlTextDidEndEditing(const NSNotification& notification) override;
  // Closes the field without committing.
  void endUserInput();
  ICanvasTextField_vSpectraPoise_vst3* textField() const { return mTextFieldView.get(); }

  // ---- The colour panel ----
  // Shows the shared colour panel with the colour; each pick goes to func. False when no
  // panel could be shown.
  bool promptForColor(const plugkit::canvas::IColor& color, ColorPickerFunc func);
  // onColorPicked: from the colour panel.
  bool performAction(const SEL& sel, NSObject* sender) override;

  // The graphics class lets go of the view: nothing reaches it from here on.
  void detachGraphics() { mGraphics = nullptr; }
  plugkit::canvas::ICanvasMac* graphics() const { return mGraphics; }
  NSTimer* timer() const { return mTimer.get(); }
  NSTrackingArea* trackingArea() const { return mTrackingArea.get(); }

protected:
  ~ICanvasView_vSpectraPoise_vst3() override;

private:
  // The event's position in framework coordinates, the tablet flag of the event, then the
  // cursor lock (which updates the previous position).
  void getMouseXY(NSEvent* event, float& x, float& y);
  plugkit::canvas::IMouseInfo getMouseLeft(NSEvent* event);
  plugkit::canvas::IMouseInfo getMouseRight(NSEvent* event);
  void frameDidChange();
  void onColorPicked(NSColorPanel* panel);
  void dispatchKey(NSEvent* event, bool up);

  plugkit::canvas::ICanvasMac* mGraphics;
  bool mMouseOutDuringDrag = false;
  NSPtr<NSTimer> mTimer;
  ColorPickerFunc mColorPickerFunc;
  NSPtr<NSCursor> mMoveCursor;
  NSPtr<NSTrackingArea> mTrackingArea;
  plugkit::canvas::IRECTList mDirtyRects;
  float mPrevX = 0.f;
  float mPrevY = 0.f;
  NSPtr<ICanvasTextField_vSpectraPoise_vst3> mTextFieldView;
  uint64_t mTextEntryGeneration = 0;  // the graphics context's generation of the open field
};

// A reference held on the view for a handler's length.
using ICanvasViewRef = NSPtr<ICanvasView_vSpectraPoise_vst3>;
