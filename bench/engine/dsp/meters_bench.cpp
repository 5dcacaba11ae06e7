// Loudness and true-peak metering per stereo frame (48 kHz, double, 512-frame blocks), next
// to libebur128 on the same signal in the same run, and the worst step end with a full
// loudness histogram. "ours" runs the path chosen at load (wide where the processor has AVX2
// and FMA); "ours_baseline" and "ours_wide" run that path.
#include <benchmark/benchmark.h>
#include <ebur128.h>
#include <xmmintrin.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "engine/dsp/loudness_meter.h"
#include "engine/dsp/simd_path.h"
#include "engine/dsp/true_peak_meter.h"

namespace {

using spectrapoise::dsp::LoudnessGate;
using spectrapoise::dsp::SimdPath;
using spectrapoise::dsp::ShortTermLoudness;
using spectrapoise::dsp::TruePeak;

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr int kFrames = 48000 * 4;  // 4 s, a whole number of blocks is used

void flushDenormals() { _mm_setcsr(_mm_getcsr() | 0x8040); }

struct Buffer {
  std::vector<double> left, right, interleaved;
  Buffer() : left(kFrames), right(kFrames), interleaved(2 * kFrames) {
    std::mt19937 rng(7);
    std::normal_distribution<double> n(0.0, 0.1);
    for (int i = 0; i < kFrames; ++i) {
      left[i] = n(rng) * (1.0 + std::sin(i * 1e-4));
      right[i] = n(rng) * (1.0 + std::cos(i * 1e-4));
      interleaved[2 * i] = left[i];
      interleaved[2 * i + 1] = right[i];
    }
  }
};

const Buffer& buffer() {
  static const Buffer b;
  return b;
}

constexpr int kBlocks = kFrames / kBlock;


template <bool WithTruePeak>
void runMeters(benchmark::State& state, SimdPath path) {
  if (spectrapoise::dsp::usableSimdPath(path) != path) {
    state.SkipWithError("this processor has no AVX2 with FMA");
    return;
  }
  flushDenormals();
  const Buffer& b = buffer();
  auto loudness = std::make_unique<ShortTermLoudness>();
  auto peak = std::make_unique<TruePeak>();
  loudness->setSimdPath(path);
  peak->setSimdPath(path);
  loudness->prepare(kRate);
  peak->designFilter();
  peak->prepare(kRate);
  for (auto _ : state) {
    for (int k = 0; k < kBlocks; ++k) {
      const double* ch[2] = {b.left.data() + k * kBlock, b.right.data() + k * kBlock};
      benchmark::DoNotOptimize(loudness->process(ch, 2, kBlock));
      if (WithTruePeak) peak->process(ch, 2, kBlock);
    }
    benchmark::DoNotOptimize(loudness->integrated());
    benchmark::DoNotOptimize(peak->peakSinceReset());
  }
  state.SetItemsProcessed(state.iterations() * kBlocks * kBlock);
}

template <bool WithTruePeak>
void BM_Meters(benchmark::State& state) {
  runMeters<WithTruePeak>(state, spectrapoise::dsp::defaultSimdPath());
}

void BM_MetersOnPath(benchmark::State& state, SimdPath path) { runMeters<true>(state, path); }

void BM_Ebur128(benchmark::State& state, int mode) {
  flushDenormals();
  const Buffer& b = buffer();
  ebur128_state* st = ebur128_init(2, static_cast<unsigned long>(kRate), mode);
  for (auto _ : state) {
    for (int k = 0; k < kBlocks; ++k)
      ebur128_add_frames_double(st, b.interleaved.data() + 2 * k * kBlock, kBlock);
    double v = 0.0;
    ebur128_loudness_shortterm(st, &v);
    benchmark::DoNotOptimize(v);
  }
  double integrated = 0.0;
  ebur128_loudness_global(st, &integrated);
  benchmark::DoNotOptimize(integrated);
  ebur128_destroy(&st);
  state.SetItemsProcessed(state.iterations() * kBlocks * kBlock);
}

// Items per second are frames per second; ns per frame = 1e9 / items_per_second.
BENCHMARK_TEMPLATE(BM_Meters, false)->Name("Loudness/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Ebur128, libebur128_I_S, EBUR128_MODE_I | EBUR128_MODE_S)
    ->Name("Loudness/libebur128_I_S")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Meters, true)->Name("LoudnessTruePeak/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MetersOnPath, ours_baseline, SimdPath::baseline)
    ->Name("LoudnessTruePeak/ours_baseline")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MetersOnPath, ours_wide, SimdPath::wide)
    ->Name("LoudnessTruePeak/ours_wide")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Ebur128, libebur128_I_S_TP,
                  EBUR128_MODE_I | EBUR128_MODE_S | EBUR128_MODE_TRUE_PEAK)
    ->Name("LoudnessTruePeak/libebur128_I_S_TRUE_PEAK")
    ->Unit(benchmark::kMillisecond);

// The histogram part of a step end when all 1600 bins hold blocks: what makes the worst
// step end (the rest is 30 additions for the short-term sum).
void BM_StepEndFullHistogram(benchmark::State& state) {
  flushDenormals();
  auto gate = std::make_unique<LoudnessGate>();
  for (int b = 0; b < LoudnessGate::kBins; ++b)
    gate->addBlock(std::pow(10.0, (-70.0 + 0.05 * b + 0.025 + 0.691) / 10.0));
  int filled = 0;
  for (int b = 0; b < LoudnessGate::kBins; ++b) filled += gate->binCount(b) > 0;
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> lufs(-69.0, 9.0);
  std::vector<double> blocks(1024);
  for (double& x : blocks) x = std::pow(10.0, (lufs(rng) + 0.691) / 10.0);
  std::size_t i = 0;
  for (auto _ : state) {
    gate->addBlock(blocks[i++ & 1023]);
    benchmark::DoNotOptimize(gate->integrated());
  }
  state.counters["bins_filled"] = filled;
}
BENCHMARK(BM_StepEndFullHistogram)->Unit(benchmark::kMicrosecond);

// A whole 100 ms step at 48 kHz ending with the full histogram, for scale.
void BM_LoudnessStepFullHistogram(benchmark::State& state) {
  flushDenormals();
  auto meter = std::make_unique<ShortTermLoudness>();
  meter->prepare(kRate);
  // A 1 kHz sine sweeping from -72 to +12 dBFS in 0.0125 dB steps puts blocks in every bin.
  const int step = static_cast<int>(meter->stepLength());
  std::vector<double> samples(step);
  double phase = 0.0;
  const double inc = 2.0 * M_PI * 1000.0 / kRate;
  for (double level = -72.0; level <= 12.0; level += 0.0125) {
    const double a = std::pow(10.0, level / 20.0);
    for (int i = 0; i < step; ++i, phase += inc) samples[i] = a * std::sin(phase);
    const double* ch[2] = {samples.data(), samples.data()};
    meter->process(ch, 2, step);
  }
  int filled = 0;
  for (int b = 0; b < LoudnessGate::kBins; ++b) filled += meter->gate().binCount(b) > 0;
  for (int i = 0; i < step; ++i, phase += inc) samples[i] = 0.3 * std::sin(phase);
  for (auto _ : state) {
    const double* ch[2] = {samples.data(), samples.data()};
    benchmark::DoNotOptimize(meter->process(ch, 2, step));
  }
  state.counters["bins_filled"] = filled;
}
BENCHMARK(BM_LoudnessStepFullHistogram)->Unit(benchmark::kMicrosecond);

}  // namespace
