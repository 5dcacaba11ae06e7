// Recording of one frame's draw calls (see Recorder.h).
#include "render/metal/Recorder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace mvg {

TexFormat formatForType(int type) {
  switch (type) {
    case NVG_TEXTURE_ALPHA: return TexFormat::R8;
    case NVG_TEXTURE_RGBA:
    case NVG_TEXTURE_RGB:
    case NVG_TEXTURE_BGR: return TexFormat::RGBA8;
    case NVG_TEXTURE_BGRA: return TexFormat::BGRA8;
    default: return TexFormat::None;
  }
}

int sourceBytesPerPixel(int type) {
  switch (type) {
    case NVG_TEXTURE_ALPHA: return 1;
    case NVG_TEXTURE_RGB:
    case NVG_TEXTURE_BGR: return 3;
    case NVG_TEXTURE_RGBA:
    case NVG_TEXTURE_BGRA: return 4;
    default: return 0;
  }
}

int storedBytesPerPixel(int type) {
  switch (formatForType(type)) {
    case TexFormat::R8: return 1;
    case TexFormat::RGBA8:
    case TexFormat::BGRA8: return 4;
    default: return 0;
  }
}

int32_t texTypeFor(int type, int flags) {
  if (type == NVG_TEXTURE_ALPHA) return 2;
  return (flags & NVG_IMAGE_PREMULTIPLIED) ? 0 : 1;
}

bool regionInside(int x, int y, int w, int h, size_t width, size_t height) {
  if (x < 0 || y < 0 || w < 0 || h < 0) return false;
  return size_t(x) + size_t(w) <= width && size_t(y) + size_t(h) <= height;
}

void widenRows(int type, const unsigned char* src, size_t srcStride, int w, int h, unsigned char* dst) {
  const int sb = sourceBytesPerPixel(type), db = storedBytesPerPixel(type);
  for (int row = 0; row < h; ++row) {
    const unsigned char* s = src + size_t(row) * srcStride;
    unsigned char* d = dst + size_t(row) * size_t(w) * size_t(db);
    if (sb == db) {
      std::memcpy(d, s, size_t(w) * size_t(sb));
      continue;
    }
    const bool bgr = type == NVG_TEXTURE_BGR;
    for (int x = 0; x < w; ++x, s += 3, d += 4) {
      d[0] = bgr ? s[2] : s[0];
      d[1] = s[1];
      d[2] = bgr ? s[0] : s[2];
      d[3] = 255;
    }
  }
}

void xformToMat3x4(float* m, const float* t) {
  m[0] = t[0]; m[1] = t[1]; m[2] = 0.f; m[3] = 0.f;
  m[4] = t[2]; m[5] = t[3]; m[6] = 0.f; m[7] = 0.f;
  m[8] = t[4]; m[9] = t[5]; m[10] = 1.f; m[11] = 0.f;
}

void xformInverse(float* inv, const float* t) {
  const double det = double(t[0]) * t[3] - double(t[2]) * t[1];
  if (!std::isfinite(det) || std::fabs(det) < 1e-6) {
    inv[0] = 1.f; inv[1] = 0.f; inv[2] = 0.f; inv[3] = 1.f; inv[4] = 0.f; inv[5] = 0.f;
    return;
  }
  const double id = 1.0 / det;
  inv[0] = float(t[3] * id);
  inv[2] = float(-t[2] * id);
  inv[4] = float((double(t[2]) * t[5] - double(t[3]) * t[4]) * id);
  inv[1] = float(-t[1] * id);
  inv[3] = float(t[0] * id);
  inv[5] = float((double(t[1]) * t[4] - double(t[0]) * t[5]) * id);
}

namespace {

Factor mapFactor(int f, bool& ok) {
  switch (f) {
    case NVG_ZERO: return Factor::Zero;
    case NVG_ONE: return Factor::One;
    case NVG_SRC_COLOR: return Factor::SourceColor;
    case NVG_ONE_MINUS_SRC_COLOR: return Factor::OneMinusSourceColor;
    case NVG_DST_COLOR: return Factor::DestinationColor;
    case NVG_ONE_MINUS_DST_COLOR: return Factor::OneMinusDestinationColor;
    case NVG_SRC_ALPHA: return Factor::SourceAlpha;
    case NVG_ONE_MINUS_SRC_ALPHA: return Factor::OneMinusSourceAlpha;
    case NVG_DST_ALPHA: return Factor::DestinationAlpha;
    case NVG_ONE_MINUS_DST_ALPHA: return Factor::OneMinusDestinationAlpha;
    case NVG_SRC_ALPHA_SATURATE: return Factor::SourceAlphaSaturated;
    default: ok = false; return Factor::Zero;
  }
}

void premultiplied(float* out, const NVGcolor& c) {
  out[0] = c.r * c.a;
  out[1] = c.g * c.a;
  out[2] = c.b * c.a;
  out[3] = c.a;
}

}  // namespace

Recorder::~Recorder() = default;

void Recorder::freeCalls(FrameArrays& frame) {
  std::free(frame.calls);
  frame.calls = nullptr;
  frame.ccalls = frame.ncalls = 0;
}

Call* Recorder::allocCall() {
  if (!frame_) return nullptr;
  FrameArrays& f = *frame_;
  if (f.ncalls >= f.ccalls) {
    const long long want = std::max<long long>(f.ncalls + 1LL, 128) + f.ccalls / 2;
    if (want > std::numeric_limits<int>::max() / 2) return nullptr;
    auto* calls = static_cast<Call*>(std::realloc(f.calls, sizeof(Call) * size_t(want)));
    if (!calls) return nullptr;
    f.calls = calls;
    f.ccalls = int(want);
  }
  Call* c = &f.calls[f.ncalls++];
  *c = Call{};
  return c;
}

int Recorder::grow(Array which, int n, int minimum, size_t itemBytes, int& count, int& capacity, void*& pointer) {
  if (n < 0) return -1;
  const long long need = static_cast<long long>(count) + n;
  if (need > std::numeric_limits<int>::max() / 2) return -1;
  if (need > capacity) {
    const long long cap = std::max<long long>(need, minimum) + capacity / 2;
    void* p = growArray(which, size_t(cap) * itemBytes, size_t(count) * itemBytes);
    if (!p) return -1;
    pointer = p;
    capacity = int(cap);
  }
  const int offset = count;
  count = int(need);
  return offset;
}

int Recorder::allocVerts(int n) {
  if (!frame_) return -1;
  void* p = frame_->verts;
  const int r = grow(Array::Verts, n, 4096, sizeof(NVGvertex), frame_->nverts, frame_->cverts, p);
  frame_->verts = static_cast<NVGvertex*>(p);
  return r;
}

int Recorder::allocIndexes(int n) {
  if (!frame_) return -1;
  void* p = frame_->indexes;
  const int r = grow(Array::Indexes, n, 4096, indexSize, frame_->nindexes, frame_->cindexes, p);
  frame_->indexes = static_cast<uint32_t*>(p);
  return r;
}

int Recorder::allocFragUniforms(int n) {
  if (!frame_) return -1;
  void* p = frame_->uniforms;
  const int r = grow(Array::Uniforms, n, 128, fragSize, frame_->nuniforms, frame_->cuniforms, p);
  frame_->uniforms = static_cast<unsigned char*>(p);
  return r < 0 ? -1 : r * fragSize;
}

FragUniforms* Recorder::fragUniformAtIndex(int offset) const {
  return reinterpret_cast<FragUniforms*>(frame_->uniforms + offset);
}

Blend Recorder::blendCompositeOperation(NVGcompositeOperationState op) {
  bool ok = true;
  Blend b{mapFactor(op.srcRGB, ok), mapFactor(op.dstRGB, ok), mapFactor(op.srcAlpha, ok), mapFactor(op.dstAlpha, ok)};
  return ok ? b : Blend{};
}

bool Recorder::convertPaint(FragUniforms* frag, const NVGpaint* paint, const NVGscissor* scissor, float width, float fringe,
                            float strokeThr) const {
  std::memset(frag, 0, sizeof(*frag));
  premultiplied(frag->innerCol, paint->innerColor);
  premultiplied(frag->outerCol, paint->outerColor);

  if (scissor->extent[0] < -0.5f || scissor->extent[1] < -0.5f) {
    frag->scissorExt[0] = frag->scissorExt[1] = 1.f;
    frag->scissorScale[0] = frag->scissorScale[1] = 1.f;
  } else {
    float inv[6];
    xformInverse(inv, scissor->xform);
    xformToMat3x4(frag->scissorMat, inv);
    frag->scissorExt[0] = scissor->extent[0];
    frag->scissorExt[1] = scissor->extent[1];
    const float* x = scissor->xform;
    frag->scissorScale[0] = std::sqrt(x[0] * x[0] + x[2] * x[2]) / fringe;
    frag->scissorScale[1] = std::sqrt(x[1] * x[1] + x[3] * x[3]) / fringe;
  }

  frag->extent[0] = paint->extent[0];
  frag->extent[1] = paint->extent[1];
  frag->strokeMult = (width * 0.5f + fringe * 0.5f) / fringe;
  frag->strokeThr = strokeThr;

  float inv[6];
  if (paint->image != 0) {
    const ImageInfo* img = findImage(paint->image);
    if (!img) return false;
    if (img->flags & NVG_IMAGE_FLIPY) {
      float m1[6], m2[6];
      nvgTransformTranslate(m1, 0.f, frag->extent[1] * 0.5f);
      nvgTransformMultiply(m1, paint->xform);
      nvgTransformScale(m2, 1.f, -1.f);
      nvgTransformMultiply(m2, m1);
      nvgTransformTranslate(m1, 0.f, -frag->extent[1] * 0.5f);
      nvgTransformMultiply(m1, m2);
      xformInverse(inv, m1);
    } else {
      xformInverse(inv, paint->xform);
    }
    frag->type = kShaderImage;
    frag->texType = texTypeFor(img->type, img->flags);
  } else {
    frag->type = kShaderGradient;
    frag->radius = paint->radius;
    frag->feather = paint->feather;
    xformInverse(inv, paint->xform);
  }
  xformToMat3x4(frag->paintMat, inv);
  return true;
}

void Recorder::fill(NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* scissor, float fringe, const float* bounds,
                    const NVGpath* paths, int npaths) {
  Call* call = allocCall();
  if (!call) return;
  call->type = kCallFill;
  call->triangleCount = 4;
  call->image = paint->image;
  call->blend = blendCompositeOperation(op);
  if (npaths == 1 && paths[0].convex) {
    call->type = kCallConvexFill;
    call->triangleCount = 0;
  }

  long long indexCount = 0, fillVerts = 0, strokeVerts = 0;
  for (int i = 0; i < npaths; ++i) {
    if (paths[i].nfill >= 3) {
      indexCount += (paths[i].nfill - 2) * 3LL;
      fillVerts += paths[i].nfill;
    }
    if (paths[i].nstroke > 0) strokeVerts += paths[i].nstroke + 2LL;
  }
  const long long vertCount = fillVerts + strokeVerts + call->triangleCount;
  if (vertCount > std::numeric_limits<int>::max() / 2 || indexCount > std::numeric_limits<int>::max() / 2) {
    takeBackCall();
    return;
  }
  const int vertOffset = allocVerts(int(vertCount));
  const int indexOffset = vertOffset < 0 ? -1 : allocIndexes(int(indexCount));
  if (indexOffset < 0) {
    takeBackCall();
    return;
  }
  call->indexOffset = indexOffset;
  call->indexCount = int(indexCount);
  const int stripStart = vertOffset + int(vertCount - strokeVerts);
  call->strokeOffset = stripStart + 1;
  call->strokeCount = strokeVerts > 0 ? int(strokeVerts) - 2 : 0;

  FrameArrays& f = *frame_;
  int v = vertOffset, ix = indexOffset, s = stripStart;
  for (int i = 0; i < npaths; ++i) {
    const NVGpath& p = paths[i];
    if (p.nfill >= 3) {
      std::memcpy(&f.verts[v], p.fill, sizeof(NVGvertex) * size_t(p.nfill));
      for (int j = 2; j < p.nfill; ++j) {
        f.indexes[ix++] = uint32_t(v);
        f.indexes[ix++] = uint32_t(v + j - 1);
        f.indexes[ix++] = uint32_t(v + j);
      }
      v += p.nfill;
    }
    if (p.nstroke > 0) {
      f.verts[s] = p.stroke[0];
      std::memcpy(&f.verts[s + 1], p.stroke, sizeof(NVGvertex) * size_t(p.nstroke));
      f.verts[s + 1 + p.nstroke] = p.stroke[p.nstroke - 1];
      s += p.nstroke + 2;
    }
  }

  if (call->type == kCallFill) {
    call->triangleOffset = v;
    NVGvertex* q = &f.verts[v];
    q[0] = {bounds[2], bounds[3], 0.5f, 1.0f};
    q[1] = {bounds[2], bounds[1], 0.5f, 1.0f};
    q[2] = {bounds[0], bounds[3], 0.5f, 1.0f};
    q[3] = {bounds[0], bounds[1], 0.5f, 1.0f};
  }

  call->uniformOffset = allocFragUniforms(1);
  if (call->uniformOffset < 0 || !convertPaint(fragUniformAtIndex(call->uniformOffset), paint, scissor, fringe, fringe, -1.f))
    takeBackCall();
}

void Recorder::stroke(NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* scissor, float fringe, float strokeWidth,
                      const NVGpath* paths, int npaths) {
  Call* call = allocCall();
  if (!call) return;
  call->type = kCallStroke;
  call->image = paint->image;
  call->blend = blendCompositeOperation(op);

  long long fillVerts = 0, strokeVerts = 0;
  for (int i = 0; i < npaths; ++i) {
    if (paths[i].nfill >= 3) fillVerts += paths[i].nfill;
    if (paths[i].nstroke > 0) strokeVerts += paths[i].nstroke + 2LL;
  }
  const long long vertCount = fillVerts + strokeVerts;
  const int vertOffset = vertCount > std::numeric_limits<int>::max() / 2 ? -1 : allocVerts(int(vertCount));
  if (vertOffset < 0) {
    takeBackCall();
    return;
  }
  const int stripStart = vertOffset + int(vertCount - strokeVerts);
  call->strokeOffset = stripStart + 1;
  call->strokeCount = strokeVerts > 0 ? int(strokeVerts) - 2 : 0;
  FrameArrays& f = *frame_;
  int s = stripStart;
  for (int i = 0; i < npaths; ++i) {
    const NVGpath& p = paths[i];
    if (p.nstroke <= 0) continue;
    f.verts[s] = p.stroke[0];
    std::memcpy(&f.verts[s + 1], p.stroke, sizeof(NVGvertex) * size_t(p.nstroke));
    f.verts[s + 1 + p.nstroke] = p.stroke[p.nstroke - 1];
    s += p.nstroke + 2;
  }

  if (flags_ & kFlagStencilStrokes) {
    call->uniformOffset = allocFragUniforms(2);
    if (call->uniformOffset < 0 ||
        !convertPaint(fragUniformAtIndex(call->uniformOffset), paint, scissor, strokeWidth, fringe, -1.f) ||
        !convertPaint(fragUniformAtIndex(call->uniformOffset + fragSize), paint, scissor, strokeWidth, fringe, 1.f - 0.5f / 255.f))
      takeBackCall();
  } else {
    call->uniformOffset = allocFragUniforms(1);
    if (call->uniformOffset < 0 ||
        !convertPaint(fragUniformAtIndex(call->uniformOffset), paint, scissor, strokeWidth, fringe, -1.f))
      takeBackCall();
  }
}

void Recorder::triangles(NVGpaint* paint, NVGcompositeOperationState op, NVGscissor* scissor, const NVGvertex* verts, int nverts,
                         float fringe) {
  Call* call = allocCall();
  if (!call) return;
  call->type = kCallTriangles;
  call->image = paint->image;
  call->blend = blendCompositeOperation(op);
  call->triangleOffset = allocVerts(nverts);
  if (call->triangleOffset < 0) {
    takeBackCall();
    return;
  }
  call->triangleCount = nverts;
  if (nverts > 0) std::memcpy(&frame_->verts[call->triangleOffset], verts, sizeof(NVGvertex) * size_t(nverts));
  call->uniformOffset = allocFragUniforms(1);
  if (call->uniformOffset < 0) {
    takeBackCall();
    return;
  }
  FragUniforms* frag = fragUniformAtIndex(call->uniformOffset);
  if (!convertPaint(frag, paint, scissor, 1.f, fringe, -1.f)) {
    takeBackCall();
    return;
  }
  frag->type = kShaderTriangles;
}

}  // namespace mvg
