#include "engine/dsp/real_fft.h"

#include <immintrin.h>

#include <cmath>
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

// Bin b of the real spectrum from the complex one: X[b] = (A + B)/2 + W_b (A - B)/(2i) with
// A = Z[b], B = conj Z[4096 - b], for 0 < b < 4096. The vector paths do exactly these
// operations lane by lane.
inline void splitBin(const float* zr, const float* zi, const float* cosTable,
                     const float* sinTable, std::size_t b, float& re, float& im) {
  const float ar = zr[b];
  const float ai = zi[b];
  const float cr = zr[kN - b];
  const float ci = zi[kN - b];
  const float p = (ai + ci) * 0.5f;
  const float q = (cr - ar) * 0.5f;
  re = (ar + cr) * 0.5f + cosTable[b] * p - sinTable[b] * q;
  im = (ai - ci) * 0.5f + sinTable[b] * p + cosTable[b] * q;
}

// Where the split spectrum goes: into re and im, or squared into bin powers in double
// (power[b] += re^2 + im^2).
struct SpectrumOut {
  float* re;
  float* im;
  void put(std::size_t b, float r, float i) const {
    re[b] = r;
    im[b] = i;
  }
#if defined(__SSE2__)
  void put4(std::size_t b, __m128 r, __m128 i) const {
    _mm_storeu_ps(re + b, r);
    _mm_storeu_ps(im + b, i);
  }
#endif
};

struct PowerOut {
  double* power;
  void put(std::size_t b, float r, float i) const {
    const double dr = r;
    const double di = i;
    power[b] += dr * dr + di * di;
  }
#if defined(__SSE2__)
  void put4(std::size_t b, __m128 r, __m128 i) const {
    for (int half = 0; half < 2; ++half) {
      const __m128 rs = half == 0 ? r : _mm_movehl_ps(r, r);
      const __m128 is = half == 0 ? i : _mm_movehl_ps(i, i);
      const __m128d dr = _mm_cvtps_pd(rs);
      const __m128d di = _mm_cvtps_pd(is);
      double* at = power + b + 2 * half;
      _mm_storeu_pd(at, _mm_add_pd(_mm_loadu_pd(at),
                                   _mm_add_pd(_mm_mul_pd(dr, dr), _mm_mul_pd(di, di))));
    }
  }
#endif
};

template <typename Out>
void splitBaseline(const float* zr, const float* zi, const float* cosTable,
                   const float* sinTable, Out out) {
  out.put(0, zr[0] + zi[0], 0.0f);
  out.put(kN, zr[0] - zi[0], 0.0f);
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
    const __m128 wr = _mm_loadu_ps(cosTable + b);
    const __m128 wi = _mm_loadu_ps(sinTable + b);
    const __m128 p = _mm_mul_ps(_mm_add_ps(ai, ci), half);
    const __m128 q = _mm_mul_ps(_mm_sub_ps(cr, ar), half);
    const __m128 outRe = _mm_sub_ps(
        _mm_add_ps(_mm_mul_ps(_mm_add_ps(ar, cr), half), _mm_mul_ps(wr, p)), _mm_mul_ps(wi, q));
    const __m128 outIm = _mm_add_ps(
        _mm_add_ps(_mm_mul_ps(_mm_sub_ps(ai, ci), half), _mm_mul_ps(wi, p)), _mm_mul_ps(wr, q));
    out.put4(b, outRe, outIm);
  }
#endif
  for (; b < kN; ++b) {
    float r, i;
    splitBin(zr, zi, cosTable, sinTable, b, r, i);
    out.put(b, r, i);
  }
}

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

// The wide path: the same passes, the same operations on every value and so the same bits,
// eight lanes at a time. No fused multiply-adds here: they would round differently.
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
SP_WIDE inline Vec8 loadu8(const float* re, const float* im) {
  return {_mm256_loadu_ps(re), _mm256_loadu_ps(im)};
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

// The split eight bins at a time; the stores (re, or the bin powers) are aligned to 32 bytes
// by first doing up to seven bins one at a time.
struct SpectrumOutWide {
  float* re;
  float* im;
  const void* alignOn() const { return re; }
  std::size_t alignUnit() const { return sizeof(float); }
  void put(std::size_t b, float r, float i) const {
    re[b] = r;
    im[b] = i;
  }
  SP_WIDE void put8(std::size_t b, __m256 r, __m256 i) const {
    _mm256_storeu_ps(re + b, r);
    _mm256_storeu_ps(im + b, i);
  }
};

struct PowerOutWide {
  double* power;
  const void* alignOn() const { return power; }
  std::size_t alignUnit() const { return sizeof(double); }
  void put(std::size_t b, float r, float i) const { PowerOut{power}.put(b, r, i); }
  SP_WIDE void put8(std::size_t b, __m256 r, __m256 i) const {
    for (int half = 0; half < 2; ++half) {
      const __m128 rs = half == 0 ? _mm256_castps256_ps128(r) : _mm256_extractf128_ps(r, 1);
      const __m128 is = half == 0 ? _mm256_castps256_ps128(i) : _mm256_extractf128_ps(i, 1);
      const __m256d dr = _mm256_cvtps_pd(rs);
      const __m256d di = _mm256_cvtps_pd(is);
      double* at = power + b + 4 * half;
      _mm256_storeu_pd(at, _mm256_add_pd(_mm256_loadu_pd(at), _mm256_add_pd(_mm256_mul_pd(dr, dr),
                                                                            _mm256_mul_pd(di, di))));
    }
  }
};

template <typename Out>
SP_WIDE void splitWide(const float* zr, const float* zi, const float* cosTable,
                       const float* sinTable, Out out) {
  out.put(0, zr[0] + zi[0], 0.0f);
  out.put(kN, zr[0] - zi[0], 0.0f);
  std::size_t b = 1;
  const auto address = reinterpret_cast<std::uintptr_t>(out.alignOn());
  for (; b < 8 && (address + b * out.alignUnit()) % 32 != 0; ++b) {
    float r, i;
    splitBin(zr, zi, cosTable, sinTable, b, r, i);
    out.put(b, r, i);
  }
  const __m256 half = _mm256_set1_ps(0.5f);
  const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
  for (; b + 7 < kN - 7; b += 8) {
    // A = Z[b..b+7]; C = Z[4096-b .. 4089-b] (loaded ascending, then reversed).
    const __m256 ar = _mm256_loadu_ps(zr + b);
    const __m256 ai = _mm256_loadu_ps(zi + b);
    const __m256 cr = _mm256_permutevar8x32_ps(_mm256_loadu_ps(zr + (kN - b - 7)), reverse);
    const __m256 ci = _mm256_permutevar8x32_ps(_mm256_loadu_ps(zi + (kN - b - 7)), reverse);
    const __m256 wr = _mm256_loadu_ps(cosTable + b);
    const __m256 wi = _mm256_loadu_ps(sinTable + b);
    const __m256 p = _mm256_mul_ps(_mm256_add_ps(ai, ci), half);
    const __m256 q = _mm256_mul_ps(_mm256_sub_ps(cr, ar), half);
    const __m256 outRe = _mm256_sub_ps(
        _mm256_add_ps(_mm256_mul_ps(_mm256_add_ps(ar, cr), half), _mm256_mul_ps(wr, p)),
        _mm256_mul_ps(wi, q));
    const __m256 outIm = _mm256_add_ps(
        _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(ai, ci), half), _mm256_mul_ps(wi, p)),
        _mm256_mul_ps(wr, q));
    out.put8(b, outRe, outIm);
  }
  for (; b < kN; ++b) {
    float r, i;
    splitBin(zr, zi, cosTable, sinTable, b, r, i);
    out.put(b, r, i);
  }
}

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

RealFourierTransform::Complex RealFourierTransform::radix2Passes(const float* input) {
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
  return {zr, zi};
}

void RealFourierTransform::forwardRadix2(const float* input, float* re, float* im) {
  const Complex z = radix2Passes(input);
  splitBaseline(z.re, z.im, cosTable_, sinTable_, SpectrumOut{re, im});
}

void RealFourierTransform::forward(const float* input, float* re, float* im) {
  if (path_ == SimdPath::wide) {
    const Complex z = passesWide(input);
    splitWide(z.re, z.im, cosTable_, sinTable_, SpectrumOutWide{re, im});
  } else {
    const Complex z = passesBaseline(input);
    splitBaseline(z.re, z.im, cosTable_, sinTable_, SpectrumOut{re, im});
  }
}

void RealFourierTransform::addPowers(const float* input, double* power) {
  if (path_ == SimdPath::wide) {
    const Complex z = passesWide(input);
    splitWide(z.re, z.im, cosTable_, sinTable_, PowerOutWide{power});
  } else {
    const Complex z = passesBaseline(input);
    splitBaseline(z.re, z.im, cosTable_, sinTable_, PowerOut{power});
  }
}

RealFourierTransform::Complex RealFourierTransform::passesBaseline(const float* input) {
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
  return {yr, yi};
#else
  return radix2Passes(input);
#endif
}

SP_WIDE RealFourierTransform::Complex RealFourierTransform::passesWide(const float* input) {
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
      storeColumns(workRe_ + 4 * p, y0.re, y1.re, y2.re, y3.re);
      storeColumns(workIm_ + 4 * p, y0.im, y1.im, y2.im, y3.im);
    }
    tw += 6 * m;
  }

  // Second pass (n = 1024, s = 4): two values of p at a time, four lanes each.
  {
    constexpr std::size_t m = 256;
    constexpr std::size_t s = 4;
    const float* xr = workRe_;
    const float* xi = workIm_;
    float* yr = tempRe_;
    float* yi = tempIm_;
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

  // Middle passes (n = 256, 64, 16): vectors along q, twiddles broadcast per p.
  float* xr = tempRe_;
  float* xi = tempIm_;
  float* yr = workRe_;
  float* yi = workIm_;
  for (int pass = 2; pass < 5; ++pass) {
    const std::size_t n = kPassLength[pass];
    const std::size_t m = n / 4;
    const std::size_t s = kN / n;
    for (std::size_t p = 0; p < m; ++p) {
      const Vec8 w1 = {_mm256_set1_ps(tw[0 * m + p]), _mm256_set1_ps(tw[1 * m + p])};
      const Vec8 w2 = {_mm256_set1_ps(tw[2 * m + p]), _mm256_set1_ps(tw[3 * m + p])};
      const Vec8 w3 = {_mm256_set1_ps(tw[4 * m + p]), _mm256_set1_ps(tw[5 * m + p])};
      for (std::size_t q = 0; q < s; q += 8) {
        const std::size_t i = q + s * p;
        Vec8 y0, y1, y2, y3;
        butterfly(load8(xr + i, xi + i), load8(xr + i + s * m, xi + i + s * m),
                  load8(xr + i + 2 * s * m, xi + i + 2 * s * m),
                  load8(xr + i + 3 * s * m, xi + i + 3 * s * m), y0, y1, y2, y3);
        const std::size_t o = q + s * 4 * p;
        store8(yr + o, yi + o, y0);
        store8(yr + o + s, yi + o + s, mul(w1, y1));
        store8(yr + o + 2 * s, yi + o + 2 * s, mul(w2, y2));
        store8(yr + o + 3 * s, yi + o + 3 * s, mul(w3, y3));
      }
    }
    tw += 6 * m;
    std::swap(xr, yr);
    std::swap(xi, yi);
  }

  // Last pass (n = 4, s = 1024): every twiddle is 1.
  {
    constexpr std::size_t s = 1024;
    for (std::size_t q = 0; q < s; q += 8) {
      Vec8 y0, y1, y2, y3;
      butterfly(load8(xr + q, xi + q), load8(xr + q + s, xi + q + s),
                load8(xr + q + 2 * s, xi + q + 2 * s), load8(xr + q + 3 * s, xi + q + 3 * s),
                y0, y1, y2, y3);
      store8(yr + q, yi + q, y0);
      store8(yr + q + s, yi + q + s, y1);
      store8(yr + q + 2 * s, yi + q + 2 * s, y2);
      store8(yr + q + 3 * s, yi + q + 3 * s, y3);
    }
  }
  return {yr, yi};
}

#undef SP_WIDE

}  // namespace spectrapoise::dsp
