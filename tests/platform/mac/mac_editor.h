#pragma once
// An editor open on the real Mac graphics class: the graphics suites' logging delegate
// (tests/graphics/fake_delegate.h) makes an ICanvasMac through MakeGraphics, a layout puts
// recording controls on it, and the view sits at the bottom left of a host window at
// (100, 200) on a 1440 x 900 screen, 160 points wider and 200 higher than the editor. Events are scripted in view points (EventScript); prompts answer
// from the application's script, whose failures fail the test; time is a stepped run loop
// (the view's frame timer and the main queue run on it).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/mac/ICanvasMac.h"
#include "platform/mac/ICanvasTextField.h"
#include "platform/mac/ICanvasView.h"
#include "shims/apple/appkit/AppKitTesting.h"
#include "shims/apple/corefoundation/CFRunLoopTesting.h"
#include "shims/apple/corefoundation/Dispatch.h"
#include "tests/graphics/fake_delegate.h"

namespace mactest {

using namespace plugkit::canvas;
using gfxtest::FakeDelegate;
using gfxtest::Log;

// A control that records its events with their coordinates and modifiers.
class Recorder : public IControl {
public:
  using IControl::IControl;
  struct Event {
    Event() = default;
    explicit Event(std::string w, float x_ = 0, float y_ = 0, float dX_ = 0, float dY_ = 0, float d_ = 0,
                   IMouseMod mod_ = {})
        : what(std::move(w)), x(x_), y(y_), dX(dX_), dY(dY_), d(d_), mod(mod_) {}
    std::string what;
    float x = 0, y = 0, dX = 0, dY = 0, d = 0;
    IMouseMod mod;
    IKeyPress key;
  };
  std::vector<Event> events;
  int draws = 0;
  std::function<void(Recorder&, const Event&)> onEvent;
  bool takesKeys = true;

  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const Event& e : events) out.push_back(e.what);
    return out;
  }
  const Event& last(const std::string& what) const {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->what == what) return *it;
    static const Event none;
    return none;
  }

  void Draw(ICanvas&) override { ++draws; }
  void OnMouseDown(float x, float y, const IMouseMod& mod) override { note(Event("down", x, y, 0, 0, 0, mod)); }
  void OnMouseUp(float x, float y, const IMouseMod& mod) override { note(Event("up", x, y, 0, 0, 0, mod)); }
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override {
    note(Event("drag", x, y, dX, dY, 0, mod));
  }
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override { note(Event("dblclick", x, y, 0, 0, 0, mod)); }
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override { note(Event("wheel", x, y, 0, 0, d, mod)); }
  void OnMouseOver(float x, float y, const IMouseMod& mod) override {
    note(Event("over", x, y, 0, 0, 0, mod));
    IControl::OnMouseOver(x, y, mod);
  }
  void OnMouseOut() override {
    note(Event("out"));
    IControl::OnMouseOut();
  }
  bool OnKeyDown(float x, float y, const IKeyPress& key) override {
    Event e("key", x, y);
    e.key = key;
    note(e);
    return takesKeys;
  }
  void OnDrop(const char* str) override { note(Event(std::string("drop ") + str)); }
  void OnDropMultiple(const std::vector<const char*>& paths) override {
    note(Event("drops " + std::to_string(paths.size())));
  }
  void OnTextEntryCompletion(const char* str, int) override { note(Event(std::string("text ") + str)); }
  void OnPopupMenuSelection(IPopupMenu* menu, int) override {
    note(Event(menu != nullptr ? "menu " + std::to_string(menu->GetChosenItemIdx()) : std::string("menu null")));
    chosenMenu = menu;
  }
  IPopupMenu* chosenMenu = nullptr;

private:
  void note(const Event& e) {
    events.push_back(e);
    if (onEvent) onEvent(*this, e);
  }
};

class MacEditorTest : public ::testing::Test {
protected:
  // The editor's draw scale and the host window's backing scale, before SetUp opens it.
  float drawScale = 1.f;
  double windowScale = 1.0;
  std::function<void(ICanvas*)> layout;

  void SetUp() override {
    NSApp->resetForTesting();
    script.setFailureHandler([](const std::string& m) { ADD_FAILURE() << m; });
    NSApp->setScript(&script);
    host = new NSWindow(NSMakeRect(100, 200, 640 * drawScale + 160, 400 * drawScale + 200));
    host->setBackingScaleFactor(windowScale);
    dlg.logUI = true;
    dlg.SetMakeGraphicsFunc([this] { return MakeGraphics(dlg, 640, 400, 60, drawScale, "", "", "SpectraPoise"); });
    dlg.SetLayoutFunc([this](ICanvas* g) {
      left = new Recorder(IRECT(0, 0, 320, 400));
      right = new Recorder(IRECT(320, 0, 640, 400), 6);  // the integer "Level"
      g->AttachControl(left);
      g->AttachControl(right);
      if (layout) layout(g);
    });
  }
  void open() {
    ASSERT_NE(dlg.OpenWindow(host->contentView()), nullptr);
    g = static_cast<ICanvasMac*>(dlg.GetGraphics());
    view = g->GetView();
    ASSERT_NE(view, nullptr);
  }
  void TearDown() override {
    if (dlg.GetGraphics() != nullptr) dlg.CloseWindow();
    cfshim::DrainMainQueue();
    host->release();
    NSApp->setScript(nullptr);
  }
  EventScript events() const { return EventScript(view); }
  // Framework coordinates as the view's points.
  NSPoint at(float x, float y) const { return {x * g->GetDrawScale(), y * g->GetDrawScale()}; }

  cfshim::ManualRunLoop loop{1000.0};
  uiscript::Script script;
  NSWindow* host = nullptr;
  FakeDelegate dlg;
  ICanvasMac* g = nullptr;
  ICanvasView_vSpectraPoise_vst3* view = nullptr;
  Recorder* left = nullptr;
  Recorder* right = nullptr;
};

}  // namespace mactest
