#pragma once
// Loudness after ITU-R BS.1770: K-weighting, mean square over 100 ms steps, short-term
// loudness over the last 3 s and gated integrated loudness since the last reset, in LUFS.
// The meter is a fixed-size record updated in place: no allocation, no lock, no failure path.
// Audio thread; the K-weighting runs on the wide path (FMA, simd_path.h) where the processor
// has it, and on the baseline path otherwise. The two differ in rounding only.

#include <array>
#include <cstdint>

#include "engine/dsp/simd_path.h"

namespace spectrapoise::dsp {

// Frames per 100 ms step at `sampleRate`: lround(0.1 x rate), at least 1. A rate that is not
// a number or too small gives 1; an absurdly large one is capped instead of overflowing.
std::int64_t meterStepLength(double sampleRate);

// The integrated part: a histogram of 400 ms block loudness in 0.05 LU bins from -70 LUFS,
// gated absolutely at -70 LUFS and relatively at 10 LU below the ungated mean. The relative
// gate is applied per bin, on the bin's mean.
class LoudnessGate {
public:
  static constexpr int kBins = 1600;
  static constexpr double kNoReading = -150.0;

  // Counts one block given as its mean square (linear power) and updates the reading.
  void addBlock(double meanSquare);
  void clear();

  double integrated() const { return integrated_; }
  double binSum(int bin) const { return sums_[bin]; }
  std::uint32_t binCount(int bin) const { return counts_[bin]; }

private:
  std::array<double, kBins> sums_{};
  std::array<std::uint32_t, kBins> counts_{};
  // Loudness of each bin's mean, refreshed when the bin changes, so a step does not have to
  // take 1600 logarithms.
  std::array<double, kBins> binLoudness_{};
  double integrated_ = kNoReading;
};

// The loudness meter. The plug-in reads shortTerm(), integrated() and stepsSinceReset().
class ShortTermLoudness {
public:
  static constexpr int kRingSteps = 30;
  static constexpr double kNoReading = -150.0;

  // Coefficients for `sampleRate` and everything cleared. At a rate that is not finite or
  // not above 0 the filters stay silent and the meter only keeps time.
  void prepare(double sampleRate);

  // Meters `numFrames` frames of the first two of `numChannels` channels (with no channels
  // it only keeps time). Returns the number of steps completed during the call.
  template <typename Sample>
  int process(const Sample* const* channels, int numChannels, int numFrames);

  // Closes the current step. Called by process().
  void endStep();

  // Starts a new integrated measurement; short-term loudness runs on without a gap.
  void resetIntegrated();

  double shortTerm() const { return shortTerm_; }
  double integrated() const { return gate_.integrated(); }
  std::int64_t stepsSinceReset() const { return stepsSinceReset_; }
  std::int64_t stepLength() const { return stepLength_; }
  const LoudnessGate& gate() const { return gate_; }

  struct Biquad {
    double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double z1 = 0, z2 = 0;
  };
  // Sections in the order channel 0 shelf, channel 0 high-pass, channel 1 shelf, channel 1
  // high-pass.
  const std::array<Biquad, 4>& sections() const { return sections_; }

  // The path the K-weighting takes; set it before metering (tests compare the two).
  SimdPath simdPath() const { return path_; }
  void setSimdPath(SimdPath path) { path_ = usableSimdPath(path); }

private:
  template <int Channels, typename Sample>
  void runFrames(const Sample* const* channels, std::int64_t offset, std::int64_t count);

  std::array<Biquad, 4> sections_{};
  std::array<double, kRingSteps> ring_{};
  std::int32_t ringIndex_ = 0;
  std::int64_t stepLength_ = 1;
  std::uint64_t framesInStep_ = 0;
  // The step's sum of squares: the wide path keeps channel 1's part apart (one vector lane
  // per channel); the baseline path keeps it all in stepSum_.
  double stepSum_ = 0.0;
  double stepSumRight_ = 0.0;
  double shortTerm_ = kNoReading;
  LoudnessGate gate_;
  std::int64_t stepsSinceReset_ = 0;
  bool skipNextStep_ = false;
  SimdPath path_ = defaultSimdPath();
};

}  // namespace spectrapoise::dsp
