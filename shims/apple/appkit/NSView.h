#pragma once
// The AppKit stand-in's views and windows: events (filled by a script: locations in window
// points, click counts, Cocoa modifier bits, key codes and UTF-16 characters), the
// responder chain, views in a tree with real coordinate conversions (flipped and unflipped,
// window and screen), layers (the software Metal layer), tracking areas, tooltips, drag and
// drop, cursors, and windows that deliver events as AppKit does: to the view under the
// pointer (which becomes first responder when it accepts), drags and releases to the view
// pressed, keys to the first responder, entered and exited to tracking-area owners.
//
// Cocoa's callbacks are virtual methods the stand-in calls: viewDidMoveToWindow when a view
// joins or leaves a window, a frame-change notification on setFrame / setFrameSize,
// viewDidChangeBackingProperties when the view joins a window and when the window's
// backing scale changes,
// viewDidChangeEffectiveAppearance, updateTrackingAreas. A window holds the view it
// delivers an event to for the event's length, so a view may remove itself meanwhile.
//
// Main thread only. Nothing fails loudly: messages to null objects are the caller's to
// avoid (as in Objective-C, where they do nothing).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shims/apple/appkit/AppKitTypes.h"
#include "shims/apple/metal/Metal.h"

class NSWindow;
class NSView;
class NSPasteboard;
class NSImage;
class NSAppearance;

using CAMetalLayer = mtl::MetalLayer;

// ---- Events ----

enum NSEventType : int {
  NSEventTypeLeftMouseDown = 1,
  NSEventTypeLeftMouseUp = 2,
  NSEventTypeRightMouseDown = 3,
  NSEventTypeRightMouseUp = 4,
  NSEventTypeMouseMoved = 5,
  NSEventTypeLeftMouseDragged = 6,
  NSEventTypeRightMouseDragged = 7,
  NSEventTypeMouseEntered = 8,
  NSEventTypeMouseExited = 9,
  NSEventTypeKeyDown = 10,
  NSEventTypeKeyUp = 11,
  NSEventTypeScrollWheel = 22,
};

enum : short { NSEventSubtypeMouseEvent = 0, NSEventSubtypeTabletPoint = 1 };

enum : NSUInteger {
  NSEventModifierFlagShift = 0x20000,
  NSEventModifierFlagControl = 0x40000,
  NSEventModifierFlagOption = 0x80000,
  NSEventModifierFlagCommand = 0x100000,
};

struct NSEvent {
  NSEventType type = NSEventTypeMouseMoved;
  NSPoint locationInWindow;
  NSInteger clickCount = 1;
  NSUInteger modifierFlags = 0;
  short subtype = NSEventSubtypeMouseEvent;
  CGFloat deltaY = 0;
  unsigned short keyCode = 0;
  std::u16string charactersIgnoringModifiers;
  NSWindow* window = nullptr;

  // The pointer on the main screen (screen points, origin at the bottom left).
  static NSPoint mouseLocation();
};

// ---- The responder chain ----

class NSResponder : public NSObject {
public:
  // A view's is its superview (a window's content view: the window); a window's is the
  // application, where keys nobody took end.
  virtual NSResponder* nextResponder() const { return nullptr; }
  virtual bool acceptsFirstResponder() { return false; }
  virtual bool becomeFirstResponder() { return true; }
  virtual bool resignFirstResponder() { return true; }
  // The responder as a view (null for windows and the application); no cast works across
  // modules.
  virtual NSView* asView() { return nullptr; }

  // Each passes the event on to the next responder.
  virtual void mouseDown(NSEvent* event);
  virtual void mouseUp(NSEvent* event);
  virtual void mouseDragged(NSEvent* event);
  virtual void rightMouseDown(NSEvent* event);
  virtual void rightMouseUp(NSEvent* event);
  virtual void rightMouseDragged(NSEvent* event);
  virtual void mouseMoved(NSEvent* event);
  virtual void mouseEntered(NSEvent* event);
  virtual void mouseExited(NSEvent* event);
  virtual void scrollWheel(NSEvent* event);
  virtual void keyDown(NSEvent* event);
  virtual void keyUp(NSEvent* event);
};

// ---- Tracking areas, tooltips, dragging ----

enum : NSUInteger {
  NSTrackingMouseEnteredAndExited = 0x01,
  NSTrackingMouseMoved = 0x02,
  NSTrackingActiveAlways = 0x80,
  NSTrackingEnabledDuringMouseDrag = 0x400,
};

class NSTrackingArea : public NSObject {
public:
  NSTrackingArea(NSRect rect, NSUInteger options, NSResponder* owner) : mRect(rect), mOptions(options), mOwner(owner) {}
  NSRect rect() const { return mRect; }
  NSUInteger options() const { return mOptions; }
  NSResponder* owner() const { return mOwner; }
  // Whether the pointer was inside at the window's last event.
  bool pointerInside = false;

private:
  NSRect mRect;
  NSUInteger mOptions;
  NSResponder* mOwner;
};

struct NSToolTip {
  NSInteger tag;
  NSRect rect;
  NSView* owner;
  void* userData;
};

extern const char* const NSFilenamesPboardType;
extern const char* const NSStringPboardType;
extern const char* const NSPasteboardTypeFileURL;

enum : NSUInteger { NSDragOperationNone = 0, NSDragOperationCopy = 1, NSDragOperationGeneric = 4 };
enum NSDraggingContext : int { NSDraggingContextOutsideApplication = 0, NSDraggingContextWithinApplication = 1 };
enum NSDraggingFormation : int { NSDraggingFormationDefault = 0, NSDraggingFormationNone = 1 };

// What a drop offers its destination.
class NSDraggingInfo {
public:
  NSDraggingInfo(NSPasteboard* pasteboard, NSPoint locationInWindow)
      : mPasteboard(pasteboard), mLocation(locationInWindow) {}
  NSPasteboard* draggingPasteboard() const { return mPasteboard; }
  NSPoint draggingLocation() const { return mLocation; }

private:
  NSPasteboard* mPasteboard;
  NSPoint mLocation;
};

// A dragged item: what it writes to the pasteboard (type and value), where it starts and
// its picture.
struct NSDraggingItem {
  std::string type;
  std::string value;
  NSRect frame;
  std::string imageOf;  // the file whose icon is the picture
  NSSize imageSize;
};

class NSDraggingSource {
public:
  virtual NSUInteger draggingSourceOperationMask(NSDraggingContext context) = 0;

protected:
  ~NSDraggingSource() = default;
};

// A drag the view began: recorded in the application (NSApplication::drags).
struct NSDraggingSession {
  std::vector<NSDraggingItem> items;
  NSView* view = nullptr;
  NSDraggingSource* source = nullptr;
  NSEventType eventType = NSEventTypeLeftMouseDown;
  bool animatesToStartingPositionsOnCancelOrFail = false;
  NSDraggingFormation draggingFormation = NSDraggingFormationDefault;
};

// A picture of views: RGBA rows, top first, covering rect (window points) at scale pixels
// per point.
struct NSBitmapImageRep {
  NSRect rect;
  double scale = 1.0;
  int pixelsWide = 0;
  int pixelsHigh = 0;
  std::vector<uint8_t> rgba;
};

// ---- Views ----

enum : int { NSViewLayerContentsRedrawDuringViewResize = 2 };

class NSView : public NSResponder {
public:
  explicit NSView(NSRect frame = {});

  // Geometry: the frame in the superview's coordinates; bounds start at 0, 0.
  NSRect frame() const { return mFrame; }
  NSRect bounds() const { return {{0, 0}, mFrame.size}; }
  // Both post NSViewFrameDidChangeNotification when the frame changed.
  virtual void setFrame(NSRect frame);
  virtual void setFrameSize(NSSize size);
  void setFrameOrigin(NSPoint origin);
  virtual bool isFlipped() const { return false; }
  virtual bool isOpaque() const { return false; }
  virtual bool acceptsFirstMouse(NSEvent* event) { return false; }

  // The tree. addSubview retains the view and tells it (and its subviews) when it joins a
  // window; removeFromSuperview releases it.
  NSView* superview() const { return mSuperview; }
  const std::vector<NSView*>& subviews() const { return mSubviews; }
  NSWindow* window() const { return mWindow; }
  virtual void addSubview(NSView* view);
  virtual void removeFromSuperview();
  virtual void viewDidMoveToWindow() {}
  bool isHidden() const { return mHidden; }
  virtual void setHidden(bool hidden) { mHidden = hidden; }
  NSResponder* nextResponder() const override;
  NSView* asView() override { return this; }

  // Layers: setWantsLayer(true) makes the layer with makeBackingLayer (none by default).
  void setWantsLayer(bool wants);
  bool wantsLayer() const { return mWantsLayer; }
  virtual CAMetalLayer* makeBackingLayer() { return nullptr; }
  CAMetalLayer* layer() const { return mLayer.get(); }
  void setLayerContentsRedrawPolicy(int policy) { mRedrawPolicy = policy; }
  int layerContentsRedrawPolicy() const { return mRedrawPolicy; }
  virtual void viewDidChangeBackingProperties() {}
  virtual void viewDidChangeEffectiveAppearance() {}
  // The appearance's name: the window's, else the application's.
  std::string effectiveAppearanceName() const;

  // Conversions; a null view is the window (window points, origin at the bottom left).
  NSPoint convertPointFromView(NSPoint point, const NSView* view) const;
  NSPoint convertPointToView(NSPoint point, const NSView* view) const;
  NSRect convertRectFromView(NSRect rect, const NSView* view) const;
  NSRect convertRectToView(NSRect rect, const NSView* view) const;
  // The deepest visible view at a point of the superview's coordinates (null: none).
  virtual NSView* hitTest(NSPoint pointInSuperview);

  // Tracking areas (retained).
  void addTrackingArea(NSTrackingArea* area);
  void removeTrackingArea(NSTrackingArea* area);
  const std::vector<NSTrackingArea*>& trackingAreas() const { return mTrackingAreas; }
  virtual void updateTrackingAreas() {}

  // Tooltip rectangles: the owner gives the text when it is shown.
  NSInteger addToolTipRect(NSRect rect, NSView* owner, void* userData);
  void removeAllToolTips() { mToolTips.clear(); }
  const std::vector<NSToolTip>& toolTips() const { return mToolTips; }
  // An owner's answer (view:stringForToolTip:point:userData:).
  virtual std::string stringForToolTip(NSInteger tag, NSPoint point, void* userData) { return ""; }
  // The tooltip shown at a point of this view: the owner of the last rectangle holding it
  // is asked; "" outside every rectangle.
  std::string toolTipAt(NSPoint point);

  // Drop destination.
  void registerForDraggedTypes(const std::vector<std::string>& types) { mDraggedTypes = types; }
  const std::vector<std::string>& registeredDraggedTypes() const { return mDraggedTypes; }
  virtual NSUInteger draggingEntered(NSDraggingInfo* info) { return NSDragOperationNone; }
  virtual bool performDragOperation(NSDraggingInfo* info) { return false; }
  // Drag source: recorded in the application; answers the session.
  NSDraggingSession* beginDraggingSession(const std::vector<NSDraggingItem>& items, NSEvent* event,
                                          NSDraggingSource* source);

  // Pictures of views: a rep for a rectangle of this view at the window's backing scale,
  // and the layers' pictures of this view and its visible subviews drawn into it.
  NSBitmapImageRep bitmapImageRepForCachingDisplayInRect(NSRect rect) const;
  void cacheDisplayInRect(NSRect rect, NSBitmapImageRep& rep);
  virtual void drawLayersInto(NSBitmapImageRep& rep);

  void setNeedsDisplay(bool needs) { mNeedsDisplay = needs; }
  bool needsDisplay() const { return mNeedsDisplay; }

  // The window tells a tree that joins or leaves it (calls viewDidMoveToWindow on each).
  void moveToWindow(NSWindow* window);
  // A subview leaves (called on the superview by the leaving view).
  virtual void detachSubview(NSView* view);

protected:
  ~NSView() override;

private:
  NSRect mFrame;
  NSView* mSuperview = nullptr;
  NSWindow* mWindow = nullptr;
  std::vector<NSView*> mSubviews;
  bool mHidden = false;
  bool mWantsLayer = false;
  bool mNeedsDisplay = false;
  int mRedrawPolicy = 0;
  std::unique_ptr<CAMetalLayer> mLayer;
  std::vector<NSTrackingArea*> mTrackingAreas;
  std::vector<NSToolTip> mToolTips;
  NSInteger mNextToolTipTag = 1;
  std::vector<std::string> mDraggedTypes;
};

// ---- Windows and the screen ----

class NSWindow : public NSResponder {
public:
  // A window whose content occupies rect (screen points), with an empty, unflipped content
  // view of its size.
  explicit NSWindow(NSRect contentRect);

  NSRect frame() const { return mFrame; }
  void setFrameOrigin(NSPoint origin) { mFrame.origin = origin; }
  // The content takes the size (the content view with it; its subviews keep their frames).
  void setContentSize(NSSize size);
  NSView* contentView() const { return mContentView; }
  // Retains the view, which fills the window.
  void setContentView(NSView* view);

  double backingScaleFactor() const { return mBackingScale; }
  // The screen the window is on changed its scale: every view hears
  // viewDidChangeBackingProperties.
  void setBackingScaleFactor(double scale);
  // The window's appearance ("" follows the application's).
  void setAppearanceName(const std::string& name);
  const std::string& appearanceName() const { return mAppearance; }

  NSResponder* firstResponder() const { return mFirstResponder; }
  // The current one resigns (it may refuse), the new one becomes; null makes the window
  // itself first responder.
  virtual bool makeFirstResponder(NSResponder* responder);
  void setAcceptsMouseMovedEvents(bool accepts) { mAcceptsMouseMoved = accepts; }
  bool acceptsMouseMovedEvents() const { return mAcceptsMouseMoved; }
  void makeKeyAndOrderFront() { mKey = true; }
  bool isKeyWindow() const { return mKey; }
  NSResponder* nextResponder() const override;

  NSRect convertRectFromScreen(NSRect rect) const;
  NSRect convertRectToScreen(NSRect rect) const;
  NSPoint convertPointFromScreen(NSPoint point) const;
  NSPoint convertPointToScreen(NSPoint point) const;

  // Delivers an event as AppKit does (see the top of this file); the event's window is set.
  virtual void sendEvent(NSEvent* event);
  // A view of this window leaves it: the window forgets it (and its subviews) as the
  // view pressed, the first responder (which resigns) and the pointer's tracking.
  virtual void forgetView(NSView* view);

protected:
  ~NSWindow() override;

private:
  void updateTracking(NSEvent* event, bool dragging);

  NSRect mFrame;
  NSView* mContentView = nullptr;
  double mBackingScale = 1.0;
  std::string mAppearance;
  NSResponder* mFirstResponder = nullptr;
  NSView* mPressedView = nullptr;
  bool mAcceptsMouseMoved = false;
  bool mKey = false;
};

class NSScreen {
public:
  static NSScreen* mainScreen();
  NSRect frame() const;
  double backingScaleFactor() const;
};

// ---- Appearance ----

extern const char* const NSAppearanceNameAqua;
extern const char* const NSAppearanceNameDarkAqua;

// ---- Cursors ----

class NSCursor : public NSObject {
public:
  static NSCursor* arrowCursor();
  static NSCursor* IBeamCursor();
  static NSCursor* crosshairCursor();
  static NSCursor* pointingHandCursor();
  static NSCursor* operationNotAllowedCursor();
  static NSCursor* resizeUpCursor();
  static NSCursor* resizeUpDownCursor();
  static NSCursor* resizeLeftRightCursor();
  // The class answers the public cursors' selectors always and the private ones
  // (busyButClickableCursor, _windowResize...Cursor, _helpCursor, helpCursorShown,
  // _setHelpCursor:) while the application offers them.
  static bool respondsToSelector(const SEL& sel);
  // The cursor a selector names; null when the class does not respond to it.
  static NSCursor* performSelector(const SEL& sel);
  static bool helpCursorShown();
  static void setHelpCursor(bool shown);

  // A cursor of its own (an image and a hot spot; known here by its name).
  NSCursor(std::string name, NSPoint hotSpot);
  const std::string& name() const { return mName; }
  NSPoint hotSpot() const { return mHotSpot; }
  // Makes it the current cursor (recorded by the application).
  void set();

private:
  std::string mName;
  NSPoint mHotSpot;
};

// ---- Animation groups (resizes are not animated here) ----

class NSAnimationContext {
public:
  static void beginGrouping();
  static void endGrouping();
  static NSAnimationContext* currentContext();
  void setDuration(double seconds) { mDuration = seconds; }
  double duration() const { return mDuration; }
  static int groupingDepth();

private:
  double mDuration = 0.25;
};
