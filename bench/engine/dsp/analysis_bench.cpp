// One analysis hop, the transform side by side with FFTW's r2c 8192 (the anchor), the fit with
// its limit, the correction filters per stereo frame, and the analyser's push, all on one
// thread with flush-to-zero and denormals-are-zero on (as the audio thread runs). Benchmarks
// without a path in their name run the path chosen at load (wide where the processor has AVX2
// and FMA); the ".../baseline" and ".../wide" ones run that path.

#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <xmmintrin.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/correction_filters.h"
#include "engine/dsp/correction_fit.h"
#include "engine/dsp/real_fft.h"
#include "engine/dsp/simd_path.h"
#include "engine/dsp/spectrum_analysis.h"

namespace {

namespace dsp = spectrapoise::dsp;

constexpr std::size_t kN = dsp::RealFourierTransform::kSize;
constexpr std::size_t kBins = dsp::RealFourierTransform::kBins;
constexpr double kRate = 48000.0;

void flushDenormals() { _mm_setcsr(_mm_getcsr() | 0x8040); }

using dsp::SimdPath;

// False (and the benchmark skipped with a message) when the path cannot run here.
bool pathRuns(benchmark::State& state, SimdPath path) {
  if (dsp::usableSimdPath(path) == path) return true;
  state.SkipWithError("this processor has no AVX2 with FMA");
  return false;
}

std::vector<float> noise(std::size_t n, std::uint32_t seed, float scale = 0.3f) {
  std::mt19937 random(seed);
  std::normal_distribution<float> value(0.0f, scale);
  std::vector<float> x(n);
  for (float& v : x) v = value(random);
  return x;
}

void runRealTransform(benchmark::State& state, SimdPath path) {
  if (!pathRuns(state, path)) return;
  flushDenormals();
  dsp::RealFourierTransform fft;
  fft.setSimdPath(path);
  const std::vector<float> x = noise(kN, 1);
  std::vector<float> re(kBins), im(kBins);
  for (auto _ : state) {
    fft.forward(x.data(), re.data(), im.data());
    benchmark::DoNotOptimize(re.data());
    benchmark::DoNotOptimize(im.data());
    benchmark::ClobberMemory();
  }
}

void BM_RealTransform(benchmark::State& state) { runRealTransform(state, dsp::defaultSimdPath()); }
BENCHMARK(BM_RealTransform);
BENCHMARK_CAPTURE(runRealTransform, baseline, SimdPath::baseline)->Name("BM_RealTransform/baseline");
BENCHMARK_CAPTURE(runRealTransform, wide, SimdPath::wide)->Name("BM_RealTransform/wide");

void BM_RealTransformRadix2(benchmark::State& state) {
  flushDenormals();
  dsp::RealFourierTransform fft;
  const std::vector<float> x = noise(kN, 1);
  std::vector<float> re(kBins), im(kBins);
  for (auto _ : state) {
    fft.forwardRadix2(x.data(), re.data(), im.data());
    benchmark::DoNotOptimize(re.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RealTransformRadix2);

// The anchor: FFTW single-precision r2c of 8192 points, planned with FFTW_MEASURE outside the
// loop, same input.
void BM_FftwRealTransform(benchmark::State& state) {
  flushDenormals();
  float* in = fftwf_alloc_real(kN);
  fftwf_complex* out = fftwf_alloc_complex(kBins);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(static_cast<int>(kN), in, out, FFTW_MEASURE);
  const std::vector<float> x = noise(kN, 1);
  std::copy(x.begin(), x.end(), in);
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
}
BENCHMARK(BM_FftwRealTransform);

// Both transforms timed in the same loop, alternating, so the ratio holds for this machine
// and this moment. Counters: ns per transform for each, and ours / FFTW.
void BM_TransformRatioToFftw(benchmark::State& state) {
  flushDenormals();
  dsp::RealFourierTransform fft;
  float* in = fftwf_alloc_real(kN);
  fftwf_complex* out = fftwf_alloc_complex(kBins);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(static_cast<int>(kN), in, out, FFTW_MEASURE);
  const std::vector<float> x = noise(kN, 1);
  std::copy(x.begin(), x.end(), in);
  std::vector<float> re(kBins), im(kBins);
  constexpr int kRepeats = 64;
  double ours = 0.0, theirs = 0.0;
  std::int64_t runs = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kRepeats; ++i) {
      fft.forward(x.data(), re.data(), im.data());
      benchmark::ClobberMemory();
    }
    const auto t1 = std::chrono::steady_clock::now();
    for (int i = 0; i < kRepeats; ++i) {
      fftwf_execute(plan);
      benchmark::ClobberMemory();
    }
    const auto t2 = std::chrono::steady_clock::now();
    ours += std::chrono::duration<double, std::nano>(t1 - t0).count();
    theirs += std::chrono::duration<double, std::nano>(t2 - t1).count();
    runs += kRepeats;
  }
  state.counters["ours_ns"] = ours / static_cast<double>(runs);
  state.counters["fftw_ns"] = theirs / static_cast<double>(runs);
  state.counters["ratio"] = ours / theirs;
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
}
BENCHMARK(BM_TransformRatioToFftw);

// One hop of a 48 kHz stereo analysis (two windowed transforms, band sums, smoothing, levels).
void runAnalysisHop(benchmark::State& state, SimdPath path) {
  if (!pathRuns(state, path)) return;
  flushDenormals();
  dsp::SpectrumAnalysis analysis;
  analysis.setSimdPath(path);
  analysis.prepare(kRate);
  const std::vector<float> l = noise(kN, 2), r = noise(kN, 3);
  for (std::size_t i = 0; i < kN; ++i) analysis.push(l[i], r[i]);
  for (auto _ : state) {
    analysis.analyse();
    benchmark::ClobberMemory();
  }
  // Audio seconds analysed per second: one hop covers 2048 frames.
  state.counters["x_realtime"] =
      benchmark::Counter(2048.0 / kRate, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_AnalysisHop(benchmark::State& state) { runAnalysisHop(state, dsp::defaultSimdPath()); }
BENCHMARK(BM_AnalysisHop);
BENCHMARK_CAPTURE(runAnalysisHop, baseline, SimdPath::baseline)->Name("BM_AnalysisHop/baseline");
BENCHMARK_CAPTURE(runAnalysisHop, wide, SimdPath::wide)->Name("BM_AnalysisHop/wide");

// The anchor for the hop: two FFTW transforms of the same size.
void BM_FftwTwoTransforms(benchmark::State& state) {
  flushDenormals();
  float* in = fftwf_alloc_real(kN);
  fftwf_complex* out = fftwf_alloc_complex(kBins);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(static_cast<int>(kN), in, out, FFTW_MEASURE);
  const std::vector<float> x = noise(kN, 1);
  std::copy(x.begin(), x.end(), in);
  for (auto _ : state) {
    fftwf_execute(plan);
    fftwf_execute(plan);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
}
BENCHMARK(BM_FftwTwoTransforms);

// fitCorrection (which ends in limited) on a wanted curve large enough that the limit scales.
void BM_FitCorrection(benchmark::State& state) {
  flushDenormals();
  dsp::CorrectionSettings settings;
  dsp::BandCurve wanted{};
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    const double f = dsp::bandFrequency(k);
    wanted[k] = 2.5 * std::log2(f / 1000.0) + (f < 200 ? 4.0 : 0.0) - (f > 6000 ? 3.0 : 0.0);
  }
  const std::array<bool, 5> mask{};
  const dsp::CorrectionGains previous{};
  for (auto _ : state) {
    dsp::CorrectionGains g = dsp::fitCorrection(wanted, settings, kRate, mask, previous);
    benchmark::DoNotOptimize(g);
  }
}
BENCHMARK(BM_FitCorrection)->Unit(benchmark::kMicrosecond);

// The correction filters on stereo double audio in blocks of 64 frames. The argument is the
// number of frames between target changes: 0 fixed targets; 32 all five gains move (a slow
// ramp, as smoothed gains do) before every look, so each look redesigns the whole cascade
// (each block is then handed over in two halves); 512 about the cadence at which the worker
// publishes new gains at 48 kHz (every 10 ms).
void runCorrectionFilters(benchmark::State& state, int every, SimdPath path) {
  flushDenormals();
  dsp::CorrectionFilters filters;
  filters.setSimdPath(path);
  filters.prepare(kRate);
  dsp::CorrectionGains g;
  g.tilt = 1.5;
  g.low = 3.0;
  g.loMid = -2.0;
  g.hiMid = 1.0;
  g.high = -2.5;
  filters.setTargets(g, {});
  constexpr int kBlock = 64;
  constexpr int kBlocks = 256;
  const int step = every == 0 ? kBlock : std::min(every, kBlock);
  const std::vector<float> source = noise(2 * kBlock * kBlocks, 4);
  std::vector<double> left(kBlock * kBlocks), right(kBlock * kBlocks);
  for (std::size_t i = 0; i < left.size(); ++i) {
    left[i] = source[2 * i];
    right[i] = source[2 * i + 1];
  }
  double ramp = 0.0;
  long frame = 0;
  for (auto _ : state) {
    for (int b = 0; b < kBlocks; ++b) {
      for (int part = 0; part < kBlock; part += step) {
        if (every != 0 && frame % every == 0) {
          ramp = ramp > 1.0 ? 0.0 : ramp + 0.001;
          dsp::CorrectionGains moved = g;
          for (std::size_t p = 0; p < 5; ++p) moved[p] += ramp;
          filters.setTargets(moved, {});
        }
        double* ch[2] = {left.data() + b * kBlock + part, right.data() + b * kBlock + part};
        filters.process(ch, 2, step);
        frame += step;
      }
    }
    benchmark::ClobberMemory();
  }
  const double frames = kBlock * kBlocks;
  state.counters["ns_per_frame"] = benchmark::Counter(
      frames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["x_realtime"] =
      benchmark::Counter(frames / kRate, benchmark::Counter::kIsIterationInvariantRate);
}
void BM_CorrectionFilters(benchmark::State& state) {
  runCorrectionFilters(state, static_cast<int>(state.range(0)), dsp::defaultSimdPath());
}
BENCHMARK(BM_CorrectionFilters)->Arg(0)->Arg(32)->Arg(512);

// Fixed targets on each path.
void BM_CorrectionFiltersOnPath(benchmark::State& state, SimdPath path) {
  if (pathRuns(state, path)) runCorrectionFilters(state, 0, path);
}
BENCHMARK_CAPTURE(BM_CorrectionFiltersOnPath, baseline, SimdPath::baseline)
    ->Name("BM_CorrectionFilters/0/baseline");
BENCHMARK_CAPTURE(BM_CorrectionFiltersOnPath, wide, SimdPath::wide)
    ->Name("BM_CorrectionFilters/0/wide");

// A 48 kHz correction analyser with every amount at 100 %, and one second of loud noise.
struct LoudSecond {
  dsp::CorrectionAnalyser analyser;
  std::size_t frames = static_cast<std::size_t>(kRate);
  std::vector<float> left = noise(frames, 5), right = noise(frames, 6);
  LoudSecond() {
    analyser.prepare(kRate);
    dsp::CorrectionSettings settings;
    settings.amount = {1, 1, 1, 1, 1};
    analyser.setSettings(settings);
  }
};

// The correction analyser fed one second of loud noise at 48 kHz (about 23 hops with fits).
void BM_CorrectionAnalyserPush(benchmark::State& state) {
  flushDenormals();
  LoudSecond s;
  for (auto _ : state) {
    for (std::size_t i = 0; i < s.frames; ++i) s.analyser.push(s.left[i], s.right[i]);
    benchmark::DoNotOptimize(s.analyser.gains());
  }
  state.counters["x_realtime"] =
      benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CorrectionAnalyserPush)->Unit(benchmark::kMillisecond);

// The same second fed in buffers of 2048 frames, as a worker pass can hand them over.
void BM_CorrectionAnalyserBufferPush(benchmark::State& state) {
  flushDenormals();
  LoudSecond s;
  for (auto _ : state) {
    for (std::size_t at = 0; at < s.frames; at += 2048) {
      s.analyser.push(s.left.data() + at, s.right.data() + at,
                      std::min<std::size_t>(2048, s.frames - at));
    }
    benchmark::DoNotOptimize(s.analyser.gains());
  }
  state.counters["x_realtime"] =
      benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CorrectionAnalyserBufferPush)->Unit(benchmark::kMillisecond);

}  // namespace
