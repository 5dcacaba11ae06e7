// The NanoVG drawing class on the Metal renderer and the software GPU: a full redraw of a
// control-heavy 640 x 400 editor (every control dirty, the copy onto the view included) at
// screen scale 1 and 2, beside the floor of a frame with nothing dirty (the copy alone) in the
// same run; and measuring 1,000 short strings in Roboto.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "graphics/Constants.h"
#include "tests/support/nanovg/busy_panel.h"
#include "tests/support/nanovg/nanovg_canvas.h"

namespace {

using namespace plugkit::canvas;
using sp::test::NanoVGTestCanvas;

struct Editor {
  sp::test::EditorDelegate dlg;
  NanoVGTestCanvas* g = nullptr;

  explicit Editor(float screenScale) {
    dlg.SetMakeGraphicsFunc(NanoVGTestCanvas::factory(dlg, 640, 400, 1.f, screenScale));
    dlg.SetLayoutFunc(sp::test::attachBusyPanel);
    dlg.OpenWindow(nullptr);
    g = static_cast<NanoVGTestCanvas*>(dlg.GetGraphics());
    g->redrawAll();
  }
  ~Editor() { dlg.CloseWindow(); }
};

void BM_FullRedraw(benchmark::State& state) {
  Editor e(float(state.range(0)));
  for (auto _ : state) e.g->redrawAll();
  state.SetLabel("every control dirty, copy to the view included");
}
BENCHMARK(BM_FullRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The floor: a frame with nothing dirty is the copy of the main framebuffer alone.
void BM_FrameNothingDirty(benchmark::State& state) {
  Editor e(float(state.range(0)));
  for (auto _ : state) {
    e.g->BeginFrame();
    e.g->EndFrame();
  }
  state.SetLabel("floor: BeginFrame/EndFrame, the copy alone");
}
BENCHMARK(BM_FrameNothingDirty)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_MeasureText1000(benchmark::State& state) {
  Editor e(1.f);
  std::vector<std::string> strings;
  for (int i = 0; i < 1000; ++i) strings.push_back("Gain " + std::to_string(i % 97) + "." + std::to_string(i % 10) + " dB");
  const IText text(14.f);
  for (auto _ : state) {
    float total = 0.f;
    for (const std::string& s : strings) {
      IRECT r(0, 0, 200, 20);
      total += e.g->DoMeasureText(text, s.c_str(), r);
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * 1000);
  state.SetLabel("1,000 short strings per iteration");
}
BENCHMARK(BM_MeasureText1000)->Unit(benchmark::kMicrosecond);

}  // namespace
