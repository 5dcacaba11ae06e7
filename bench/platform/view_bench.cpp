// The editor view's frame tick on the open product editor (640 x 400 at screen scale 2, a
// 1280 x 800 drawable): an idle tick (nothing dirty) and a full redraw (every control
// dirty, drawn through NanoVG and the software Metal renderer), each beside a memset of the
// 1280 x 800 RGBA frame in the same run. Goals: idle well under 100 us; a full redraw
// within 20 memsets.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/mac/ICanvasMac.h"
#include "platform/mac/ICanvasView.h"
#include "plugin/SpectraPoise.h"

namespace {

using plugkit::canvas::ICanvas;
using plugkit::canvas::ICanvasEditorDelegate;

// Instances start an update check: keep it off the user's folders and off the network.
const bool kScratch = [] {
  char folder[] = "/tmp/sp-view-bench-XXXXXX";
  const char* made = mkdtemp(folder);
  const std::filesystem::path root = made != nullptr ? made : "/tmp";
  setenv("BRIGHTLOOM_DATA_DIR", (root / "data").c_str(), 1);
  setenv("XDG_DATA_HOME", (root / "xdg").c_str(), 1);
  setenv("BRIGHTLOOM_UPDATES_URL", "https://127.0.0.1:9/updates.json", 1);
  return true;
}();

// The product's editor, composed as the module composes it, open in a window of the
// headless desktop at backing scale 2.
struct OpenEditor {
  NSWindow* window = new NSWindow(NSMakeRect(0, 0, 640, 400));
  SpectraPoise* plug;
  plugkit::canvas::ICanvasMac* graphics = nullptr;
  ICanvasView_vSpectraPoise_vst3* view = nullptr;
  bool backgroundOnly = false;

  OpenEditor() {
    window->setBackingScaleFactor(2.0);
    SpectraPoise::Options options;
    options.startWorker = false;
    plug = new SpectraPoise(plugkit::InstanceInfo{}, options);
    SpectraPoise* product = plug;
    plug->SetLayoutFunc([product](ICanvas* g) { product->layout(g); });
    plug->setGraphicsMaker([product](ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale) {
      return plugkit::canvas::MakeGraphics(dlg, w, h, fps, scale, product->GetBundleID(), product->GetAppGroupID(),
                                           "SpectraPoise");
    });
    plug->OpenWindow(window->contentView());
    graphics = static_cast<plugkit::canvas::ICanvasMac*>(plug->GetGraphics());
    view = graphics->GetView();
    // A panel without controls yet still redraws its whole surface.
    if (graphics->NControls() == 0) {
      graphics->AttachPanelBackground(plugkit::canvas::IPattern(plugkit::canvas::IColor(255, 30, 30, 34)));
      backgroundOnly = true;
    }
    view->render();
  }
  ~OpenEditor() {
    plug->CloseWindow();
    plug->release();
    window->release();
  }
};

void BM_ViewTickIdle(benchmark::State& state) {
  OpenEditor editor;
  for (auto _ : state) editor.view->render();
  state.SetLabel(editor.backgroundOnly ? "background only" : "product panel");
}
BENCHMARK(BM_ViewTickIdle)->Unit(benchmark::kMicrosecond);

void BM_ViewTickFullRedraw(benchmark::State& state) {
  OpenEditor editor;
  for (auto _ : state) {
    editor.graphics->SetAllControlsDirty();
    editor.view->render();
  }
  state.SetLabel(editor.backgroundOnly ? "background only" : "product panel");
}
BENCHMARK(BM_ViewTickFullRedraw)->Unit(benchmark::kMicrosecond);

// The anchor: clearing the 1280 x 800 RGBA frame once.
void BM_MemsetFrame1280x800(benchmark::State& state) {
  std::vector<unsigned char> frame(1280 * 800 * 4);
  int value = 0;
  for (auto _ : state) {
    std::memset(frame.data(), value++ & 0xFF, frame.size());
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemsetFrame1280x800)->Unit(benchmark::kMicrosecond);

}  // namespace
