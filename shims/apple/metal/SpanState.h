#pragma once
// Inside span shading (Spans.cpp): the shared state of a SpanShader (SpanShader::Impl, per draw
// and per triangle), the per-fragment stencil and blend steps every path uses, and the affine
// model of a value along a run (Lin) the proofs work with. Included only by the span files.
// Threads: as SpanShader, one per render pass on the thread running the command buffer.
// Failures: none; every call draws or answers, and a proof that cannot be made answers false.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "shims/apple/metal/Raster.h"

namespace mtl::raster {
namespace span {

constexpr int kChunk = 64;       // pixels whose varyings are interpolated at once
constexpr double kTiny = 1e-36;  // absolute rounding below the normal range

// NaN and v <= 0 give 0, v >= 1 gives 255, the rest v x 255 rounded half up; without
// branches (channel values of text and gradients would mispredict them), so rows vectorise.
inline uint8_t toUnorm(float v) {
  float c = v > 0.f ? v : 0.f;
  c = c < 1.f ? c : 1.f;
  return static_cast<uint8_t>(static_cast<int>(c * 255.f + 0.5f));
}

inline bool stencilCompare(CompareFunction f, uint32_t ref, uint32_t stored) {
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

inline uint8_t stencilApply(StencilOperation op, uint8_t s, uint32_t ref) {
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
inline bool zeroOverKeepsBytes() {
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

inline bool isPowerOfTwoOrZero(double m) {
  if (m == 0) return true;
  int e;
  return std::fabs(std::frexp(m, &e)) == 0.5;
}

// A value along a range of a run: its model (exact arithmetic, affine along the run) has v0
// and v1 at the range's first and last pixel; each computed value lies within err of the
// model, and |model| <= maxAbs over the range. zero: the computed value is always zero.
struct Lin {
  double v0, v1, err, maxAbs;
  bool zero;
};

inline Lin makeLin(double v0, double v1, double modelErr, double err, bool zero = false) {
  const double maxAbs = std::max(std::fabs(v0), std::fabs(v1)) + modelErr;
  return {v0, v1, err + modelErr, maxAbs, zero};
}

// m * x in float, as the shaders compute it.
inline Lin scaleLin(double m, const Lin& x) {
  if (m == 0) return {0, 0, 0, 0, true};
  const double mag = std::fabs(m) * (x.maxAbs + x.err);
  const double round = isPowerOfTwoOrZero(m) ? kTiny : mag * 0x1p-24 + kTiny;
  return makeLin(m * x.v0, m * x.v1, mag * 0x1p-50, std::fabs(m) * x.err + round);
}

// a + b in float.
inline Lin addLin(const Lin& a, const Lin& b) {
  if (a.zero) return b;
  if (b.zero) return a;
  const double mag = a.maxAbs + a.err + b.maxAbs + b.err;
  return makeLin(a.v0 + b.v0, a.v1 + b.v1, mag * 0x1p-50, a.err + b.err + mag * 0x1p-24 + kTiny);
}

inline Lin constLin(float c) { return {c, c, 0, std::fabs(double(c)), c == 0.f}; }

// m[0] x + m[4] y + m[8] (or the second row with offset 1), as sh::transform computes it.
inline Lin transformLin(const float* m, int row, const Lin& x, const Lin& y) {
  return addLin(addLin(scaleLin(m[row], x), scaleLin(m[4 + row], y)), constLin(m[8 + row]));
}

}  // namespace span

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

  float vary[span::kChunk][kMaxVaryings];

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
  span::Lin varyingLin(int i, const RunEdges<I>& e, int64_t k0, int64_t k1) const;
  template <class I>
  span::Lin exactVaryingLin(int i, const RunEdges<I>& e, int64_t k0, int64_t k1) const;
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

}  // namespace mtl::raster
