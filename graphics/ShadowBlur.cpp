#include "graphics/ShadowBlur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace plugkit::canvas {

namespace {

// sum / norm rounded down, exactly, as a multiplication: sum + 0.5 lies at least
// 0.5 / norm away from any multiple of norm, far more than the rounding of the product.
struct Divider {
  explicit Divider(uint32_t norm) : inv(1.0 / static_cast<double>(norm)) {}
  uint8_t operator()(uint32_t sum) const {
    return static_cast<uint8_t>(static_cast<uint32_t>((static_cast<double>(sum) + 0.5) * inv));
  }
  double inv;
};

// w[i] of a kernel of the given size.
uint8_t weightAt(double i, double size) {
  return static_cast<uint8_t>(std::lround(255.0 * std::exp(-i * i * 4.5 / (size * size))));
}

// w[0] + 2 (w[1] + ... + w[k-1]) without visiting every tap: as the weights never grow
// with i, the sum of the weights is, over the levels v = 1 ... 255, the number of taps
// whose weight reaches v, each found by bisection. A norm of 2^32 or more (k above 2^31)
// gives UINT32_MAX: no weighted sum reaches it, so every output is 0 either way.
uint64_t fullNorm(double k, double size) {
  constexpr double kSaturated = 2147483648.0;
  if (k > kSaturated) return UINT32_MAX;
  const int64_t taps = static_cast<int64_t>(k);
  const uint8_t lastWeight = weightAt(static_cast<double>(taps - 1), size);
  uint64_t sum = 0;  // w[0] + ... + w[k-1]
  for (int v = 1; v <= 255; ++v) {
    if (v <= lastWeight) {
      sum += static_cast<uint64_t>(taps);
      continue;
    }
    // The first tap whose weight is below v lies in (lo, hi].
    int64_t lo = 0, hi = taps - 1;
    while (hi - lo > 1) {
      const int64_t mid = lo + (hi - lo) / 2;
      if (weightAt(static_cast<double>(mid), size) >= v) lo = mid;
      else hi = mid;
    }
    sum += static_cast<uint64_t>(hi);
  }
  return 2 * sum - 255;
}

// One line of n samples into out, with k - 1 missing (zero) samples on either side held
// in the padded copy line (length n + 2 (k - 1)).
void blurLine(const uint8_t* padded, int n, const ShadowKernel& kernel, const Divider& divide, uint32_t* acc,
              uint8_t* out) {
  const uint8_t* w = kernel.weights.data();
  const int k = static_cast<int>(kernel.weights.size());
  const uint8_t* centre = padded + (k - 1);
  const uint32_t w0 = w[0];
  for (int j = 0; j < n; ++j) acc[j] = w0 * centre[j];
  for (int d = 1; d < k; ++d) {
    const uint32_t wd = w[d];
    const uint8_t* left = centre - d;
    const uint8_t* right = centre + d;
    for (int j = 0; j < n; ++j) acc[j] += wd * static_cast<uint32_t>(left[j] + right[j]);
  }
  for (int j = 0; j < n; ++j) out[j] = divide(acc[j]);
}

}  // namespace

ShadowKernel MakeShadowKernel(float blur, float pixelScale, int longerSide) {
  double spread = static_cast<double>(blur) * static_cast<double>(pixelScale);
  if (!(spread > 0.0) || !std::isfinite(spread)) spread = 0.0;
  const double size = std::max(1.0, spread + 1.0);
  const double k = std::ceil(size);
  const double kept = std::min({k, static_cast<double>(std::max(longerSide, 1)), static_cast<double>(kMaxShadowKernelTaps)});

  ShadowKernel kernel;
  kernel.weights.resize(static_cast<size_t>(kept));
  uint64_t norm = 0;
  for (size_t i = 0; i < kernel.weights.size(); ++i) {
    kernel.weights[i] = weightAt(static_cast<double>(i), size);
    norm += i == 0 ? kernel.weights[i] : 2u * kernel.weights[i];
  }
  // Taps beyond the longer side never meet a sample, yet their weights count in the norm.
  if (kept < k) norm = fullNorm(k, size);
  kernel.norm = static_cast<uint32_t>(std::min<uint64_t>(norm, UINT32_MAX));
  return kernel;
}

void BlurShadowAlpha(uint8_t* pixels, int width, int height, int alphaChannel, const ShadowKernel& kernel) {
  if (pixels == nullptr || width <= 0 || height <= 0 || kernel.weights.empty() || kernel.norm == 0) return;
  if (alphaChannel < 0 || alphaChannel > 3) return;
  const int k = static_cast<int>(kernel.weights.size());
  const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
  const Divider divide(kernel.norm);

  // Rows: each row's alpha, padded, blurred into a plane of bytes.
  std::vector<uint8_t> padded(std::max(w, h) + 2 * static_cast<size_t>(k - 1), 0);
  std::vector<uint32_t> acc(std::max(w, h));
  std::vector<uint8_t> rows(w * h);
  for (size_t y = 0; y < h; ++y) {
    const uint8_t* src = pixels + y * w * 4 + alphaChannel;
    uint8_t* line = padded.data() + (k - 1);
    for (size_t x = 0; x < w; ++x) line[x] = src[4 * x];
    std::fill(line + w, line + w + (k - 1), uint8_t{0});
    blurLine(padded.data(), width, kernel, divide, acc.data(), rows.data() + y * w);
  }

  // Columns, a whole row of outputs at a time: the rows of the plane above and below each
  // output row, those that exist, weighted into the accumulators.
  const uint8_t* wts = kernel.weights.data();
  for (size_t y = 0; y < h; ++y) {
    const uint8_t* mid = rows.data() + y * w;
    const uint32_t w0 = wts[0];
    for (size_t x = 0; x < w; ++x) acc[x] = w0 * mid[x];
    for (int d = 1; d < k; ++d) {
      const uint32_t wd = wts[d];
      const bool hasAbove = y >= static_cast<size_t>(d);
      const bool hasBelow = y + static_cast<size_t>(d) < h;
      if (hasAbove && hasBelow) {
        const uint8_t* above = mid - static_cast<size_t>(d) * w;
        const uint8_t* below = mid + static_cast<size_t>(d) * w;
        for (size_t x = 0; x < w; ++x) acc[x] += wd * static_cast<uint32_t>(above[x] + below[x]);
      } else if (hasAbove || hasBelow) {
        const uint8_t* other = hasAbove ? mid - static_cast<size_t>(d) * w : mid + static_cast<size_t>(d) * w;
        for (size_t x = 0; x < w; ++x) acc[x] += wd * static_cast<uint32_t>(other[x]);
      }
    }
    uint8_t* dst = pixels + y * w * 4 + alphaChannel;
    for (size_t x = 0; x < w; ++x) dst[4 * x] = divide(acc[x]);
  }
}

}  // namespace plugkit::canvas
