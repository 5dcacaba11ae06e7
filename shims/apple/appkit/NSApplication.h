#pragma once
// The process's application: what AppKit keeps once per process and what a test or host
// scripts about the desktop. The main screen (size, backing scale, the pointer, cursor
// hiding and warps of the display services), the current cursor and whether the private
// cursors exist, the appearance, the general pasteboard, what the workspace was asked to
// open or reveal, drags begun, keys no responder took, the shared colour panel, and the
// script (uiscript::Script) that answers alerts, panels, menus, text fields and colour
// picks.
//
// One application serves the whole process: a module that links this stand-in and is
// loaded by a host that links it too (and exports its application) uses the host's, as a
// plug-in uses the host's AppKit on macOS. Main thread only.
#include <string>
#include <vector>

#include "shims/apple/appkit/NSView.h"
#include "shims/apple/appkit/UIScript.h"

class NSColorPanel;
class NSPasteboard;

class NSApplication : public NSResponder {
public:
  // The process's application (made on first use).
  static NSApplication* sharedApplication();

  // ---- The main screen (screen points, origin at the bottom left) ----
  NSRect screenFrame{{0, 0}, {1440, 900}};
  double screenBackingScale = 1.0;
  NSPoint mouseLocation;
  int cursorHideCount = 0;         // display hides minus shows
  bool mouseAssociated = true;     // the pointer follows the mouse
  std::vector<NSPoint> cursorWarps;  // display points (origin at the top left)

  // ---- Cursors ----
  bool privateCursorsAvailable = true;
  bool helpCursorShown = false;
  std::string currentCursor = "arrowCursor";
  std::vector<std::string> cursorLog;  // every cursor set, in order

  // ---- Appearance ----
  std::string appearanceName = "NSAppearanceNameAqua";

  // ---- Desktop services ----
  // What the workspace was asked, in order: "open <url>", "open file <path>",
  // "select <path> in <root>"; answered with workspaceSucceeds.
  std::vector<std::string> workspaceLog;
  bool workspaceSucceeds = true;
  std::vector<NSDraggingSession> drags;
  // Keys that reached the end of the responder chain.
  std::vector<NSEvent> unhandledKeys;
  // Modal runs in progress (alerts, modal panels, menu tracking).
  int modalDepth = 0;
  // The event a window is delivering (null between events).
  NSEvent* currentEvent = nullptr;

  NSPasteboard* generalPasteboard();
  NSColorPanel* colorPanel(bool create);

  // ---- The script ----
  // The script answering prompts from now on (null: the application's own, which has no
  // answers and writes failures to standard error). The caller keeps it alive while it is
  // installed.
  void setScript(uiscript::Script* script) { mScript = script; }
  uiscript::Script& script() { return mScript != nullptr ? *mScript : mOwnScript; }

  // Keys end here.
  void keyDown(NSEvent* event) override;
  void keyUp(NSEvent* event) override;

  // A fresh desktop: the defaults above, an empty pasteboard, no colour panel, no script.
  void resetForTesting();

private:
  NSApplication();
  ~NSApplication() override;
  friend NSApplication* SPLocalApplication();

  uiscript::Script* mScript = nullptr;
  uiscript::Script mOwnScript;
  NSPasteboard* mPasteboard = nullptr;
  NSColorPanel* mColorPanel = nullptr;
};

#define NSApp (NSApplication::sharedApplication())

// Cocoa for a plug-in: the application is there. Always true.
bool NSApplicationLoad();
// AppKit's version number (a modern system's).
extern const double NSAppKitVersionNumber;

// ---- The display services of CoreGraphics (the main screen of the application) ----

typedef uint32_t CGDirectDisplayID;
typedef int32_t CGError;
CGDirectDisplayID CGMainDisplayID();
CGError CGDisplayHideCursor(CGDirectDisplayID display);
CGError CGDisplayShowCursor(CGDirectDisplayID display);
size_t CGDisplayPixelsHigh(CGDirectDisplayID display);
// Moves the pointer (display points, origin at the top left); recorded.
CGError CGDisplayMoveCursorToPoint(CGDirectDisplayID display, CGPoint point);
CGError CGAssociateMouseAndMouseCursorPosition(bool connected);
