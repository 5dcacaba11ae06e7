#pragma once
// The editor window of the test host: a window of the headless desktop (the AppKit
// stand-in, shared with the plug-ins this process loads) whose content view is the "NSView"
// parent a plug-in's editor attaches to, the desktop's script (no answers: any prompt the
// editor shows is a failure of the run), and the window's picture written as a PNG.
// Main thread only.
#include <string>
#include <vector>

#include "shims/apple/appkit/UIScript.h"

class NSWindow;

namespace testhost {

class EditorWindow {
public:
  // A window whose content is width x height points at the backing scale.
  EditorWindow(int width, int height, double backingScale);
  ~EditorWindow();
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // The window's content takes that size in points (as a host's window follows the size
  // its plug-in asks for).
  void resize(int width, int height);
  // The parent for IPlugView::attached(parent, "NSView").
  void* parent() const;
  // Whether a view sits in the window (the plug-in's, once attached).
  bool holdsAView() const;
  // The window's picture: straight RGBA rows, top first, of (points x backing scale).
  std::vector<uint8_t> picture(int& width, int& height) const;
  // Writes the picture as a PNG through a temporary file beside path (nothing is left
  // behind on failure). False with a reason.
  bool writePng(const std::string& path, std::string& error) const;
  // The prompts the editor showed that nobody answered, and answers left unused.
  const std::vector<std::string>& failures() const { return mFailures; }

private:
  NSWindow* mWindow;
  std::vector<std::string> mFailures;  // before the script, whose handler writes here
  uiscript::Script mScript;
};

}  // namespace testhost
