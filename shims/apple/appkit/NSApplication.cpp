#include "shims/apple/appkit/NSApplication.h"

#include <dlfcn.h>

#include "shims/apple/appkit/NSPanels.h"
#include "shims/apple/appkit/NSWorkspace.h"

// The accessor a host exports so that the modules it loads share its application (the
// symbol is hidden in a plug-in module, which therefore finds the host's first).
extern "C" __attribute__((visibility("default"))) void* SPAppKitProcessApplication();

NSApplication* SPLocalApplication() {
  static NSApplication* app = new NSApplication();  // lives as long as the process
  return app;
}

extern "C" void* SPAppKitProcessApplication() { return SPLocalApplication(); }

NSApplication* NSApplication::sharedApplication() {
  static NSApplication* const app = [] {
    using Accessor = void* (*)();
    auto process = reinterpret_cast<Accessor>(dlsym(RTLD_DEFAULT, "SPAppKitProcessApplication"));
    if (process != nullptr && process != &SPAppKitProcessApplication)
      return static_cast<NSApplication*>(process());
    return SPLocalApplication();
  }();
  return app;
}

NSApplication::NSApplication() = default;

NSApplication::~NSApplication() {
  if (mPasteboard != nullptr) mPasteboard->release();
  if (mColorPanel != nullptr) mColorPanel->release();
}

NSPasteboard* NSApplication::generalPasteboard() {
  if (mPasteboard == nullptr) mPasteboard = new NSPasteboard();
  return mPasteboard;
}

NSColorPanel* NSApplication::colorPanel(bool create) {
  if (mColorPanel == nullptr && create) mColorPanel = new NSColorPanel();
  return mColorPanel;
}

void NSApplication::keyDown(NSEvent* event) {
  if (event != nullptr) unhandledKeys.push_back(*event);
}

void NSApplication::keyUp(NSEvent* event) {
  if (event != nullptr) unhandledKeys.push_back(*event);
}

void NSApplication::resetForTesting() {
  screenFrame = {{0, 0}, {1440, 900}};
  screenBackingScale = 1.0;
  mouseLocation = {};
  cursorHideCount = 0;
  mouseAssociated = true;
  cursorWarps.clear();
  privateCursorsAvailable = true;
  helpCursorShown = false;
  currentCursor = "arrowCursor";
  cursorLog.clear();
  appearanceName = NSAppearanceNameAqua;
  workspaceLog.clear();
  workspaceSucceeds = true;
  drags.clear();
  unhandledKeys.clear();
  modalDepth = 0;
  if (mPasteboard != nullptr) {
    mPasteboard->release();
    mPasteboard = nullptr;
  }
  if (mColorPanel != nullptr) {
    mColorPanel->release();
    mColorPanel = nullptr;
  }
  mScript = nullptr;
  mOwnScript.clearScript();
}

bool NSApplicationLoad() { return NSApp != nullptr; }

const double NSAppKitVersionNumber = 2299.0;

CGDirectDisplayID CGMainDisplayID() { return 1; }

CGError CGDisplayHideCursor(CGDirectDisplayID) {
  ++NSApp->cursorHideCount;
  return 0;
}

CGError CGDisplayShowCursor(CGDirectDisplayID) {
  if (NSApp->cursorHideCount > 0) --NSApp->cursorHideCount;
  return 0;
}

size_t CGDisplayPixelsHigh(CGDirectDisplayID) { return static_cast<size_t>(NSApp->screenFrame.size.height); }

CGError CGDisplayMoveCursorToPoint(CGDirectDisplayID display, CGPoint point) {
  NSApp->cursorWarps.push_back(point);
  NSApp->mouseLocation = {point.x, static_cast<CGFloat>(CGDisplayPixelsHigh(display)) - point.y};
  return 0;
}

CGError CGAssociateMouseAndMouseCursorPosition(bool connected) {
  NSApp->mouseAssociated = connected;
  return 0;
}
