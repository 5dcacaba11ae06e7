#include "engine/dsp/real_fft.h"

#include <immintrin.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>

namespace spectrapoise::dsp {

namespace {

constexpr std::size_t kN = RealFourierTransform::kHalf;  // 4096 complex points
constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::uint64_t reverse12(std::uint64_t n) {
  std::uint64_t r = 0;
  for (int bit = 0; bit < 12; ++bit) r |= ((n >> bit) & 1u) << (11 - bit);
  return r;
}

// Pass lengths of the radix-4 path: 4096, 1024, 256, 64, 16, 4 (stride 4096 / n).
constexpr std::size_t kPassLength[6] = {4096, 1024, 256, 64, 16, 4};

using Complex = RealFourierTransform::Complex;

// ---------------------------------------------------------------------------------------------
// The split into the real spectrum: X[b] = (A + B)/2 + W_b (A - B)/(2i) with A = Z[b],
// B = conj Z[4096 - b], for 0 < b < 4096; X[0] and X[4096] are Re Z[0] +- Im Z[0]. The vector
// versions do exactly these operations lane by lane, so every version gives the same bits.

struct Bin {
  float re;
  float im;
};

inline Bin splitBin(Complex z, const float* cosTable, const float* sinTable, std::size_t b) {
  const float ar = z.re[b];
  const float ai = z.im[b];
  const float cr = z.re[kN - b];
  const float ci = z.im[kN - b];
  const float p = (ai + ci) * 0.5f;
  const float q = (cr - ar) * 0.5f;
  return {(ar + cr) * 0.5f + cosTable[b] * p - sinTable[b] * q,
          (ai - ci) * 0.5f + sinTable[b] * p + cosTable[b] * q};
}

inline Bin firstBin(Complex z) { return {z.re[0] + z.im[0], 0.0f}; }
inline Bin lastBin(Complex z) { return {z.re[0] - z.im[0], 0.0f}; }

// The power of a bin of two channels in double: (rl^2 + il^2) + (rr^2 + ir^2), what adding
// each channel's power to a cleared sum gives.
inline double powerOf(Bin left, Bin right) {
  const double rl = left.re, il = left.im, rr = right.re, ir = right.im;
  return (rl * rl + il * il) + (rr * rr + ir * ir);
}

#if defined(__SSE2__)

// Bins b..b+3.
inline void splitFour(Complex z, const float* cosTable, const float* sinTable, std::size_t b,
                      __m128& outRe, __m128& outIm) {
  const __m128 half = _mm_set1_ps(0.5f);
  // A = Z[b..b+3]; C = Z[4096-b .. 4093-b] (loaded ascending, then reversed).
  const __m128 ar = _mm_loadu_ps(z.re + b);
  const __m128 ai = _mm_loadu_ps(z.im + b);
  __m128 cr = _mm_loadu_ps(z.re + (kN - b - 3));
  __m128 ci = _mm_loadu_ps(z.im + (kN - b - 3));
  cr = _mm_shuffle_ps(cr, cr, _MM_SHUFFLE(0, 1, 2, 3));
  ci = _mm_shuffle_ps(ci, ci, _MM_SHUFFLE(0, 1, 2, 3));
  const __m128 wr = _mm_loadu_ps(cosTable + b);
  const __m128 wi = _mm_loadu_ps(sinTable + b);
  const __m128 p = _mm_mul_ps(_mm_add_ps(ai, ci), half);
  const __m128 q = _mm_mul_ps(_mm_sub_ps(cr, ar), half);
  outRe = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(_mm_add_ps(ar, cr), half), _mm_mul_ps(wr, p)),
                     _mm_mul_ps(wi, q));
  outIm = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(ai, ci), half), _mm_mul_ps(wi, p)),
                     _mm_mul_ps(wr, q));
}

inline __m128d squaredSum(__m128 re, __m128 im, int half) {
  const __m128d r = _mm_cvtps_pd(half == 0 ? re : _mm_movehl_ps(re, re));
  const __m128d i = _mm_cvtps_pd(half == 0 ? im : _mm_movehl_ps(im, im));
  return _mm_add_pd(_mm_mul_pd(r, r), _mm_mul_pd(i, i));
}

#endif

void splitToSpectrum(Complex z, const float* cosTable, const float* sinTable, float* re,
                     float* im) {
  const Bin first = firstBin(z), last = lastBin(z);
  re[0] = first.re;
  im[0] = first.im;
  re[kN] = last.re;
  im[kN] = last.im;
  std::size_t b = 1;
#if defined(__SSE2__)
  for (; b + 3 < kN - 3; b += 4) {
    __m128 r, i;
    splitFour(z, cosTable, sinTable, b, r, i);
    _mm_storeu_ps(re + b, r);
    _mm_storeu_ps(im + b, i);
  }
#endif
  for (; b < kN; ++b) {
    const Bin x = splitBin(z, cosTable, sinTable, b);
    re[b] = x.re;
    im[b] = x.im;
  }
}

void splitToPowers(Complex left, Complex right, const float* cosTable, const float* sinTable,
                   double* power) {
  power[0] = powerOf(firstBin(left), firstBin(right));
  power[kN] = powerOf(lastBin(left), lastBin(right));
  std::size_t b = 1;
#if defined(__SSE2__)
  for (; b + 3 < kN - 3; b += 4) {
    __m128 rl, il, rr, ir;
    splitFour(left, cosTable, sinTable, b, rl, il);
    splitFour(right, cosTable, sinTable, b, rr, ir);
    for (int half = 0; half < 2; ++half) {
      _mm_storeu_pd(power + b + 2 * half,
                    _mm_add_pd(squaredSum(rl, il, half), squaredSum(rr, ir, half)));
    }
  }
#endif
  for (; b < kN; ++b) {
    power[b] = powerOf(splitBin(left, cosTable, sinTable, b), splitBin(right, cosTable, sinTable, b));
  }
}

// ---------------------------------------------------------------------------------------------
// The radix-4 butterflies of the baseline path, four lanes wide.

#if defined(__SSE2__)

struct Vec {
  __m128 re;
  __m128 im;
};

inline Vec add(Vec a, Vec b) { return {_mm_add_ps(a.re, b.re), _mm_add_ps(a.im, b.im)}; }
inline Vec sub(Vec a, Vec b) { return {_mm_sub_ps(a.re, b.re), _mm_sub_ps(a.im, b.im)}; }
// -i * a
inline Vec mulMinusI(Vec a) { return {a.im, _mm_sub_ps(_mm_setzero_ps(), a.re)}; }
inline Vec mul(Vec w, Vec a) {
  return {_mm_sub_ps(_mm_mul_ps(w.re, a.re), _mm_mul_ps(w.im, a.im)),
          _mm_add_ps(_mm_mul_ps(w.re, a.im), _mm_mul_ps(w.im, a.re))};
}
inline Vec load(const float* re, const float* im) { return {_mm_load_ps(re), _mm_load_ps(im)}; }
inline void store(float* re, float* im, Vec v) {
  _mm_store_ps(re, v.re);
  _mm_store_ps(im, v.im);
}

// One radix-4 decimation-in-frequency butterfly on four lanes.
inline void butterfly(Vec a, Vec b, Vec c, Vec d, Vec& y0, Vec& y1, Vec& y2, Vec& y3) {
  const Vec apc = add(a, c);
  const Vec amc = sub(a, c);
  const Vec bpd = add(b, d);
  const Vec jbmd = mulMinusI(sub(b, d));
  y0 = add(apc, bpd);
  y1 = add(amc, jbmd);
  y2 = sub(apc, bpd);
  y3 = sub(amc, jbmd);
}

#endif

// ---------------------------------------------------------------------------------------------
// The wide path: the same passes and the same split, with the same operations on every value
// and so the same bits, eight lanes at a time. No fused multiply-adds here: they would round
// differently.

#define SP_WIDE __attribute__((target("avx2")))

struct Vec8 {
  __m256 re;
  __m256 im;
};

SP_WIDE inline Vec8 add(Vec8 a, Vec8 b) {
  return {_mm256_add_ps(a.re, b.re), _mm256_add_ps(a.im, b.im)};
}
SP_WIDE inline Vec8 sub(Vec8 a, Vec8 b) {
  return {_mm256_sub_ps(a.re, b.re), _mm256_sub_ps(a.im, b.im)};
}
// -i * a
SP_WIDE inline Vec8 mulMinusI(Vec8 a) { return {a.im, _mm256_sub_ps(_mm256_setzero_ps(), a.re)}; }
SP_WIDE inline Vec8 mul(Vec8 w, Vec8 a) {
  return {_mm256_sub_ps(_mm256_mul_ps(w.re, a.re), _mm256_mul_ps(w.im, a.im)),
          _mm256_add_ps(_mm256_mul_ps(w.re, a.im), _mm256_mul_ps(w.im, a.re))};
}
SP_WIDE inline Vec8 load8(const float* re, const float* im) {
  return {_mm256_load_ps(re), _mm256_load_ps(im)};
}
SP_WIDE inline void store8(float* re, float* im, Vec8 v) {
  _mm256_store_ps(re, v.re);
  _mm256_store_ps(im, v.im);
}
SP_WIDE inline void butterfly(Vec8 a, Vec8 b, Vec8 c, Vec8 d, Vec8& y0, Vec8& y1, Vec8& y2,
                              Vec8& y3) {
  const Vec8 apc = add(a, c);
  const Vec8 amc = sub(a, c);
  const Vec8 bpd = add(b, d);
  const Vec8 jbmd = mulMinusI(sub(b, d));
  y0 = add(apc, bpd);
  y1 = add(amc, jbmd);
  y2 = sub(apc, bpd);
  y3 = sub(amc, jbmd);
}
// Two twiddles t[0], t[1], each over four lanes.
SP_WIDE inline __m256 pairOfTwiddles(const float* t) {
  const __m128 two = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(t)));
  return _mm256_permutevar8x32_ps(_mm256_castps128_ps256(two),
                                  _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1));
}
// Four rows of eight lanes (lane l of row t: value t of column l) written as eight columns of
// four, column after column, from `out` on.
SP_WIDE inline void storeColumns(float* out, __m256 y0, __m256 y1, __m256 y2, __m256 y3) {
  const __m256 t0 = _mm256_unpacklo_ps(y0, y1);
  const __m256 t1 = _mm256_unpackhi_ps(y0, y1);
  const __m256 t2 = _mm256_unpacklo_ps(y2, y3);
  const __m256 t3 = _mm256_unpackhi_ps(y2, y3);
  // Columns 0 | 4, 1 | 5, 2 | 6, 3 | 7 (one per 128-bit half).
  const __m256 c04 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
  const __m256 c15 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
  const __m256 c26 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
  const __m256 c37 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
  _mm256_store_ps(out, _mm256_permute2f128_ps(c04, c15, 0x20));
  _mm256_store_ps(out + 8, _mm256_permute2f128_ps(c26, c37, 0x20));
  _mm256_store_ps(out + 16, _mm256_permute2f128_ps(c04, c15, 0x31));
  _mm256_store_ps(out + 24, _mm256_permute2f128_ps(c26, c37, 0x31));
}

// Bins b..b+7.
SP_WIDE inline void splitEight(Complex z, const float* cosTable, const float* sinTable,
                               std::size_t b, __m256& outRe, __m256& outIm) {
  const __m256 half = _mm256_set1_ps(0.5f);
  const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
  // A = Z[b..b+7]; C = Z[4096-b .. 4089-b] (loaded ascending, then reversed).
  const __m256 ar = _mm256_loadu_ps(z.re + b);
  const __m256 ai = _mm256_loadu_ps(z.im + b);
  const __m256 cr = _mm256_permutevar8x32_ps(_mm256_loadu_ps(z.re + (kN - b - 7)), reverse);
  const __m256 ci = _mm256_permutevar8x32_ps(_mm256_loadu_ps(z.im + (kN - b - 7)), reverse);
  const __m256 wr = _mm256_loadu_ps(cosTable + b);
  const __m256 wi = _mm256_loadu_ps(sinTable + b);
  const __m256 p = _mm256_mul_ps(_mm256_add_ps(ai, ci), half);
  const __m256 q = _mm256_mul_ps(_mm256_sub_ps(cr, ar), half);
  outRe = _mm256_sub_ps(
      _mm256_add_ps(_mm256_mul_ps(_mm256_add_ps(ar, cr), half), _mm256_mul_ps(wr, p)),
      _mm256_mul_ps(wi, q));
  outIm = _mm256_add_ps(
      _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(ai, ci), half), _mm256_mul_ps(wi, p)),
      _mm256_mul_ps(wr, q));
}

SP_WIDE inline __m256d squaredSumWide(__m256 re, __m256 im, int half) {
  const __m256d r =
      _mm256_cvtps_pd(half == 0 ? _mm256_castps256_ps128(re) : _mm256_extractf128_ps(re, 1));
  const __m256d i =
      _mm256_cvtps_pd(half == 0 ? _mm256_castps256_ps128(im) : _mm256_extractf128_ps(im, 1));
  return _mm256_add_pd(_mm256_mul_pd(r, r), _mm256_mul_pd(i, i));
}

// The first bin from which stores at `out` are 32-byte aligned (at most 7 bins on).
std::size_t alignedStart(const void* out, std::size_t unit) {
  std::size_t b = 1;
  const auto address = reinterpret_cast<std::uintptr_t>(out);
  while (b < 8 && (address + b * unit) % 32 != 0) ++b;
  return b;
}

SP_WIDE void splitToSpectrumWide(Complex z, const float* cosTable, const float* sinTable,
                                 float* re, float* im) {
  const Bin first = firstBin(z), last = lastBin(z);
  re[0] = first.re;
  im[0] = first.im;
  re[kN] = last.re;
  im[kN] = last.im;
  const std::size_t start = alignedStart(re, sizeof(float));
  std::size_t b = 1;
  for (; b < start; ++b) {
    const Bin x = splitBin(z, cosTable, sinTable, b);
    re[b] = x.re;
    im[b] = x.im;
  }
  for (; b + 7 < kN - 7; b += 8) {
    __m256 r, i;
    splitEight(z, cosTable, sinTable, b, r, i);
    _mm256_storeu_ps(re + b, r);
    _mm256_storeu_ps(im + b, i);
  }
  for (; b < kN; ++b) {
    const Bin x = splitBin(z, cosTable, sinTable, b);
    re[b] = x.re;
    im[b] = x.im;
  }
}

SP_WIDE void splitToPowersWide(Complex left, Complex right, const float* cosTable,
                               const float* sinTable, double* power) {
  power[0] = powerOf(firstBin(left), firstBin(right));
  power[kN] = powerOf(lastBin(left), lastBin(right));
  const std::size_t start = alignedStart(power, sizeof(double));
  std::size_t b = 1;
  for (; b < start; ++b) {
    power[b] = powerOf(splitBin(left, cosTable, sinTable, b), splitBin(right, cosTable, sinTable, b));
  }
  for (; b + 7 < kN - 7; b += 8) {
    __m256 rl, il, rr, ir;
    splitEight(left, cosTable, sinTable, b, rl, il);
    splitEight(right, cosTable, sinTable, b, rr, ir);
    for (int half = 0; half < 2; ++half) {
      _mm256_storeu_pd(power + b + 4 * half, _mm256_add_pd(squaredSumWide(rl, il, half),
                                                            squaredSumWide(rr, ir, half)));
    }
  }
  for (; b < kN; ++b) {
    power[b] = powerOf(splitBin(left, cosTable, sinTable, b), splitBin(right, cosTable, sinTable, b));
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

RealFourierTransform::RealFourierTransform() {
  for (std::size_t n = 0; n < kHalf; ++n) bitReversal_[n] = reverse12(n);
  for (std::size_t k = 0; k < kHalf; ++k) {
    const double angle = -kTwoPi * static_cast<double>(k) * (1.0 / 8192.0);
    cosTable_[k] = static_cast<float>(std::cos(angle));
    sinTable_[k] = static_cast<float>(std::sin(angle));
  }
  float* t = passTwiddles_;
  for (int pass = 0; pass < 5; ++pass) {
    const std::size_t n = kPassLength[pass];
    const std::size_t m = n / 4;
    for (std::size_t p = 0; p < m; ++p) {
      for (std::size_t j = 1; j <= 3; ++j) {
        // Reduce the exponent first so the angle stays exact in double.
        const double angle = -kTwoPi * static_cast<double>((j * p) % n) / static_cast<double>(n);
        t[(2 * (j - 1)) * m + p] = static_cast<float>(std::cos(angle));
        t[(2 * (j - 1) + 1) * m + p] = static_cast<float>(std::sin(angle));
      }
    }
    t += 6 * m;
  }
  for (float& v : work_) v = 0.0f;
}

RealFourierTransform::Complex RealFourierTransform::radix2Passes(const float* input, Parts into) {
  float* zr = into.re;
  float* zi = into.im;
  for (std::size_t n = 0; n < kN; ++n) {
    const std::size_t r = static_cast<std::size_t>(bitReversal_[n]);
    zr[n] = input[2 * r];
    zi[n] = input[2 * r + 1];
  }
  for (std::size_t h = 1; h < kN; h *= 2) {
    for (std::size_t s = 0; s < kN; s += 2 * h) {
      for (std::size_t j = 0; j < h; ++j) {
        const std::size_t k = j * 4096 / h;
        const float wr = cosTable_[k];
        const float wi = sinTable_[k];
        const std::size_t a = s + j;
        const std::size_t b = s + j + h;
        const float tr = wr * zr[b] - wi * zi[b];
        const float ti = wr * zi[b] + wi * zr[b];
        zr[b] = zr[a] - tr;
        zi[b] = zi[a] - ti;
        zr[a] = zr[a] + tr;
        zi[a] = zi[a] + ti;
      }
    }
  }
  return {zr, zi};
}

void RealFourierTransform::forwardRadix2(const float* input, float* re, float* im) {
  splitToSpectrum(radix2Passes(input, part(0)), cosTable_, sinTable_, re, im);
}

void RealFourierTransform::forward(const float* input, float* re, float* im) {
  if (path_ == SimdPath::wide) {
    splitToSpectrumWide(passesWide(input, part(0), part(1)), cosTable_, sinTable_, re, im);
  } else {
    splitToSpectrum(passesBaseline(input, part(0), part(1)), cosTable_, sinTable_, re, im);
  }
}

void RealFourierTransform::powers(const float* left, const float* right, double* power) {
  if (path_ == SimdPath::wide) {
    const Complex l = passesWide(left, part(0), part(1));
    const Complex r = passesWide(right, part(0), part(2));
    splitToPowersWide(l, r, cosTable_, sinTable_, power);
  } else {
    const Complex l = passesBaseline(left, part(0), part(1));
    const Complex r = passesBaseline(right, part(0), part(2));
    splitToPowers(l, r, cosTable_, sinTable_, power);
  }
}

RealFourierTransform::Complex RealFourierTransform::passesBaseline(const float* input, Parts scratch,
                                                                   Parts result) {
#if defined(__SSE2__)
  // Self-sorting (Stockham) radix-4 passes over the 4096 complex points z[m] = x[2m] + i x[2m+1]:
  // natural order in and out, so neither the input nor the output needs a bit reversal.
  // Pass with length n and stride s = 4096/n, m = n/4, w = e^(-2 pi i/n):
  //   y[q + s(4p + t)] = w^(tp) * (radix-4 butterfly t of x[q + s(p + k m)], k = 0..3).
  const float* tw = passTwiddles_;

  // First pass (n = 4096, s = 1): reads the interleaved input directly, four values of p at a
  // time, and writes four outputs per p through a 4 x 4 transpose.
  {
    constexpr std::size_t m = 1024;
    float* yr = scratch.re;
    float* yi = scratch.im;
    for (std::size_t p = 0; p < m; p += 4) {
      Vec in[4];
      for (std::size_t k = 0; k < 4; ++k) {
        const float* src = input + 2 * (p + k * m);
        const __m128 lo = _mm_loadu_ps(src);
        const __m128 hi = _mm_loadu_ps(src + 4);
        in[k] = {_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)),
                 _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1))};
      }
      Vec y0, y1, y2, y3;
      butterfly(in[0], in[1], in[2], in[3], y0, y1, y2, y3);
      y1 = mul(load(tw + 0 * m + p, tw + 1 * m + p), y1);
      y2 = mul(load(tw + 2 * m + p, tw + 3 * m + p), y2);
      y3 = mul(load(tw + 4 * m + p, tw + 5 * m + p), y3);
      _MM_TRANSPOSE4_PS(y0.re, y1.re, y2.re, y3.re);
      _MM_TRANSPOSE4_PS(y0.im, y1.im, y2.im, y3.im);
      store(yr + 4 * p + 0, yi + 4 * p + 0, y0);
      store(yr + 4 * p + 4, yi + 4 * p + 4, y1);
      store(yr + 4 * p + 8, yi + 4 * p + 8, y2);
      store(yr + 4 * p + 12, yi + 4 * p + 12, y3);
    }
    tw += 6 * m;
  }

  // Middle passes (n = 1024 .. 16): vectors run along q, the twiddles are broadcast per p.
  float* xr = scratch.re;
  float* xi = scratch.im;
  float* yr = result.re;
  float* yi = result.im;
  for (int pass = 1; pass < 5; ++pass) {
    const std::size_t n = kPassLength[pass];
    const std::size_t m = n / 4;
    const std::size_t s = kN / n;
    for (std::size_t p = 0; p < m; ++p) {
      const Vec w1 = {_mm_set1_ps(tw[0 * m + p]), _mm_set1_ps(tw[1 * m + p])};
      const Vec w2 = {_mm_set1_ps(tw[2 * m + p]), _mm_set1_ps(tw[3 * m + p])};
      const Vec w3 = {_mm_set1_ps(tw[4 * m + p]), _mm_set1_ps(tw[5 * m + p])};
      for (std::size_t q = 0; q < s; q += 4) {
        const std::size_t i = q + s * p;
        Vec y0, y1, y2, y3;
        butterfly(load(xr + i, xi + i), load(xr + i + s * m, xi + i + s * m),
                  load(xr + i + 2 * s * m, xi + i + 2 * s * m),
                  load(xr + i + 3 * s * m, xi + i + 3 * s * m), y0, y1, y2, y3);
        const std::size_t o = q + s * 4 * p;
        store(yr + o, yi + o, y0);
        store(yr + o + s, yi + o + s, mul(w1, y1));
        store(yr + o + 2 * s, yi + o + 2 * s, mul(w2, y2));
        store(yr + o + 3 * s, yi + o + 3 * s, mul(w3, y3));
      }
    }
    tw += 6 * m;
    std::swap(xr, yr);
    std::swap(xi, yi);
  }

  // Last pass (n = 4, s = 1024): every twiddle is 1.
  {
    constexpr std::size_t s = 1024;
    for (std::size_t q = 0; q < s; q += 4) {
      Vec y0, y1, y2, y3;
      butterfly(load(xr + q, xi + q), load(xr + q + s, xi + q + s),
                load(xr + q + 2 * s, xi + q + 2 * s), load(xr + q + 3 * s, xi + q + 3 * s), y0,
                y1, y2, y3);
      store(yr + q, yi + q, y0);
      store(yr + q + s, yi + q + s, y1);
      store(yr + q + 2 * s, yi + q + 2 * s, y2);
      store(yr + q + 3 * s, yi + q + 3 * s, y3);
    }
  }
  return {yr, yi};
#else
  return radix2Passes(input, result);
#endif
}

SP_WIDE void RealFourierTransform::fusedPassPair(std::size_t n, const float* tw,
                                                 const float* tw2, const float* xr,
                                                 const float* xi, float* zr, float* zi) {
  const std::size_t m = n / 4;
  const std::size_t m2 = n / 16;
  const std::size_t s = kN / n;
  for (std::size_t p2 = 0; p2 < m2; ++p2) {
    for (std::size_t q = 0; q < s; q += 8) {
      Vec8 a[4][4];  // [k'][r]: first-pass output r of p = p' + m'k'
#pragma GCC unroll 4
      for (std::size_t k2 = 0; k2 < 4; ++k2) {
        const std::size_t p = p2 + m2 * k2;
        const std::size_t i = q + s * p;
        butterfly(load8(xr + i, xi + i), load8(xr + i + s * m, xi + i + s * m),
                  load8(xr + i + 2 * s * m, xi + i + 2 * s * m),
                  load8(xr + i + 3 * s * m, xi + i + 3 * s * m), a[k2][0], a[k2][1], a[k2][2],
                  a[k2][3]);
#pragma GCC unroll 3
        for (std::size_t t = 1; t < 4; ++t) {
          const Vec8 w = {_mm256_broadcast_ss(tw + (2 * (t - 1)) * m + p),
                          _mm256_broadcast_ss(tw + (2 * (t - 1) + 1) * m + p)};
          a[k2][t] = mul(w, a[k2][t]);
        }
      }
#pragma GCC unroll 4
      for (std::size_t r = 0; r < 4; ++r) {
        Vec8 b[4];
        butterfly(a[0][r], a[1][r], a[2][r], a[3][r], b[0], b[1], b[2], b[3]);
        const std::size_t o = q + s * r + 16 * s * p2;
        store8(zr + o, zi + o, b[0]);
#pragma GCC unroll 3
        for (std::size_t t = 1; t < 4; ++t) {
          if (tw2 != nullptr) {
            const Vec8 w = {_mm256_broadcast_ss(tw2 + (2 * (t - 1)) * m2 + p2),
                            _mm256_broadcast_ss(tw2 + (2 * (t - 1) + 1) * m2 + p2)};
            b[t] = mul(w, b[t]);
          }
          store8(zr + o + 4 * s * t, zi + o + 4 * s * t, b[t]);
        }
      }
    }
  }
}

SP_WIDE RealFourierTransform::Complex RealFourierTransform::passesWide(const float* input,
                                                                       Parts scratch, Parts result) {
  const float* tw = passTwiddles_;

  // First pass (n = 4096, s = 1): eight values of p at a time from the interleaved input; the
  // four outputs of each p are consecutive.
  {
    constexpr std::size_t m = 1024;
    for (std::size_t p = 0; p < m; p += 8) {
      Vec8 in[4];
      for (std::size_t k = 0; k < 4; ++k) {
        const float* src = input + 2 * (p + k * m);
        const __m256 lo = _mm256_loadu_ps(src);
        const __m256 hi = _mm256_loadu_ps(src + 8);
        // Even and odd floats, in the order 0 1 4 5 | 2 3 6 7, then put in order.
        const __m256 evens = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
        const __m256 odds = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
        in[k] = {_mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(evens),
                                                        _MM_SHUFFLE(3, 1, 2, 0))),
                 _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(odds),
                                                        _MM_SHUFFLE(3, 1, 2, 0)))};
      }
      Vec8 y0, y1, y2, y3;
      butterfly(in[0], in[1], in[2], in[3], y0, y1, y2, y3);
      y1 = mul(load8(tw + 0 * m + p, tw + 1 * m + p), y1);
      y2 = mul(load8(tw + 2 * m + p, tw + 3 * m + p), y2);
      y3 = mul(load8(tw + 4 * m + p, tw + 5 * m + p), y3);
      storeColumns(scratch.re + 4 * p, y0.re, y1.re, y2.re, y3.re);
      storeColumns(scratch.im + 4 * p, y0.im, y1.im, y2.im, y3.im);
    }
    tw += 6 * m;
  }

  // Second pass (n = 1024, s = 4): two values of p at a time, four lanes each.
  {
    constexpr std::size_t m = 256;
    constexpr std::size_t s = 4;
    const float* xr = scratch.re;
    const float* xi = scratch.im;
    float* yr = result.re;
    float* yi = result.im;
    for (std::size_t p = 0; p < m; p += 2) {
      const std::size_t i = s * p;
      Vec8 y0, y1, y2, y3;
      butterfly(load8(xr + i, xi + i), load8(xr + i + s * m, xi + i + s * m),
                load8(xr + i + 2 * s * m, xi + i + 2 * s * m),
                load8(xr + i + 3 * s * m, xi + i + 3 * s * m), y0, y1, y2, y3);
      y1 = mul({pairOfTwiddles(tw + 0 * m + p), pairOfTwiddles(tw + 1 * m + p)}, y1);
      y2 = mul({pairOfTwiddles(tw + 2 * m + p), pairOfTwiddles(tw + 3 * m + p)}, y2);
      y3 = mul({pairOfTwiddles(tw + 4 * m + p), pairOfTwiddles(tw + 5 * m + p)}, y3);
      // Lanes 0..3 belong at 16p + 4t, lanes 4..7 at 16(p + 1) + 4t.
      const std::size_t o = 4 * s * p;
      _mm256_store_ps(yr + o, _mm256_permute2f128_ps(y0.re, y1.re, 0x20));
      _mm256_store_ps(yr + o + 8, _mm256_permute2f128_ps(y2.re, y3.re, 0x20));
      _mm256_store_ps(yr + o + 16, _mm256_permute2f128_ps(y0.re, y1.re, 0x31));
      _mm256_store_ps(yr + o + 24, _mm256_permute2f128_ps(y2.re, y3.re, 0x31));
      _mm256_store_ps(yi + o, _mm256_permute2f128_ps(y0.im, y1.im, 0x20));
      _mm256_store_ps(yi + o + 8, _mm256_permute2f128_ps(y2.im, y3.im, 0x20));
      _mm256_store_ps(yi + o + 16, _mm256_permute2f128_ps(y0.im, y1.im, 0x31));
      _mm256_store_ps(yi + o + 24, _mm256_permute2f128_ps(y2.im, y3.im, 0x31));
    }
    tw += 6 * m;
  }

  // The remaining four passes as two fused pairs (n = 256 with 64, then 16 with 4), each pair
  // in one sweep over the buffers.
  const float* secondTw = tw + 6 * 64;  // the twiddles of n = 64 follow those of n = 256
  fusedPassPair(256, tw, secondTw, result.re, result.im, scratch.re, scratch.im);
  tw = secondTw + 6 * 16;
  fusedPassPair(16, tw, nullptr, scratch.re, scratch.im, result.re, result.im);
  return {result.re, result.im};
}

#undef SP_WIDE

}  // namespace spectrapoise::dsp
