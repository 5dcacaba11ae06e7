#include "tools/testhost/editor.h"

#include "framework/FileWrite.h"
#include "shims/apple/appkit/AppKit.h"
#include "tools/png/png_file.h"
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

void EditorWindow::resize(int width, int height) { mWindow->setContentSize(NSMakeSize(width, height)); }

void* EditorWindow::parent() const { return mWindow->contentView(); }

bool EditorWindow::holdsAView() const { return !mWindow->contentView()->subviews().empty(); }

std::vector<uint8_t> EditorWindow::picture(int& width, int& height) const {
  NSView* content = mWindow->contentView();
  NSBitmapImageRep rep = content->bitmapImageRepForCachingDisplayInRect(content->bounds());
  content->cacheDisplayInRect(content->bounds(), rep);
  width = rep.pixelsWide;
  height = rep.pixelsHigh;
  return rep.rgba;
}

bool EditorWindow::writePng(const std::string& path, std::string& error) const {
  int w = 0, h = 0;
  const std::vector<uint8_t> rgba = picture(w, h);
  const std::string png = pngfile::encodePremultipliedPng(w, h, rgba);
  if (png.empty() || !plugkit::WriteThroughTemporary(path, png, [&] { return temporaryNameBeside(path); })) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace testhost
