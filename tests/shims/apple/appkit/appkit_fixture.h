#pragma once
// A fresh desktop per test: the application reset, a script whose failures are collected,
// a window on the screen, and a flipped view that records the events it receives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shims/apple/appkit/AppKit.h"
#include "shims/apple/appkit/AppKitTesting.h"
#include "shims/apple/corefoundation/Dispatch.h"

namespace appkittest {

class RecordingView : public NSView {
public:
  using NSView::NSView;
  bool isFlipped() const override { return true; }
  bool acceptsFirstResponder() override { return acceptsFocus; }
  void mouseDown(NSEvent* e) override { note("down", e); }
  void mouseUp(NSEvent* e) override { note("up", e); }
  void mouseDragged(NSEvent* e) override { note("drag", e); }
  void rightMouseDown(NSEvent* e) override { note("rdown", e); }
  void mouseMoved(NSEvent* e) override { note("move", e); }
  void mouseEntered(NSEvent* e) override { note("entered", e); }
  void mouseExited(NSEvent* e) override { note("exited", e); }
  void scrollWheel(NSEvent* e) override { note("wheel", e); }
  void keyDown(NSEvent* e) override {
    note("key", e);
    if (!takesKeys) NSView::keyDown(e);
  }
  void viewDidMoveToWindow() override { log.push_back(window() != nullptr ? "joined" : "left"); }
  void viewDidChangeBackingProperties() override { log.push_back("backing"); }
  std::string stringForToolTip(NSInteger tag, NSPoint, void*) override { return "tip " + std::to_string(tag); }
  NSUInteger draggingEntered(NSDraggingInfo*) override { return NSDragOperationGeneric; }
  bool performDragOperation(NSDraggingInfo* info) override {
    const auto files = info->draggingPasteboard()->propertyListForType(NSFilenamesPboardType);
    log.push_back("drop " + std::to_string(files ? files->size() : 0));
    return true;
  }

  std::vector<std::string> log;
  std::vector<NSEvent> events;
  bool acceptsFocus = true;
  bool takesKeys = true;
  std::function<void(const std::string&)> onEvent;

private:
  void note(const std::string& what, NSEvent* e) {
    log.push_back(what);
    events.push_back(*e);
    if (onEvent) onEvent(what);
  }
};

class DesktopTest : public ::testing::Test {
protected:
  void SetUp() override {
    NSApp->resetForTesting();
    script.setFailureHandler([this](const std::string& m) { failures.push_back(m); });
    NSApp->setScript(&script);
    window = new NSWindow(NSMakeRect(100, 200, 640, 400));
  }
  void TearDown() override {
    cfshim::DrainMainQueue();
    if (window != nullptr) window->release();
    script.clearScript();
    NSApp->setScript(nullptr);
  }

  uiscript::Script script;
  std::vector<std::string> failures;
  NSWindow* window = nullptr;
};

}  // namespace appkittest
