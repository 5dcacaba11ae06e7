#pragma once
// Inside the software GPU: the arithmetic of the compiled-in fragment shaders and of texture
// sampling, as inline functions, so that the shader functions (Shaders.cpp) and the
// rasteriser's span shading (Spans.cpp) run the very same operations in the same order.
// Pure functions; any thread.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "shims/apple/metal/Metal.h"

namespace mtl::gpu {

// The fragment uniform record of the vector renderer (176 bytes).
struct Uniforms {
  float scissorMat[12];  // three float4 columns
  float paintMat[12];
  float innerCol[4];
  float outerCol[4];
  float scissorExt[2];
  float scissorScale[2];
  float extent[2];
  float radius;
  float feather;
  float strokeMult;
  float strokeThr;
  int32_t texType;
  int32_t type;
};
static_assert(sizeof(Uniforms) == 176);
static_assert(offsetof(Uniforms, paintMat) == 48 && offsetof(Uniforms, innerCol) == 96 && offsetof(Uniforms, outerCol) == 112);
static_assert(offsetof(Uniforms, scissorExt) == 128 && offsetof(Uniforms, extent) == 144 && offsetof(Uniforms, radius) == 152);
static_assert(offsetof(Uniforms, strokeMult) == 160 && offsetof(Uniforms, texType) == 168 && offsetof(Uniforms, type) == 172);

namespace shading {

inline float clamp01(float v) { return std::min(std::max(v, 0.f), 1.f); }

// (x, y) through a 3x3 matrix stored as float4 columns.
inline void transform(const float* m, float x, float y, float& ox, float& oy) {
  ox = m[0] * x + m[4] * y + m[8];
  oy = m[1] * x + m[5] * y + m[9];
}

inline float scissorMask(const Uniforms& u, float x, float y) {
  float sx, sy;
  transform(u.scissorMat, x, y, sx, sy);
  sx = 0.5f - (std::fabs(sx) - u.scissorExt[0]) * u.scissorScale[0];
  sy = 0.5f - (std::fabs(sy) - u.scissorExt[1]) * u.scissorScale[1];
  return clamp01(sx) * clamp01(sy);
}

inline float strokeMask(const Uniforms& u, float tu, float tv) {
  return std::min(1.f, (1.f - std::fabs(tu * 2.f - 1.f)) * u.strokeMult) * std::min(1.f, tv);
}

inline float sdroundrect(float px, float py, float ex, float ey, float r) {
  const float dx = std::fabs(px) - (ex - r), dy = std::fabs(py) - (ey - r);
  const float mx = std::max(dx, 0.f), my = std::max(dy, 0.f);
  return std::min(std::max(dx, dy), 0.f) + std::sqrt(mx * mx + my * my) - r;
}

// The gradient's blend position at paint-space point (px, py).
inline float gradientPosition(const Uniforms& u, float px, float py) {
  const float sd = sdroundrect(px, py, u.extent[0], u.extent[1], u.radius);
  return u.feather > 0.f ? clamp01((sd + u.feather * 0.5f) / u.feather) : (sd > 0.f ? 1.f : 0.f);
}

// Texel (x, y) after the address mode; false when the coordinate is unusable.
inline bool address(double c, size_t n, SamplerAddressMode mode, size_t& out) {
  if (!std::isfinite(c)) return false;
  const double dn = static_cast<double>(n);
  if (mode == SamplerAddressMode::Repeat) {
    c -= dn * std::floor(c / dn);
    if (!(c >= 0 && c < dn)) c = 0;  // rounding at huge magnitudes
  } else {
    c = std::clamp(c, 0.0, dn - 1);
  }
  out = static_cast<size_t>(c);
  return true;
}

inline void texel(const Texture& t, size_t x, size_t y, float out[4]) {
  const uint8_t* p = t.levelData(0) + (y * t.width() + x) * t.bytesPerPixel();
  constexpr float k = 1.f / 255.f;
  switch (t.pixelFormat()) {
    case PixelFormat::R8Unorm:
      out[0] = p[0] * k;
      out[1] = out[2] = 0.f;
      out[3] = 1.f;
      break;
    case PixelFormat::BGRA8Unorm:
      out[0] = p[2] * k;
      out[1] = p[1] * k;
      out[2] = p[0] * k;
      out[3] = p[3] * k;
      break;
    case PixelFormat::RGBA8Unorm:
      for (int c = 0; c < 4; ++c) out[c] = p[c] * k;
      break;
    default:
      out[0] = out[1] = out[2] = out[3] = 0.f;
  }
}

// Level 0 of the texture at (u, v); see gpu::sample.
inline void sample(const Texture* t, const SamplerDescriptor* s, float u, float v, float out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0.f;
  if (!t || t->pixelFormat() == PixelFormat::Stencil8) return;
  const SamplerDescriptor defaults;
  if (!s) s = &defaults;
  const size_t w = t->width(), h = t->height();
  if (s->magFilter == SamplerMinMagFilter::Nearest) {
    size_t x, y;
    if (!address(std::floor(double(u) * w), w, s->sAddressMode, x) || !address(std::floor(double(v) * h), h, s->tAddressMode, y))
      return;
    texel(*t, x, y, out);
    return;
  }
  const double fx = double(u) * w - 0.5, fy = double(v) * h - 0.5;
  if (!std::isfinite(fx) || !std::isfinite(fy)) return;
  const double x0 = std::floor(fx), y0 = std::floor(fy);
  const float ax = static_cast<float>(fx - x0), ay = static_cast<float>(fy - y0);
  size_t xs[2], ys[2];
  if (!address(x0, w, s->sAddressMode, xs[0]) || !address(x0 + 1, w, s->sAddressMode, xs[1]) ||
      !address(y0, h, s->tAddressMode, ys[0]) || !address(y0 + 1, h, s->tAddressMode, ys[1]))
    return;
  float t00[4], t10[4], t01[4], t11[4];
  texel(*t, xs[0], ys[0], t00);
  texel(*t, xs[1], ys[0], t10);
  texel(*t, xs[0], ys[1], t01);
  texel(*t, xs[1], ys[1], t11);
  for (int c = 0; c < 4; ++c) {
    const float top = t00[c] + (t10[c] - t00[c]) * ax;
    const float bottom = t01[c] + (t11[c] - t01[c]) * ax;
    out[c] = top + (bottom - top) * ay;
  }
}

// The paint's texture type on a sample: 1 premultiplies, 2 spreads the one channel.
inline void applyTexType(int texType, float t[4]) {
  if (texType == 1) {
    t[0] *= t[3];
    t[1] *= t[3];
    t[2] *= t[3];
  } else if (texType == 2) {
    t[1] = t[2] = t[3] = t[0];
  }
}

inline void sampleTyped(const Texture* tex, const SamplerDescriptor* smp, int texType, float u, float v, float t[4]) {
  sample(tex, smp, u, v, t);
  applyTexType(texType, t);
}

// The renderer's fragment shader ("fragmentShader", or "fragmentShaderAA" with kAntiAlias) on
// one fragment with varyings (x, y, u, v): premultiplied colour, or false to discard.
template <bool kAntiAlias>
[[gnu::always_inline]] inline bool shade(const Uniforms& u, const Texture* tex, const SamplerDescriptor* smp, const float* varyings, float out[4]) {
  const float fx = varyings[0], fy = varyings[1], tu = varyings[2], tv = varyings[3];
  const float scissor = scissorMask(u, fx, fy);
  float strokeAlpha = 1.f;
  if constexpr (kAntiAlias) {
    strokeAlpha = strokeMask(u, tu, tv);
    if (strokeAlpha < u.strokeThr) return false;
  }
  if (u.type == 0) {  // gradient
    float px, py;
    transform(u.paintMat, fx, fy, px, py);
    const float d = gradientPosition(u, px, py);
    const float k = strokeAlpha * scissor;
    for (int c = 0; c < 4; ++c) out[c] = (u.innerCol[c] + (u.outerCol[c] - u.innerCol[c]) * d) * k;
  } else if (u.type == 1) {  // image
    float px, py;
    transform(u.paintMat, fx, fy, px, py);
    float t[4];
    sampleTyped(tex, smp, u.texType, px / u.extent[0], py / u.extent[1], t);
    const float k = strokeAlpha * scissor;
    for (int c = 0; c < 4; ++c) out[c] = t[c] * u.innerCol[c] * k;
  } else if (u.type == 2) {  // textured triangles
    float t[4];
    sampleTyped(tex, smp, u.texType, tu, tv, t);
    for (int c = 0; c < 4; ++c) out[c] = t[c] * scissor * u.innerCol[c];
  } else {
    return false;
  }
  return true;
}

}  // namespace shading
}  // namespace mtl::gpu
