// SpectrumControl::Draw over 180 valid bands with live input and output and the correction
// on (target band, slow area, excursions on both sides, fast line, dashed output,
// correction area and line, three handles) on the headless canvas, which only receives the
// path commands: what the control itself costs per frame. With recording on, the canvas
// also stores every command. Anchor in the same run: a plain FillRect of the same
// rectangle on the same canvas.
#include <benchmark/benchmark.h>

#include <cmath>

#include "framework/ICanvasEditorDelegate.h"
#include "plugin/parameters.h"
#include "tests/support/canvas/test_canvas.h"
#include "ui/spectrum_control.h"

namespace {

using namespace plugkit::canvas;
using spectrapoise::dsp::SpectrumView;

class Plug : public ICanvasEditorDelegate {
public:
  Plug() : ICanvasEditorDelegate(spectrapoise::plugin::kParamCount) { spectrapoise::plugin::declareParameters(*this); }
  void OnUIOpen() override {}
};

const IRECT kBounds(22, 108, 478, 252);

struct Panel {
  Plug plug;
  sp::test::TestPlatform platform;
  sp::test::TestCanvas* g = nullptr;
  SpectrumView view;
  balance_panel::SpectrumControl* spectrum = nullptr;

  Panel() {
    plug.SetMakeGraphicsFunc(platform.graphicsFactory(plug));
    plug.OpenWindow(nullptr);
    g = platform.canvas();
    g->setRecording(false);
    // A tilted target with a varying spread; inputs that cross both edges of its band.
    for (std::size_t k = 0; k < spectrapoise::dsp::kBandCount; ++k) {
      const double t = static_cast<double>(k);
      view.target[k] = -3.0 * std::cos(t * 0.05) - t * 0.02;
      view.spread[k] = 3.0 + 2.0 * std::sin(t * 0.11);
      view.input[k] = view.target[k] + 4.0 * std::sin(t * 0.3);
      view.inputFast[k] = view.target[k] + 7.0 * std::sin(t * 0.37);
      view.output[k] = view.target[k] + std::sin(t * 0.2);
      view.response[k] = 2.0 * std::sin(t * 0.02);
      view.valid[k] = true;
    }
    view.inputLive = view.outputLive = view.correctionWanted = true;
    spectrum = new balance_panel::SpectrumControl(
        kBounds, spectrapoise::plugin::kLowCrossover, spectrapoise::plugin::kMidCrossover,
        spectrapoise::plugin::kHighCrossover, balance_panel::Palette{}, IText(9.f),
        [this]() -> const SpectrumView& { return view; });
    g->AttachControl(spectrum, 2);
  }
  ~Panel() { plug.CloseWindow(); }
};

void BM_SpectrumDraw(benchmark::State& state) {
  Panel p;
  for (auto _ : state) p.spectrum->Draw(*p.g);
}
BENCHMARK(BM_SpectrumDraw)->Unit(benchmark::kMicrosecond);

void BM_SpectrumDrawRecorded(benchmark::State& state) {
  Panel p;
  p.g->setRecording(true);
  for (auto _ : state) {
    p.g->clearDrawOps();
    p.spectrum->Draw(*p.g);
  }
  state.counters["ops"] = static_cast<double>(p.g->drawOps().size());
}
BENCHMARK(BM_SpectrumDrawRecorded)->Unit(benchmark::kMicrosecond);

void BM_FillRectSameRectangle(benchmark::State& state) {
  Panel p;
  for (auto _ : state) p.g->FillRect(IColor(255, 15, 15, 15), kBounds);
}
BENCHMARK(BM_FillRectSameRectangle)->Unit(benchmark::kMicrosecond);

}  // namespace
