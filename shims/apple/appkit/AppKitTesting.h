#pragma once
// Scripted events for the AppKit stand-in: a script says where in a view's own points a
// pointer event happens (y down in a flipped view) and the window it goes to computes the
// location AppKit reports; keys carry Mac key codes, characters and modifier flags; drops
// offer file paths. Tests and the test host drive views through it. Main thread only.
#include <string>
#include <vector>

#include "shims/apple/appkit/NSView.h"

class EventScript {
public:
  // Events for view, delivered through its window (the view must be in one).
  explicit EventScript(NSView* view) : mView(view) {}

  // An event at a point of the view (its own coordinates), not yet sent.
  NSEvent at(NSEventType type, NSPoint viewPoint, NSUInteger flags = 0, NSInteger clickCount = 1) const;
  // Sends one event; false when the view is not in a window.
  bool send(NSEvent event) const;

  bool press(NSPoint p, NSUInteger flags = 0, NSInteger clickCount = 1) const;
  bool release(NSPoint p, NSUInteger flags = 0) const;
  bool rightPress(NSPoint p, NSUInteger flags = 0, NSInteger clickCount = 1) const;
  bool rightRelease(NSPoint p, NSUInteger flags = 0) const;
  bool drag(NSPoint p, NSUInteger flags = 0) const;
  bool rightDrag(NSPoint p, NSUInteger flags = 0) const;
  bool move(NSPoint p, NSUInteger flags = 0) const;
  // A press and a release at the same point.
  bool click(NSPoint p, NSUInteger flags = 0, NSInteger clickCount = 1) const;
  bool wheel(NSPoint p, CGFloat deltaY, NSUInteger flags = 0) const;
  bool keyDown(unsigned short keyCode, const std::u16string& characters, NSUInteger flags = 0) const;
  bool keyUp(unsigned short keyCode, const std::u16string& characters, NSUInteger flags = 0) const;
  // Files dragged over the view and dropped at a point: draggingEntered, then, when it
  // accepts, performDragOperation. Answers what performDragOperation answered.
  bool drop(const std::vector<std::string>& paths, NSPoint p) const;

private:
  NSView* mView;
};
