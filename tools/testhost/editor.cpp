#include "tools/testhost/editor.h"

#include "framework/FileWrite.h"
#include "shims/apple/appkit/AppKit.h"
#include "tools/gallery/Png.h"
#include "tools/testhost/audio_files.h"

namespace testhost {

EditorWindow::EditorWindow(int width, int height, double backingScale)
    : mWindow(new NSWindow(NSMakeRect(0, 0, width, height))) {
  mWindow->setBackingScaleFactor(backingScale);
  mScript.setFailureHandler([this](const std::string& message) { mFailures.push_back(message); });
  NSApp->setScript(&mScript);
}

EditorWindow::~EditorWindow() {
  // A view still in the window leaves it with the window.
  mWindow->release();
  mScript.checkAllUsed();
  if (&NSApp->script() == &mScript) NSApp->setScript(nullptr);
}

void* EditorWindow::parent() const { return mWindow->contentView(); }

bool EditorWindow::holdsAView() const { return !mWindow->contentView()->subviews().empty(); }

std::vector<uint8_t> EditorWindow::picture(int& width, int& height) const {
  // The editor's view at its own size (it sizes itself: a larger window size grows it past
  // the window), else the empty content.
  NSView* content = mWindow->contentView();
  NSView* shown = content->subviews().empty() ? content : content->subviews().front();
  NSBitmapImageRep rep = shown->bitmapImageRepForCachingDisplayInRect(shown->bounds());
  shown->cacheDisplayInRect(shown->bounds(), rep);
  width = rep.pixelsWide;
  height = rep.pixelsHigh;
  return rep.rgba;
}

bool EditorWindow::writePng(const std::string& path, std::string& error) const {
  int w = 0, h = 0;
  const std::vector<uint8_t> rgba = picture(w, h);
  const std::string png = gallery::encodePremultipliedPng(w, h, rgba);
  if (png.empty() || !plugkit::WriteThroughTemporary(path, png, [&] { return temporaryNameBeside(path); })) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace testhost
