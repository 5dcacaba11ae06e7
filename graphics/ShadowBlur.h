#pragma once
// The blur of a drop shadow: a separable Gaussian-like kernel of byte weights run over the
// alpha bytes of a layer's pixels, first along the rows, then along the columns. Each
// output is the weighted sum of a sample and its neighbours, divided (rounding down) by
// the norm of the whole kernel; neighbours outside the image are missing and add nothing,
// so the alpha fades towards the edges. Any thread; pure computation on the caller's data.
#include <cstdint>
#include <vector>

namespace plugkit::canvas {

struct ShadowKernel {
  // w[0..n-1] of the k taps: w[i] = round(255 exp(-4.5 i^2 / size^2)); n = k but at most
  // the longer side of the image (farther taps never meet a sample) and kMaxShadowKernelTaps.
  std::vector<uint8_t> weights;
  // w[0] + 2 (w[1] + ... + w[k-1]) over all k taps, kept or not (UINT32_MAX when it is
  // larger: then no weighted sum reaches it and every output is 0).
  uint32_t norm = 0;
};

// Limit of the kept taps, far beyond any layer; it keeps every weighted sum within 32 bits.
inline constexpr int kMaxShadowKernelTaps = 32768;

// The kernel for a blur of blur UI units on a bitmap of pixelScale pixels per unit:
// size = max(1, blur x pixelScale + 1), k = ceil(size); longerSide is the longer side of
// the image in pixels. The work is bounded by the kept taps whatever the blur. A blur or
// scale that is not a finite number above 0 counts as a blur of 0: the kernel {255}, norm
// 255, which changes nothing.
ShadowKernel MakeShadowKernel(float blur, float pixelScale, int longerSide);

// Blurs the alpha bytes (every fourth byte, starting at alphaChannel 0..3) of a width x
// height image of 4-byte pixels, rows first, in place. The other bytes are left alone.
// Nothing for an empty image or kernel. The result does not depend on the row order, so
// images stored bottom row first need no special handling.
void BlurShadowAlpha(uint8_t* pixels, int width, int height, int alphaChannel, const ShadowKernel& kernel);

}  // namespace plugkit::canvas
