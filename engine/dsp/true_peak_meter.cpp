#include "engine/dsp/true_peak_meter.h"

#include <algorithm>
#include <cmath>
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
      double y[kBranches] = {0.0, 0.0, 0.0, 0.0};
      for (int j = 0; j < kTaps; ++j) {
        const double s = newest[-j];
        for (int p = 0; p < kBranches; ++p) y[p] += taps_[j][p] * s;
      }
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
      if (rest > 0) {
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
