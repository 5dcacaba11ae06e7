#include "engine/dsp/target_learner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace spectrapoise::dsp {

namespace {

// Bands whose centre lies in 40 Hz..16 kHz: the range over which curves are normalised.
constexpr std::size_t kReferenceFirstBand = 18;
constexpr std::size_t kReferenceLastBand = 173;

constexpr double kBlockSeconds = 1.0;
constexpr double kPartialBlockSeconds = 0.5;
constexpr double kSegmentSeconds = 10.0;
constexpr double kLastSegmentSeconds = 5.0;
constexpr double kGateBelowPercentile = 20.0;

// A band curve in dB from summed band powers, normalised so that its mean power over the
// reference bands is 0 dB. Bands without energy take the value of the band below (the first
// band with energy for the bands before it). False when no band has energy.
bool buildCurve(const BandCurve& sums, BandCurve& curve) {
  std::size_t firstValid = kBandCount;
  double last = 0.0;
  for (std::size_t k = 0; k < kBandCount; ++k) {
    if (sums[k] > 0.0) {
      last = 10.0 * std::log10(sums[k]);
      if (firstValid == kBandCount) firstValid = k;
    }
    curve[k] = last;
  }
  if (firstValid == kBandCount) return false;
  for (std::size_t k = 0; k < firstValid; ++k) curve[k] = curve[firstValid];

  double meanPower = 0.0;
  for (std::size_t k = kReferenceFirstBand; k <= kReferenceLastBand; ++k)
    meanPower += std::pow(10.0, curve[k] / 10.0);
  meanPower /= static_cast<double>(kReferenceLastBand - kReferenceFirstBand + 1);
  const double reference = 10.0 * std::log10(meanPower);
  for (double& v : curve) v -= reference;
  return true;
}

}  // namespace

void TargetLearner::add(const BandCurve& bands, double level, double weight) {
  if (!std::isfinite(level) || !std::isfinite(weight)) return;
  for (double b : bands)
    if (!std::isfinite(b)) return;

  for (std::size_t k = 0; k < kBandCount; ++k) current_.bands[k] += bands[k];
  current_.level += level * weight;
  current_.weight += weight;
  totalSeconds_ += weight;
  if (current_.weight >= kBlockSeconds) {
    current_.level /= current_.weight;
    blocks_.push_back(current_);
    current_ = Block{};
  }
}

void TargetLearner::clear() {
  blocks_.clear();
  current_ = Block{};
  totalSeconds_ = 0.0;
}

bool TargetLearner::finish(LearnedTarget& result, std::string& error,
                           double minimumSeconds) const {
  std::vector<Block> blocks = blocks_;
  if (current_.weight >= kPartialBlockSeconds) {
    Block partial = current_;
    partial.level /= partial.weight;
    blocks.push_back(partial);
  }
  if (blocks.empty()) {
    error = "there was nothing loud enough to learn from";
    return false;
  }

  std::vector<double> loudness(blocks.size());
  for (std::size_t i = 0; i < blocks.size(); ++i)
    loudness[i] = 10.0 * std::log10(blocks[i].level + 1e-30);
  std::vector<double> ordered = loudness;
  const std::size_t percentileIndex = (9 * ordered.size()) / 10;
  std::nth_element(ordered.begin(), ordered.begin() + static_cast<std::ptrdiff_t>(percentileIndex),
                   ordered.end());
  const double gate = ordered[percentileIndex] - kGateBelowPercentile;

  BandCurve whole{};
  BandCurve segment{};
  double loudSeconds = 0.0;
  double segmentSeconds = 0.0;
  std::vector<BandCurve> segmentCurves;
  auto closeSegment = [&] {
    BandCurve curve;
    if (buildCurve(segment, curve)) segmentCurves.push_back(curve);
    segment = BandCurve{};
    segmentSeconds = 0.0;
  };
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (loudness[i] <= gate) continue;  // quiet blocks neither count nor end a segment
    for (std::size_t k = 0; k < kBandCount; ++k) {
      whole[k] += blocks[i].bands[k];
      segment[k] += blocks[i].bands[k];
    }
    loudSeconds += blocks[i].weight;
    segmentSeconds += blocks[i].weight;
    if (segmentSeconds >= kSegmentSeconds) closeSegment();
  }
  if (segmentSeconds >= kLastSegmentSeconds) closeSegment();

  if (minimumSeconds > loudSeconds) {
    // Whole seconds, rounded down: 14.6 s of 15 must not read "only 15 s".
    char text[96];
    std::snprintf(text, sizeof text,
                  "only %.0f s was loud enough to learn from, at least %.0f s is needed",
                  std::floor(loudSeconds), minimumSeconds);
    error = text;
    return false;
  }

  BandCurve curve;
  if (!buildCurve(whole, curve)) {
    error = "there was nothing to measure";
    return false;
  }

  BandCurve spread{};
  if (segmentCurves.size() >= 2) {
    const double count = static_cast<double>(segmentCurves.size());
    for (std::size_t k = 0; k < kBandCount; ++k) {
      double sumSquares = 0.0;
      for (const BandCurve& s : segmentCurves) {
        const double d = s[k] - curve[k];
        sumSquares += d * d;
      }
      spread[k] = std::sqrt(sumSquares / count);
    }
  }

  result.curve = curve;
  result.spread = spread;
  result.seconds = loudSeconds;
  return true;
}

}  // namespace spectrapoise::dsp
