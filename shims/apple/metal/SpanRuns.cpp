// The runs of span shading (see Spans.cpp): the exact path and the stencil-only loop, then the
// constant, texel, text and gradient paths with the row stores they write through.
#include "shims/apple/metal/SpanState.h"

namespace mtl::raster {
using namespace span;
namespace {

namespace sh = gpu::shading;

constexpr double kTexelSlack = 1.0 / 4096;  // distance from a texel centre the texel copy accepts
constexpr int64_t kLutAfter = 1024;         // pixels of one colour drawn exactly before a table pays off

// storeSourceOver over a row of m pixels with colours in planes, for byte orders RGBA (R = 0,
// B = 2) and BGRA (R = 2, B = 0).
template <int R, int B>
void storeSourceOverRow(uint8_t* p, const float* r, const float* g, const float* b, const float* a, int m) {
  constexpr float k = 1.f / 255.f;
  int opaque = 0;
  for (int j = 0; j < m; ++j) opaque += a[j] == 1.f ? 1 : 0;
  if (opaque == m) {
    // 1 - alpha is an exact 0: the destination (finite) adds +0, the colour is stored as is.
    for (int j = 0; j < m; ++j) {
      uint8_t* q = p + j * 4;
      q[R] = toUnorm(r[j] * 1.f + 0.f);
      q[1] = toUnorm(g[j] * 1.f + 0.f);
      q[B] = toUnorm(b[j] * 1.f + 0.f);
      q[3] = toUnorm(a[j] * 1.f + 0.f);
    }
    return;
  }
  for (int j = 0; j < m; ++j) {
    uint8_t* q = p + j * 4;
    const float keep = 1.f - a[j];
    const float outR = r[j] * 1.f + q[R] * k * keep;
    const float outG = g[j] * 1.f + q[1] * k * keep;
    const float outB = b[j] * 1.f + q[B] * k * keep;
    const float outA = a[j] * 1.f + q[3] * k * keep;
    q[R] = toUnorm(outR);
    q[1] = toUnorm(outG);
    q[B] = toUnorm(outB);
    q[3] = toUnorm(outA);
  }
}

// Four pixels as one vector (GCC vector extension: element-wise operations).
typedef uint32_t Pixels4 __attribute__((vector_size(16)));

// True when the m four-byte pixels at p are all zero (a constant m vectorises).
template <int64_t kCount>
inline bool zeroPixels(const uint8_t* p) {
  static_assert(kCount % 4 == 0);
  Pixels4 any = {0, 0, 0, 0};
  for (int64_t j = 0; j < kCount; j += 4) {
    Pixels4 v;
    std::memcpy(&v, p + j * 4, 16);
    any |= v;
  }
  return (any[0] | any[1] | any[2] | any[3]) == 0;
}
inline bool zeroPixels(const uint8_t* p, int64_t m) {
  uint32_t any = 0;
  for (int64_t j = 0; j < m; ++j) {
    uint32_t v;
    std::memcpy(&v, p + j * 4, 4);
    any |= v;
  }
  return any == 0;
}

// Sets n four-byte pixels to one value, four at a time.
inline void fillPixels(uint8_t* p, uint32_t word, int64_t n) {
  const Pixels4 v = {word, word, word, word};
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) std::memcpy(p + i * 4, &v, 16);
  for (; i < n; ++i) std::memcpy(p + i * 4, &word, 4);
}

// The cover pass of a stencilled fill: passes where the stored value differs from the
// reference (under the read mask), and every tested value becomes 0, pass or fail.
inline bool isCoverTest(const StencilDescriptor& sd) {
  return sd.stencilCompareFunction == CompareFunction::NotEqual && sd.stencilFailureOperation == StencilOperation::Zero &&
         sd.depthStencilPassOperation == StencilOperation::Zero && (sd.writeMask & 0xFF) == 0xFF;
}

// Copies m four-byte pixels, exchanging bytes 0 and 2 (RGBA <-> BGRA).
inline uint32_t swapRedBlue(uint32_t v) { return (v & 0xFF00FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu); }
template <int64_t kCount>
inline void swapRedBlue(uint8_t* dst, const uint8_t* src) {
  static_assert(kCount % 4 == 0);
  for (int64_t j = 0; j < kCount; j += 4) {
    Pixels4 v;
    std::memcpy(&v, src + j * 4, 16);
    v = (v & 0xFF00FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu);
    std::memcpy(dst + j * 4, &v, 16);
  }
}
inline void swapRedBlue(uint8_t* dst, const uint8_t* src, int64_t m) {
  for (int64_t j = 0; j < m; ++j) {
    uint32_t v;
    std::memcpy(&v, src + j * 4, 4);
    v = swapRedBlue(v);
    std::memcpy(dst + j * 4, &v, 4);
  }
}

// Texel indexes i0 .. i1 over n pixels as a start and a whole step per pixel; false when
// the step is not whole.
bool texelSteps(double i0, double i1, int64_t n, int64_t& start, int64_t& step) {
  start = static_cast<int64_t>(i0);
  const int64_t span = static_cast<int64_t>(i1) - start;
  if (n == 1) {
    step = 0;
    return true;
  }
  if (span % (n - 1) != 0) return false;
  step = span / (n - 1);
  return true;
}

}  // namespace

// The scan converter's interpolation of pixels k0 .. k1 of the run, then their fragments.
template <class I>
void SpanShader::Impl::exact(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t k0, int64_t k1) {
  for (int64_t c0 = k0; c0 <= k1; c0 += kChunk) {
    const int m = static_cast<int>(std::min<int64_t>(k1 - c0 + 1, kChunk));
    for (int j = 0; j < m; ++j) {
      const I k = I(c0 + j);
      const double beta = static_cast<double>(e.e1 + k * e.s1) * tri.invArea;
      const double gamma = static_cast<double>(e.e2 + k * e.s2) * tri.invArea;
      for (int i = 0; i < kMaxVaryings; ++i) vary[j][i] = static_cast<float>(tri.a[i] + tri.dB[i] * beta + tri.dC[i] * gamma);
    }
    const bool over = fast && sourceOver;
    switch (fast ? shader : Shader::Other) {
      case Shader::None: shadeChunk<Shader::None, false>(y, x0 + c0, m); break;
      case Shader::Plain:
        over ? shadeChunk<Shader::Plain, true>(y, x0 + c0, m) : shadeChunk<Shader::Plain, false>(y, x0 + c0, m);
        break;
      case Shader::AntiAlias:
        over ? shadeChunk<Shader::AntiAlias, true>(y, x0 + c0, m) : shadeChunk<Shader::AntiAlias, false>(y, x0 + c0, m);
        break;
      case Shader::Other: shadeChunk<Shader::Other, false>(y, x0 + c0, m); break;
    }
  }
}

// Fragment function, discard, stencil, blend: pixel by pixel, as the pipeline defines them.
template <SpanShader::Impl::Shader K, bool kSourceOver>
void SpanShader::Impl::shadeChunk(int64_t y, int64_t x, int m) {
  uint8_t* colorRow = t->color + static_cast<size_t>(y) * t->colorStride * t->layout.bpp;
  uint8_t* stencilRow = t->stencil ? t->stencil + static_cast<size_t>(y) * t->stencilStride : nullptr;
  gpu::FragmentIn in = d->in;
  for (int j = 0; j < m; ++j) {
    const size_t px = static_cast<size_t>(x + j);
    float src[4] = {0, 0, 0, 0};
    if constexpr (K == Shader::Plain) {
      if (!sh::shade<false>(u, tex, smp, vary[j], src)) continue;
    } else if constexpr (K == Shader::AntiAlias) {
      if (!sh::shade<true>(u, tex, smp, vary[j], src)) continue;
    } else if constexpr (K == Shader::Other) {
      if (d->fragment) {
        std::memcpy(in.varyings, vary[j], sizeof in.varyings);
        if (!d->fragment(in, src)) continue;
      }
    }
    if (sd && !stencilTest(*sd, stencilRow[px], d->stencilRef)) continue;
    if (!d->writeColor) continue;
    if constexpr (kSourceOver)
      storeSourceOver(t->layout, colorRow + px * 4, src);
    else
      storeFragment(t->layout, *d->color, colorRow + px * t->layout.bpp, src);
  }
}

void SpanShader::Impl::stencilOnly(int64_t y, int64_t x0, int64_t n) {
  if (!sd) return;
  uint8_t* s = t->stencil + static_cast<size_t>(y) * t->stencilStride + static_cast<size_t>(x0);
  const uint32_t ref = d->stencilRef;
  if (sd->stencilCompareFunction == CompareFunction::Always && (sd->writeMask & 0xFF) == 0xFF) {
    switch (sd->depthStencilPassOperation) {
      case StencilOperation::Keep: return;
      case StencilOperation::Zero: std::memset(s, 0, static_cast<size_t>(n)); return;
      case StencilOperation::Replace: std::memset(s, static_cast<uint8_t>(ref), static_cast<size_t>(n)); return;
      case StencilOperation::IncrementWrap:
        for (int64_t i = 0; i < n; ++i) s[i] = static_cast<uint8_t>(s[i] + 1);
        return;
      case StencilOperation::DecrementWrap:
        for (int64_t i = 0; i < n; ++i) s[i] = static_cast<uint8_t>(s[i] - 1);
        return;
      default: break;
    }
  }
  for (int64_t i = 0; i < n; ++i) stencilTest(*sd, s[i], ref);
}

template <class I>
void SpanShader::Impl::constRun(const RunEdges<I>&, int64_t y, int64_t x0, int64_t k0, int64_t k1, const float src[4]) {
  const int64_t n = k1 - k0 + 1;
  uint8_t* s = sd ? t->stencil + static_cast<size_t>(y) * t->stencilStride + static_cast<size_t>(x0 + k0) : nullptr;
  const uint32_t ref = d->stencilRef;
  if (!d->writeColor) {
    if (s)
      for (int64_t i = 0; i < n; ++i) stencilTest(*sd, s[i], ref);
    return;
  }
  // The cover pass of a stencilled fill: a comparison per pixel and one clear of the tested values.
  const bool cover = s && isCoverTest(*sd) && (ref & sd->readMask) <= 0xFF;
  // A colour of signed zeros under source-over keeps every byte: only the stencil changes.
  if (sourceOver && src[0] == 0.f && src[1] == 0.f && src[2] == 0.f && src[3] == 0.f && zeroOverKeepsBytes()) {
    if (!s) return;
    if (cover) {
      std::memset(s, 0, static_cast<size_t>(n));
      return;
    }
    for (int64_t i = 0; i < n; ++i) stencilTest(*sd, s[i], ref);
    return;
  }
  const size_t bpp = t->layout.bpp;
  uint8_t* p = t->color + (static_cast<size_t>(y) * t->colorStride + static_cast<size_t>(x0 + k0)) * bpp;
  ConstPlan& pl = const_cast<ConstPlan&>(planFor(src));
  if (pl.kind == ConstPlan::Kind::Exact && pl.tableable) {
    pl.exactPixels += n;
    if (pl.exactPixels > kLutAfter) {
      // Every channel's result from a pixel whose four bytes are all v: for channel c only
      // byte c (and for alpha only the alpha byte) is read.
      for (int v = 0; v < 256; ++v) {
        uint8_t px[4] = {uint8_t(v), uint8_t(v), uint8_t(v), uint8_t(v)};
        storeFragment(t->layout, *d->color, px, pl.src);
        for (int b = 0; b < 4; ++b) pl.table[b][v] = pl.write[b] ? px[b] : uint8_t(v);
      }
      pl.kind = ConstPlan::Kind::Table;
    }
  }
  const uint8_t coverMask = cover ? static_cast<uint8_t>(sd->readMask) : 0;
  const uint8_t coverRef = static_cast<uint8_t>(ref & coverMask);
  switch (pl.kind) {
    case ConstPlan::Kind::Bytes:
      if (pl.allWritten && (!s || cover)) {
        uint32_t word;
        std::memcpy(&word, pl.bytes, 4);
        if (!s) return fillPixels(p, word, n);
        for (int64_t i = 0; i < n; ++i)
          if ((s[i] & coverMask) != coverRef) std::memcpy(p + i * 4, &word, 4);
        std::memset(s, 0, static_cast<size_t>(n));
        return;
      }
      for (int64_t i = 0; i < n; ++i, p += 4) {
        if (s && !stencilTest(*sd, s[i], ref)) continue;
        for (int b = 0; b < 4; ++b)
          if (pl.write[b]) p[b] = pl.bytes[b];
      }
      return;
    case ConstPlan::Kind::Table:
      if (cover) {
        for (int64_t i = 0; i < n; ++i, p += 4)
          if ((s[i] & coverMask) != coverRef)
            for (int b = 0; b < 4; ++b) p[b] = pl.table[b][p[b]];
        std::memset(s, 0, static_cast<size_t>(n));
        return;
      }
      for (int64_t i = 0; i < n; ++i, p += 4) {
        if (s && !stencilTest(*sd, s[i], ref)) continue;
        for (int b = 0; b < 4; ++b) p[b] = pl.table[b][p[b]];
      }
      return;
    case ConstPlan::Kind::Exact:
      for (int64_t i = 0; i < n; ++i, p += bpp) {
        if (s && !stencilTest(*sd, s[i], ref)) continue;
        storeFragment(t->layout, *d->color, p, pl.src);
      }
      return;
  }
}

// Pixels k0 .. k1 of the run when every one maps onto a texel centre (see Spans.cpp);
// false (nothing drawn) when that cannot be proven.
template <class I>
bool SpanShader::Impl::texelRun(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t k0, int64_t k1) {
  const int64_t n = k1 - k0 + 1;
  const size_t tw = tex->width(), th = tex->height();
  const SamplerDescriptor defaults;
  const SamplerDescriptor& s = smp ? *smp : defaults;
  int64_t start[2], step[2];
  // The texel index of every pixel as a start and a step, with positions fx, fy.
  const auto onTexels = [&](const Lin& fx, const Lin& fy) {
    for (int row = 0; row < 2; ++row) {
      const Lin p = transformLin(u.paintMat, row, fx, fy);
      // u = p / extent in float, then double(u) * size - 0.5.
      const double ext = u.extent[row], size = double(row == 0 ? tw : th);
      const double q0 = p.v0 / ext, q1 = p.v1 / ext;
      const double qMax = std::max(std::fabs(q0), std::fabs(q1)) + (p.err + p.maxAbs * 0x1p-50) / std::fabs(ext);
      const double qErr = p.err / std::fabs(ext) + (isPowerOfTwoOrZero(ext) ? 0.0 : qMax * 0x1p-24) + kTiny +
                          p.maxAbs / std::fabs(ext) * 0x1p-50;
      const double c0 = q0 * size - 0.5, c1 = q1 * size - 0.5;
      const double cErr = qErr * size + (qMax * size + 1.0) * 0x1p-50;
      const double i0 = std::nearbyint(c0), i1 = std::nearbyint(c1);
      if (!(std::fabs(c0 - i0) + cErr <= kTexelSlack && std::fabs(c1 - i1) + cErr <= kTexelSlack)) return false;
      if (std::fabs(i0) > 1e15 || std::fabs(i1) > 1e15) return false;
      if (!texelSteps(i0, i1, n, start[row], step[row])) return false;
    }
    return true;
  };
  // The positions' rounding bound first; where that is too wide (thousands of texels), the
  // proof of exact positions.
  if (!onTexels(varyingLin(0, e, k0, k1), varyingLin(1, e, k0, k1)) &&
      !onTexels(exactVaryingLin(0, e, k0, k1), exactVaryingLin(1, e, k0, k1)))
    return false;
  const ColorLayout& l = t->layout;
  const bool bgraTex = tex->pixelFormat() == PixelFormat::BGRA8Unorm;
  const int tr = bgraTex ? 2 : 0, tb = bgraTex ? 0 : 2;
  const uint8_t* texels = tex->levelData(0);
  uint8_t* row = t->color + static_cast<size_t>(y) * t->colorStride * 4;
  // One pixel: the texel's bytes where they are what blending gives, else the exact path.
  const auto pixel = [&](int64_t k, const uint8_t* q) {
    uint8_t* p = row + static_cast<size_t>(x0 + k0 + k) * 4;
    const bool zeroDst = p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0;
    if (texelDst == 2 || zeroDst || (texelDst == 1 && q[3] == 255)) {
      const uint8_t r = q[tr], g = q[1], b = q[tb], a = q[3];
      p[l.r] = r;
      p[l.g] = g;
      p[l.b] = b;
      p[l.a] = a;
    } else {
      exact(e, y, x0, k0 + k, k0 + k);
    }
  };
  const bool contiguous = step[0] == 1 && step[1] == 0 && start[0] >= 0 && start[0] + n <= int64_t(tw) && start[1] >= 0 &&
                          start[1] < int64_t(th);
  if (!contiguous) {
    for (int64_t k = 0; k < n; ++k) {
      size_t tx = 0, ty = 0;
      sh::address(double(start[0] + step[0] * k), tw, s.sAddressMode, tx);
      sh::address(double(start[1] + step[1] * k), th, s.tAddressMode, ty);
      pixel(k, texels + (ty * tw + tx) * 4);
    }
    return true;
  }
  // A row of texels onto a row of pixels, in blocks: a block whose pixels are all zero (or
  // whose blend ignores them) is copied whole, byte order converted.
  const uint8_t* q = texels + (static_cast<size_t>(start[1]) * tw + static_cast<size_t>(start[0])) * 4;
  uint8_t* p = row + static_cast<size_t>(x0 + k0) * 4;
  const bool sameOrder = l.r == tr && l.g == 1 && l.b == tb && l.a == 3;
  const bool swapped = l.r == tb && l.g == 1 && l.b == tr && l.a == 3;
  constexpr int64_t kBlock = 16;
  for (int64_t k = 0; k < n; k += kBlock) {
    const int64_t m = std::min(kBlock, n - k);
    uint8_t* pb = p + k * 4;
    const uint8_t* qb = q + k * 4;
    const bool full = m == kBlock;
    bool whole = texelDst == 2;
    if (!whole) whole = full ? zeroPixels<kBlock>(pb) : zeroPixels(pb, m);
    if (!whole) {
      for (int64_t j = 0; j < m; ++j) pixel(k + j, qb + j * 4);
    } else if (sameOrder) {
      std::memcpy(pb, qb, static_cast<size_t>(m) * 4);
    } else if (swapped) {
      if (full)
        swapRedBlue<kBlock>(pb, qb);
      else
        swapRedBlue(pb, qb, m);
    } else {
      for (int64_t j = 0; j < m; ++j) {
        const uint8_t* qt = qb + j * 4;
        uint8_t* pt = pb + j * 4;
        const uint8_t r = qt[tr], g = qt[1], b = qt[tb], a = qt[3];
        pt[l.r] = r;
        pt[l.g] = g;
        pt[l.b] = b;
        pt[l.a] = a;
      }
    }
  }
  return true;
}

// The scan converter's interpolation of varyings `first` and first + 1 at pixels c0 ..
// c0 + m - 1. Where every numerator and step is an integer below 2^52, double(e1) + k
// double(s1) is the exact integer the scan converter converts, so the sum can be formed in
// double (and vectorised).
template <class I>
void SpanShader::Impl::interpolatePair(const RunEdges<I>& e, int first, int64_t c0, int m, float* va, float* vb) const {
  const I n1 = e.e1 + I(c0) * e.s1, n2 = e.e2 + I(c0) * e.s2;
  const I last1 = n1 + I(m - 1) * e.s1, last2 = n2 + I(m - 1) * e.s2;
  const auto small = [&](I v) { return v > -I(int64_t{1} << 52) && v < I(int64_t{1} << 52); };
  const double a0 = tri.a[first], b0v = tri.dB[first], c0v = tri.dC[first];
  const double a1 = tri.a[first + 1], b1v = tri.dB[first + 1], c1v = tri.dC[first + 1];
  const double inv = tri.invArea;
  if (small(n1) && small(n2) && small(last1) && small(last2) && small(e.s1 * I(kChunk)) && small(e.s2 * I(kChunk))) {
    const double b0 = static_cast<double>(n1), g0 = static_cast<double>(n2);
    const double bs = static_cast<double>(e.s1), gs = static_cast<double>(e.s2);
    for (int j = 0; j < m; ++j) {
      const double beta = (b0 + double(j) * bs) * inv;
      const double gamma = (g0 + double(j) * gs) * inv;
      va[j] = static_cast<float>(a0 + b0v * beta + c0v * gamma);
      vb[j] = static_cast<float>(a1 + b1v * beta + c1v * gamma);
    }
    return;
  }
  for (int j = 0; j < m; ++j) {
    const I k = I(c0 + j);
    const double beta = static_cast<double>(e.e1 + k * e.s1) * inv;
    const double gamma = static_cast<double>(e.e2 + k * e.s2) * inv;
    va[j] = static_cast<float>(a0 + b0v * beta + c0v * gamma);
    vb[j] = static_cast<float>(a1 + b1v * beta + c1v * gamma);
  }
}

// The textured-triangle shader (type 2) where the texture coordinates at every pixel of
// k0 .. k1 are exactly texel centres, so the sample is one texel: the scissor mask is a known
// constant, the coordinates' model lies so close to (i + 1/2) / size (a float, size being a
// power of two) that the interpolated float is that value, and (AA) the stroke mask, with u in
// [0, 1] and v >= 0, cannot fall below a threshold <= 0. False (nothing drawn) otherwise.
template <class I>
bool SpanShader::Impl::textRun(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t k0, int64_t k1, float scissor) {
  const int64_t n = k1 - k0 + 1;
  const size_t size[2] = {tex->width(), tex->height()};
  int64_t start[2], step[2];
  for (int axis = 0; axis < 2; ++axis) {
    const int i = 2 + axis;
    const Lin c = varyingLin(i, e, k0, k1);
    if (shader == Shader::AntiAlias) {
      const double lo = std::min(c.v0, c.v1) - c.err, hi = std::max(c.v0, c.v1) + c.err;
      if (!(lo >= 0.0) || (axis == 0 && !(hi <= 1.0))) return false;
    }
    const double w = double(size[axis]);
    const double i0 = std::nearbyint(c.v0 * w - 0.5), i1 = std::nearbyint(c.v1 * w - 0.5);
    if (!(i0 >= 0 && i1 >= 0 && i0 < 0x1p22 && i1 < 0x1p22)) return false;  // (i + 1/2) / size is a float
    const double f0 = (i0 + 0.5) / w, f1 = (i1 + 0.5) / w;
    // Distance of the computed doubles from the targets: the model's own distance at the
    // ends (affine, so the largest there) plus the double rounding of model and exact path.
    const double mag = std::fabs(tri.a[i]) + std::fabs(tri.dB[i]) + std::fabs(tri.dC[i]);
    const double off = std::max(std::fabs(c.v0 - f0), std::fabs(c.v1 - f1)) + mag * 0x1p-45;
    int ex;
    std::frexp(std::min(f0, f1), &ex);  // min in [2^(ex-1), 2^ex): float spacing there >= 2^(ex-24)
    if (!(off < std::ldexp(1.0, ex - 26))) return false;
    if (!texelSteps(i0, i1, n, start[axis], step[axis])) return false;
  }
  const SamplerDescriptor defaults;
  const SamplerDescriptor& smpd = smp ? *smp : defaults;
  const size_t bpp = t->layout.bpp;
  uint8_t* colorRow = t->color + static_cast<size_t>(y) * t->colorStride * bpp;
  uint8_t* stencilRow = sd ? t->stencil + static_cast<size_t>(y) * t->stencilStride : nullptr;
  const int texType = u.texType;
  // Along a texel row inside the texture the addresses are the texel indexes themselves.
  const bool contiguous = step[0] == 1 && step[1] == 0 && start[0] + n <= int64_t(size[0]) && start[1] < int64_t(size[1]);
  if (contiguous && !sd && sourceOver && texType == 2 && tex->pixelFormat() == PixelFormat::R8Unorm) {
    // A glyph row: the texel r gives (r / 255) in every channel, so an empty texel gives a
    // colour of signed zeros, which keeps the pixel where zeroKeeps holds.
    const uint8_t* texels = tex->levelData(0) + static_cast<size_t>(start[1]) * size[0] + static_cast<size_t>(start[0]);
    const float inner[4] = {u.innerCol[0], u.innerCol[1], u.innerCol[2], u.innerCol[3]};
    uint8_t* p = colorRow + static_cast<size_t>(x0 + k0) * 4;
    const bool skipEmpty = zeroKeeps && std::isfinite(scissor);
    for (int64_t k = 0; k < n; ++k) {
      const uint8_t r = texels[k];
      if (r == 0 && skipEmpty) continue;
      const float tv = r * (1.f / 255.f);
      float src[4];
      for (int c = 0; c < 4; ++c) src[c] = tv * scissor * inner[c];
      storeSourceOver(t->layout, p + k * 4, src);
    }
    return true;
  }
  for (int64_t k = 0; k < n; ++k) {
    size_t tx = 0, ty = 0;
    if (contiguous) {
      tx = static_cast<size_t>(start[0] + k);
      ty = static_cast<size_t>(start[1]);
    } else {
      sh::address(double(start[0] + step[0] * k), size[0], smpd.sAddressMode, tx);
      sh::address(double(start[1] + step[1] * k), size[1], smpd.tAddressMode, ty);
    }
    float tv[4];
    sh::texel(*tex, tx, ty, tv);
    sh::applyTexType(texType, tv);
    float src[4];
    for (int c = 0; c < 4; ++c) src[c] = tv[c] * scissor * u.innerCol[c];
    const size_t px = static_cast<size_t>(x0 + k0 + k);
    if (sd && !stencilTest(*sd, stencilRow[px], d->stencilRef)) continue;
    if (!d->writeColor) continue;
    if (sourceOver)
      storeSourceOver(t->layout, colorRow + px * 4, src);
    else
      storeFragment(t->layout, *d->color, colorRow + px * bpp, src);
  }
  return true;
}

// The gradient shader (type 0) where the scissor mask is a known constant: per pixel the
// stroke mask (unless constant over the triangle) with its discard, the paint position and
// gradient (unless the paint is solid, where the gradient position drops out), the colour and
// the blend, each with the shader's own expressions.
template <class I>
void SpanShader::Impl::gradientRun(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t k0, int64_t k1, float scissor) {
  const bool varyingStroke = shader == Shader::AntiAlias && !constTc;
  const float constK = strokeAlpha * scissor;
  const float* m = u.paintMat;
  const float* inner = u.innerCol;
  const float* diff = paint.diff;
  const float* base = paint.base;
  const float ex = u.extent[0], ey = u.extent[1], r = u.radius, feather = u.feather, halfFeather = paint.halfFeather;
  const float strokeMult = u.strokeMult, strokeThr = u.strokeThr;
  const bool feathered = feather > 0.f;
  const size_t bpp = t->layout.bpp;
  uint8_t* colorRow = t->color + static_cast<size_t>(y) * t->colorStride * bpp;
  uint8_t* stencilRow = sd ? t->stencil + static_cast<size_t>(y) * t->stencilStride : nullptr;
  const bool over = sourceOver, rgba = rgbaTarget, bgra = bgraTarget;
  alignas(16) float fx[kChunk], fy[kChunk], tu[kChunk], tv[kChunk], kk[kChunk], col[4][kChunk];
  alignas(16) uint8_t keep[kChunk];
  for (int64_t c0 = k0; c0 <= k1; c0 += kChunk) {
    const int cm = static_cast<int>(std::min<int64_t>(k1 - c0 + 1, kChunk));
    bool discards = false;
    if (varyingStroke) {
      interpolatePair(e, 2, c0, cm, tu, tv);
      int kept = 0;
      for (int j = 0; j < cm; ++j) {
        const float sa = std::min(1.f, (1.f - std::fabs(tu[j] * 2.f - 1.f)) * strokeMult) * std::min(1.f, tv[j]);
        keep[j] = sa < strokeThr ? 0 : 1;
        kept += keep[j];
        kk[j] = sa * scissor;
      }
      discards = kept != cm;
    } else {
      for (int j = 0; j < cm; ++j) kk[j] = constK;
    }
    if (solid) {
      for (int j = 0; j < cm; ++j) {
        col[0][j] = base[0] * kk[j];
        col[1][j] = base[1] * kk[j];
        col[2][j] = base[2] * kk[j];
        col[3][j] = base[3] * kk[j];
      }
    } else {
      interpolatePair(e, 0, c0, cm, fx, fy);
      const auto shadeAll = [&](auto featheredTag) {
        constexpr bool kFeathered = decltype(featheredTag)::value;
        for (int j = 0; j < cm; ++j) {
          const float px = m[0] * fx[j] + m[4] * fy[j] + m[8];
          const float py = m[1] * fx[j] + m[5] * fy[j] + m[9];
          const float dx = std::fabs(px) - (ex - r), dy = std::fabs(py) - (ey - r);
          const float mx = std::max(dx, 0.f), my = std::max(dy, 0.f);
          const float sdist = std::min(std::max(dx, dy), 0.f) + std::sqrt(mx * mx + my * my) - r;
          float pos;
          if constexpr (kFeathered)
            pos = sh::clamp01((sdist + halfFeather) / feather);
          else
            pos = sdist > 0.f ? 1.f : 0.f;
          col[0][j] = (inner[0] + diff[0] * pos) * kk[j];
          col[1][j] = (inner[1] + diff[1] * pos) * kk[j];
          col[2][j] = (inner[2] + diff[2] * pos) * kk[j];
          col[3][j] = (inner[3] + diff[3] * pos) * kk[j];
        }
      };
      if (feathered)
        shadeAll(std::true_type{});
      else
        shadeAll(std::false_type{});
    }
    if (!sd && !discards && over && (rgba || bgra)) {
      uint8_t* p = colorRow + static_cast<size_t>(x0 + c0) * 4;
      if (rgba)
        storeSourceOverRow<0, 2>(p, col[0], col[1], col[2], col[3], cm);
      else
        storeSourceOverRow<2, 0>(p, col[0], col[1], col[2], col[3], cm);
      continue;
    }
    for (int j = 0; j < cm; ++j) {
      if (discards && !keep[j]) continue;
      const size_t px = static_cast<size_t>(x0 + c0 + j);
      if (sd && !stencilTest(*sd, stencilRow[px], d->stencilRef)) continue;
      if (!d->writeColor) continue;
      const float src[4] = {col[0][j], col[1][j], col[2][j], col[3][j]};
      if (over)
        storeSourceOver(t->layout, colorRow + px * 4, src);
      else
        storeFragment(t->layout, *d->color, colorRow + px * bpp, src);
    }
  }
}

// Spans.cpp runs these for both kinds of edge numbers.
template void SpanShader::Impl::exact<int64_t>(const RunEdges<int64_t>&, int64_t, int64_t, int64_t, int64_t);
template void SpanShader::Impl::constRun<int64_t>(const RunEdges<int64_t>&, int64_t, int64_t, int64_t, int64_t, const float[4]);
template bool SpanShader::Impl::texelRun<int64_t>(const RunEdges<int64_t>&, int64_t, int64_t, int64_t, int64_t);
template bool SpanShader::Impl::textRun<int64_t>(const RunEdges<int64_t>&, int64_t, int64_t, int64_t, int64_t, float);
template void SpanShader::Impl::gradientRun<int64_t>(const RunEdges<int64_t>&, int64_t, int64_t, int64_t, int64_t, float);
template void SpanShader::Impl::exact<__int128>(const RunEdges<__int128>&, int64_t, int64_t, int64_t, int64_t);
template void SpanShader::Impl::constRun<__int128>(const RunEdges<__int128>&, int64_t, int64_t, int64_t, int64_t, const float[4]);
template bool SpanShader::Impl::texelRun<__int128>(const RunEdges<__int128>&, int64_t, int64_t, int64_t, int64_t);
template bool SpanShader::Impl::textRun<__int128>(const RunEdges<__int128>&, int64_t, int64_t, int64_t, int64_t, float);
template void SpanShader::Impl::gradientRun<__int128>(const RunEdges<__int128>&, int64_t, int64_t, int64_t, int64_t, float);

}  // namespace mtl::raster
