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
//
// The files: this one decides per draw, per triangle and per run which path a run takes
// (beginDraw, beginTriangle, run, partitioned) and holds the entry points; SpanState.h the
// shared state (SpanShader::Impl), the per-fragment stencil and blend steps and the value model
// (Lin); SpanProofs.cpp the proofs (varyings along a run, the scissor proofs over a run and a
// triangle, the range guesses, the constant colour's plan); SpanRuns.cpp the runs (exact,
// stencil only, constant, texel, text, gradient) and their row stores.
#include "shims/apple/metal/SpanState.h"

namespace mtl::raster {
using namespace span;
namespace {

namespace sh = gpu::shading;

constexpr double kModerate = 1e18;  // larger varyings or paint numbers take the exact path
constexpr int64_t kProofFrom = 8;   // shorter runs cost less exactly than a proof over them

bool isSourceOver(const RenderPipelineColorAttachmentDescriptor& ca) {
  return ca.blendingEnabled && ca.sourceRGBBlendFactor == BlendFactor::One && ca.sourceAlphaBlendFactor == BlendFactor::One &&
         ca.destinationRGBBlendFactor == BlendFactor::OneMinusSourceAlpha &&
         ca.destinationAlphaBlendFactor == BlendFactor::OneMinusSourceAlpha && ca.writeMask == ColorWriteMaskAll;
}

bool moderate(double v) { return std::fabs(v) <= kModerate; }  // false for NaN

}  // namespace

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
