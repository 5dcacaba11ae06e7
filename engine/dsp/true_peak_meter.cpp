#include "engine/dsp/true_peak_meter.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/dsp/loudness_meter.h"

namespace spectrapoise::dsp {

namespace {

// Modified Bessel function of the first kind, order 0, as the fixed 32-term series
// 1 + sum_{k=1..31} ((x/2)^k / k!)^2.
double besselI0(double x) {
  double sum = 1.0;
  double term = 1.0;
  for (int k = 1; k <= 31; ++k) {
    term *= (x / 2.0) / k;
    sum += term * term;
  }
  return sum;
}

constexpr double kI0OfBeta = 168.59390851028974;  // I0(7)

// Frames the wide path stages at a time, and the vector width it works in.
constexpr int kWideChunk = 64;
constexpr int kWideBlock = 8;  // two vectors of four frames

// The largest of |x| and the four interpolated magnitudes over `count` frames, four frames per
// vector and two vectors at a time. h holds the 15 samples before the first frame, the
// `count` samples, then zeros up to a whole block. Taps as TruePeak keeps them ([tap][branch]).
// Comparisons keep a NaN from ever becoming the maximum.
__attribute__((target("avx2,fma"))) double interpolatedPeakWide(
    const double* h, int count, const std::array<std::array<double, 4>, 16>& taps) {
  const __m256d sign = _mm256_set1_pd(-0.0);
  const __m256d lane0 = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
  const __m256d lane1 = _mm256_setr_pd(4.0, 5.0, 6.0, 7.0);
  __m256d peak = _mm256_setzero_pd();
  for (int i = 0; i < count; i += kWideBlock) {
    // newest[-j]: the sample j frames before frame i (and i + 4 in the second vector).
    const double* newest = h + (TruePeak::kTaps - 1) + i;
    __m256d x0 = _mm256_loadu_pd(newest);
    __m256d x1 = _mm256_loadu_pd(newest + 4);
    __m256d m0 = _mm256_max_pd(_mm256_andnot_pd(sign, x0), _mm256_setzero_pd());
    __m256d m1 = _mm256_max_pd(_mm256_andnot_pd(sign, x1), _mm256_setzero_pd());
    __m256d y0[4], y1[4];
#pragma GCC unroll 4
    for (int p = 0; p < 4; ++p) {
      const __m256d t = _mm256_broadcast_sd(&taps[0][p]);
      y0[p] = _mm256_mul_pd(t, x0);
      y1[p] = _mm256_mul_pd(t, x1);
    }
#pragma GCC unroll 16
    for (int j = 1; j < TruePeak::kTaps; ++j) {
      x0 = _mm256_loadu_pd(newest - j);
      x1 = _mm256_loadu_pd(newest - j + 4);
#pragma GCC unroll 4
      for (int p = 0; p < 4; ++p) {
        const __m256d t = _mm256_broadcast_sd(&taps[j][p]);
        y0[p] = _mm256_fmadd_pd(t, x0, y0[p]);
        y1[p] = _mm256_fmadd_pd(t, x1, y1[p]);
      }
    }
#pragma GCC unroll 4
    for (int p = 0; p < 4; ++p) {
      // max_pd(a, b) is a > b ? a : b, so a NaN in a never replaces b.
      m0 = _mm256_max_pd(_mm256_andnot_pd(sign, y0[p]), m0);
      m1 = _mm256_max_pd(_mm256_andnot_pd(sign, y1[p]), m1);
    }
    // Frames past the end (the zero padding) do not count.
    const __m256d left = _mm256_set1_pd(static_cast<double>(count - i));
    m0 = _mm256_and_pd(m0, _mm256_cmp_pd(lane0, left, _CMP_LT_OQ));
    m1 = _mm256_and_pd(m1, _mm256_cmp_pd(lane1, left, _CMP_LT_OQ));
    peak = _mm256_max_pd(m0, peak);
    peak = _mm256_max_pd(m1, peak);
  }
  const __m128d half = _mm_max_pd(_mm256_castpd256_pd128(peak), _mm256_extractf128_pd(peak, 1));
  return _mm_cvtsd_f64(_mm_max_sd(half, _mm_unpackhi_pd(half, half)));
}

}  // namespace

void TruePeak::designFilter() {
  constexpr double pi = std::numbers::pi;
  for (int n = -31; n <= 32; ++n) {
    const double t = n / 4.0;
    const double sinc = t == 0.0 ? 1.0 : std::sin(pi * t) / (pi * t);
    const double r = n / 31.0;
    const double window = std::fabs(r) > 1.0 ? 0.0 : besselI0(7.0 * std::sqrt(1.0 - r * r)) / kI0OfBeta;
    const int i = n + 31;
    taps_[i / kBranches][i % kBranches] = sinc * window;
  }
  // Unity gain at DC for every branch.
  for (int p = 0; p < kBranches; ++p) {
    double sum = 0.0;
    for (int j = 0; j < kTaps; ++j) sum += taps_[j][p];
    for (int j = 0; j < kTaps; ++j) taps_[j][p] /= sum;
  }
}

void TruePeak::prepare(double sampleRate) {
  for (auto& line : delay_) line.fill(0.0);
  writePos_ = 0;
  warmUp_ = kWarmUpFrames;
  ring_.fill(0.0);
  ringIndex_ = 0;
  stepLength_ = meterStepLength(sampleRate);
  framesInStep_ = 0;
  stepPeak_ = 0.0;
  peak3s_ = 0.0;
  peakSinceReset_ = 0.0;
  resetHold_ = 0;
}

void TruePeak::resetMaximum() {
  peakSinceReset_ = 0.0;
  resetHold_ = kResetHoldFrames;
}

void TruePeak::endStep() {
  ring_[ringIndex_] = stepPeak_;
  ringIndex_ = (ringIndex_ + 1) % kRingSteps;
  framesInStep_ = 0;
  stepPeak_ = 0.0;
  double peak = 0.0;
  for (double v : ring_)
    if (v > peak) peak = v;
  peak3s_ = peak;
}

// Runs `count` frames that lie inside one step. PlainOnly: warm-up or reset hold is running
// at the start of the range (the caller limits the range to the frames it covers).
template <int Channels, bool PlainOnly, typename Sample>
void TruePeak::runFrames(const Sample* const* channels, std::int64_t offset, std::int64_t count) {
  int pos = writePos_;
  double stepPeak = stepPeak_;
  double sinceReset = peakSinceReset_;
  for (std::int64_t i = 0; i < count; ++i) {
    pos = (pos + 1) & (kTaps - 1);
    const bool warming = PlainOnly && warmUp_ != 0;
    const bool holding = PlainOnly && resetHold_ > 0;
    for (int c = 0; c < Channels; ++c) {
      const double x = static_cast<double>(channels[c][offset + i]);
      double* line = delay_[c].data();
      line[pos] = x;
      line[pos + kTaps] = x;
      const double plain = std::fabs(x);
      if (warming) {
        // The delay line still holds the zeros of preparation: plain magnitudes only.
        if (plain > stepPeak) stepPeak = plain;
        if (plain > sinceReset) sinceReset = plain;
        continue;
      }
      // newest[-j] is the sample j frames before the newest.
      const double* newest = line + pos + kTaps;
      // y[p] += tap j of branch p * sample, j = 0..15, two branches per vector.
      double y[kBranches];
#if defined(__SSE2__)
      __m128d y01 = _mm_setzero_pd(), y23 = _mm_setzero_pd();
      for (int j = 0; j < kTaps; ++j) {
        const __m128d s = _mm_set1_pd(newest[-j]);
        y01 = _mm_add_pd(y01, _mm_mul_pd(_mm_load_pd(&taps_[j][0]), s));
        y23 = _mm_add_pd(y23, _mm_mul_pd(_mm_load_pd(&taps_[j][2]), s));
      }
      _mm_storeu_pd(y, y01);
      _mm_storeu_pd(y + 2, y23);
#else
      for (double& v : y) v = 0.0;
      for (int j = 0; j < kTaps; ++j) {
        const double s = newest[-j];
        for (int p = 0; p < kBranches; ++p) y[p] += taps_[j][p] * s;
      }
#endif
      // Raise with comparisons so a NaN never becomes a maximum.
      double m = 0.0;
      if (plain > m) m = plain;
      for (int p = 0; p < kBranches; ++p) {
        const double a = std::fabs(y[p]);
        if (a > m) m = a;
      }
      if (m > stepPeak) stepPeak = m;
      const double forReset = holding ? plain : m;
      if (forReset > sinceReset) sinceReset = forReset;
    }
    if (PlainOnly) {
      if (resetHold_ > 0) --resetHold_;
      if (warmUp_ > 0) --warmUp_;
    }
  }
  writePos_ = pos;
  stepPeak_ = stepPeak;
  peakSinceReset_ = sinceReset;
}

template <typename Sample>
double TruePeak::interpolateWide(int channel, const Sample* samples, std::int64_t count) {
  constexpr int kHistory = kTaps - 1;
  alignas(32) double h[kHistory + kWideChunk + kWideBlock];
  double* line = delay_[channel].data();
  // The delay line's newest sample sits at writePos_ + 16; h runs oldest first.
  for (int k = 0; k < kHistory; ++k) h[kHistory - 1 - k] = line[writePos_ + kTaps - k];
  double peak = 0.0;
  for (std::int64_t done = 0; done < count;) {
    const int n = static_cast<int>(std::min<std::int64_t>(kWideChunk, count - done));
    for (int i = 0; i < n; ++i) h[kHistory + i] = static_cast<double>(samples[done + i]);
    for (int i = n; i < kWideChunk + kWideBlock; ++i) h[kHistory + i] = 0.0;
    const double chunkPeak = interpolatedPeakWide(h, n, taps_);
    if (chunkPeak > peak) peak = chunkPeak;
    std::memmove(h, h + n, sizeof(double) * kHistory);
    done += n;
  }
  // The delay line ends as frame-by-frame metering leaves it: the last 16 samples in their
  // slots, each kept twice.
  const std::int64_t first = std::max<std::int64_t>(count - kTaps, 0);
  for (std::int64_t i = first; i < count; ++i) {
    const int slot = static_cast<int>((writePos_ + 1 + i) & (kTaps - 1));
    line[slot] = line[slot + kTaps] = static_cast<double>(samples[i]);
  }
  return peak;
}

template <typename Sample>
void TruePeak::process(const Sample* const* channels, int numChannels, int numFrames) {
  if (numFrames < 1 || channels == nullptr) return;
  int used = numChannels < 2 ? numChannels : 2;
  if (used >= 1 && channels[0] == nullptr) used = 0;
  if (used == 2 && channels[1] == nullptr) used = 1;

  std::int64_t done = 0;
  while (done < numFrames) {
    const std::int64_t room = stepLength_ - static_cast<std::int64_t>(framesInStep_);
    std::int64_t count = std::min<std::int64_t>(numFrames - done, room);
    if (used < 1) {
      writePos_ = static_cast<std::int32_t>((writePos_ + count) % kTaps);
      resetHold_ = static_cast<std::int32_t>(std::max<std::int64_t>(resetHold_ - count, 0));
      warmUp_ = static_cast<std::int32_t>(std::max<std::int64_t>(warmUp_ - count, 0));
    } else {
      std::int64_t at = done;
      const std::int64_t plainFrames = std::min<std::int64_t>(count, std::max(warmUp_, resetHold_));
      if (plainFrames > 0) {
        if (used == 2)
          runFrames<2, true>(channels, at, plainFrames);
        else
          runFrames<1, true>(channels, at, plainFrames);
        at += plainFrames;
      }
      const std::int64_t rest = count - plainFrames;
      if (rest > 0 && path_ == SimdPath::wide) {
        double peak = interpolateWide(0, channels[0] + at, rest);
        if (used == 2) {
          const double right = interpolateWide(1, channels[1] + at, rest);
          if (right > peak) peak = right;
        }
        writePos_ = static_cast<std::int32_t>((writePos_ + rest) & (kTaps - 1));
        if (peak > stepPeak_) stepPeak_ = peak;
        if (peak > peakSinceReset_) peakSinceReset_ = peak;
      } else if (rest > 0) {
        if (used == 2)
          runFrames<2, false>(channels, at, rest);
        else
          runFrames<1, false>(channels, at, rest);
      }
    }
    framesInStep_ += static_cast<std::uint64_t>(count);
    done += count;
    if (static_cast<std::int64_t>(framesInStep_) == stepLength_) endStep();
  }
}

template void TruePeak::process<float>(const float* const*, int, int);
template void TruePeak::process<double>(const double* const*, int, int);

}  // namespace spectrapoise::dsp
