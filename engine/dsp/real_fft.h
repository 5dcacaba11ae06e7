#pragma once
// Forward real Fourier transform of 8192 points in single precision.

#include <cstddef>
#include <cstdint>

namespace spectrapoise::dsp {

// X[b] = sum over n of x[n] * exp(-2*pi*i*b*n/8192), b = 0..4096, unnormalised.
// The object holds its tables and its scratch, so one object serves one thread at a time.
// Construction computes the tables (in double, stored as float) and may allocate; forward()
// allocates nothing.
class RealFourierTransform {
 public:
  static constexpr std::size_t kSize = 8192;
  static constexpr std::size_t kBins = kSize / 2 + 1;  // 4097
  static constexpr std::size_t kHalf = kSize / 2;      // 4096 complex points

  RealFourierTransform();
  RealFourierTransform(const RealFourierTransform&) = delete;
  RealFourierTransform& operator=(const RealFourierTransform&) = delete;

  // input: 8192 floats; re, im: 4097 floats each, written. Buffers need no alignment and must
  // not overlap the input.
  void forward(const float* input, float* re, float* im);

  // The plain radix-2 decimation-in-time transform the fast path is checked against: bit
  // reversal over 12 bits, in-place butterflies with the twiddle e^(-2*pi*i*k/8192),
  // k = j*4096/h, then the split into the real spectrum.
  void forwardRadix2(const float* input, float* re, float* im);

 private:
  void splitRealSpectrum(const float* zr, const float* zi, float* re, float* im) const;

  // Twiddles e^(-2*pi*i*k/8192), k = 0..4095.
  alignas(64) float cosTable_[kHalf];
  alignas(64) float sinTable_[kHalf];
  // 12-bit reversal of n, n = 0..4095.
  std::uint64_t bitReversal_[kHalf];
  // Twiddles of the radix-4 passes: for the pass of length n (4096, 1024, ..., 16), with
  // w = e^(-2*pi*i/n) and p = 0..n/4-1, six arrays of n/4 floats (re and im of w^p, w^2p, w^3p),
  // one pass after another. The last pass (n = 4) needs none.
  static constexpr std::size_t kPassTwiddleFloats = 6 * (1024 + 256 + 64 + 16 + 4);
  alignas(64) float passTwiddles_[kPassTwiddleFloats];
  // Two complex work buffers (real and imaginary parts) that the passes ping-pong between.
  alignas(64) float workRe_[kHalf];
  alignas(64) float workIm_[kHalf];
  alignas(64) float tempRe_[kHalf];
  alignas(64) float tempIm_[kHalf];
};

}  // namespace spectrapoise::dsp
