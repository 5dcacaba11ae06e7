#pragma once
// The run command's editor: the plug-in's editor view opened in a window of the headless
// desktop (backing scale 1, following the sizes the editor asks for) whose frame offers
// the run's loop, so the plug-in's idle work
// and the editor's frames turn with it; scripted interactions (clicks, drags, menu choices,
// typed text) at points of the panel; and the editor's picture at backing scale 1 and 2
// written as PNG files. Main thread only.
#include <functional>
#include <string>
#include <vector>

#include "tools/testhost/editor.h"

namespace Steinberg {
class IPlugView;
}

namespace plugkit::canvas {
class ICanvas;
}

class NSView;

namespace testhost {
class PlugFrame;
class RunLoop;
}  // namespace testhost

namespace runplugin {

// One scripted interaction. Points are in the panel's base units (640 x 400), scaled to the
// window as it is when the step runs.
struct UiStep {
  enum Kind { Click, Drag, Choose, Type } kind = Click;
  float x = 0.f, y = 0.f;    // Click, and the start of a Drag
  float x2 = 0.f, y2 = 0.f;  // the end of a Drag
  int item = 0;              // Choose: the item of the next menu shown
  std::string text;          // Type: the text committed in the next text entry
};

// Parses "X,Y" (Click) or "X1,Y1,X2,Y2" (Drag): numbers in the C locale. False for
// anything else.
bool parsePoints(const std::string& text, UiStep& step);

class EditorSession {
public:
  // The plug-in's graphics context while its editor is open (null when closed).
  using GraphicsGetter = std::function<plugkit::canvas::ICanvas*()>;

  // Takes over the view (one reference); the loop must outlive the session.
  EditorSession(Steinberg::IPlugView* view, testhost::RunLoop& loop, GraphicsGetter graphics);
  // Closes the editor when it is still open.
  ~EditorSession();
  EditorSession(const EditorSession&) = delete;
  EditorSession& operator=(const EditorSession&) = delete;

  // Attaches the view to a 640 x 400 window at backing scale 1. False with a reason (also
  // when the editor could make no drawing context: it would draw nothing).
  bool open(std::string& error);
  // Runs the steps in order, each followed by two turns of the loop (menus and entries
  // answer on the next turn). Answers (Choose, Type) are given before the events that need
  // them. False with a reason when the editor showed a prompt nobody answered.
  bool play(const std::vector<UiStep>& steps, std::string& error);
  // Two turns of the loop, then the window's picture at backing scale 1 written to atOne,
  // the window brought to backing scale 2, two more turns, and its picture written to
  // atTwo (each through a temporary file). False with a reason; then neither file is left.
  bool writePictures(const std::string& atOne, const std::string& atTwo, std::string& error);
  // The prompts the editor showed that nobody answered, so far; with checkUnused also the
  // scripted answers no prompt took (which are then dropped).
  std::vector<std::string> failures(bool checkUnused = false);
  void close();

  // The window the editor sits in, and the editor's own view (null when none is open).
  const testhost::EditorWindow& window() const { return mWindow; }
  NSView* view() const;

private:
  Steinberg::IPlugView* mView;
  testhost::RunLoop& mLoop;
  GraphicsGetter mGraphics;
  testhost::PlugFrame* mFrame = nullptr;
  testhost::EditorWindow mWindow;
  bool mAttached = false;
};

}  // namespace runplugin
