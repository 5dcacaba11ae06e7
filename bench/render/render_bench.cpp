// Frame time of NanoVG on the Metal back end (software GPU, synchronous): the busy scene
// (300 gradient rounded rectangles, 50 antialiased strokes, 20 lines of text) and its floor,
// one opaque fill of the whole frame, at 640 x 400 points drawn at ratio 1 and 2 (1280 x 800
// pixels). Anchor in the same run: the same NanoVG calls on NanoVG's GL back end on Mesa's
// software renderer with one thread (LP_NUM_THREADS=0); each frame is closed by reading one
// pixel back.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "render/metal/nanovg_mtl.h"
#include "shims/apple/metal/Metal.h"
#include "tests/support/render/gl_oracle.h"
#include "tools/gallery/scenes.h"

namespace {

constexpr float kPointsW = 640, kPointsH = 400;

using DrawFn = void (*)(NVGcontext*, float, float, const gallery::Assets&);

void metalFrames(benchmark::State& state, DrawFn draw) {
  const float ratio = float(state.range(0));
  const int w = int(kPointsW * ratio), h = int(kPointsH * ratio);
  mtl::MetalLayer layer;
  NVGcontext* vg = nvgCreateMTL(&layer, NVG_ANTIALIAS | NVG_STENCIL_STROKES | NVG_TRIPLE_BUFFER);
  gallery::Assets assets;
  std::string error;
  if (!vg || !gallery::loadAssets(vg, assets, &error)) {
    state.SkipWithError(error.empty() ? "no context" : error.c_str());
    return;
  }
  MVGframebuffer* fb = mvgCreateFramebuffer(vg, w, h, 0);
  unsigned char px[4];
  for (auto _ : state) {
    mvgBindFramebuffer(fb);
    nvgBeginFrame(vg, kPointsW, kPointsH, ratio);
    mvgClearWithColor(vg, nvgRGBA(0, 0, 0, 255));
    draw(vg, kPointsW, kPointsH, assets);
    nvgEndFrame(vg);
    mvgReadPixels(vg, fb->image, 0, 0, 1, 1, px);
    benchmark::DoNotOptimize(px);
  }
  mvgBindFramebuffer(nullptr);
  mvgDeleteFramebuffer(fb);
  nvgDeleteMTL(vg);
  state.SetLabel(std::to_string(w) + "x" + std::to_string(h));
}

void glFrames(benchmark::State& state, DrawFn draw) {
  static const bool oneThread = setenv("LP_NUM_THREADS", "0", 1) == 0;  // before Mesa loads
  (void)oneThread;
  const float ratio = float(state.range(0));
  const int w = int(kPointsW * ratio), h = int(kPointsH * ratio);
  std::string error;
  auto gl = sp::test::GlOracle::create(w, h, NVG_ANTIALIAS | NVG_STENCIL_STROKES, &error);
  gallery::Assets assets;
  if (!gl || !gallery::loadAssets(gl->vg(), assets, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    gl->clear(0, 0, 0, 1);
    nvgBeginFrame(gl->vg(), kPointsW, kPointsH, ratio);
    draw(gl->vg(), kPointsW, kPointsH, assets);
    nvgEndFrame(gl->vg());
    gl->finish();
  }
  state.SetLabel(std::to_string(w) + "x" + std::to_string(h) + " anchor");
}

void BM_MetalBusyScene(benchmark::State& state) { metalFrames(state, gallery::drawBusy); }
void BM_MetalPlainFill(benchmark::State& state) { metalFrames(state, gallery::drawPlainFill); }
void BM_GlAnchorBusyScene(benchmark::State& state) { glFrames(state, gallery::drawBusy); }
void BM_GlAnchorPlainFill(benchmark::State& state) { glFrames(state, gallery::drawPlainFill); }

// The argument is the pixel ratio: 1 gives 640 x 400 pixels, 2 gives 1280 x 800.
BENCHMARK(BM_MetalBusyScene)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlAnchorBusyScene)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MetalPlainFill)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlAnchorPlainFill)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
