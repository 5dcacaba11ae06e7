// The 8192-point real transform: known spectra, FFTW as an outside oracle, a long-double DFT,
// and the fast path against the plain radix-2 algorithm.

#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "engine/dsp/real_fft.h"

namespace {

using spectrapoise::dsp::RealFourierTransform;
constexpr std::size_t kN = RealFourierTransform::kSize;
constexpr std::size_t kBins = RealFourierTransform::kBins;

struct Spectrum {
  std::vector<float> re = std::vector<float>(kBins);
  std::vector<float> im = std::vector<float>(kBins);
};

std::vector<float> randomInput(std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  std::vector<float> x(kN);
  for (float& v : x) v = value(random);
  return x;
}

// sqrt(sum |a - b|^2 / sum |b|^2)
double relativeRms(const Spectrum& a, const std::vector<double>& bRe,
                   const std::vector<double>& bIm) {
  double err = 0.0, ref = 0.0;
  for (std::size_t b = 0; b < kBins; ++b) {
    const double dr = a.re[b] - bRe[b];
    const double di = a.im[b] - bIm[b];
    err += dr * dr + di * di;
    ref += bRe[b] * bRe[b] + bIm[b] * bIm[b];
  }
  return std::sqrt(err / ref);
}

class RealTransform : public ::testing::Test {
 protected:
  RealFourierTransform fft;
};

TEST_F(RealTransform, ImpulseAtZeroGivesFlatUnitSpectrum) {
  std::vector<float> x(kN, 0.0f);
  x[0] = 1.0f;
  for (bool fast : {true, false}) {
    Spectrum s;
    fast ? fft.forward(x.data(), s.re.data(), s.im.data())
         : fft.forwardRadix2(x.data(), s.re.data(), s.im.data());
    for (std::size_t b = 0; b < kBins; ++b) {
      ASSERT_FLOAT_EQ(s.re[b], 1.0f) << "bin " << b << (fast ? " fast" : " radix-2");
      ASSERT_FLOAT_EQ(s.im[b] + 1.0f, 1.0f) << "bin " << b << (fast ? " fast" : " radix-2");
    }
  }
}

TEST_F(RealTransform, ConstantGivesOnlyDc) {
  std::vector<float> x(kN, 1.0f);
  Spectrum s;
  fft.forward(x.data(), s.re.data(), s.im.data());
  EXPECT_FLOAT_EQ(s.re[0], 8192.0f);
  EXPECT_EQ(s.im[0], 0.0f);
  for (std::size_t b = 1; b < kBins; ++b) {
    ASSERT_NEAR(s.re[b], 0.0f, 1e-3f) << "bin " << b;
    ASSERT_NEAR(s.im[b], 0.0f, 1e-3f) << "bin " << b;
  }
}

// A real cosine at bin 1000 and a sine at bin 4095 land in their own bins with N/2 amplitude;
// the Nyquist bin reads the alternating sequence.
TEST_F(RealTransform, SinusoidsLandInTheirBins) {
  std::vector<float> x(kN);
  for (std::size_t n = 0; n < kN; ++n) {
    const double t = 2.0 * std::numbers::pi * static_cast<double>(n) / kN;
    x[n] = static_cast<float>(std::cos(1000.0 * t) + std::sin(4095.0 * t) +
                              ((n % 2) ? -0.5 : 0.5));
  }
  Spectrum s;
  fft.forward(x.data(), s.re.data(), s.im.data());
  EXPECT_NEAR(s.re[1000], 4096.0f, 0.05f);
  EXPECT_NEAR(s.im[4095], -4096.0f, 0.05f);
  EXPECT_NEAR(s.re[4096], 4096.0f, 0.05f);
  for (std::size_t b : {0u, 1u, 999u, 1001u, 2048u, 4094u}) {
    EXPECT_NEAR(std::hypot(s.re[b], s.im[b]), 0.0, 0.05) << "bin " << b;
  }
}

TEST_F(RealTransform, AgreesWithFftwOnRandomInput) {
  float* in = fftwf_alloc_real(kN);
  fftwf_complex* out = fftwf_alloc_complex(kBins);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(static_cast<int>(kN), in, out, FFTW_ESTIMATE);
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    const std::vector<float> x = randomInput(seed);
    std::copy(x.begin(), x.end(), in);
    fftwf_execute(plan);
    std::vector<double> re(kBins), im(kBins);
    for (std::size_t b = 0; b < kBins; ++b) {
      re[b] = out[b][0];
      im[b] = out[b][1];
    }
    Spectrum fast, plain;
    fft.forward(x.data(), fast.re.data(), fast.im.data());
    fft.forwardRadix2(x.data(), plain.re.data(), plain.im.data());
    EXPECT_LT(relativeRms(fast, re, im), 1e-6) << "seed " << seed;
    EXPECT_LT(relativeRms(plain, re, im), 1e-6) << "seed " << seed;
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
}

// The fast path must give the plain radix-2 algorithm's results to single-precision accuracy,
// also for inputs with a large dynamic range.
TEST_F(RealTransform, FastPathMatchesRadix2Algorithm) {
  std::vector<std::vector<float>> inputs = {randomInput(7), randomInput(8)};
  std::vector<float> ramp(kN);
  for (std::size_t n = 0; n < kN; ++n) ramp[n] = static_cast<float>(n) * 1e-3f;
  inputs.push_back(ramp);
  std::vector<float> quietPlusLoud = randomInput(9);
  for (std::size_t n = 0; n < kN; n += 97) quietPlusLoud[n] *= 1000.0f;
  inputs.push_back(quietPlusLoud);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    Spectrum fast, plain;
    fft.forward(inputs[i].data(), fast.re.data(), fast.im.data());
    fft.forwardRadix2(inputs[i].data(), plain.re.data(), plain.im.data());
    std::vector<double> re(plain.re.begin(), plain.re.end()), im(plain.im.begin(), plain.im.end());
    EXPECT_LT(relativeRms(fast, re, im), 1e-6) << "input " << i;
  }
}

TEST_F(RealTransform, SelectedBinsMatchLongDoubleDft) {
  const std::vector<float> x = randomInput(5);
  Spectrum s;
  fft.forward(x.data(), s.re.data(), s.im.data());
  double maxMagnitude = 0.0;
  for (std::size_t b = 0; b < kBins; ++b) maxMagnitude = std::max(maxMagnitude, std::hypot(double(s.re[b]), double(s.im[b])));
  for (std::size_t bin : {0u, 1u, 2u, 17u, 1000u, 2048u, 3001u, 4095u, 4096u}) {
    long double re = 0.0L, im = 0.0L;
    for (std::size_t n = 0; n < kN; ++n) {
      const long double angle = -2.0L * std::numbers::pi_v<long double> *
                                static_cast<long double>((bin * n) % kN) / kN;
      re += x[n] * std::cos(angle);
      im += x[n] * std::sin(angle);
    }
    // Single precision: errors stay far below a millionth of the spectrum's peak magnitude.
    EXPECT_NEAR(s.re[bin], static_cast<double>(re), 2e-5 * maxMagnitude) << "bin " << bin;
    EXPECT_NEAR(s.im[bin], static_cast<double>(im), 2e-5 * maxMagnitude) << "bin " << bin;
  }
}

}  // namespace
