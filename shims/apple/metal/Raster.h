#pragma once
// Inside the software GPU: what the scan converter (Raster.cpp) hands to span shading
// (Spans.cpp). The scan converter finds, row by row, the run of pixels a triangle covers; a
// SpanShader runs every pixel of the run through the fragment function, the stencil test and
// blending, in pixel order, with the same arithmetic a pixel-by-pixel loop would use. Where
// the draw's state lets it prove part of the outcome for a whole run (a stencil-only pass, a
// colour constant over the run, masks known to be constant, texture coordinates on texel
// centres), it skips that work or writes the run's bytes directly; the bytes are the same
// (see Spans.cpp for each proof; MetalTesting.h switches the fast paths off).
// Threads: one SpanShader per render pass, on the thread that runs the command buffer.
#include <cstdint>

#include "shims/apple/metal/Gpu.h"
#include "shims/apple/metal/Shading.h"

namespace mtl::raster {

using gpu::kMaxBindings;
using gpu::kMaxVaryings;

struct ColorLayout {
  int r = 0, g = 1, b = 2, a = 3;  // byte index of each channel, -1 when absent
  size_t bpp = 4;
};

struct Target {
  uint8_t* color = nullptr;
  size_t colorStride = 0;  // pixels per row
  ColorLayout layout;
  uint8_t* stencil = nullptr;
  size_t stencilStride = 0;
  int64_t width = 0, height = 0;  // the area every attachment covers
};

// One draw's state as each of its fragments sees it.
struct DrawState {
  Target* target = nullptr;
  gpu::FragmentFunction fragment = nullptr;  // null: stencil only
  gpu::FragmentIn in{};
  gpu::BufferView fragmentViews[kMaxBindings];
  const StencilDescriptor* stencil[2] = {nullptr, nullptr};  // back, front
  uint32_t stencilRef = 0;
  const RenderPipelineColorAttachmentDescriptor* color = nullptr;
  bool writeColor = false;
  bool fastPaths = true;  // false: every pixel one by one (testing)
};

// One triangle's varyings as the scan converter interpolates them. At pixel k of a run whose
// first pixel has barycentric numerators (e1, e2) and steps (s1, s2):
//   beta = double(e1 + k s1) * invArea, gamma = double(e2 + k s2) * invArea,
//   varying i = float(a[i] + dB[i] * beta + dC[i] * gamma).
struct Interpolation {
  double a[kMaxVaryings], dB[kMaxVaryings], dC[kMaxVaryings];
  double invArea = 0;
  bool front = true;
};

template <class I>
struct RunEdges {
  I e1, e2, s1, s2;
};

class SpanShader {
public:
  SpanShader();
  SpanShader(const SpanShader&) = delete;
  SpanShader& operator=(const SpanShader&) = delete;
  ~SpanShader();

  // Starts a draw (the state must outlive it); false when no fragment of it can change
  // anything, so there is nothing to rasterise.
  bool beginDraw(const DrawState& draw);
  void beginTriangle(const Interpolation& tri);
  // Pixels x0 .. x0 + n - 1 of row y, in order.
  void run(int64_t y, int64_t x0, int64_t n, const RunEdges<int64_t>& e);
  void run(int64_t y, int64_t x0, int64_t n, const RunEdges<__int128>& e);

  struct Impl;

private:
  Impl* impl_;
};

}  // namespace mtl::raster
