// The drop-shadow blur of a 1280 x 800 layer at blur 10 (scale 1): on a panel-like layer
// (an opaque rounded block in a transparent field) and on noise, and the whole
// ApplyLayerDropShadow on the headless canvas (read-back copy, blur, mask hand-over). The
// goal is one frame at 60 Hz (16.7 ms). Anchor: one copy of the layer's pixels, the floor
// of any pass over them.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"
#include "graphics/ShadowBlur.h"
#include "tests/support/canvas/test_canvas.h"

namespace {

using namespace plugkit::canvas;

constexpr int kW = 1280;
constexpr int kH = 800;
constexpr float kBlur = 10.f;

// A block with rounded corners and soft edges, 80 pixels in from every side.
std::vector<uint8_t> panelLayer() {
  std::vector<uint8_t> px(static_cast<size_t>(kW) * kH * 4, 0);
  const float l = 80, t = 80, r = kW - 80, b = kH - 80, radius = 24;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const float cx = std::fmax(l + radius, std::fmin(static_cast<float>(x), r - radius));
      const float cy = std::fmax(t + radius, std::fmin(static_cast<float>(y), b - radius));
      const float d = std::hypot(static_cast<float>(x) - cx, static_cast<float>(y) - cy) - radius;
      const float a = std::fmin(1.f, std::fmax(0.f, 0.5f - d));
      uint8_t* p = &px[(static_cast<size_t>(y) * kW + x) * 4];
      p[0] = 40;
      p[1] = 40;
      p[2] = 40;
      p[3] = static_cast<uint8_t>(std::lround(255.f * a));
    }
  return px;
}

std::vector<uint8_t> noiseLayer() {
  std::vector<uint8_t> px(static_cast<size_t>(kW) * kH * 4);
  std::mt19937 rng(1);
  for (uint8_t& v : px) v = static_cast<uint8_t>(rng() & 0xFF);
  return px;
}

void blur(benchmark::State& state, const std::vector<uint8_t>& layer) {
  const ShadowKernel kernel = MakeShadowKernel(kBlur, 1.f, kW);
  std::vector<uint8_t> px = layer;
  for (auto _ : state) {
    state.PauseTiming();
    px = layer;
    state.ResumeTiming();
    BlurShadowAlpha(px.data(), kW, kH, 3, kernel);
    benchmark::DoNotOptimize(px.data());
  }
}

void BM_BlurPanelLayer(benchmark::State& state) { blur(state, panelLayer()); }
BENCHMARK(BM_BlurPanelLayer)->Unit(benchmark::kMillisecond);

void BM_BlurNoiseLayer(benchmark::State& state) { blur(state, noiseLayer()); }
BENCHMARK(BM_BlurNoiseLayer)->Unit(benchmark::kMillisecond);

class Delegate : public ICanvasEditorDelegate {
public:
  Delegate() : ICanvasEditorDelegate(0) {}
  void OnUIOpen() override {}
};

void BM_ApplyLayerDropShadow(benchmark::State& state) {
  Delegate dlg;
  sp::test::TestPlatform platform;
  dlg.SetMakeGraphicsFunc(platform.graphicsFactory(dlg, kW, kH));
  dlg.OpenWindow(nullptr);
  ICanvas* g = platform.canvas();
  g->StartLayer(nullptr, IRECT(0, 0, kW, kH));
  OwnedLayer layer = g->EndLayer();
  static_cast<sp::test::TestBitmap*>(layer->GetAPIBitmap())->pixels = panelLayer();
  const IShadow shadow(IColor(255, 0, 0, 0), kBlur, 4.f, 4.f, 0.6f);
  for (auto _ : state) g->ApplyLayerDropShadow(layer, shadow);
  layer.reset();
  dlg.CloseWindow();
}
BENCHMARK(BM_ApplyLayerDropShadow)->Unit(benchmark::kMillisecond);

// Anchor: one copy of the layer's 4 MB.
void BM_AnchorCopyLayer(benchmark::State& state) {
  const std::vector<uint8_t> layer = panelLayer();
  std::vector<uint8_t> copy(layer.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), layer.data(), layer.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_AnchorCopyLayer)->Unit(benchmark::kMillisecond);

}  // namespace
