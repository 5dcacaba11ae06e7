#include "engine/dsp/real_fft.h"

#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

}  // namespace

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
  for (std::size_t i = 0; i < kHalf; ++i) {
    workRe_[i] = workIm_[i] = tempRe_[i] = tempIm_[i] = 0.0f;
  }
}

void RealFourierTransform::forwardRadix2(const float* input, float* re, float* im) {
  float* zr = workRe_;
  float* zi = workIm_;
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
  splitRealSpectrum(zr, zi, re, im);
}

// X[b] = (A + B)/2 + W_b (A - B)/(2i) with A = Z[b], B = conj Z[4096 - b].
void RealFourierTransform::splitRealSpectrum(const float* zr, const float* zi, float* re,
                                             float* im) const {
  re[0] = zr[0] + zi[0];
  im[0] = 0.0f;
  re[kN] = zr[0] - zi[0];
  im[kN] = 0.0f;
  std::size_t b = 1;
#if defined(__SSE2__)
  const __m128 half = _mm_set1_ps(0.5f);
  for (; b + 3 < kN - 3; b += 4) {
    // A = Z[b..b+3]; C = Z[4096-b .. 4093-b] (loaded ascending, then reversed).
    const __m128 ar = _mm_loadu_ps(zr + b);
    const __m128 ai = _mm_loadu_ps(zi + b);
    __m128 cr = _mm_loadu_ps(zr + (kN - b - 3));
    __m128 ci = _mm_loadu_ps(zi + (kN - b - 3));
    cr = _mm_shuffle_ps(cr, cr, _MM_SHUFFLE(0, 1, 2, 3));
    ci = _mm_shuffle_ps(ci, ci, _MM_SHUFFLE(0, 1, 2, 3));
    const __m128 wr = _mm_loadu_ps(cosTable_ + b);
    const __m128 wi = _mm_loadu_ps(sinTable_ + b);
    const __m128 p = _mm_mul_ps(_mm_add_ps(ai, ci), half);
    const __m128 q = _mm_mul_ps(_mm_sub_ps(cr, ar), half);
    const __m128 outRe = _mm_sub_ps(
        _mm_add_ps(_mm_mul_ps(_mm_add_ps(ar, cr), half), _mm_mul_ps(wr, p)), _mm_mul_ps(wi, q));
    const __m128 outIm = _mm_add_ps(
        _mm_add_ps(_mm_mul_ps(_mm_sub_ps(ai, ci), half), _mm_mul_ps(wi, p)), _mm_mul_ps(wr, q));
    _mm_storeu_ps(re + b, outRe);
    _mm_storeu_ps(im + b, outIm);
  }
#endif
  for (; b < kN; ++b) {
    const float ar = zr[b];
    const float ai = zi[b];
    const float cr = zr[kN - b];
    const float ci = zi[kN - b];
    const float p = (ai + ci) * 0.5f;
    const float q = (cr - ar) * 0.5f;
    re[b] = (ar + cr) * 0.5f + cosTable_[b] * p - sinTable_[b] * q;
    im[b] = (ai - ci) * 0.5f + sinTable_[b] * p + cosTable_[b] * q;
  }
}

#if defined(__SSE2__)

namespace {

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

}  // namespace

#endif

void RealFourierTransform::forward(const float* input, float* re, float* im) {
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
    float* yr = workRe_;
    float* yi = workIm_;
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
  float* xr = workRe_;
  float* xi = workIm_;
  float* yr = tempRe_;
  float* yi = tempIm_;
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
  splitRealSpectrum(yr, yi, re, im);
#else
  forwardRadix2(input, re, im);
#endif
}

}  // namespace spectrapoise::dsp
