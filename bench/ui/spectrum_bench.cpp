// SpectrumControl::Draw over 180 valid bands with live input and output and the correction
// on (target band, slow area, excursions on both sides, fast line, dashed output,
// correction area and line, three handles).
//
// On the headless canvas, which only receives the path commands: what the control itself
// costs per frame (path building). With recording on, the canvas also stores every command.
// Anchor in the same run: a plain FillRect of the same rectangle on the same canvas.
//
// Through the real backend (the NanoVG drawing class on the Metal renderer and the software
// GPU, a 640 x 400 editor at screen scale 1 and 2): a whole frame of an editor that holds
// only the spectrum, redrawing its rectangle, beside the same frame of an editor that holds
// only a plain FillRect of that rectangle. Both frames include the copy of the window onto
// the view; the frame with nothing drawn (that copy alone) is measured beside them, so the
// drawing's own share can be read off.
#include <benchmark/benchmark.h>

#include <cmath>

#include "framework/ICanvasEditorDelegate.h"
#include "plugin/parameters.h"
#include "tests/support/canvas/test_canvas.h"
#include "tests/support/nanovg/nanovg_canvas.h"
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
const IColor kPanelFill(255, 15, 15, 15);

// A tilted target with a varying spread; inputs that cross both edges of its band.
SpectrumView busySnapshot() {
  SpectrumView view;
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
  return view;
}

// The panel's colours (green accent) and label text.
balance_panel::Palette panelPalette() {
  return {IColor(255, 250, 250, 250), IColor(107, 250, 250, 250), IColor(77, 250, 250, 250),
          IColor(18, 250, 250, 250),  IColor(255, 255, 157, 46),  IColor(255, 255, 77, 94),
          IColor(255, 21, 232, 121),  kPanelFill,                  IColor(255, 232, 21, 132)};
}

balance_panel::SpectrumControl* makeSpectrum(const SpectrumView& view) {
  return new balance_panel::SpectrumControl(
      kBounds, spectrapoise::plugin::kLowCrossover, spectrapoise::plugin::kMidCrossover,
      spectrapoise::plugin::kHighCrossover, panelPalette(),
      IText(9.f, IColor(255, 250, 250, 250), "Roboto-Regular", ETextHAlign::Centre, ETextVAlign::Middle),
      [&view]() -> const SpectrumView& { return view; });
}

// ---------------------------------------------------------------------------------------
// The headless canvas

struct Panel {
  Plug plug;
  sp::test::TestPlatform platform;
  sp::test::TestCanvas* g = nullptr;
  SpectrumView view = busySnapshot();
  balance_panel::SpectrumControl* spectrum = nullptr;

  Panel() {
    plug.SetMakeGraphicsFunc(platform.graphicsFactory(plug));
    plug.OpenWindow(nullptr);
    g = platform.canvas();
    g->setRecording(false);
    spectrum = makeSpectrum(view);
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
  for (auto _ : state) p.g->FillRect(kPanelFill, kBounds);
}
BENCHMARK(BM_FillRectSameRectangle)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------
// The NanoVG drawing class on the software GPU

// A 640 x 400 editor holding one control at the spectrum's rectangle: the spectrum itself,
// or a control that fills the rectangle with one FillRect.
struct RealEditor {
  Plug plug;
  sp::test::NanoVGTestCanvas* g = nullptr;
  SpectrumView view = busySnapshot();

  RealEditor(float screenScale, bool spectrum) {
    plug.SetMakeGraphicsFunc(sp::test::NanoVGTestCanvas::factory(plug, 640, 400, 1.f, screenScale));
    plug.SetLayoutFunc([this, spectrum](ICanvas* c) {
      c->LoadFont("Roboto-Regular", "Roboto-Regular.ttf");
      if (spectrum)
        c->AttachControl(makeSpectrum(view), 2);
      else
        c->AttachControl(new sp::test::DrawControl(kBounds, [](ICanvas& gr, const IRECT& r) { gr.FillRect(kPanelFill, r); }));
    });
    plug.OpenWindow(nullptr);
    g = static_cast<sp::test::NanoVGTestCanvas*>(plug.GetGraphics());
    g->redrawAll();
  }
  ~RealEditor() { plug.CloseWindow(); }

  // One frame redrawing the control's rectangle, the copy onto the view included.
  void frame() {
    IRECTList rects;
    rects.Add(kBounds);
    g->Draw(rects);
  }
};

void BM_SpectrumFrameNanoVG(benchmark::State& state) {
  RealEditor e(static_cast<float>(state.range(0)), true);
  for (auto _ : state) e.frame();
  state.SetLabel("the spectrum's rectangle, copy to the view included");
}
BENCHMARK(BM_SpectrumFrameNanoVG)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_FillRectFrameNanoVG(benchmark::State& state) {
  RealEditor e(static_cast<float>(state.range(0)), false);
  for (auto _ : state) e.frame();
  state.SetLabel("anchor: one FillRect of the same rectangle, copy to the view included");
}
BENCHMARK(BM_FillRectFrameNanoVG)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The floor: a frame that draws nothing is the copy of the main framebuffer alone.
void BM_EmptyFrameNanoVG(benchmark::State& state) {
  RealEditor e(static_cast<float>(state.range(0)), false);
  for (auto _ : state) {
    e.g->BeginFrame();
    e.g->EndFrame();
  }
  state.SetLabel("floor: BeginFrame/EndFrame, the copy alone");
}
BENCHMARK(BM_EmptyFrameNanoVG)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
