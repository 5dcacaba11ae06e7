#pragma once
// Forward real Fourier transform of 8192 points in single precision. Runs on the thread that
// owns the object; the wide path (AVX2, simd_path.h) is taken where the processor has it and
// gives the same bits as the baseline path.

#include <cstddef>
#include <cstdint>

#include "engine/dsp/simd_path.h"

namespace spectrapoise::dsp {

// X[b] = sum over n of x[n] * exp(-2*pi*i*b*n/8192), b = 0..4096, unnormalised.
// The object holds its tables and its scratch, so one object serves one thread at a time.
// Construction computes the tables (in double, stored as float) and may allocate; forward()
// and powers() allocate nothing. About 200 KB: keep it on the heap.
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

  // Transforms two channels and sets power[b] = |XL[b]|^2 + |XR[b]|^2, b = 0..4096: in
  // double, from the single-precision spectra that forward() gives, the same as adding each
  // channel's re^2 + im^2 to a cleared array. left and right: 8192 floats each.
  void powers(const float* left, const float* right, double* power);

  // The plain radix-2 decimation-in-time transform the fast path is checked against: bit
  // reversal over 12 bits, in-place butterflies with the twiddle e^(-2*pi*i*k/8192),
  // k = j*4096/h, then the split into the real spectrum.
  void forwardRadix2(const float* input, float* re, float* im);

  // The path forward() and powers() take (tests compare the two).
  SimdPath simdPath() const { return path_; }
  void setSimdPath(SimdPath path) { path_ = usableSimdPath(path); }

  // A 4096-point complex sequence as two arrays (real and imaginary parts).
  struct Complex {
    const float* re;
    const float* im;
  };

 private:
  // The 4096-point complex transform of z[m] = x[2m] + i x[2m+1]: by the radix-2 algorithm,
  // or by radix-4 passes four lanes wide (SSE) or eight lanes wide (AVX2) that ping-pong
  // between a scratch and a result buffer and end in the result.
  struct Parts {
    float* re;
    float* im;
  };
  Complex radix2Passes(const float* input, Parts into);
  Complex passesBaseline(const float* input, Parts scratch, Parts result);
  Complex passesWide(const float* input, Parts scratch, Parts result);
  void fusedPassPair(std::size_t n, const float* tw, const float* tw2, const float* xr,
                     const float* xi, float* zr, float* zi);

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
  // Three complex work buffers (real and imaginary parts): the passes ping-pong between the
  // first and a second one, which holds the result (two results when both channels are
  // transformed). Every butterfly reads four values 4 KB apart in each part; the parts are
  // kept 256 bytes off a 4 KB step from each other, so that these streams do not all fall into
  // the same cache sets.
  static constexpr std::size_t kPartStride = kHalf + 64;
  alignas(64) float work_[6 * kPartStride];
  Parts part(int i) { return {work_ + 2 * i * kPartStride, work_ + (2 * i + 1) * kPartStride}; }
  SimdPath path_ = defaultSimdPath();
};

}  // namespace spectrapoise::dsp
