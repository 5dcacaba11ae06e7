// The product's panel drawn by the NanoVG drawing class on the software renderer (the real
// plug-in, audio playing, "Correct" on): a full redraw at 640 x 400 and 1280 x 800 pixels
// (screen scale 1 and 2), and the frame of an idle tick (the live controls: spectrum,
// legend, readouts, meter, target chip and the amount captions) with and without the
// tick's own work, beside a memset of a frame of that size in the same run. The goal: a
// full redraw at 1280 x 800 within 20 memsets.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "tests/ui/nanovg_panel.h"

namespace {

constexpr int kLiveTags[] = {2, 3, 4, 5, 7};

void BM_FullRedraw(benchmark::State& state) {
  uitest::NanoVGPanel panel(static_cast<float>(state.range(0)), SP_SOURCE_DIR);
  panel.play(1.0);
  for (auto _ : state) panel.g->redrawAll();
  state.SetLabel("every control dirty, copy to the view included");
}
BENCHMARK(BM_FullRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The frame an idle tick asks for: the live controls marked dirty, as the tick marks them
// (with audio playing, every tick marks controls 3, 4, 5, 6, 25 and the six amount captions
// 10, 12, .., 20).
void BM_IdleFrame(benchmark::State& state) {
  uitest::NanoVGPanel panel(static_cast<float>(state.range(0)), SP_SOURCE_DIR);
  panel.play(1.0);
  panel.g->redrawAll();
  for (auto _ : state) {
    for (const int tag : kLiveTags) panel.g->GetControlWithTag(tag)->SetDirty(false);
    for (int i = 10; i <= 20; i += 2) panel.g->GetControl(i)->SetDirty(false);
    panel.g->tick();
  }
  state.SetLabel("tags 2, 3, 4, 5, 7 and the six captions dirty");
}
BENCHMARK(BM_IdleFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The whole 20 ms step: the audio of one tick through the plug-in, the idle tick (the
// panel's analysis included) and its frame.
void BM_IdleTickWithAudio(benchmark::State& state) {
  uitest::NanoVGPanel panel(static_cast<float>(state.range(0)), SP_SOURCE_DIR);
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
