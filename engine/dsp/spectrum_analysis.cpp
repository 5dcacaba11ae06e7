#include "engine/dsp/spectrum_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include <immintrin.h>

namespace spectrapoise::dsp {

namespace {

constexpr double kFastSeconds = 0.3;
constexpr double kLongSeconds = 10.0;
constexpr double kLevelSeconds = 0.15;
constexpr double kSilentMeanSquare = 1e-10;
// Held region levels fall by this many dB per second.
constexpr double kHeldFallPerSecond = 0.25;
// A level at or below this counts as "no level yet" (the floor is -300 dB).
constexpr double kNoLevel = -299.0;

// The region fit of balance().
using RegionValues = std::array<double, 4>;
using RegionFlags = std::array<bool, 4>;
// A region's slope needs this many bands and a spread of positions above the floor.
constexpr double kMinSlopeBands = 4;
constexpr double kSlopeDenominatorFloor = 1e-9;
// A region whose level lies this far under the reference gets no weight; the weight rises to
// full over the next kRegionGateWidthDb.
constexpr double kRegionGateDb = 25.0;
constexpr double kRegionGateWidthDb = 10.0;
// Stands for "no region has a level" (as the highest mean).
constexpr double kNoTop = -1e300;
constexpr double kNoTopBelow = -1e299;
// Deviations at which the robust means halve a region's weight: slopes in dB per octave,
// levels in dB.
constexpr double kSlopeSpread = 0.4;
constexpr double kLevelSpread = 2.0;
constexpr int kRobustIterations = 8;
// Total weights at or below this count as none.
constexpr double kNoWeight = 1e-12;
constexpr int kBalancePasses = 4;

// Weight of a region whose level lies `belowDb` under the reference: 0 at 25 dB or more under,
// 1 at 15 dB or less under, linear between.
double regionGate(double belowDb) {
  return std::clamp((belowDb + kRegionGateDb) / kRegionGateWidthDb, 0.0, 1.0);
}

// Weighted mean of values[r] over the regions in `use`, made robust by up to eight
// reweightings u[r] = w[r] / (((values[r] - mean) / spread)^2 + 1). 0 when the weights add up
// to no more than 1e-12.
double robustMean(const RegionValues& values, const RegionValues& w, const RegionFlags& use,
                  double spread) {
  double total = 0.0;
  for (int r = 0; r < 4; ++r) {
    if (use[r]) total += w[r];
  }
  if (!(total > kNoWeight)) return 0.0;
  double sum = 0.0;
  for (int r = 0; r < 4; ++r) {
    if (use[r]) sum += w[r] * values[r];
  }
  double mean = sum / total;
  for (int iteration = 0; iteration < kRobustIterations; ++iteration) {
    RegionValues u{};
    double uTotal = 0.0;
    for (int r = 0; r < 4; ++r) {
      if (!use[r]) continue;
      const double e = (values[r] - mean) / spread;
      u[r] = w[r] / (e * e + 1.0);
      uTotal += u[r];
    }
    if (uTotal <= kNoWeight) break;
    double weighted = 0.0;
    for (int r = 0; r < 4; ++r) {
      if (use[r]) weighted += u[r] * values[r];
    }
    mean = weighted / uTotal;
  }
  return mean;
}

double smoothingFactor(double hop, double seconds) { return 1.0 - std::exp(-hop / seconds); }

// Windowing and energy of one channel. The ring holds the channel's last 8192 frames with the
// oldest at `start`; frame n (counted from the oldest) is windowed into out[n], and the
// energy is the sum of the squares of the unwindowed samples in double, as 16 partial sums
// (partial j takes the frames with n mod 16 = j, in order) added up in a fixed tree. Both
// paths do the same operations in the same order, so they agree to the bit; the partial sums
// keep the additions from waiting on each other.
constexpr std::size_t kEnergyPartials = 16;
constexpr std::size_t kRingMask = SpectrumAnalysis::kWindowSize - 1;

double addPartials(const double* partial) {
  double level[kEnergyPartials];
  for (std::size_t j = 0; j < kEnergyPartials; ++j) level[j] = partial[j];
  for (std::size_t width = kEnergyPartials; width > 1; width /= 2) {
    for (std::size_t j = 0; j < width / 2; ++j) level[j] = level[2 * j] + level[2 * j + 1];
  }
  return level[0];
}

// Frames n..n+15 in time order: straight from the ring, or gathered where they wrap.
inline const float* sixteenFrames(const float* ring, std::size_t start, std::size_t n,
                                  float* gathered) {
  const std::size_t at = (start + n) & kRingMask;
  if (at + kEnergyPartials <= SpectrumAnalysis::kWindowSize) return ring + at;
  for (std::size_t j = 0; j < kEnergyPartials; ++j) gathered[j] = ring[(at + j) & kRingMask];
  return gathered;
}

double windowChannel(const float* ring, std::size_t start, const float* window, float* out) {
  double partial[kEnergyPartials];
  float gathered[kEnergyPartials];
#if defined(__SSE2__)
  // Eight accumulators of two partial sums each, named so they stay in registers.
  __m128d a0 = _mm_setzero_pd(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
  const auto windowFour = [&](const float* s, std::size_t n, __m128d& lo, __m128d& hi) {
    const __m128 v = _mm_loadu_ps(s);
    _mm_storeu_ps(out + n, _mm_mul_ps(v, _mm_loadu_ps(window + n)));
    const __m128d l = _mm_cvtps_pd(v);
    const __m128d h = _mm_cvtps_pd(_mm_movehl_ps(v, v));
    lo = _mm_add_pd(lo, _mm_mul_pd(l, l));
    hi = _mm_add_pd(hi, _mm_mul_pd(h, h));
  };
  for (std::size_t n = 0; n < SpectrumAnalysis::kWindowSize; n += kEnergyPartials) {
    const float* s = sixteenFrames(ring, start, n, gathered);
    windowFour(s, n, a0, a1);
    windowFour(s + 4, n + 4, a2, a3);
    windowFour(s + 8, n + 8, a4, a5);
    windowFour(s + 12, n + 12, a6, a7);
  }
  const __m128d acc[8] = {a0, a1, a2, a3, a4, a5, a6, a7};
  for (std::size_t k = 0; k < 8; ++k) _mm_storeu_pd(partial + 2 * k, acc[k]);
#else
  for (double& p : partial) p = 0.0;
  for (std::size_t n = 0; n < SpectrumAnalysis::kWindowSize; n += kEnergyPartials) {
    const float* s = sixteenFrames(ring, start, n, gathered);
    for (std::size_t j = 0; j < kEnergyPartials; ++j) {
      out[n + j] = s[j] * window[n + j];
      const double v = s[j];
      partial[j] += v * v;
    }
  }
#endif
  return addPartials(partial);
}

// The same sums with fused multiply-adds: the square of a float is exact in double, so
// fma(v, v, sum) rounds exactly as sum + v * v does.
__attribute__((target("avx2,fma"))) inline void windowEight(const float* s, const float* window,
                                                            float* out, __m256d& lo,
                                                            __m256d& hi) {
  const __m256 v = _mm256_loadu_ps(s);
  _mm256_storeu_ps(out, _mm256_mul_ps(v, _mm256_loadu_ps(window)));
  const __m256d l = _mm256_cvtps_pd(_mm256_castps256_ps128(v));
  const __m256d h = _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1));
  lo = _mm256_fmadd_pd(l, l, lo);
  hi = _mm256_fmadd_pd(h, h, hi);
}

__attribute__((target("avx2,fma"))) double windowChannelWide(const float* ring,
                                                             std::size_t start,
                                                             const float* window, float* out) {
  float gathered[kEnergyPartials];
  __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
  for (std::size_t n = 0; n < SpectrumAnalysis::kWindowSize; n += kEnergyPartials) {
    const float* s = sixteenFrames(ring, start, n, gathered);
    windowEight(s, window + n, out + n, a0, a1);
    windowEight(s + 8, window + n + 8, out + n + 8, a2, a3);
  }
  double partial[kEnergyPartials];
  _mm256_storeu_pd(partial, a0);
  _mm256_storeu_pd(partial + 4, a1);
  _mm256_storeu_pd(partial + 8, a2);
  _mm256_storeu_pd(partial + 12, a3);
  return addPartials(partial);
}

// l[i] = left[i * stride], r[i] = right[i * stride] for i < count: separate channels copied
// whole, interleaved stereo split four frames at a time.
void copyFrames(const float* left, const float* right, std::size_t stride, std::size_t count,
                float* l, float* r) {
  if (stride == 1) {
    std::memcpy(l, left, count * sizeof(float));
    std::memcpy(r, right, count * sizeof(float));
    return;
  }
  std::size_t i = 0;
#if defined(__SSE2__)
  if (stride == 2 && right == left + 1) {
    for (; i + 4 <= count; i += 4) {
      const __m128 a = _mm_loadu_ps(left + 2 * i);
      const __m128 b = _mm_loadu_ps(left + 2 * i + 4);
      _mm_storeu_ps(l + i, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
      _mm_storeu_ps(r + i, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
  }
#endif
  for (; i < count; ++i) {
    l[i] = left[i * stride];
    r[i] = right[i * stride];
  }
}

// Sum of p[first..last]: four interleaved partial sums in a fixed order (partial j takes
// p[first + 4i + j]), so the additions of a wide band do not wait on each other and every
// build gives the same result.
double sumBins(const double* p, std::size_t first, std::size_t last) {
  double partial[4] = {0.0, 0.0, 0.0, 0.0};
  std::size_t b = first;
#if defined(__SSE2__)
  __m128d p01 = _mm_setzero_pd(), p23 = _mm_setzero_pd();
  for (; b + 3 <= last; b += 4) {
    p01 = _mm_add_pd(p01, _mm_loadu_pd(p + b));
    p23 = _mm_add_pd(p23, _mm_loadu_pd(p + b + 2));
  }
  _mm_storeu_pd(partial, p01);
  _mm_storeu_pd(partial + 2, p23);
#else
  for (; b + 3 <= last; b += 4) {
    partial[0] += p[b];
    partial[1] += p[b + 1];
    partial[2] += p[b + 2];
    partial[3] += p[b + 3];
  }
#endif
  for (std::size_t j = 0; b <= last; ++b, ++j) partial[j] += p[b];
  return (partial[0] + partial[1]) + (partial[2] + partial[3]);
}

}  // namespace

void SpectrumAnalysis::prepare(double rate) {
  sampleRate = rate;
  if (!fft) fft = std::make_unique<RealFourierTransform>();
  fft->setSimdPath(path_);

  ringLeft.assign(kWindowSize, 0.0f);
  ringRight.assign(kWindowSize, 0.0f);
  windowed.assign(2 * kWindowSize, 0.0f);
  power.assign(kBins, 0.0);
  window.resize(kWindowSize);
  for (std::size_t n = 0; n < kWindowSize; ++n) {
    const double phase = 2.0 * std::numbers::pi * static_cast<double>(n) * (1.0 / 8192.0);
    window[n] = static_cast<float>(0.5 - 0.5 * std::cos(phase));
  }

  // Bin ranges exist only for bands below Nyquist; at an unusable rate there is none, and no
  // rate-derived number is ever converted to an integer.
  const BandCurve& f = bandFrequencies();
  const double binWidth = rate * (1.0 / 8192.0);
  for (std::size_t k = 0; k < kBandCount; ++k) {
    Band& band = bands[k];
    band = Band{};
    belowNyquist[k] = bandBelowNyquist(k, rate);
    if (!belowNyquist[k]) {
      band.scale = 0.0;
      continue;
    }
    const double lower = f[k] * kBandLowerEdge;
    const double upper = f[k] * kBandUpperEdge;
    const double width = upper - lower;
    if (2.0 * binWidth > width) {
      band.interpolate = true;
      band.position = f[k] / binWidth;
      band.scale = width / binWidth;
    } else {
      // upper < rate/2, so both bins are at most 4096 here.
      band.firstBin = static_cast<std::uint64_t>(std::ceil(lower / binWidth));
      band.lastBin =
          std::min<std::uint64_t>(static_cast<std::uint64_t>(std::floor(upper / binWidth)), 4096);
      band.scale = width / (static_cast<double>(band.lastBin - band.firstBin + 1) * binWidth);
    }
  }
  reset();
}

void SpectrumAnalysis::reset() {
  std::fill(ringLeft.begin(), ringLeft.end(), 0.0f);
  std::fill(ringRight.begin(), ringRight.end(), 0.0f);
  writeIndex = 0;
  hopCounter = 0;
  filled = 0;
  slowPowers.fill(0.0);
  longPowers.fill(0.0);
  fastPowers.fill(0.0);
  levelPowers.fill(0.0);
  silentSeconds = 1.0;
  hasMeasurement = false;
  levels.fill(-300.0);
}

void SpectrumAnalysis::push(const float* left, const float* right, std::size_t frames,
                            std::size_t stride) {
  if (!fft) return;
  while (frames > 0) {
    // A run ends at the next hop or where the ring wraps.
    const std::size_t index = static_cast<std::size_t>(writeIndex);
    const std::size_t run = std::min({frames, static_cast<std::size_t>(kHopSize - hopCounter),
                                      kWindowSize - index});
    copyFrames(left, right, stride, run, ringLeft.data() + index, ringRight.data() + index);
    left += run * stride;
    right += run * stride;
    frames -= run;
    writeIndex = (index + run) % kWindowSize;
    filled = std::min<std::uint64_t>(filled + run, kWindowSize);
    hopCounter += run;
    if (hopCounter == kHopSize) {
      hopCounter = 0;
      if (filled == kWindowSize) analyse();
    }
  }
}

double SpectrumAnalysis::hopSeconds() const {
  if (!usableSampleRate(sampleRate)) return 0.0;
  const double hop = static_cast<double>(kHopSize) / sampleRate;
  return std::isfinite(hop) ? hop : 0.0;
}

void SpectrumAnalysis::analyse() {
  if (!fft) return;
  const std::size_t start = static_cast<std::size_t>(writeIndex % kWindowSize);
  float* left = windowed.data();
  float* right = windowed.data() + kWindowSize;
  double energy = 0.0;
  if (path_ == SimdPath::wide) {
    energy += windowChannelWide(ringLeft.data(), start, window.data(), left);
    energy += windowChannelWide(ringRight.data(), start, window.data(), right);
  } else {
    energy += windowChannel(ringLeft.data(), start, window.data(), left);
    energy += windowChannel(ringRight.data(), start, window.data(), right);
  }
  fft->powers(left, right, power.data());

  const double meanSquare = energy * (1.0 / 16384.0);
  const double hop = hopSeconds();
  // An unusable rate measures nothing: its hops count as silent and take no time.
  if (!(meanSquare > kSilentMeanSquare) || !std::isfinite(meanSquare) || hop <= 0.0) {
    silentSeconds += hop;
    return;
  }

  BandCurve values;
  double total = 0.0;
  for (std::size_t k = 0; k < kBandCount; ++k) {
    const Band& band = bands[k];
    double value = 0.0;
    if (belowNyquist[k]) {
      if (band.interpolate) {
        const double i = std::floor(band.position);
        const double frac = band.position - i;
        const std::size_t lo = static_cast<std::size_t>(i);
        const std::size_t hi = std::min<std::size_t>(lo + 1, kBins - 1);
        value = (1.0 - frac) * power[lo] + frac * power[hi];
      } else {
        value = sumBins(power.data(), static_cast<std::size_t>(band.firstBin),
                        static_cast<std::size_t>(band.lastBin));
      }
      value *= band.scale;
    }
    values[k] = value;
    total += value;
  }
  // Finite samples so large that the transform overflowed: skip the hop like a non-finite one.
  if (!std::isfinite(total)) {
    silentSeconds += hop;
    return;
  }

  silentSeconds = 0.0;
  double aSlow = 1.0, aFast = 1.0, aLong = 1.0;
  if (hasMeasurement) {
    aSlow = smoothingFactor(hop, slowSeconds);
    aFast = smoothingFactor(hop, kFastSeconds);
    aLong = smoothingFactor(hop, kLongSeconds);
  }
  for (std::size_t k = 0; k < kBandCount; ++k) {
    slowPowers[k] += (values[k] - slowPowers[k]) * aSlow;
    fastPowers[k] += (values[k] - fastPowers[k]) * aFast;
    longPowers[k] += (values[k] - longPowers[k]) * aLong;
  }
  hasMeasurement = true;

  const double aLevel = levels[4] <= kNoLevel ? 1.0 : smoothingFactor(hop, kLevelSeconds);
  for (std::size_t k = 0; k < kBandCount; ++k) {
    levelPowers[k] += (values[k] - levelPowers[k]) * aLevel;
  }

  const BandCurve& f = bandFrequencies();
  std::array<double, 4> sum{};
  std::array<int, 4> count{};
  for (std::size_t k = 0; k < kBandCount; ++k) {
    if (!belowNyquist[k] || !inCorrectionRange(f[k])) continue;
    const int r = regionOf(f[k], crossovers);
    sum[r] += powerToDb(levelPowers[k]);
    ++count[r];
  }
  for (int r = 0; r < 4; ++r) {
    levels[r] = count[r] > 0 ? sum[r] / count[r] : -300.0;
    const double held = levels[4 + r];
    const double candidate = held > kNoLevel ? held - kHeldFallPerSecond * hop : levels[r];
    levels[4 + r] = std::max(candidate, levels[r]);
  }

  if (hopCallback) hopCallback(values, meanSquare, hop);
}

SpectrumAnalysis::Readouts SpectrumAnalysis::readouts(const BandCurve& target,
                                                      const Crossovers& regionCrossovers,
                                                      const std::array<double, 4>& holds) const {
  if (!hasMeasurement || silentSeconds >= 1.0) return Readouts{};
  const double offset = alignmentOffsetDb(longPowers, target, belowNyquist);
  BandCurve difference;
  for (std::size_t k = 0; k < kBandCount; ++k) {
    difference[k] = powerToDb(longPowers[k]) + offset - target[k];
    // A target that is not finite everywhere cannot be compared with.
    if (!std::isfinite(difference[k])) return Readouts{};
  }
  Readouts result = balance(difference, regionCrossovers, holds);
  result.active = true;
  return result;
}

SpectrumAnalysis::Readouts SpectrumAnalysis::balance(const BandCurve& difference,
                                                     const Crossovers& c,
                                                     const std::array<double, 4>& weights) const {
  struct RegionSums {
    double slopeCount = 0, slopeX = 0, slopeD = 0, slopeXX = 0, slopeXD = 0;
    double levelCount = 0, levelX = 0, levelD = 0;
  };
  std::array<RegionSums, 4> sums{};
  const BandCurve& f = bandFrequencies();
  for (std::size_t k = 0; k < kBandCount; ++k) {
    if (!belowNyquist[k]) continue;
    const int r = regionOf(f[k], c);
    const double x = bandOctaves()[k];
    const double d = difference[k];
    RegionSums& s = sums[r];
    if (f[k] >= kSlopeLowHz && f[k] <= kCorrectionHighHz) {
      s.slopeCount += 1;
      s.slopeX += x;
      s.slopeD += d;
      s.slopeXX += x * x;
      s.slopeXD += x * d;
    }
    if (inCorrectionRange(f[k])) {
      s.levelCount += 1;
      s.levelX += x;
      s.levelD += d;
    }
  }

  RegionValues slope{};
  RegionFlags hasSlope{};
  RegionValues mean{};
  RegionFlags hasLevel{};
  double top = kNoTop;
  for (int r = 0; r < 4; ++r) {
    const RegionSums& s = sums[r];
    const double denominator = s.slopeCount * s.slopeXX - s.slopeX * s.slopeX;
    if (s.slopeCount >= kMinSlopeBands && denominator > kSlopeDenominatorFloor) {
      hasSlope[r] = true;
      slope[r] = (s.slopeCount * s.slopeXD - s.slopeX * s.slopeD) / denominator;
    }
    if (s.levelCount > 0) {
      hasLevel[r] = true;
      mean[r] = s.levelD / s.levelCount;
      top = std::max(top, mean[r]);
    }
  }

  // Starting weights: the given ones, gated by how far each region's mean lies under the
  // highest region's.
  RegionValues w0{};
  for (int r = 0; r < 4; ++r) {
    if (!hasLevel[r]) continue;
    const double gate = top > kNoTopBelow ? regionGate(mean[r] - top) : 1.0;
    w0[r] = std::min(gate, std::clamp(weights[r], 0.0, 1.0));
  }
  RegionValues w = w0;

  double tilt = 0.0;
  RegionValues rel{};
  for (int pass = 0; pass < kBalancePasses; ++pass) {
    tilt = robustMean(slope, w, hasSlope, kSlopeSpread);
    RegionValues level{};
    for (int r = 0; r < 4; ++r) {
      const RegionSums& s = sums[r];
      // The region's mean after removing the tilt.
      level[r] = hasLevel[r] ? (s.levelD - tilt * s.levelX) / s.levelCount : 0.0;
    }
    const double offset = robustMean(level, w, hasLevel, kLevelSpread);
    for (int r = 0; r < 4; ++r) {
      rel[r] = level[r] - offset;
      w[r] = std::min(regionGate(rel[r]), w0[r]);
    }
  }

  Readouts result;
  result.tilt = tilt;
  result.low = rel[0];
  result.loMid = rel[1];
  result.hiMid = rel[2];
  result.high = rel[3];
  result.hold = w;
  result.active = false;
  return result;
}

}  // namespace spectrapoise::dsp
