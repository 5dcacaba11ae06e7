// The proofs of span shading (see Spans.cpp): the model of a varying along a run, where the
// scissor mask is proven 1 or 0 over a run or a whole triangle, the guesses of those ranges the
// runs are split at, and the plan for storing one colour over a range.
#include "shims/apple/metal/SpanState.h"

namespace mtl::raster {
using namespace span;
namespace {

bool dependsOnDestination(BlendFactor f) {
  return f == BlendFactor::DestinationColor || f == BlendFactor::OneMinusDestinationColor || f == BlendFactor::DestinationAlpha ||
         f == BlendFactor::OneMinusDestinationAlpha || f == BlendFactor::SourceAlphaSaturated;
}
bool readsDestinationAlpha(BlendFactor f) {
  return f == BlendFactor::DestinationAlpha || f == BlendFactor::OneMinusDestinationAlpha || f == BlendFactor::SourceAlphaSaturated;
}
// True when the factor is exactly 0 for this source colour, whatever the destination.
bool zeroFactor(BlendFactor f, const float* src, int c) {
  switch (f) {
    case BlendFactor::Zero: return true;
    case BlendFactor::SourceColor: return src[c] == 0.f;
    case BlendFactor::OneMinusSourceColor: return 1.f - src[c] == 0.f;
    case BlendFactor::SourceAlpha: return src[3] == 0.f;
    case BlendFactor::OneMinusSourceAlpha: return 1.f - src[3] == 0.f;
    default: return false;
  }
}

// Pixels k of [0, n) where |v0 + (v1 - v0) k / (n - 1)| <= limit, as [lo, hi] (lo > hi: none);
// only a guess for where to look, the caller proves the result.
void insideRange(double v0, double v1, int64_t n, double limit, int64_t& lo, int64_t& hi) {
  lo = 0;
  hi = n - 1;
  if (!(limit >= 0)) {
    lo = 1;
    hi = 0;
    return;
  }
  if (n == 1 || v0 == v1) {
    if (!(std::fabs(v0) <= limit)) lo = 1, hi = 0;
    return;
  }
  const double slope = (v1 - v0) / double(n - 1);
  double a = (-limit - v0) / slope, b = (limit - v0) / slope;
  if (a > b) std::swap(a, b);
  const double flo = std::ceil(a), fhi = std::floor(b);
  if (!(flo <= fhi) || fhi < 0 || flo > double(n - 1)) {
    lo = 1;
    hi = 0;
    return;
  }
  lo = std::max<int64_t>(0, static_cast<int64_t>(std::max(flo, 0.0)));
  hi = std::min<int64_t>(n - 1, static_cast<int64_t>(std::min(fhi, double(n - 1))));
}

}  // namespace

// Varying i at pixel k of the run in double, as the exact path evaluates it.
template <class I>
double SpanShader::Impl::varyingAt(int i, const RunEdges<I>& e, int64_t k) const {
  const double beta = static_cast<double>(e.e1 + I(k) * e.s1) * tri.invArea;
  const double gamma = static_cast<double>(e.e2 + I(k) * e.s2) * tri.invArea;
  return tri.a[i] + tri.dB[i] * beta + tri.dC[i] * gamma;
}

template <class I>
Lin SpanShader::Impl::varyingLin(int i, const RunEdges<I>& e, int64_t k0, int64_t k1) const {
  // Barycentrics of covered pixels lie in [0, 1]: the double evaluations (here and in the
  // exact path) are within a few units of 2^-53 of mag; the float result within 2^-24.
  const double mag = std::fabs(tri.a[i]) + std::fabs(tri.dB[i]) + std::fabs(tri.dC[i]);
  const double v0 = varyingAt(i, e, k0), v1 = varyingAt(i, e, k1);
  const double modelErr = mag * 0x1p-48;
  const double maxAbs = std::max(std::fabs(v0), std::fabs(v1)) + modelErr;
  return makeLin(v0, v1, modelErr, mag * 0x1p-48 + maxAbs * 0x1p-24 + kTiny);
}

// Varying i at pixels k0 .. k1 with no rounding error, where its float is provably a point of
// an evenly spaced row of floats (pixel centres at a power-of-two scale are). The ends
// evaluated here and every double the exact path evaluates lie within mag 2^-48 of the model
// (affine, as the row is), so each of those doubles lies within `off` of its point; under half
// the gap between floats around the row's points, it rounds to that point. Else varyingLin's
// bound.
template <class I>
Lin SpanShader::Impl::exactVaryingLin(int i, const RunEdges<I>& e, int64_t k0, int64_t k1) const {
  const double mag = std::fabs(tri.a[i]) + std::fabs(tri.dB[i]) + std::fabs(tri.dC[i]);
  const double v0 = varyingAt(i, e, k0), v1 = varyingAt(i, e, k1), dev = mag * 0x1p-47;
  const double reach = std::max(std::fabs(v0), std::fabs(v1)) + dev;
  if (reach > 0x1p-100 && reach < 0x1p100) {
    int top;
    std::frexp(reach, &top);  // reach < 2^top: multiples of 2^(top - 24) up to 2^top are floats
    const double step = std::ldexp(1.0, top - 24);
    const double g0 = std::nearbyint(v0 / step) * step, g1 = std::nearbyint(v1 / step) * step;
    // The row's points are whole multiples of the step when its rise (below 2^26 steps) divides evenly.
    const int64_t rise = static_cast<int64_t>((g1 - g0) / step);
    const bool even = k1 == k0 || rise % (k1 - k0) == 0;
    const bool oneSign = (g0 > 0 && g1 > 0) || (g0 < 0 && g1 < 0);
    int low;
    std::frexp(std::min(std::fabs(g0), std::fabs(g1)), &low);  // every point >= 2^(low-1): gaps >= 2^(low-25)
    const double off = std::max(std::fabs(v0 - g0), std::fabs(v1 - g1)) + dev;
    if (even && oneSign && off < std::ldexp(1.0, low - 26)) return makeLin(g0, g1, 0.0, 0.0);
  }
  return varyingLin(i, e, k0, k1);
}

// True when the scissor mask is provably exactly 1 at pixels k0 .. k1 of the run.
template <class I>
bool SpanShader::Impl::scissorOne(const RunEdges<I>& e, int64_t k0, int64_t k1) const {
  if (scissorOff) return scissorConst == 1.f;
  if (!scissorAffine) return false;
  const Lin fx = varyingLin(0, e, k0, k1), fy = varyingLin(1, e, k0, k1);
  for (int row = 0; row < 2; ++row) {
    const Lin s = transformLin(u.scissorMat, row, fx, fy);
    const double ext = u.scissorExt[row], scale = u.scissorScale[row];
    // Exact mask value >= 1 + slack at the worst end; slack covers the float evaluation.
    const double slack = (1.0 + (s.maxAbs + s.err + std::fabs(ext)) * scale) * 0x1p-18;
    const double worst = std::max(std::fabs(s.v0), std::fabs(s.v1)) + s.err;
    if (!(0.5 - (worst - ext) * scale >= 1.0 + slack)) return false;
  }
  return true;
}

// Bounds on |scissor coordinate| (each row) over the pixels of the triangle: the exact
// positions of its pixels are convex combinations of the vertices' positions, so the
// coordinate's exact value is largest in magnitude at a vertex, and where it has one sign at
// the three vertices, smallest at a vertex too. The bounds cover the rounding of the
// interpolated positions and of the coordinate's float evaluation anywhere in the triangle.
SpanShader::Impl::TriangleScissor SpanShader::Impl::scissorOverTriangle() const {
  double pos[2][3], maxAbs[2], err[2];
  for (int i = 0; i < 2; ++i) {
    pos[i][0] = tri.a[i];
    pos[i][1] = tri.a[i] + tri.dB[i];
    pos[i][2] = tri.a[i] + tri.dC[i];
    const double mag = std::fabs(tri.a[i]) + std::fabs(tri.dB[i]) + std::fabs(tri.dC[i]);
    maxAbs[i] = std::max({std::fabs(pos[i][0]), std::fabs(pos[i][1]), std::fabs(pos[i][2])}) + mag * 0x1p-45;
    err[i] = mag * 0x1p-45 + maxAbs[i] * 0x1p-24 + kTiny;
  }
  const float* m = u.scissorMat;
  TriangleScissor out{};
  for (int row = 0; row < 2; ++row) {
    const double m0 = std::fabs(m[row]), m4 = std::fabs(m[4 + row]), m8 = std::fabs(m[8 + row]);
    const double bound = m0 * (maxAbs[0] + err[0]) + m4 * (maxAbs[1] + err[1]) + m8;
    const double sErr = m0 * err[0] + m4 * err[1] + bound * 0x1p-22 + kTiny + bound * 0x1p-50;
    double worst = 0, nearest = std::numeric_limits<double>::infinity();
    int positive = 0, negative = 0;
    for (int v = 0; v < 3; ++v) {
      const double sv = double(m[row]) * pos[0][v] + double(m[4 + row]) * pos[1][v] + double(m[8 + row]);
      worst = std::max(worst, std::fabs(sv));
      nearest = std::min(nearest, std::fabs(sv));
      positive += sv > 0 ? 1 : 0;
      negative += sv < 0 ? 1 : 0;
    }
    out.farthest[row] = worst + sErr;
    out.nearest[row] = positive == 3 || negative == 3 ? nearest - sErr : -1.0;
  }
  return out;
}

// The slack of the scissor mask's float evaluation at coordinates up to `reach` in magnitude.
inline double scissorSlack(double reach, double ext, double scale) { return (1.0 + (reach + std::fabs(ext)) * scale) * 0x1p-18; }

// True when the scissor mask is provably exactly 1 at every pixel of the triangle.
bool SpanShader::Impl::scissorOneOverTriangle() const {
  const TriangleScissor ts = scissorOverTriangle();
  for (int row = 0; row < 2; ++row) {
    const double worst = ts.farthest[row], ext = u.scissorExt[row], scale = u.scissorScale[row];
    if (!(0.5 - (worst - ext) * scale >= 1.0 + scissorSlack(worst, ext, scale))) return false;
  }
  return true;
}

// True when the scissor mask is provably +0 at every pixel of the triangle: one coordinate
// keeps one sign past the ramp, so its clamped factor is +0 and the other factor is finite.
bool SpanShader::Impl::scissorZeroOverTriangle() const {
  const TriangleScissor ts = scissorOverTriangle();
  for (int row = 0; row < 2; ++row) {
    const double nearest = ts.nearest[row], ext = u.scissorExt[row], scale = u.scissorScale[row];
    if (nearest > 0 && 0.5 - (nearest - ext) * scale <= -scissorSlack(ts.farthest[row], ext, scale)) return true;
  }
  return false;
}

// True when the scissor mask is provably +0 at pixels k0 .. k1 of the run (see
// scissorZeroOverTriangle; along the run the coordinate is affine).
template <class I>
bool SpanShader::Impl::scissorZero(const RunEdges<I>& e, int64_t k0, int64_t k1) const {
  if (!scissorAffine) return false;
  const Lin fx = varyingLin(0, e, k0, k1), fy = varyingLin(1, e, k0, k1);
  for (int row = 0; row < 2; ++row) {
    const Lin s = transformLin(u.scissorMat, row, fx, fy);
    const double ext = u.scissorExt[row], scale = u.scissorScale[row];
    const bool oneSide = (s.v0 > 0 && s.v1 > 0) || (s.v0 < 0 && s.v1 < 0);
    const double nearest = std::min(std::fabs(s.v0), std::fabs(s.v1)) - s.err;
    if (oneSide && nearest > 0 && 0.5 - (nearest - ext) * scale <= -scissorSlack(s.maxAbs + s.err, ext, scale)) return true;
  }
  return false;
}

// A guess of the pixels of a run where the scissor mask is 0: [0, zl) and [zr, n), shrunk
// by one where the guess meets the ramp.
template <class I>
void SpanShader::Impl::zeroRange(const RunEdges<I>& e, int64_t n, int64_t& zl, int64_t& zr) const {
  zl = 0;
  zr = n;
  if (scissorOff || !scissorAffine) return;
  const Lin fx = varyingLin(0, e, 0, n - 1), fy = varyingLin(1, e, 0, n - 1);
  int64_t lo = 0, hi = n - 1;  // where no row is past its ramp
  for (int row = 0; row < 2; ++row) {
    const Lin s = transformLin(u.scissorMat, row, fx, fy);
    const double ext = u.scissorExt[row], scale = u.scissorScale[row];
    const double limit = ext + (0.5 + scissorSlack(s.maxAbs + s.err, ext, scale)) / scale + s.err;
    int64_t a, b;
    insideRange(s.v0, s.v1, n, limit, a, b);
    if (a > b) {
      zl = zr = n;
      return;
    }
    lo = std::max(lo, a);
    hi = std::min(hi, b);
  }
  zl = std::max<int64_t>(0, lo - 1);
  zr = std::min<int64_t>(n, hi + 2);
  zr = std::max(zr, zl);
}

// A guess of the pixels of a run where the scissor mask is 1, shrunk by one where it is cut.
template <class I>
void SpanShader::Impl::scissorRange(const RunEdges<I>& e, int64_t n, int64_t& lo, int64_t& hi) const {
  lo = 0;
  hi = n - 1;
  if (scissorOff) return;
  const Lin fx = varyingLin(0, e, 0, n - 1), fy = varyingLin(1, e, 0, n - 1);
  for (int row = 0; row < 2; ++row) {
    const Lin s = transformLin(u.scissorMat, row, fx, fy);
    const double ext = u.scissorExt[row], scale = u.scissorScale[row];
    const double slack = (1.0 + (s.maxAbs + s.err + std::fabs(ext)) * scale) * 0x1p-18;
    const double limit = ext - (0.5 + slack) / scale - s.err;
    int64_t a, b;
    insideRange(s.v0, s.v1, n, limit, a, b);
    lo = std::max(lo, a);
    hi = std::min(hi, b);
  }
  if (lo > 0) ++lo;
  if (hi < n - 1) --hi;
}

const SpanShader::Impl::ConstPlan& SpanShader::Impl::planFor(const float src[4]) {
  if (planValid && std::memcmp(plan.src, src, sizeof plan.src) == 0) return plan;
  planValid = true;
  ConstPlan& p = plan;
  std::memcpy(p.src, src, sizeof p.src);
  p.kind = ConstPlan::Kind::Exact;
  p.exactPixels = 0;
  p.tableable = false;
  if (!fourBytes) return p;
  const ColorLayout& l = t->layout;
  const auto& ca = *d->color;
  const int idx[4] = {l.r, l.g, l.b, l.a};
  const uint32_t bit[4] = {8, 4, 2, 1};
  p.allWritten = true;
  for (int c = 0; c < 4; ++c) {
    p.write[idx[c]] = (ca.writeMask & bit[c]) != 0;
    p.allWritten = p.allWritten && p.write[idx[c]];
  }
  bool independent = !ca.blendingEnabled;
  if (ca.blendingEnabled) {
    independent = !dependsOnDestination(ca.sourceRGBBlendFactor) && !dependsOnDestination(ca.sourceAlphaBlendFactor);
    for (int c = 0; c < 3; ++c) independent = independent && zeroFactor(ca.destinationRGBBlendFactor, src, c);
    independent = independent && zeroFactor(ca.destinationAlphaBlendFactor, src, 3);
  }
  if (independent) {
    // The destination is multiplied by an exact 0 (or not read): any pixel, zero included,
    // gives the same bytes.
    uint8_t zero[4] = {0, 0, 0, 0};
    storeFragment(l, ca, zero, src);
    std::memcpy(p.bytes, zero, 4);
    p.kind = ConstPlan::Kind::Bytes;
    return p;
  }
  // Each channel reads only its own destination byte: a table per channel.
  p.tableable = !readsDestinationAlpha(ca.sourceRGBBlendFactor) && !readsDestinationAlpha(ca.destinationRGBBlendFactor);
  return p;
}

// The span paths (Spans.cpp, SpanRuns.cpp) use these for both kinds of edge numbers.
template span::Lin SpanShader::Impl::varyingLin<int64_t>(int, const RunEdges<int64_t>&, int64_t, int64_t) const;
template span::Lin SpanShader::Impl::exactVaryingLin<int64_t>(int, const RunEdges<int64_t>&, int64_t, int64_t) const;
template bool SpanShader::Impl::scissorOne<int64_t>(const RunEdges<int64_t>&, int64_t, int64_t) const;
template bool SpanShader::Impl::scissorZero<int64_t>(const RunEdges<int64_t>&, int64_t, int64_t) const;
template void SpanShader::Impl::zeroRange<int64_t>(const RunEdges<int64_t>&, int64_t, int64_t&, int64_t&) const;
template void SpanShader::Impl::scissorRange<int64_t>(const RunEdges<int64_t>&, int64_t, int64_t&, int64_t&) const;
template span::Lin SpanShader::Impl::varyingLin<__int128>(int, const RunEdges<__int128>&, int64_t, int64_t) const;
template span::Lin SpanShader::Impl::exactVaryingLin<__int128>(int, const RunEdges<__int128>&, int64_t, int64_t) const;
template bool SpanShader::Impl::scissorOne<__int128>(const RunEdges<__int128>&, int64_t, int64_t) const;
template bool SpanShader::Impl::scissorZero<__int128>(const RunEdges<__int128>&, int64_t, int64_t) const;
template void SpanShader::Impl::zeroRange<__int128>(const RunEdges<__int128>&, int64_t, int64_t&, int64_t&) const;
template void SpanShader::Impl::scissorRange<__int128>(const RunEdges<__int128>&, int64_t, int64_t&, int64_t&) const;

}  // namespace mtl::raster
