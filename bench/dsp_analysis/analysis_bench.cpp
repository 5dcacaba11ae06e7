// One analysis hop, the transform side by side with FFTW's r2c 8192 (the anchor), the fit with
// its limit, the correction filters per stereo frame, and the analyser's push, all on one
// thread with flush-to-zero and denormals-are-zero on (as the audio thread runs).

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
#include "engine/dsp/spectrum_analysis.h"

namespace {

namespace dsp = spectrapoise::dsp;

constexpr std::size_t kN = dsp::RealFourierTransform::kSize;
constexpr std::size_t kBins = dsp::RealFourierTransform::kBins;
constexpr double kRate = 48000.0;

void flushDenormals() { _mm_setcsr(_mm_getcsr() | 0x8040); }

std::vector<float> noise(std::size_t n, std::uint32_t seed, float scale = 0.3f) {
  std::mt19937 random(seed);
  std::normal_distribution<float> value(0.0f, scale);
  std::vector<float> x(n);
  for (float& v : x) v = value(random);
  return x;
}

void BM_RealTransform(benchmark::State& state) {
  flushDenormals();
  dsp::RealFourierTransform fft;
  const std::vector<float> x = noise(kN, 1);
  std::vector<float> re(kBins), im(kBins);
  for (auto _ : state) {
    fft.forward(x.data(), re.data(), im.data());
    benchmark::DoNotOptimize(re.data());
    benchmark::DoNotOptimize(im.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RealTransform);

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
void BM_AnalysisHop(benchmark::State& state) {
  flushDenormals();
  dsp::SpectrumAnalysis analysis;
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
BENCHMARK(BM_AnalysisHop);

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
void BM_CorrectionFilters(benchmark::State& state) {
  flushDenormals();
  const int every = static_cast<int>(state.range(0));
  dsp::CorrectionFilters filters;
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
BENCHMARK(BM_CorrectionFilters)->Arg(0)->Arg(32)->Arg(512);

// The correction analyser fed one second of loud noise at 48 kHz (about 23 hops with fits).
void BM_CorrectionAnalyserPush(benchmark::State& state) {
  flushDenormals();
  dsp::CorrectionAnalyser analyser;
  analyser.prepare(kRate);
  dsp::CorrectionSettings settings;
  settings.amount = {1, 1, 1, 1, 1};
  analyser.setSettings(settings);
  const std::size_t frames = static_cast<std::size_t>(kRate);
  const std::vector<float> l = noise(frames, 5), r = noise(frames, 6);
  for (auto _ : state) {
    for (std::size_t i = 0; i < frames; ++i) analyser.push(l[i], r[i]);
    benchmark::DoNotOptimize(analyser.gains());
  }
  state.counters["x_realtime"] =
      benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CorrectionAnalyserPush)->Unit(benchmark::kMillisecond);

}  // namespace
