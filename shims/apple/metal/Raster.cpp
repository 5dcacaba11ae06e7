// The render pass of the software GPU: load actions, state replay, vertex fetch, triangle
// set-up with facing and culling, and a fixed-point (1/256 pixel) scan converter with a top-left
// rule that hands each row's run of covered pixels to span shading (Spans.cpp): per fragment
// the fragment function, the stencil test and blending.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "shims/apple/metal/Gpu.h"
#include "shims/apple/metal/MetalTesting.h"
#include "shims/apple/metal/Raster.h"

namespace mtl {
namespace {

using raster::ColorLayout;
using raster::Target;
using gpu::kMaxBindings;
using gpu::kMaxVaryings;

std::atomic<bool> gFastPaths{true};

constexpr double kMaxCoordinate = 16777216.0;  // 2^24 pixels: farther vertices drop their triangle
constexpr int64_t kSmallCoordinate = int64_t{1} << 26;  // fixed point: 64-bit edge values suffice

inline uint8_t toUnorm(float v) {
  if (!(v > 0.f)) return 0;  // also NaN
  if (v >= 1.f) return 255;
  return static_cast<uint8_t>(v * 255.f + 0.5f);
}

template <class I>
inline I floorDiv(I a, I b) {  // b > 0
  I q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}
template <class I>
inline I ceilDiv(I a, I b) {  // b > 0
  I q = a / b;
  return (a % b != 0 && a > 0) ? q + 1 : q;
}

ColorLayout layoutOf(PixelFormat f) {
  switch (f) {
    case PixelFormat::BGRA8Unorm: return {2, 1, 0, 3, 4};
    case PixelFormat::R8Unorm: return {0, -1, -1, -1, 1};
    default: return {0, 1, 2, 3, 4};
  }
}

// floor(a / b) for b > 0 through a double quotient, corrected to the exact result.
inline int64_t floorDivQuick(int64_t a, int64_t b) {
  constexpr int64_t kExact = int64_t{1} << 52;
  if (a <= -kExact || a >= kExact || b >= kExact) return floorDiv<int64_t>(a, b);
  int64_t q = static_cast<int64_t>(std::floor(static_cast<double>(a) / static_cast<double>(b)));
  if (q * b > a)
    --q;
  else if ((q + 1) * b <= a)
    ++q;
  return q;
}
inline __int128 floorDivQuick(__int128 a, __int128 b) { return floorDiv<__int128>(a, b); }

struct Clip {
  int64_t x0, y0, x1, y1;  // pixels [x0, x1) x [y0, y1)
};

struct State {
  CullMode cull = CullMode::None;
  Winding front = Winding::Clockwise;
  uint32_t stencilRef = 0;
  double viewport[4] = {0, 0, 0, 0};
  const Buffer* vertexBuffers[kMaxBindings] = {};
  size_t vertexOffsets[kMaxBindings] = {};
  const Buffer* fragmentBuffers[kMaxBindings] = {};
  size_t fragmentOffsets[kMaxBindings] = {};
  const Texture* textures[kMaxBindings] = {};
  const SamplerDescriptor* samplers[kMaxBindings] = {};
  const RenderPipelineState* pipeline = nullptr;
  const DepthStencilState* depthStencil = nullptr;
};

struct RVertex {
  int64_t x, y;  // window position, 1/256 pixel
  float v[kMaxVaryings];
  bool ok;
};

gpu::BufferView viewOf(const Buffer* b, size_t offset) {
  if (!b || offset > b->length()) return {};
  return {static_cast<const std::byte*>(const_cast<Buffer*>(b)->contents()) + offset, b->length() - offset};
}

// Scan-converts one triangle with positive area (window coordinates, y down).
template <class I>
void scanTriangle(const RVertex& A, const RVertex& B, const RVertex& C, bool front, const Clip& clip, raster::SpanShader& shader) {
  const int64_t minX = std::min({A.x, B.x, C.x}), maxX = std::max({A.x, B.x, C.x});
  const int64_t minY = std::min({A.y, B.y, C.y}), maxY = std::max({A.y, B.y, C.y});
  const int64_t px0 = std::max(clip.x0, ceilDiv<int64_t>(minX - 128, 256));
  const int64_t px1 = std::min(clip.x1 - 1, floorDiv<int64_t>(maxX - 128, 256));
  const int64_t py0 = std::max(clip.y0, ceilDiv<int64_t>(minY - 128, 256));
  const int64_t py1 = std::min(clip.y1 - 1, floorDiv<int64_t>(maxY - 128, 256));
  if (px0 > px1 || py0 > py1) return;

  struct Edge {
    I dx, dy, x, y, bias;
  };
  auto edge = [](const RVertex& p, const RVertex& q) {
    const I dx = I(q.x) - I(p.x), dy = I(q.y) - I(p.y);
    const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
    return Edge{dx, dy, I(p.x), I(p.y), I(topLeft ? 0 : 1)};
  };
  const Edge e[3] = {edge(B, C), edge(C, A), edge(A, B)};  // weights of A, B, C
  const I area = e[2].dx * (I(C.y) - I(A.y)) - e[2].dy * (I(C.x) - I(A.x));
  raster::Interpolation interp;
  interp.invArea = 1.0 / static_cast<double>(area);
  interp.front = front;
  for (int i = 0; i < kMaxVaryings; ++i) {
    interp.a[i] = A.v[i];
    interp.dB[i] = double(B.v[i]) - A.v[i];
    interp.dC[i] = double(C.v[i]) - A.v[i];
  }
  shader.beginTriangle(interp);
  const I X0 = I(px0) * 256 + 128;
  const int64_t span = px1 - px0;
  // Edge values at the row's first pixel, stepped exactly from row to row.
  I E[3], S[3], rowStep[3];
  for (int j = 0; j < 3; ++j) {
    E[j] = e[j].dx * (I(py0) * 256 + 128 - e[j].y) - e[j].dy * (X0 - e[j].x);
    S[j] = -e[j].dy * 256;
    rowStep[j] = e[j].dx * 256;
  }
  for (int64_t py = py0; py <= py1; ++py) {
    if (py > py0)
      for (int j = 0; j < 3; ++j) E[j] += rowStep[j];
    I kmin = 0, kmax = I(span);
    bool empty = false;
    for (int j = 0; j < 3; ++j) {
      if (S[j] == 0) {
        if (E[j] < e[j].bias) empty = true;
      } else if (S[j] > 0) {
        // Pixels from ceil((bias - E) / S) on; nothing to cut when that is <= 0.
        if (e[j].bias - E[j] > 0) kmin = std::max(kmin, -floorDivQuick(E[j] - e[j].bias, S[j]));
      } else {
        // Pixels up to floor((E - bias) / -S); nothing to cut when that is >= the span.
        if (E[j] - e[j].bias < -S[j] * I(span)) kmax = std::min(kmax, floorDivQuick(E[j] - e[j].bias, -S[j]));
      }
    }
    if (empty || kmin > kmax) continue;
    const raster::RunEdges<I> run{E[1] + kmin * S[1], E[2] + kmin * S[2], S[1], S[2]};
    shader.run(py, px0 + static_cast<int64_t>(kmin), static_cast<int64_t>(kmax - kmin) + 1, run);
  }
}

void drawTriangle(const RVertex& a, const RVertex& b, const RVertex& c, bool odd, const State& st, const Clip& clip,
                  raster::SpanShader& shader) {
  if (!a.ok || !b.ok || !c.ok) return;
  const __int128 area = __int128(b.x - a.x) * (c.y - a.y) - __int128(b.y - a.y) * (c.x - a.x);
  if (area == 0) return;
  // Window y grows downwards: a negative window area is counter-clockwise in clip space.
  // Odd triangles of a strip are judged with their first two vertices swapped.
  bool ccw = area < 0;
  if (odd) ccw = !ccw;
  const bool front = st.front == Winding::CounterClockwise ? ccw : !ccw;
  if ((st.cull == CullMode::Back && !front) || (st.cull == CullMode::Front && front)) return;
  const RVertex* p1 = &b;
  const RVertex* p2 = &c;
  if (area < 0) std::swap(p1, p2);
  const bool small = std::max({std::abs(a.x), std::abs(a.y), std::abs(b.x), std::abs(b.y), std::abs(c.x), std::abs(c.y)}) <= kSmallCoordinate;
  if (small)
    scanTriangle<int64_t>(a, *p1, *p2, front, clip, shader);
  else
    scanTriangle<__int128>(a, *p1, *p2, front, clip, shader);
}

class PassRunner {
public:
  explicit PassRunner(RenderCommandEncoder::Pass& pass) : pass_(pass) {}

  void run() {
    const auto& cd = pass_.desc.colorAttachments[0];
    Texture* color = cd.texture.get();
    if (!color) return;
    Texture* stencil = pass_.desc.stencilAttachment.texture.get();
    t_.color = color->levelData(0);
    t_.colorStride = color->width();
    t_.layout = layoutOf(color->pixelFormat());
    t_.width = static_cast<int64_t>(color->width());
    t_.height = static_cast<int64_t>(color->height());
    if (stencil) {
      t_.stencil = stencil->levelData(0);
      t_.stencilStride = stencil->width();
      t_.width = std::min<int64_t>(t_.width, static_cast<int64_t>(stencil->width()));
      t_.height = std::min<int64_t>(t_.height, static_cast<int64_t>(stencil->height()));
    }
    if (cd.loadAction == LoadAction::Clear) clearColor(*color, cd.clearColor);
    if (stencil && pass_.desc.stencilAttachment.loadAction == LoadAction::Clear) {
      stencilClearPending_ = true;
      if (!fast_ || pass_.desc.stencilAttachment.storeAction != StoreAction::DontCare) clearStencilIfPending();
    }
    st_.viewport[2] = static_cast<double>(color->width());
    st_.viewport[3] = static_cast<double>(color->height());
    for (const Command& c : pass_.commands) replay(c);
  }

private:
  void clearColor(Texture& tex, const ClearColor& cc) {
    const float v[4] = {float(cc.red), float(cc.green), float(cc.blue), float(cc.alpha)};
    const int idx[4] = {t_.layout.r, t_.layout.g, t_.layout.b, t_.layout.a};
    uint8_t px[4] = {0, 0, 0, 0};
    for (int c = 0; c < 4; ++c)
      if (idx[c] >= 0) px[idx[c]] = toUnorm(v[c]);
    uint8_t* d = tex.levelData(0);
    const size_t n = tex.width() * tex.height(), bpp = t_.layout.bpp;
    if (bpp == 4) {
      uint32_t word;
      std::memcpy(&word, px, 4);
      for (size_t i = 0; i < n; ++i) std::memcpy(d + i * 4, &word, 4);
      return;
    }
    for (size_t i = 0; i < n; ++i)
      for (size_t c = 0; c < bpp; ++c) d[i * bpp + c] = px[c];
  }

  void replay(const Command& c) {
    using Op = Command::Op;
    switch (c.op) {
      case Op::SetCull: st_.cull = static_cast<CullMode>(c.a); break;
      case Op::SetWinding: st_.front = static_cast<Winding>(c.a); break;
      case Op::SetStencilRef: st_.stencilRef = static_cast<uint32_t>(c.a); break;
      case Op::SetViewport: std::copy(c.viewport, c.viewport + 4, st_.viewport); break;
      case Op::SetVertexBuffer:
        st_.vertexBuffers[c.index] = static_cast<const Buffer*>(c.object.get());
        st_.vertexOffsets[c.index] = c.a;
        break;
      case Op::SetFragmentBuffer:
        st_.fragmentBuffers[c.index] = static_cast<const Buffer*>(c.object.get());
        st_.fragmentOffsets[c.index] = c.a;
        break;
      case Op::SetFragmentBufferOffset: st_.fragmentOffsets[c.index] = c.a; break;
      case Op::SetFragmentTexture: st_.textures[c.index] = static_cast<const Texture*>(c.object.get()); break;
      case Op::SetFragmentSampler:
        st_.samplers[c.index] = c.object ? &static_cast<const SamplerState*>(c.object.get())->descriptor() : nullptr;
        break;
      case Op::SetPipeline: st_.pipeline = static_cast<const RenderPipelineState*>(c.object.get()); break;
      case Op::SetDepthStencil: st_.depthStencil = static_cast<const DepthStencilState*>(c.object.get()); break;
      case Op::Draw: draw(static_cast<PrimitiveType>(c.index), c.a, c.b, nullptr, IndexType::UInt32, 0); break;
      case Op::DrawIndexed:
        draw(static_cast<PrimitiveType>(c.index), 0, c.a, static_cast<const Buffer*>(c.object.get()), static_cast<IndexType>(c.c), c.b);
        break;
    }
  }

  Clip clip() const {
    const double* vp = st_.viewport;
    Clip r{0, 0, 0, 0};
    if (!(vp[2] > 0 && vp[3] > 0 && std::isfinite(vp[0]) && std::isfinite(vp[1]) && std::isfinite(vp[2]) && std::isfinite(vp[3])))
      return r;
    auto clampTo = [](double v, int64_t hi) { return static_cast<int64_t>(std::clamp(v, 0.0, double(hi))); };
    r.x0 = clampTo(std::floor(vp[0]), t_.width);
    r.y0 = clampTo(std::floor(vp[1]), t_.height);
    r.x1 = clampTo(std::ceil(vp[0] + vp[2]), t_.width);
    r.y1 = clampTo(std::ceil(vp[1] + vp[3]), t_.height);
    return r;
  }

  bool fetchVertex(uint64_t id, const RenderPipelineState& ps, gpu::VertexFunction fn, const gpu::BufferView* views, RVertex& out) {
    gpu::VertexIn in{};
    in.buffers = views;
    const VertexDescriptor& vd = ps.descriptor().vertexDescriptor;
    for (int a = 0; a < VertexDescriptor::kMaxAttributes; ++a) {
      const auto& at = vd.attributes[a];
      if (at.format != VertexFormat::Float2) continue;
      if (at.bufferIndex >= size_t(kMaxBindings)) return false;
      const gpu::BufferView& b = views[at.bufferIndex];
      const size_t stride = vd.layouts[at.bufferIndex].stride;
      if (!b.data || (stride && id > (b.size / stride))) return false;
      const unsigned __int128 at0 = (unsigned __int128)id * stride + at.offset;
      if (at0 + 8 > b.size) return false;
      std::memcpy(in.attributes[a], b.data + static_cast<size_t>(at0), 8);
    }
    gpu::VertexOut vo{};
    fn(in, vo);
    const double* vp = st_.viewport;
    const double wx = (double(vo.position[0]) + 1.0) * 0.5 * vp[2] + vp[0];
    const double wy = (1.0 - double(vo.position[1])) * 0.5 * vp[3] + vp[1];
    out.ok = std::isfinite(wx) && std::isfinite(wy) && std::abs(wx) <= kMaxCoordinate && std::abs(wy) <= kMaxCoordinate;
    if (out.ok) {
      out.x = std::llround(wx * 256.0);
      out.y = std::llround(wy * 256.0);
    } else {
      out.x = out.y = 0;
    }
    for (int i = 0; i < kMaxVaryings; ++i) out.v[i] = vo.varyings[i];
    return true;
  }

  void draw(PrimitiveType type, uint64_t start, uint64_t count, const Buffer* indexBuffer, IndexType indexType, uint64_t indexOffset) {
    if (type != PrimitiveType::Triangle && type != PrimitiveType::TriangleStrip) return;
    if (!st_.pipeline || count < 3) return;
    const RenderPipelineDescriptor& pd = st_.pipeline->descriptor();
    const auto vfn = reinterpret_cast<gpu::VertexFunction>(const_cast<void*>(pd.vertexFunction->entry()));
    const Clip cl = clip();
    if (cl.x0 >= cl.x1 || cl.y0 >= cl.y1) return;

    gpu::BufferView vviews[kMaxBindings];
    for (int i = 0; i < kMaxBindings; ++i) vviews[i] = viewOf(st_.vertexBuffers[i], st_.vertexOffsets[i]);

    // Vertices of the draw, transformed once each; an index or vertex outside its buffer ends the draw.
    verts_.clear();
    if (indexBuffer) {
      const size_t isz = indexType == IndexType::UInt16 ? 2 : 4;
      const gpu::BufferView iv = viewOf(indexBuffer, 0);
      if (indexOffset > iv.size) return;
      count = std::min<uint64_t>(count, (iv.size - indexOffset) / isz);
      verts_.resize(count);
      for (uint64_t i = 0; i < count; ++i) {
        uint32_t id = 0;
        if (isz == 2) {
          uint16_t v16;
          std::memcpy(&v16, iv.data + indexOffset + i * 2, 2);
          id = v16;
        } else {
          std::memcpy(&id, iv.data + indexOffset + i * 4, 4);
        }
        if (!fetchVertex(id, *st_.pipeline, vfn, vviews, verts_[i])) {
          verts_.resize(i);
          break;
        }
      }
    } else {
      count = std::min<uint64_t>(count, 1u << 30);
      verts_.resize(count);
      for (uint64_t i = 0; i < count; ++i)
        if (!fetchVertex(start + i, *st_.pipeline, vfn, vviews, verts_[i])) {
          verts_.resize(i);
          break;
        }
    }

    raster::DrawState ds;
    ds.target = &t_;
    ds.fragment = pd.fragmentFunction ? reinterpret_cast<gpu::FragmentFunction>(const_cast<void*>(pd.fragmentFunction->entry())) : nullptr;
    for (int i = 0; i < kMaxBindings; ++i) ds.fragmentViews[i] = viewOf(st_.fragmentBuffers[i], st_.fragmentOffsets[i]);
    ds.in.buffers = ds.fragmentViews;
    ds.in.textures = st_.textures;
    ds.in.samplers = st_.samplers;
    if (st_.depthStencil) {
      const auto& dsd = st_.depthStencil->descriptor();
      ds.stencil[1] = dsd.frontFaceStencil ? &*dsd.frontFaceStencil : nullptr;
      ds.stencil[0] = dsd.backFaceStencil ? &*dsd.backFaceStencil : nullptr;
    }
    ds.stencilRef = st_.stencilRef;
    ds.color = &pd.colorAttachments[0];
    ds.writeColor = ds.fragment && (ds.color->writeMask & ColorWriteMaskAll) != 0;
    ds.fastPaths = fast_;
    if (ds.stencil[0] || ds.stencil[1]) clearStencilIfPending();
    if (!shader_.beginDraw(ds)) return;

    const size_t n = verts_.size();
    if (type == PrimitiveType::Triangle) {
      for (size_t i = 0; i + 2 < n; i += 3) drawTriangle(verts_[i], verts_[i + 1], verts_[i + 2], false, st_, cl, shader_);
    } else {
      for (size_t i = 0; i + 2 < n; ++i) drawTriangle(verts_[i], verts_[i + 1], verts_[i + 2], (i & 1) != 0, st_, cl, shader_);
    }
  }

  // A stencil cleared at load but not stored is cleared when the first draw tests it; its
  // contents are not observable otherwise (testing without fast paths clears at once).
  void clearStencilIfPending() {
    if (!stencilClearPending_) return;
    stencilClearPending_ = false;
    Texture* stencil = pass_.desc.stencilAttachment.texture.get();
    auto* s = stencil->levelData(0);
    std::memset(s, static_cast<uint8_t>(pass_.desc.stencilAttachment.clearStencil), stencil->width() * stencil->height());
  }

  RenderCommandEncoder::Pass& pass_;
  bool fast_ = gFastPaths.load();
  bool stencilClearPending_ = false;
  raster::SpanShader shader_;
  Target t_;
  State st_;
  std::vector<RVertex> verts_;
};

}  // namespace

void executeRenderPass(RenderCommandEncoder::Pass& pass) { PassRunner(pass).run(); }

namespace testing {
void setFastPaths(bool on) { gFastPaths.store(on); }
}  // namespace testing

}  // namespace mtl
