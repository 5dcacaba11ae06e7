// Span shading of the software GPU (Raster.h): each run of covered pixels goes through the
// fragment function, the stencil test and blending in pixel order. The exact path does this
// pixel by pixel with the scan converter's interpolation, calling the compiled shader through
// its entry point when the fast paths are off (the reference) and its inlined body when on.
// The fast paths below produce the same bytes with less work, each where the draw's state
// proves what the exact path would write:
//
// - Stencil only (no fragment function): only the stencil operation, in one loop.
// - Constant source: the renderer's shader with a solid paint (type 0, inner colour equal to
//   outer colour, moderate finite paint numbers, so the gradient position is finite and drops
//   out), a stroke mask constant over the triangle (texture coordinates equal at its three
//   vertices) and a known scissor mask (no scissor: one constant; else proven 1, below).
//   Every fragment then has the same colour and the same discard decision; the pixels get the
//   stencil test and a blend of that colour, written as constant bytes where the blend does
//   not depend on the destination, else through a table per channel built with the exact blend.
//   The cover pass of a stencilled fill (not-equal test, both outcomes zero the value) is one
//   comparison per pixel and a clear of the tested values.
// - Gradient: the same shader with a known scissor mask and any paint: per pixel only the
//   stroke mask (when it varies), the gradient (unless solid) and the blend, the same
//   expressions evaluated over planes of pixels so that the compiler vectorises them.
// - Text: textured triangles (type 2) whose coordinates are exactly texel centres of a
//   texture with power-of-two sides (see textRun): one texel instead of four taps; along a
//   glyph row (one-byte texels spread to four channels) an empty texel gives a colour of
//   signed zeros, skipped as below.
// - Texel copy: the image shader (type 1, straight texType 0, inner colour 1, stroke and
//   scissor masks exactly 1) when every pixel centre of the run maps to within 2^-12 of a
//   texel centre. The bilinear result then differs from that texel by under 2^-11 per
//   channel, which stays under a quarter of a byte after blending when the destination pixel
//   is zero, the blend ignores the destination, or the texel is opaque under source-over; other
//   pixels take the exact path. Positions that are pixel centres at a power-of-two scale are
//   proven exact floats (not bounded by their rounding), so a large frame passes as a small one.
// - Outside the scissor: where the scissor mask is proven 0 (one scissor coordinate stays on
//   one side, past the ramp), a shader whose colour stays finite gives a colour of signed
//   zeros, which premultiplied source-over leaves every byte as it was (checked for all 256
//   byte values): with no stencil such pixels are skipped, else they take the span paths with
//   a mask of 0 (only the stencil changes where the colour keeps the bytes). The runs of a
//   triangle are split where the mask is proven 1, proven 0, or neither (exact).
//
// Proofs over a run use an affine model of each value along the run (its values at the run's
// two ends, in double) and a bound on how far the computed float value can lie from it: the
// float rounding of every operation, counted as exact where an operand is zero or a power of
// two. A condition that holds at both ends with that margin holds over the whole run, because
// |affine| is convex; over a triangle, it holds when it holds at the three vertices. Signed
// zeros may differ from the exact path only where no byte can (they never reach a division or
// a comparison that tells them apart). The library is built without contraction of multiply
// and add, so inlined and called copies of an expression round alike.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "shims/apple/metal/Raster.h"

namespace mtl::raster {
namespace {

namespace sh = gpu::shading;

constexpr int kChunk = 64;             // pixels whose varyings are interpolated at once
constexpr double kModerate = 1e18;     // larger varyings or paint numbers take the exact path
constexpr double kTexelSlack = 1.0 / 4096;  // distance from a texel centre the texel copy accepts
constexpr double kTiny = 1e-36;        // absolute rounding below the normal range
constexpr int64_t kLutAfter = 1024;
constexpr int64_t kProofFrom = 8;      // shorter runs cost less exactly than a proof over them    // pixels of one colour drawn exactly before a table pays off

// NaN and v <= 0 give 0, v >= 1 gives 255, the rest v x 255 rounded half up; without
// branches (channel values of text and gradients would mispredict them), so rows vectorise.
inline uint8_t toUnorm(float v) {
  float c = v > 0.f ? v : 0.f;
  c = c < 1.f ? c : 1.f;
  return static_cast<uint8_t>(static_cast<int>(c * 255.f + 0.5f));
}

bool stencilCompare(CompareFunction f, uint32_t ref, uint32_t stored) {
  switch (f) {
    case CompareFunction::Never: return false;
    case CompareFunction::Less: return ref < stored;
    case CompareFunction::Equal: return ref == stored;
    case CompareFunction::LessEqual: return ref <= stored;
    case CompareFunction::Greater: return ref > stored;
    case CompareFunction::NotEqual: return ref != stored;
    case CompareFunction::GreaterEqual: return ref >= stored;
    case CompareFunction::Always: return true;
  }
  return true;
}

uint8_t stencilApply(StencilOperation op, uint8_t s, uint32_t ref) {
  switch (op) {
    case StencilOperation::Keep: return s;
    case StencilOperation::Zero: return 0;
    case StencilOperation::Replace: return static_cast<uint8_t>(ref);
    case StencilOperation::IncrementClamp: return s == 255 ? 255 : s + 1;
    case StencilOperation::DecrementClamp: return s == 0 ? 0 : s - 1;
    case StencilOperation::Invert: return static_cast<uint8_t>(~s);
    case StencilOperation::IncrementWrap: return static_cast<uint8_t>(s + 1);
    case StencilOperation::DecrementWrap: return static_cast<uint8_t>(s - 1);
  }
  return s;
}

// The stencil test and operation of a fragment that was not discarded; true when it passes.
inline bool stencilTest(const StencilDescriptor& sd, uint8_t& s, uint32_t ref) {
  const bool pass = stencilCompare(sd.stencilCompareFunction, ref & sd.readMask, s & sd.readMask);
  const uint8_t next = stencilApply(pass ? sd.depthStencilPassOperation : sd.stencilFailureOperation, s, ref);
  s = static_cast<uint8_t>((s & ~sd.writeMask) | (next & sd.writeMask));
  return pass;
}

inline float blendFactor(BlendFactor f, const float* src, const float* dst, int c) {
  const bool alpha = c == 3;
  switch (f) {
    case BlendFactor::Zero: return 0.f;
    case BlendFactor::One: return 1.f;
    case BlendFactor::SourceColor: return src[c];
    case BlendFactor::OneMinusSourceColor: return 1.f - src[c];
    case BlendFactor::SourceAlpha: return src[3];
    case BlendFactor::OneMinusSourceAlpha: return 1.f - src[3];
    case BlendFactor::DestinationColor: return dst[c];
    case BlendFactor::OneMinusDestinationColor: return 1.f - dst[c];
    case BlendFactor::DestinationAlpha: return dst[3];
    case BlendFactor::OneMinusDestinationAlpha: return 1.f - dst[3];
    case BlendFactor::SourceAlphaSaturated: return alpha ? 1.f : std::min(src[3], 1.f - dst[3]);
  }
  return 0.f;
}

// Blends the premultiplied colour over the pixel at p and stores it: NaN -> 0, clamp to
// [0, 1], x 255, round half up; channels outside the write mask are kept.
inline void storeFragment(const ColorLayout& l, const RenderPipelineColorAttachmentDescriptor& ca, uint8_t* p, const float* src) {
  const int idx[4] = {l.r, l.g, l.b, l.a};
  float out[4];
  if (ca.blendingEnabled) {
    float dst[4];
    for (int c = 0; c < 4; ++c) dst[c] = idx[c] >= 0 ? p[idx[c]] * (1.f / 255.f) : (c == 3 ? 1.f : 0.f);
    for (int c = 0; c < 3; ++c)
      out[c] = src[c] * blendFactor(ca.sourceRGBBlendFactor, src, dst, c) + dst[c] * blendFactor(ca.destinationRGBBlendFactor, src, dst, c);
    out[3] = src[3] * blendFactor(ca.sourceAlphaBlendFactor, src, dst, 3) + dst[3] * blendFactor(ca.destinationAlphaBlendFactor, src, dst, 3);
  } else {
    for (int c = 0; c < 4; ++c) out[c] = src[c];
  }
  const uint32_t mask = ca.writeMask;  // bits: red 8, green 4, blue 2, alpha 1
  const uint32_t bit[4] = {8, 4, 2, 1};
  for (int c = 0; c < 4; ++c)
    if (idx[c] >= 0 && (mask & bit[c])) p[idx[c]] = toUnorm(out[c]);
}

// storeFragment for premultiplied source-over (One, OneMinusSourceAlpha for colour and alpha)
// into four one-byte channels, all written: the same expressions without the factor switch.
inline void storeSourceOver(const ColorLayout& l, uint8_t* p, const float* src) {
  const int idx[4] = {l.r, l.g, l.b, l.a};
  float dst[4], out[4];
  for (int c = 0; c < 4; ++c) dst[c] = p[idx[c]] * (1.f / 255.f);
  const float keep = 1.f - src[3];
  for (int c = 0; c < 4; ++c) out[c] = src[c] * 1.f + dst[c] * keep;
  for (int c = 0; c < 4; ++c) p[idx[c]] = toUnorm(out[c]);
}

// True when premultiplied source-over of a colour of signed zeros stores every byte value
// as it was (1 - alpha is an exact 1; byte / 255 must round back to the byte).
bool zeroOverKeepsBytes() {
  static const bool keeps = [] {
    const ColorLayout rgba;
    for (int v = 0; v < 256; ++v)
      for (const float z : {0.f, -0.f}) {
        const float src[4] = {z, z, z, z};
        uint8_t px[4] = {uint8_t(v), uint8_t(v), uint8_t(v), uint8_t(v)};
        storeSourceOver(rgba, px, src);
        for (const uint8_t b : px)
          if (b != v) return false;
      }
    return true;
  }();
  return keeps;
}

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

bool isSourceOver(const RenderPipelineColorAttachmentDescriptor& ca) {
  return ca.blendingEnabled && ca.sourceRGBBlendFactor == BlendFactor::One && ca.sourceAlphaBlendFactor == BlendFactor::One &&
         ca.destinationRGBBlendFactor == BlendFactor::OneMinusSourceAlpha &&
         ca.destinationAlphaBlendFactor == BlendFactor::OneMinusSourceAlpha && ca.writeMask == ColorWriteMaskAll;
}

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

bool isPowerOfTwoOrZero(double m) {
  if (m == 0) return true;
  int e;
  return std::fabs(std::frexp(m, &e)) == 0.5;
}

bool moderate(double v) { return std::fabs(v) <= kModerate; }  // false for NaN

// A value along a range of a run: its model (exact arithmetic, affine along the run) has v0
// and v1 at the range's first and last pixel; each computed value lies within err of the
// model, and |model| <= maxAbs over the range. zero: the computed value is always zero.
struct Lin {
  double v0, v1, err, maxAbs;
  bool zero;
};

Lin makeLin(double v0, double v1, double modelErr, double err, bool zero = false) {
  const double maxAbs = std::max(std::fabs(v0), std::fabs(v1)) + modelErr;
  return {v0, v1, err + modelErr, maxAbs, zero};
}

// m * x in float, as the shaders compute it.
Lin scaleLin(double m, const Lin& x) {
  if (m == 0) return {0, 0, 0, 0, true};
  const double mag = std::fabs(m) * (x.maxAbs + x.err);
  const double round = isPowerOfTwoOrZero(m) ? kTiny : mag * 0x1p-24 + kTiny;
  return makeLin(m * x.v0, m * x.v1, mag * 0x1p-50, std::fabs(m) * x.err + round);
}

// a + b in float.
Lin addLin(const Lin& a, const Lin& b) {
  if (a.zero) return b;
  if (b.zero) return a;
  const double mag = a.maxAbs + a.err + b.maxAbs + b.err;
  return makeLin(a.v0 + b.v0, a.v1 + b.v1, mag * 0x1p-50, a.err + b.err + mag * 0x1p-24 + kTiny);
}

Lin constLin(float c) { return {c, c, 0, std::fabs(double(c)), c == 0.f}; }

// m[0] x + m[4] y + m[8] (or the second row with offset 1), as sh::transform computes it.
Lin transformLin(const float* m, int row, const Lin& x, const Lin& y) {
  return addLin(addLin(scaleLin(m[row], x), scaleLin(m[4 + row], y)), constLin(m[8 + row]));
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

// True when the m four-byte pixels at p are all zero (a constant m vectorises).
// Four pixels as one vector (GCC vector extension: element-wise operations).
typedef uint32_t Pixels4 __attribute__((vector_size(16)));

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

struct SpanShader::Impl {
  enum class Shader { None, Plain, AntiAlias, Other };

  // One colour for every fragment of a range, and how to store it.
  struct ConstPlan {
    enum class Kind { Bytes, Table, Exact } kind = Kind::Exact;
    float src[4] = {0, 0, 0, 0};
    uint8_t bytes[4] = {0, 0, 0, 0};  // Bytes: by byte index
    bool write[4] = {false, false, false, false};
    bool allWritten = false;
    bool tableable = false;
    int64_t exactPixels = 0;
    uint8_t table[4][256];  // Table: result by byte index and destination byte
  };

  // ---- per draw ----
  const DrawState* d = nullptr;
  const Target* t = nullptr;
  Shader shader = Shader::None;
  bool uniformsOk = false;
  gpu::Uniforms u{};
  const Texture* tex = nullptr;
  const SamplerDescriptor* smp = nullptr;
  bool fourBytes = false;
  bool sourceOver = false;  // premultiplied source-over into four written channels
  bool rgbaTarget = false, bgraTarget = false;
  struct {
    float diff[4];      // outer - inner colour
    float base[4];      // a solid paint's colour before the masks: inner + diff * d for any d in [0, 1]
    float halfFeather;  // feather * 0.5
  } paint{};
  bool fast = true;
  bool solid = false;          // constant-source candidate
  bool scissorOff = false;     // scissor matrix zero: the mask is one constant
  bool scissorAffine = false;  // scissor numbers usable in proofs
  float scissorConst = 0.f;
  bool texelCopy = false;
  bool textTexels = false;  // textured triangles from a texture with power-of-two sides
  int texelDst = 0;  // 0: only over a zero pixel; 1: also opaque texels; 2: any pixel
  bool zeroKeeps = false;  // a fragment with scissor mask 0 changes no colour byte
  ConstPlan plan;
  bool planValid = false;

  // ---- per triangle ----
  Interpolation tri{};
  const StencilDescriptor* sd = nullptr;
  bool discardAll = false;
  bool constTc = false;
  float strokeAlpha = 1.f;
  bool moderateTri = false;
  bool triScissorOne = false;  // the scissor mask is proven 1 at every pixel of the triangle
  bool triScissorZero = false;  // ... proven 0 at every pixel of the triangle
  bool lastRunZero = false;     // the triangle's previous run was proven outside the scissor whole

  float vary[kChunk][kMaxVaryings];

  bool beginDraw(const DrawState& draw);
  void beginTriangle(const Interpolation& in);
  template <class I>
  void run(int64_t y, int64_t x0, int64_t n, const RunEdges<I>& e);

  template <class I>
  void exact(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t k0, int64_t k1);
  template <Shader K, bool kSourceOver>
  void shadeChunk(int64_t y, int64_t x, int m);
  void stencilOnly(int64_t y, int64_t x0, int64_t n);
  template <class I>
  double varyingAt(int i, const RunEdges<I>& e, int64_t k) const;
  template <class I>
  Lin varyingLin(int i, const RunEdges<I>& e, int64_t k0, int64_t k1) const;
  template <class I>
  Lin exactVaryingLin(int i, const RunEdges<I>& e, int64_t k0, int64_t k1) const;
  template <class I>
  bool scissorOne(const RunEdges<I>& e, int64_t k0, int64_t k1) const;
  bool scissorOneOverTriangle() const;
  template <class I>
  bool scissorZero(const RunEdges<I>& e, int64_t k0, int64_t k1) const;
  bool scissorZeroOverTriangle() const;
  struct TriangleScissor {
    double nearest[2], farthest[2];  // bounds on |scissor coordinate| over the triangle's pixels (nearest < 0: unknown)
  };
  TriangleScissor scissorOverTriangle() const;
  template <class I>
  void zeroRange(const RunEdges<I>& e, int64_t n, int64_t& zl, int64_t& zr) const;
  template <class I>
  void scissorRange(const RunEdges<I>& e, int64_t n, int64_t& lo, int64_t& hi) const;
  const ConstPlan& planFor(const float src[4]);
  template <class I>
  void constRun(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t k0, int64_t k1, const float src[4]);
  template <class I>
  bool texelRun(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t k0, int64_t k1);
  template <class I>
  void gradientRun(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t k0, int64_t k1, float scissor);
  template <class I>
  void interpolatePair(const RunEdges<I>& e, int first, int64_t c0, int m, float* va, float* vb) const;
  template <class I>
  bool textRun(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t k0, int64_t k1, float scissor);
  enum class RunKind { Solid, Texel, Gradient, Text };
  template <class I>
  void partitioned(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t n, RunKind kind);
};

bool SpanShader::Impl::beginDraw(const DrawState& draw) {
  d = &draw;
  t = draw.target;
  fast = draw.fastPaths;
  planValid = false;
  if (!draw.fragment) {
    shader = Shader::None;
  } else {
    switch (gpu::fragmentKindOf(reinterpret_cast<const void*>(draw.fragment))) {
      case gpu::FragmentKind::Plain: shader = Shader::Plain; break;
      case gpu::FragmentKind::AntiAlias: shader = Shader::AntiAlias; break;
      default: shader = Shader::Other;
    }
  }
  const gpu::BufferView& ub = draw.in.buffers[0];
  uniformsOk = ub.data && ub.size >= sizeof(gpu::Uniforms);
  if (uniformsOk) std::memcpy(&u, ub.data, sizeof u);
  tex = draw.in.textures[0];
  smp = draw.in.samplers[0];
  const ColorLayout& l = t->layout;
  fourBytes = l.bpp == 4 && l.r >= 0 && l.g >= 0 && l.b >= 0 && l.a >= 0;
  sourceOver = fourBytes && draw.writeColor && isSourceOver(*draw.color);
  rgbaTarget = l.bpp == 4 && l.r == 0 && l.g == 1 && l.b == 2 && l.a == 3;
  bgraTarget = l.bpp == 4 && l.r == 2 && l.g == 1 && l.b == 0 && l.a == 3;
  const bool shaderKnown = shader == Shader::Plain || shader == Shader::AntiAlias;

  // Nothing can change: a stencil-only draw without stencil, or a shader that discards all.
  if (!fast) return true;
  if (shader == Shader::None && (!t->stencil || (!draw.stencil[0] && !draw.stencil[1]))) return false;
  if (shaderKnown && (!uniformsOk || u.type < 0 || u.type > 2)) return false;

  solid = scissorOff = scissorAffine = texelCopy = textTexels = false;
  if (!shaderKnown) return true;
  for (int c = 0; c < 4; ++c) {
    paint.diff[c] = u.outerCol[c] - u.innerCol[c];
    paint.base[c] = u.innerCol[c] + paint.diff[c] * 0.5f;
  }
  paint.halfFeather = u.feather * 0.5f;
  const float* pm = u.paintMat;
  const bool paintModerate = moderate(pm[0]) && moderate(pm[1]) && moderate(pm[4]) && moderate(pm[5]) && moderate(pm[8]) &&
                             moderate(pm[9]) && moderate(u.extent[0]) && moderate(u.extent[1]) && moderate(u.radius);
  solid = u.type == 0 && paintModerate && u.innerCol[0] == u.outerCol[0] && u.innerCol[1] == u.outerCol[1] &&
          u.innerCol[2] == u.outerCol[2] && u.innerCol[3] == u.outerCol[3];
  const float* sm = u.scissorMat;
  scissorOff = sm[0] == 0.f && sm[1] == 0.f && sm[4] == 0.f && sm[5] == 0.f && sm[8] == 0.f && sm[9] == 0.f;
  if (scissorOff) scissorConst = sh::scissorMask(u, 0.f, 0.f);
  scissorAffine = !scissorOff && moderate(sm[0]) && moderate(sm[1]) && moderate(sm[4]) && moderate(sm[5]) && moderate(sm[8]) &&
                  moderate(sm[9]) && moderate(u.scissorExt[0]) && moderate(u.scissorExt[1]) && u.scissorScale[0] > 0.f &&
                  u.scissorScale[1] > 0.f && moderate(u.scissorScale[0]) && moderate(u.scissorScale[1]);

  const auto& ca = *draw.color;
  const bool texFormat = tex && (tex->pixelFormat() == PixelFormat::RGBA8Unorm || tex->pixelFormat() == PixelFormat::BGRA8Unorm);
  const bool sourceAsIs = !ca.blendingEnabled ||
                          (ca.sourceRGBBlendFactor == BlendFactor::One && ca.sourceAlphaBlendFactor == BlendFactor::One);
  texelCopy = u.type == 1 && u.texType == 0 && u.innerCol[0] == 1.f && u.innerCol[1] == 1.f && u.innerCol[2] == 1.f &&
              u.innerCol[3] == 1.f && texFormat && fourBytes && draw.writeColor && ca.writeMask == ColorWriteMaskAll &&
              paintModerate && u.extent[0] != 0.f && u.extent[1] != 0.f && sourceAsIs;
  const auto powerOfTwo = [](size_t v) { return v != 0 && (v & (v - 1)) == 0; };
  textTexels = u.type == 2 && tex &&
               (tex->pixelFormat() == PixelFormat::R8Unorm || tex->pixelFormat() == PixelFormat::RGBA8Unorm ||
                tex->pixelFormat() == PixelFormat::BGRA8Unorm) &&
               powerOfTwo(tex->width()) && powerOfTwo(tex->height()) &&
               (shader == Shader::Plain || (u.strokeThr <= 0.f && u.strokeMult >= 0.f && moderate(u.strokeMult)));
  const auto zeroOrOverOpaque = [](BlendFactor f) { return f == BlendFactor::Zero || f == BlendFactor::OneMinusSourceAlpha; };
  // Under a scissor mask of +0 the colour is (finite value) x (+-0) when the paint's numbers,
  // the colours and the stroke multiplier are moderate (see the file comment).
  bool colourFinite = true;
  for (int c = 0; c < 4; ++c) colourFinite = colourFinite && moderate(u.innerCol[c]) && moderate(u.outerCol[c]);
  if (u.type == 0) colourFinite = colourFinite && paintModerate && std::isfinite(u.feather);
  if (shader == Shader::AntiAlias) colourFinite = colourFinite && moderate(u.strokeMult);
  zeroKeeps = colourFinite && (!draw.writeColor || (sourceOver && zeroOverKeepsBytes()));
  if (!ca.blendingEnabled || (ca.destinationRGBBlendFactor == BlendFactor::Zero && ca.destinationAlphaBlendFactor == BlendFactor::Zero))
    texelDst = 2;
  else if (zeroOrOverOpaque(ca.destinationRGBBlendFactor) && zeroOrOverOpaque(ca.destinationAlphaBlendFactor))
    texelDst = 1;
  else
    texelDst = 0;
  return true;
}

void SpanShader::Impl::beginTriangle(const Interpolation& in) {
  tri = in;
  sd = t->stencil ? d->stencil[in.front ? 1 : 0] : nullptr;
  moderateTri = true;
  for (int i = 0; i < kMaxVaryings; ++i)
    moderateTri = moderateTri && moderate(std::fabs(in.a[i]) + std::fabs(in.dB[i]) + std::fabs(in.dC[i]));
  // A varying equal at the three vertices: dB and dC are (signed) zeros and beta, gamma >= +0,
  // so every pixel interpolates (a + dB) + dC.
  constTc = in.dB[2] == 0 && in.dC[2] == 0 && in.dB[3] == 0 && in.dC[3] == 0;
  triScissorOne = fast && moderateTri && scissorAffine && (shader == Shader::Plain || shader == Shader::AntiAlias) &&
                  scissorOneOverTriangle();
  triScissorZero = !triScissorOne && fast && moderateTri && scissorAffine && (shader == Shader::Plain || shader == Shader::AntiAlias) &&
                   scissorZeroOverTriangle();
  // Nothing of such a triangle can change a byte: no stencil, and its colour keeps the pixels.
  discardAll = triScissorZero && !sd && zeroKeeps;
  lastRunZero = true;  // try the whole first run as outside before guessing its parts
  strokeAlpha = 1.f;
  if (fast && shader == Shader::AntiAlias && constTc) {
    const float tu = static_cast<float>(in.a[2] + in.dB[2] + in.dC[2]);
    const float tv = static_cast<float>(in.a[3] + in.dB[3] + in.dC[3]);
    strokeAlpha = sh::strokeMask(u, tu, tv);
    discardAll = discardAll || strokeAlpha < u.strokeThr;
  }
}

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

// Pixels k0 .. k1 of the run when every one maps onto a texel centre (see the file comment);
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

// A run of a shader draw whose stroke mask is constant: the middle part where the scissor
// mask is proven 1 takes the constant or texel path, the rest the exact path.
template <class I>
void SpanShader::Impl::partitioned(const RunEdges<I>& e, int64_t y, int64_t x0, int64_t n, RunKind kind) {
  const bool solidRun = kind == RunKind::Solid;
  const auto middle = [&](int64_t k0, int64_t k1, float scissor) {
    if (kind == RunKind::Gradient) {
      gradientRun(e, y, x0, k0, k1, scissor);
    } else if (kind == RunKind::Text) {
      if (!textRun(e, y, x0, k0, k1, scissor)) exact(e, y, x0, k0, k1);
    } else if (solidRun) {
      const float k = strokeAlpha * scissor;
      float src[4];
      for (int c = 0; c < 4; ++c) src[c] = paint.base[c] * k;
      constRun(e, y, x0, k0, k1, src);
    } else if (!texelRun(e, y, x0, k0, k1)) {
      exact(e, y, x0, k0, k1);
    }
  };
  if (scissorOff) {
    if (kind == RunKind::Texel && scissorConst != 1.f) return exact(e, y, x0, 0, n - 1);
    return middle(0, n - 1, scissorConst);
  }
  if (triScissorOne) return middle(0, n - 1, 1.f);
  // Pixels with scissor mask +0: nothing to do where they keep their bytes, else the middle
  // paths with that mask (the texel copy assumes a mask of 1: exact).
  const auto outside = [&](int64_t k0, int64_t k1) {
    if (!sd && zeroKeeps) return;
    if (kind == RunKind::Texel) return exact(e, y, x0, k0, k1);
    middle(k0, k1, 0.f);
  };
  if (triScissorZero) return outside(0, n - 1);
  if (n < kProofFrom) return exact(e, y, x0, 0, n - 1);
  // Rows of a large triangle that lie wholly outside the scissor tend to follow each other:
  // one proof over the whole run first, while that keeps succeeding.
  if (lastRunZero) {
    if (scissorZero(e, 0, n - 1)) return outside(0, n - 1);
    lastRunZero = false;
  }
  // [0, zl) mask 0, [zl, lo) exact, [lo, hi] mask 1, (hi, zr) exact, [zr, n) mask 0; each
  // part proven, else exact.
  int64_t lo, hi, zl, zr;
  scissorRange(e, n, lo, hi);
  zeroRange(e, n, zl, zr);
  if (lo > hi) {
    lo = zl;
    hi = zl - 1;
  } else {
    zl = std::min(zl, lo);
    zr = std::max(zr, hi + 1);
  }
  const auto zeroPart = [&](int64_t k0, int64_t k1) {
    if (k0 > k1) return;
    if (scissorZero(e, k0, k1))
      outside(k0, k1);
    else
      exact(e, y, x0, k0, k1);
  };
  if (zl == n) lastRunZero = true;
  zeroPart(0, zl - 1);
  if (lo <= hi && scissorOne(e, lo, hi)) {
    if (zl < lo) exact(e, y, x0, zl, lo - 1);
    middle(lo, hi, 1.f);
    if (hi + 1 < zr) exact(e, y, x0, hi + 1, zr - 1);
  } else if (zl < zr) {
    exact(e, y, x0, zl, zr - 1);
  }
  zeroPart(zr, n - 1);
}

template <class I>
void SpanShader::Impl::run(int64_t y, int64_t x0, int64_t n, const RunEdges<I>& e) {
  if (discardAll || n <= 0) return;
  if (!fast) return exact(e, y, x0, 0, n - 1);
  switch (shader) {
    case Shader::None: return stencilOnly(y, x0, n);
    case Shader::Other: return exact(e, y, x0, 0, n - 1);
    default: break;
  }
  if (!moderateTri || !(scissorOff || scissorAffine)) return exact(e, y, x0, 0, n - 1);
  if (textTexels) return partitioned(e, y, x0, n, RunKind::Text);
  const bool sameStroke = shader == Shader::Plain || constTc;
  if (solid && sameStroke) return partitioned(e, y, x0, n, RunKind::Solid);
  if (u.type == 0) return partitioned(e, y, x0, n, RunKind::Gradient);
  if (texelCopy && sameStroke && !sd && strokeAlpha == 1.f) return partitioned(e, y, x0, n, RunKind::Texel);
  exact(e, y, x0, 0, n - 1);
}

SpanShader::SpanShader() : impl_(new Impl) {}
SpanShader::~SpanShader() { delete impl_; }
bool SpanShader::beginDraw(const DrawState& draw) { return impl_->beginDraw(draw); }
void SpanShader::beginTriangle(const Interpolation& tri) { impl_->beginTriangle(tri); }
void SpanShader::run(int64_t y, int64_t x0, int64_t n, const RunEdges<int64_t>& e) { impl_->run(y, x0, n, e); }
void SpanShader::run(int64_t y, int64_t x0, int64_t n, const RunEdges<__int128>& e) { impl_->run(y, x0, n, e); }

}  // namespace mtl::raster
