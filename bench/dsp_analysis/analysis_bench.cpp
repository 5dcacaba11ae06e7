// One analysis hop, the transform side by side with FFTW's r2c 8192 (the anchor), the fit with
// its limit, the correction filters per stereo frame, and the analyser's push, all on one
// thread with flush-to-zero and denormals-are-zero on (as the audio thread runs).

#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <xmmintrin.h>

#include <array>
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

}  // namespace
