#pragma once
// The product's own panel on the headless test canvas: a SpectraPoise instance (no worker
// thread, the user's preset and target folders emptied, a component handler that records
// the host's edits) whose editor opens with the real layout (SpectraPoise::layout) on the
// recording canvas (text measured 0.5 x size per code point). Helpers find controls by
// index and tag, run idle ticks and frames, and lay the panel out again.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <typeinfo>

#include "graphics/ICanvas.h"
#include "plugin/SpectraPoise.h"
#include "plugin/parameters.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "shims/vst3sdk/utf_convert.h"
#include "tests/support/canvas/event_driver.h"
#include "tests/support/canvas/test_canvas.h"
#include "tests/support/plugin/editor_fixture.h"
#include "tools/testhost/host_objects.h"

namespace uitest {

using namespace plugkit::canvas;
using namespace spectrapoise::plugin;

// The host names the plug-in's track (the VST3 channel context): its label becomes
// "#<index>: <name>".
inline void setTrackName(SpectraPoise& plug, const char* name, int index) {
  auto* list = new Steinberg::Vst::HostAttributeList();
  Steinberg::Vst::String128 text{};
  vst3shim::utf8ToUtf16(name, std::strlen(name), reinterpret_cast<char16_t*>(text), 128);
  list->setString(Steinberg::Vst::ChannelContext::kChannelNameKey, text);
  list->setInt(Steinberg::Vst::ChannelContext::kChannelIndexKey, index);
  EXPECT_EQ(plug.setChannelContextInfos(list), Steinberg::kResultOk);
  list->release();
}

class ProductPanelTest : public ::testing::Test {
protected:
  void SetUp() override {
    platform.fontFiles = {"Roboto-Regular.ttf", "RobotoCondensed-Bold.ttf"};
    SpectraPoise::Options options;
    options.startWorker = false;
    plug = sp::test::PlugPtr(new SpectraPoise(plugkit::InstanceInfo{}, options));
    sp::test::clearUserFolders(*plug);
    handler = new testhost::ComponentHandler();
    plug->setComponentHandler(handler);
    plug->setGraphicsMaker([this](ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale) {
      return platform.graphicsFactory(dlg, w, h, fps, scale)();
    });
    SpectraPoise* product = plug.get();
    plug->SetLayoutFunc([product, this](ICanvas* graphics) {
      beforeLayout(*graphics);
      product->layout(graphics);
    });
    beforeOpen();
    openEditor();
  }

  void TearDown() override {
    plug->setComponentHandler(nullptr);
    handler->release();
  }

  // Hooks for suites: before the editor opens, and before each layout run.
  virtual void beforeOpen() {}
  virtual void beforeLayout(ICanvas&) {}

  void openEditor() {
    ASSERT_NE(plug->OpenWindow(nullptr), nullptr);
    g = platform.canvas();
    ASSERT_NE(g, nullptr);
  }
  void closeEditor() {
    plug->CloseWindow();
    g = nullptr;
  }

  IControl* control(int idx) const { return g->GetControl(idx); }
  IControl* tagged(int tag) const { return g->GetControlWithTag(tag); }
  template <class T>
  T* as(int idx) const {
    return dynamic_cast<T*>(control(idx));
  }
  // One idle tick of the plug-in.
  void tick() { plug->OnIdle(); }
  // One frame of the view: the dirty controls drawn.
  bool frame() { return g->tick(); }
  // The parameter set as the host's controller does it (main thread), shown by the controls.
  void hostSet(int paramIdx, double value) {
    plug->GetParam(paramIdx)->Set(value);
    plug->SendParameterValueFromDelegate(paramIdx, plug->GetParam(paramIdx)->GetNormalized(), false);
  }
  double param(int paramIdx) const { return plug->GetParam(paramIdx)->Value(); }
  // Empties the context and lays the panel out again, as the accent rebuild does.
  void relayOut() {
    g->RemoveAllControls();
    plug->LayoutUI(g);
  }

  sp::test::TestPlatform platform;
  sp::test::PlugPtr plug;
  sp::test::TestCanvas* g = nullptr;
  testhost::ComponentHandler* handler = nullptr;  // records the host edits
};

}  // namespace uitest
