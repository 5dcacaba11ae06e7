#include "shims/apple/appkit/AppKitTesting.h"

#include "shims/apple/appkit/NSWorkspace.h"

NSEvent EventScript::at(NSEventType type, NSPoint viewPoint, NSUInteger flags, NSInteger clickCount) const {
  NSEvent e;
  e.type = type;
  e.locationInWindow = mView->convertPointToView(viewPoint, nullptr);
  e.modifierFlags = flags;
  e.clickCount = clickCount;
  e.window = mView->window();
  return e;
}

bool EventScript::send(NSEvent event) const {
  NSWindow* window = mView->window();
  if (window == nullptr) return false;
  window->sendEvent(&event);
  return true;
}

bool EventScript::press(NSPoint p, NSUInteger flags, NSInteger clickCount) const {
  return send(at(NSEventTypeLeftMouseDown, p, flags, clickCount));
}
bool EventScript::release(NSPoint p, NSUInteger flags) const { return send(at(NSEventTypeLeftMouseUp, p, flags)); }
bool EventScript::rightPress(NSPoint p, NSUInteger flags, NSInteger clickCount) const {
  return send(at(NSEventTypeRightMouseDown, p, flags, clickCount));
}
bool EventScript::rightRelease(NSPoint p, NSUInteger flags) const {
  return send(at(NSEventTypeRightMouseUp, p, flags));
}
bool EventScript::drag(NSPoint p, NSUInteger flags) const { return send(at(NSEventTypeLeftMouseDragged, p, flags)); }
bool EventScript::rightDrag(NSPoint p, NSUInteger flags) const {
  return send(at(NSEventTypeRightMouseDragged, p, flags));
}
bool EventScript::move(NSPoint p, NSUInteger flags) const { return send(at(NSEventTypeMouseMoved, p, flags)); }

bool EventScript::click(NSPoint p, NSUInteger flags, NSInteger clickCount) const {
  // The release goes to the window the press went to, even when the press closed the view.
  NSWindow* window = mView->window();
  if (window == nullptr) return false;
  NSPtr<NSWindow> hold = NSPtr<NSWindow>::retain(window);
  NSEvent down = at(NSEventTypeLeftMouseDown, p, flags, clickCount);
  NSEvent up = at(NSEventTypeLeftMouseUp, p, flags, clickCount);
  window->sendEvent(&down);
  window->sendEvent(&up);
  return true;
}

bool EventScript::wheel(NSPoint p, CGFloat deltaY, NSUInteger flags) const {
  NSEvent e = at(NSEventTypeScrollWheel, p, flags);
  e.deltaY = deltaY;
  return send(e);
}

bool EventScript::keyDown(unsigned short keyCode, const std::u16string& characters, NSUInteger flags) const {
  NSEvent e = at(NSEventTypeKeyDown, {0, 0}, flags);
  e.keyCode = keyCode;
  e.charactersIgnoringModifiers = characters;
  return send(e);
}

bool EventScript::keyUp(unsigned short keyCode, const std::u16string& characters, NSUInteger flags) const {
  NSEvent e = at(NSEventTypeKeyUp, {0, 0}, flags);
  e.keyCode = keyCode;
  e.charactersIgnoringModifiers = characters;
  return send(e);
}

bool EventScript::drop(const std::vector<std::string>& paths, NSPoint p) const {
  NSWindow* window = mView->window();
  if (window == nullptr || window->contentView() == nullptr) return false;
  const NSPoint inWindow = mView->convertPointToView(p, nullptr);
  NSView* target = window->contentView()->hitTest(inWindow);
  // The deepest view under the point that takes file names.
  while (target != nullptr) {
    bool takes = false;
    for (const std::string& t : target->registeredDraggedTypes()) takes = takes || t == NSFilenamesPboardType;
    if (takes) break;
    target = target->superview();
  }
  if (target == nullptr) return false;
  NSPtr<NSView> hold = NSPtr<NSView>::retain(target);
  NSPtr<NSPasteboard> board = NSPtr<NSPasteboard>::adopt(new NSPasteboard());
  board->setPropertyList(paths, NSFilenamesPboardType);
  NSDraggingInfo info(board.get(), inWindow);
  if (target->draggingEntered(&info) == NSDragOperationNone) return false;
  return target->performDragOperation(&info);
}
