#include "engine/dsp/loudness_meter.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>

namespace spectrapoise::dsp {

namespace {

constexpr double kAbsoluteGate = -70.0;
constexpr double kBinWidth = 0.05;
constexpr double kLargestStep = 1e15;  // frames; far beyond any real rate

double loudnessOf(double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); }

using Biquad = ShortTermLoudness::Biquad;

// The K-weighting of `count` frames with both channels side by side in one vector (lane 0
// channel 0, lane 1 channel 1), each section in transposed direct form II with fused
// multiply-adds: y = b0 x + z1; z1 = (b1 x + z2) - a1 y; z2 = b2 x - a2 y. Adds each
// channel's squared output to its sum. With one channel, lane 1 runs on zeros and its states
// and sum are left as they were.
template <int Channels, typename Sample>
__attribute__((target("avx2,fma"))) void kWeightingWide(std::array<Biquad, 4>& s, double sum[2],
                                                        const Sample* in0, const Sample* in1,
                                                        std::int64_t count) {
  const Biquad& l1 = s[0];
  const Biquad& l2 = s[1];
  const Biquad& r1 = s[2];
  const Biquad& r2 = s[3];
  const __m128d b0 = _mm_setr_pd(l1.b0, r1.b0), b1 = _mm_setr_pd(l1.b1, r1.b1),
                b2 = _mm_setr_pd(l1.b2, r1.b2), a1 = _mm_setr_pd(l1.a1, r1.a1),
                a2 = _mm_setr_pd(l1.a2, r1.a2);
  const __m128d c0 = _mm_setr_pd(l2.b0, r2.b0), c1 = _mm_setr_pd(l2.b1, r2.b1),
                c2 = _mm_setr_pd(l2.b2, r2.b2), e1 = _mm_setr_pd(l2.a1, r2.a1),
                e2 = _mm_setr_pd(l2.a2, r2.a2);
  __m128d z1 = _mm_setr_pd(l1.z1, Channels > 1 ? r1.z1 : 0.0);
  __m128d z2 = _mm_setr_pd(l1.z2, Channels > 1 ? r1.z2 : 0.0);
  __m128d w1 = _mm_setr_pd(l2.z1, Channels > 1 ? r2.z1 : 0.0);
  __m128d w2 = _mm_setr_pd(l2.z2, Channels > 1 ? r2.z2 : 0.0);
  __m128d total = _mm_setr_pd(sum[0], Channels > 1 ? sum[1] : 0.0);
  for (std::int64_t i = 0; i < count; ++i) {
    const __m128d x = _mm_setr_pd(static_cast<double>(in0[i]),
                                  Channels > 1 ? static_cast<double>(in1[i]) : 0.0);
    const __m128d y1 = _mm_fmadd_pd(b0, x, z1);
    z1 = _mm_fnmadd_pd(a1, y1, _mm_fmadd_pd(b1, x, z2));
    z2 = _mm_fnmadd_pd(a2, y1, _mm_mul_pd(b2, x));
    const __m128d y2 = _mm_fmadd_pd(c0, y1, w1);
    w1 = _mm_fnmadd_pd(e1, y2, _mm_fmadd_pd(c1, y1, w2));
    w2 = _mm_fnmadd_pd(e2, y2, _mm_mul_pd(c2, y1));
    total = _mm_fmadd_pd(y2, y2, total);
  }
  double lanes[2];
  _mm_storeu_pd(lanes, z1);
  s[0].z1 = lanes[0];
  if (Channels > 1) s[2].z1 = lanes[1];
  _mm_storeu_pd(lanes, z2);
  s[0].z2 = lanes[0];
  if (Channels > 1) s[2].z2 = lanes[1];
  _mm_storeu_pd(lanes, w1);
  s[1].z1 = lanes[0];
  if (Channels > 1) s[3].z1 = lanes[1];
  _mm_storeu_pd(lanes, w2);
  s[1].z2 = lanes[0];
  if (Channels > 1) s[3].z2 = lanes[1];
  _mm_storeu_pd(lanes, total);
  sum[0] = lanes[0];
  if (Channels > 1) sum[1] = lanes[1];
}

}  // namespace

std::int64_t meterStepLength(double sampleRate) {
  const double frames = 0.1 * sampleRate;
  if (!(frames >= 0.5)) return 1;  // also NaN
  if (frames > kLargestStep) return static_cast<std::int64_t>(kLargestStep);
  return std::max<std::int64_t>(std::lround(frames), 1);
}

// ---------------------------------------------------------------------------------------------
// LoudnessGate

void LoudnessGate::clear() {
  sums_.fill(0.0);
  counts_.fill(0);
  binLoudness_.fill(0.0);
  integrated_ = kNoReading;
}

void LoudnessGate::addBlock(double x) {
  // A block sum that overflowed would make every later total infinite.
  if (!(x > 0.0) || !std::isfinite(x)) return;
  const double loudness = loudnessOf(x);
  if (loudness < kAbsoluteGate) return;
  // Cap in double: a huge loudness would overflow the conversion to int.
  double position = std::floor((loudness - kAbsoluteGate) / kBinWidth);
  if (position > kBins - 1) position = kBins - 1;
  const int bin = static_cast<int>(position);
  sums_[bin] += x;
  counts_[bin] += 1;
  binLoudness_[bin] = loudnessOf(sums_[bin] / counts_[bin]);

  double totalSum = 0.0;
  std::uint64_t totalCount = 0;
  for (int b = 0; b < kBins; ++b) {
    totalSum += sums_[b];
    totalCount += counts_[b];
  }
  if (totalCount == 0 || !(totalSum > 0.0) || !std::isfinite(totalSum)) return;
  const double threshold = loudnessOf(totalSum / static_cast<double>(totalCount)) - 10.0;

  double gatedSum = 0.0;
  std::uint64_t gatedCount = 0;
  for (int b = 0; b < kBins; ++b) {
    if (counts_[b] > 0 && binLoudness_[b] >= threshold) {
      gatedSum += sums_[b];
      gatedCount += counts_[b];
    }
  }
  if (gatedCount > 0 && gatedSum > 0.0 && std::isfinite(gatedSum))
    integrated_ = std::max(kNoReading, loudnessOf(gatedSum / static_cast<double>(gatedCount)));
}

// ---------------------------------------------------------------------------------------------
// ShortTermLoudness

void ShortTermLoudness::prepare(double fs) {
  Biquad shelf;
  {
    const double K = std::tan(5284.078578647628 / fs);
    const double Q = 0.7071752369554196;
    const double Vh = 1.5848647011308556;
    const double Vb = 1.2587209302325617;
    const double a0 = 1.0 + K / Q + K * K;
    shelf.b0 = (Vh + Vb * K / Q + K * K) / a0;
    shelf.b1 = 2.0 * (K * K - Vh) / a0;
    shelf.b2 = (Vh - Vb * K / Q + K * K) / a0;
    shelf.a1 = 2.0 * (K * K - 1.0) / a0;
    shelf.a2 = (1.0 - K / Q + K * K) / a0;
  }
  Biquad highPass;
  {
    const double K = std::tan(119.8061151453059 / fs);
    const double Q = 0.5003270373238773;
    const double d = 1.0 + K / Q + K * K;
    highPass.b0 = 1.0;
    highPass.b1 = -2.0;
    highPass.b2 = 1.0;
    highPass.a1 = 2.0 * (K * K - 1.0) / d;
    highPass.a2 = (1.0 - K / Q + K * K) / d;
  }
  sections_ = {shelf, highPass, shelf, highPass};
  if (!std::isfinite(fs) || !(fs > 0.0)) sections_ = {};  // no usable coefficients

  ring_.fill(0.0);
  ringIndex_ = 0;
  stepLength_ = meterStepLength(fs);
  framesInStep_ = 0;
  stepSum_ = 0.0;
  stepSumRight_ = 0.0;
  shortTerm_ = kNoReading;
  gate_.clear();
  stepsSinceReset_ = 0;
  skipNextStep_ = false;
}

void ShortTermLoudness::endStep() {
  double stepSum = stepSum_ + stepSumRight_;
  if (!std::isfinite(stepSum)) {
    // A non-finite sample would otherwise stay in the filter states for good: drop the step
    // and restart the filters from rest.
    stepSum = 0.0;
    for (Biquad& s : sections_) s.z1 = s.z2 = 0.0;
  }
  const int written = ringIndex_;
  ring_[written] = stepSum / static_cast<double>(stepLength_);
  ringIndex_ = (ringIndex_ + 1) % kRingSteps;
  framesInStep_ = 0;
  stepSum_ = 0.0;
  stepSumRight_ = 0.0;

  double ringSum = 0.0;
  for (double v : ring_) ringSum += v;
  const double m = ringSum / kRingSteps;
  shortTerm_ = m > 0.0 ? std::max(kNoReading, loudnessOf(m)) : kNoReading;

  if (skipNextStep_) {
    skipNextStep_ = false;
    return;
  }
  const std::int64_t before = stepsSinceReset_++;
  if (before < 3) return;

  double blockSum = 0.0;
  for (int i = 0; i < 4; ++i) blockSum += ring_[(written - i + kRingSteps) % kRingSteps];
  gate_.addBlock(blockSum * 0.25);
}

void ShortTermLoudness::resetIntegrated() {
  gate_.clear();
  stepsSinceReset_ = 0;
  if (framesInStep_ > 0) skipNextStep_ = true;
}

template <int Channels, typename Sample>
void ShortTermLoudness::runFrames(const Sample* const* channels, std::int64_t offset,
                                  std::int64_t count) {
  // Work on local copies so the compiler keeps the states in registers (the sample buffers
  // could otherwise alias them).
  std::array<Biquad, 4> s = sections_;
  double sum = stepSum_;
  const Sample* in0 = channels[0] + offset;
  const Sample* in1 = Channels > 1 ? channels[1] + offset : nullptr;
  for (std::int64_t i = 0; i < count; ++i) {
    for (int c = 0; c < Channels; ++c) {
      Biquad& shelf = s[2 * c];
      Biquad& highPass = s[2 * c + 1];
      const double x = static_cast<double>(c == 0 ? in0[i] : in1[i]);
      const double y1 = shelf.b0 * x + shelf.z1;
      shelf.z1 = shelf.b1 * x - shelf.a1 * y1 + shelf.z2;
      shelf.z2 = shelf.b2 * x - shelf.a2 * y1;
      const double y2 = highPass.b0 * y1 + highPass.z1;
      highPass.z1 = highPass.b1 * y1 - highPass.a1 * y2 + highPass.z2;
      highPass.z2 = highPass.b2 * y1 - highPass.a2 * y2;
      sum += y2 * y2;
    }
  }
  sections_ = s;
  stepSum_ = sum;
}

template <typename Sample>
int ShortTermLoudness::process(const Sample* const* channels, int numChannels, int numFrames) {
  if (numFrames < 1 || channels == nullptr) return 0;
  int used = std::min(numChannels, 2);
  if (used >= 1 && channels[0] == nullptr) used = 0;
  if (used == 2 && channels[1] == nullptr) used = 1;

  int steps = 0;
  std::int64_t done = 0;
  while (done < numFrames) {
    const std::int64_t room = stepLength_ - static_cast<std::int64_t>(framesInStep_);
    const std::int64_t count = std::min<std::int64_t>(numFrames - done, room);
    if (path_ == SimdPath::wide && used > 0) {
      double sums[2] = {stepSum_, stepSumRight_};
      if (used == 2)
        kWeightingWide<2>(sections_, sums, channels[0] + done, channels[1] + done, count);
      else
        kWeightingWide<1>(sections_, sums, channels[0] + done, channels[0] + done, count);
      stepSum_ = sums[0];
      stepSumRight_ = sums[1];
    } else if (used == 2) {
      runFrames<2>(channels, done, count);
    } else if (used == 1) {
      runFrames<1>(channels, done, count);
    }
    framesInStep_ += static_cast<std::uint64_t>(count);
    done += count;
    if (static_cast<std::int64_t>(framesInStep_) == stepLength_) {
      endStep();
      ++steps;
    }
  }
  return steps;
}

template int ShortTermLoudness::process<float>(const float* const*, int, int);
template int ShortTermLoudness::process<double>(const double* const*, int, int);

}  // namespace spectrapoise::dsp
