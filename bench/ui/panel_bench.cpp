// The product's panel drawn by the NanoVG drawing class on the software renderer (the real
// plug-in, audio playing, "Correct" on): a full redraw at 640 x 400 and 1280 x 800 pixels
// (screen scale 1 and 2), and the frame of an idle tick (the live controls: spectrum,
// legend, readouts, meter, target chip and the amount captions) with and without the
// tick's own work, beside a memset of a frame of that size in the same run; and the idle
// frame at each window size of the settings menu on screens of scale 1 and 2, with its time
// per device megapixel. The goals: a full redraw at 1280 x 800 within 20 memsets, and about
// one time per megapixel across the window and screen scales.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/panel_roles.h"
#include "tests/support/plugin/nanovg_panel.h"

namespace {

using spectrapoise::plugin::kLiveTags;

void BM_FullRedraw(benchmark::State& state) {
  sp::test::NanoVGPanel panel(static_cast<float>(state.range(0)), SP_SOURCE_DIR);
  panel.play(1.0);
  for (auto _ : state) panel.g->redrawAll();
  state.SetLabel("every control dirty, copy to the view included");
}
BENCHMARK(BM_FullRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The frame an idle tick asks for: the live controls marked dirty, as the tick marks them
// (with audio playing, every tick marks controls 3, 4, 5, 6, 25 and the six amount captions
// 10, 12, .., 20). Out of line, so that an instruction count can be limited to it.
[[gnu::noinline]] void idleFrame(sp::test::NanoVGPanel& panel) {
  for (const int tag : kLiveTags) panel.g->GetControlWithTag(tag)->SetDirty(false);
  for (int i = 10; i <= 20; i += 2) panel.g->GetControl(i)->SetDirty(false);
  panel.g->tick();
}

void BM_IdleFrame(benchmark::State& state) {
  sp::test::NanoVGPanel panel(static_cast<float>(state.range(0)), SP_SOURCE_DIR);
  panel.play(1.0);
  panel.g->redrawAll();
  for (auto _ : state) idleFrame(panel);
  state.SetLabel("tags 2, 3, 4, 5, 7 and the six captions dirty");
}
BENCHMARK(BM_IdleFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The idle frame at every window scale of the settings menu on screens of scale 1 and 2:
// the cost per device pixel should not depend on the combination. Arguments: the window
// scale in hundredths, the screen scale.
void BM_IdleFrameAtScales(benchmark::State& state) {
  const float window = static_cast<float>(state.range(0)) / 100.f;
  sp::test::NanoVGPanel panel(static_cast<float>(state.range(1)), SP_SOURCE_DIR);
  panel.plug->applyEditorScale(window);
  panel.play(1.0);
  panel.g->redrawAll();
  int w = 0, h = 0;
  panel.g->drawablePixels(&w, &h);
  for (auto _ : state) idleFrame(panel);
  const double megapixels = double(w) * double(h) / 1e6;
  state.counters["Mpx"] = megapixels;
  state.counters["s/Mpx"] = benchmark::Counter(double(state.iterations()) * megapixels,
                                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel(std::to_string(w) + " x " + std::to_string(h) + " device pixels");
}
BENCHMARK(BM_IdleFrameAtScales)
    ->ArgsProduct({{75, 100, 150, 200}, {1, 2}})
    ->ArgNames({"window%", "screen"})
    ->Unit(benchmark::kMillisecond);

// The whole 20 ms step: the audio of one tick through the plug-in, the idle tick (the
// panel's analysis included) and its frame.
void BM_IdleTickWithAudio(benchmark::State& state) {
  sp::test::NanoVGPanel panel(static_cast<float>(state.range(0)), SP_SOURCE_DIR);
  panel.play(1.0);
  panel.g->redrawAll();
  for (auto _ : state) {
    panel.playPiece();
    panel.g->tick();
  }
  state.SetLabel("20 ms of audio, OnIdle, the frame");
}
BENCHMARK(BM_IdleTickWithAudio)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The anchor: clearing a frame of 640 x 400 (scale 1) or 1280 x 800 (scale 2) RGBA pixels.
void BM_MemsetFrame(benchmark::State& state) {
  const std::size_t bytes = std::size_t(640 * state.range(0)) * std::size_t(400 * state.range(0)) * 4;
  std::vector<unsigned char> frame(bytes);
  unsigned char v = 0;
  for (auto _ : state) {
    std::memset(frame.data(), ++v, frame.size());
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.SetLabel("anchor: memset of one frame");
}
BENCHMARK(BM_MemsetFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
