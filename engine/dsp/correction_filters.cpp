#include "engine/dsp/correction_filters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/dsp/band_grid.h"

#include <immintrin.h>

namespace spectrapoise::dsp {

namespace correction_detail {

namespace {

constexpr double kTiltPivotHz = 1000.0;
constexpr double kTiltShelfDivisor = 0.7;
constexpr double kShelfDivisor = 1.2;

struct Trig {
  double c;
  double s;
};

Trig trigAt(double f, double fs) {
  const double w0 = 2.0 * std::numbers::pi * f / fs;
  return {std::cos(w0), std::sin(w0)};
}

Section normalised(double b0, double b1, double b2, double a0, double a1, double a2) {
  return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

Section lowShelf(double A, double c, double alpha) {
  const double beta = 2.0 * std::sqrt(A) * alpha;
  return normalised(A * ((A + 1) - (A - 1) * c + beta), 2 * A * ((A - 1) - (A + 1) * c),
                    A * ((A + 1) - (A - 1) * c - beta), (A + 1) + (A - 1) * c + beta,
                    -2 * ((A - 1) + (A + 1) * c), (A + 1) + (A - 1) * c - beta);
}

Section highShelf(double A, double c, double alpha) {
  const double beta = 2.0 * std::sqrt(A) * alpha;
  return normalised(A * ((A + 1) + (A - 1) * c + beta), -2 * A * ((A - 1) + (A + 1) * c),
                    A * ((A + 1) + (A - 1) * c - beta), (A + 1) - (A - 1) * c + beta,
                    2 * ((A - 1) - (A + 1) * c), (A + 1) - (A - 1) * c - beta);
}

Section peak(double A, double c, double alpha) {
  return normalised(1 + alpha * A, -2 * c, 1 - alpha * A, 1 + alpha / A, -2 * c, 1 - alpha / A);
}

// Q of a peak spanning the frequency ratio of its two crossovers (at least half an octave).
double peakQ(double lower, double upper) {
  const double r = std::pow(2.0, std::max(std::log2(upper / lower), 0.5));
  return std::sqrt(r) / (r - 1.0);
}

// 10^(dB/40), through exp, which costs a third of pow; the two differ in the last bit at most.
double gainFactor(double dB) { return std::exp(dB * (std::numbers::ln10 / 40.0)); }

}  // namespace

Geometry geometry(const Crossovers& crossovers, double fs) {
  Geometry g;
  if (!usableSampleRate(fs)) return g;
  g.usable = true;
  const Crossovers c = orderedCrossovers(crossovers);
  const double fmax = 0.49 * fs;

  const Trig tilt = trigAt(std::min(kTiltPivotHz, fmax), fs);
  const Trig low = trigAt(std::min(c.low, fmax), fs);
  const Trig loMid = trigAt(std::min(std::sqrt(c.low * c.mid), fmax), fs);
  const Trig hiMid = trigAt(std::min(std::sqrt(c.mid * c.high), fmax), fs);
  const Trig high = trigAt(std::min(c.high, fmax), fs);
  g.cosine = {tilt.c, tilt.c, low.c, loMid.c, hiMid.c, high.c};
  g.alpha = {tilt.s / kTiltShelfDivisor,
             tilt.s / kTiltShelfDivisor,
             low.s / kShelfDivisor,
             loMid.s / (2.0 * peakQ(c.low, c.mid)),
             hiMid.s / (2.0 * peakQ(c.mid, c.high)),
             high.s / kShelfDivisor};
  return g;
}

Section designSection(int index, const CorrectionGains& gains, const Geometry& g) {
  if (!g.usable) return Section{};
  const double c = g.cosine[index];
  const double alpha = g.alpha[index];
  switch (index) {
    case 0: return lowShelf(gainFactor(-gains.tilt), c, alpha);
    case 1: return highShelf(gainFactor(gains.tilt), c, alpha);
    case 2: return lowShelf(gainFactor(gains.low), c, alpha);
    case 3: return peak(gainFactor(gains.loMid), c, alpha);
    case 4: return peak(gainFactor(gains.hiMid), c, alpha);
    default: return highShelf(gainFactor(gains.high), c, alpha);
  }
}

Design design(const CorrectionGains& gains, const Crossovers& crossovers, double fs) {
  const Geometry g = geometry(crossovers, fs);
  Design d{};
  for (int i = 0; i < kSectionCount; ++i) d[i] = designSection(i, gains, g);
  return d;
}

// |b0 + b1 e^-jw + b2 e^-2jw|^2 / |1 + a1 e^-jw + a2 e^-2jw|^2 from cos/sin of w and 2w.
double sectionPowerRatio(const Section& s, const Angles& a) {
  const double nr = s.b0 + s.b1 * a.c1 + s.b2 * a.c2;
  const double ni = s.b1 * a.s1 + s.b2 * a.s2;
  const double dr = 1.0 + s.a1 * a.c1 + s.a2 * a.c2;
  const double di = s.a1 * a.s1 + s.a2 * a.s2;
  return (nr * nr + ni * ni) / (dr * dr + di * di);
}

Angles anglesAt(double f, double fs) {
  const double w = 2.0 * std::numbers::pi * f / fs;
  return {std::cos(w), std::sin(w), std::cos(2 * w), std::sin(2 * w)};
}

bool isPassThrough(const Section& s) { return s.b0 == 1.0 && s.b1 == s.a1 && s.b2 == s.a2; }

double sectionResponseDb(const Section& section, double f, double fs) {
  return 10.0 * std::log10(sectionPowerRatio(section, anglesAt(f, fs)));
}

double responseDb(const Design& design, const Angles& angles) {
  double sum = 0.0;
  for (const Section& s : design) {
    // A section of gain 0 has numerator == denominator: its ratio is exactly 1, its 0 dB adds
    // nothing, so the logarithm is skipped.
    if (isPassThrough(s)) continue;
    sum += 10.0 * std::log10(sectionPowerRatio(s, angles));
  }
  return sum;
}

double responseDb(const Design& design, double f, double fs) {
  return responseDb(design, anglesAt(f, fs));
}

BandCurve responseCurve(const Design& design, double fs) {
  BandCurve curve{};
  if (!usableSampleRate(fs)) return curve;
  const BandCurve& f = bandFrequencies();
  for (std::size_t k = 0; k < kBandCount; ++k) {
    if (f[k] < fs / 2.0) curve[k] = responseDb(design, f[k], fs);
  }
  return curve;
}

double tiltSlope(double tilt, double fs) {
  if (!usableSampleRate(fs)) return 0.0;
  CorrectionGains gains;
  gains.tilt = tilt;
  const Design d = design(gains, Crossovers{}, fs);
  const BandCurve& f = bandFrequencies();
  double n = 0, sx = 0, sxx = 0, sy = 0, sxy = 0;
  for (std::size_t k = 0; k < kBandCount; ++k) {
    if (!(f[k] < 0.45 * fs) || !inCorrectionRange(f[k])) continue;
    const double x = bandOctaves()[k];
    const double y = responseDb(d, f[k], fs);
    n += 1;
    sx += x;
    sxx += x * x;
    sy += y;
    sxy += x * y;
  }
  const double denominator = n * sxx - sx * sx;
  return denominator > 0.0 ? (n * sxy - sx * sy) / denominator : 0.0;
}

}  // namespace correction_detail

void CorrectionFilters::prepare(double sampleRate) {
  sampleRate_ = sampleRate;
  gains_ = targetGains_ = CorrectionGains{};
  crossovers_ = targetCrossovers_ = Crossovers{};
  geometry_ = correction_detail::geometry(crossovers_, sampleRate_);
  for (int i = 0; i < correction_detail::kSectionCount; ++i) {
    design_[i] = correction_detail::designSection(i, gains_, geometry_);
  }
  clearState();
}

void CorrectionFilters::clearState() {
  for (auto& channel : state_) channel.fill(State{});
  countdown_ = 0;
}

bool CorrectionFilters::targetsMoved() const {
  // Targets that are not all finite are ignored as a whole, so that no infinity or NaN reaches
  // the design, not even alongside another target that moved.
  double sum = targetCrossovers_.low + targetCrossovers_.mid + targetCrossovers_.high;
  for (std::size_t i = 0; i < CorrectionGains::kCount; ++i) sum += targetGains_[i];
  if (!std::isfinite(sum)) return false;
  for (std::size_t i = 0; i < CorrectionGains::kCount; ++i) {
    if (std::fabs(targetGains_[i] - gains_[i]) > kRedesignThreshold) return true;
  }
  return std::fabs(targetCrossovers_.low - crossovers_.low) > kRedesignThreshold ||
         std::fabs(targetCrossovers_.mid - crossovers_.mid) > kRedesignThreshold ||
         std::fabs(targetCrossovers_.high - crossovers_.high) > kRedesignThreshold;
}

// The same sections design() gives for the targets; the frequency-dependent part is kept
// while the crossovers stay, and a section is computed again only when its gain moved.
void CorrectionFilters::redesign() {
  const bool moved = targetCrossovers_.low != crossovers_.low ||
                     targetCrossovers_.mid != crossovers_.mid ||
                     targetCrossovers_.high != crossovers_.high;
  if (moved) geometry_ = correction_detail::geometry(targetCrossovers_, sampleRate_);
  static constexpr std::size_t kGainOfSection[correction_detail::kSectionCount] = {0, 0, 1,
                                                                                    2, 3, 4};
  for (int i = 0; i < correction_detail::kSectionCount; ++i) {
    const std::size_t g = kGainOfSection[i];
    if (moved || targetGains_[g] != gains_[g]) {
      design_[i] = correction_detail::designSection(i, targetGains_, geometry_);
    }
  }
  gains_ = targetGains_;
  crossovers_ = targetCrossovers_;
}

namespace {

using correction_detail::Design;
using correction_detail::kSectionCount;

// Transposed direct form II: y = b0 x + z1; z1 = b1 x - a1 y + z2; z2 = b2 x - a2 y.
template <typename State>
void runMono(const Design& d, State* z, double* x, int n) {
  double z1[kSectionCount], z2[kSectionCount];
  for (int s = 0; s < kSectionCount; ++s) {
    z1[s] = z[s].z1;
    z2[s] = z[s].z2;
  }
  for (int i = 0; i < n; ++i) {
    double v = x[i];
    for (int s = 0; s < kSectionCount; ++s) {
      const double y = d[s].b0 * v + z1[s];
      z1[s] = d[s].b1 * v - d[s].a1 * y + z2[s];
      z2[s] = d[s].b2 * v - d[s].a2 * y;
      v = y;
    }
    x[i] = v;
  }
  for (int s = 0; s < kSectionCount; ++s) {
    z[s].z1 = z1[s];
    z[s].z2 = z2[s];
  }
}

#if defined(__SSE2__)
// Both channels at once, one per lane; the same operations as runMono, lane by lane.
template <typename State>
void runStereo(const Design& d, State* zl, State* zr, double* xl, double* xr, int n) {
  __m128d b0[kSectionCount], b1[kSectionCount], b2[kSectionCount], a1[kSectionCount],
      a2[kSectionCount], z1[kSectionCount], z2[kSectionCount];
  for (int s = 0; s < kSectionCount; ++s) {
    b0[s] = _mm_set1_pd(d[s].b0);
    b1[s] = _mm_set1_pd(d[s].b1);
    b2[s] = _mm_set1_pd(d[s].b2);
    a1[s] = _mm_set1_pd(d[s].a1);
    a2[s] = _mm_set1_pd(d[s].a2);
    z1[s] = _mm_set_pd(zr[s].z1, zl[s].z1);
    z2[s] = _mm_set_pd(zr[s].z2, zl[s].z2);
  }
  for (int i = 0; i < n; ++i) {
    __m128d v = _mm_set_pd(xr[i], xl[i]);
    for (int s = 0; s < kSectionCount; ++s) {
      const __m128d y = _mm_add_pd(_mm_mul_pd(b0[s], v), z1[s]);
      z1[s] = _mm_add_pd(_mm_sub_pd(_mm_mul_pd(b1[s], v), _mm_mul_pd(a1[s], y)), z2[s]);
      z2[s] = _mm_sub_pd(_mm_mul_pd(b2[s], v), _mm_mul_pd(a2[s], y));
      v = y;
    }
    _mm_storel_pd(xl + i, v);
    _mm_storeh_pd(xr + i, v);
  }
  for (int s = 0; s < kSectionCount; ++s) {
    _mm_storel_pd(&zl[s].z1, z1[s]);
    _mm_storeh_pd(&zr[s].z1, z1[s]);
    _mm_storel_pd(&zl[s].z2, z2[s]);
    _mm_storeh_pd(&zr[s].z2, z2[s]);
  }
}
#endif

// Both channels side by side (lane 0 channel 0, lane 1 channel 1), each section with fused
// multiply-adds. The states are advanced from their old values rather than from y:
//   y = b0 v + z1;  z1' = (b1 - a1 b0) v + (z2 - a1 z1);  z2' = (b2 - a2 b0) v - a2 z1,
// the same filter as transposed direct form II, arranged so that a section of gain 0 (b0 = 1,
// b1 = a1, b2 = a2) passes the audio through exactly, as it does on the baseline path. With one
// channel, lane 1 runs on zeros and channel 1's states are left as they were, so channel 0
// comes out exactly as in stereo.
template <int Channels, typename State>
__attribute__((target("avx2,fma"))) void runWide(const Design& d, State* zl, State* zr,
                                                 double* xl, double* xr, int n) {
  __m128d b0[kSectionCount], k1[kSectionCount], k2[kSectionCount], a1[kSectionCount],
      a2[kSectionCount], z1[kSectionCount], z2[kSectionCount];
#pragma GCC unroll 6
  for (int s = 0; s < kSectionCount; ++s) {
    b0[s] = _mm_set1_pd(d[s].b0);
    k1[s] = _mm_set1_pd(d[s].b1 - d[s].a1 * d[s].b0);
    k2[s] = _mm_set1_pd(d[s].b2 - d[s].a2 * d[s].b0);
    a1[s] = _mm_set1_pd(d[s].a1);
    a2[s] = _mm_set1_pd(d[s].a2);
    z1[s] = _mm_setr_pd(zl[s].z1, Channels > 1 ? zr[s].z1 : 0.0);
    z2[s] = _mm_setr_pd(zl[s].z2, Channels > 1 ? zr[s].z2 : 0.0);
  }
  for (int i = 0; i < n; ++i) {
    __m128d v = _mm_setr_pd(xl[i], Channels > 1 ? xr[i] : 0.0);
#pragma GCC unroll 6
    for (int s = 0; s < kSectionCount; ++s) {
      const __m128d y = _mm_fmadd_pd(b0[s], v, z1[s]);
      const __m128d next1 = _mm_fmadd_pd(k1[s], v, _mm_fnmadd_pd(a1[s], z1[s], z2[s]));
      z2[s] = _mm_fnmadd_pd(a2[s], z1[s], _mm_mul_pd(k2[s], v));
      z1[s] = next1;
      v = y;
    }
    _mm_storel_pd(xl + i, v);
    if (Channels > 1) _mm_storeh_pd(xr + i, v);
  }
#pragma GCC unroll 6
  for (int s = 0; s < kSectionCount; ++s) {
    _mm_storel_pd(&zl[s].z1, z1[s]);
    _mm_storel_pd(&zl[s].z2, z2[s]);
    if (Channels > 1) {
      _mm_storeh_pd(&zr[s].z1, z1[s]);
      _mm_storeh_pd(&zr[s].z2, z2[s]);
    }
  }
}

}  // namespace

void CorrectionFilters::process(double** channels, int channelCount, int frameCount) {
  if (frameCount < 1 || channels == nullptr) return;
  const int used = std::min(channelCount, 2);
  int done = 0;
  while (done < frameCount) {
    if (countdown_ == 0) {
      if (targetsMoved()) redesign();
      countdown_ = kRedesignInterval;
    }
    const int n = std::min(countdown_, frameCount - done);
    if (path_ == SimdPath::wide && used == 2) {
      runWide<2>(design_, state_[0].data(), state_[1].data(), channels[0] + done,
                 channels[1] + done, n);
    } else if (path_ == SimdPath::wide && used == 1) {
      runWide<1>(design_, state_[0].data(), state_[1].data(), channels[0] + done,
                 channels[0] + done, n);
    } else if (used == 2) {
#if defined(__SSE2__)
      runStereo(design_, state_[0].data(), state_[1].data(), channels[0] + done,
                channels[1] + done, n);
#else
      runMono(design_, state_[0].data(), channels[0] + done, n);
      runMono(design_, state_[1].data(), channels[1] + done, n);
#endif
    } else if (used == 1) {
      runMono(design_, state_[0].data(), channels[0] + done, n);
    }
    countdown_ -= n;
    done += n;
  }
}

}  // namespace spectrapoise::dsp
