#pragma once
// True peak by 4x oversampling with a 64-tap polyphase interpolator (Kaiser window, beta 7).
// Keeps the largest value of the last 3 s (30 steps of 100 ms) and the largest since the last
// reset, as linear magnitudes. Fixed-size record: no allocation, no lock, no failure.
// Audio thread; the interpolator runs on the wide path (AVX2+FMA, simd_path.h) where the
// processor has it, and on the baseline path otherwise. The two differ in rounding only.

#include <array>
#include <cstdint>

#include "engine/dsp/simd_path.h"

namespace spectrapoise::dsp {

class TruePeak {
public:
  static constexpr int kBranches = 4;
  static constexpr int kTaps = 16;
  static constexpr int kRingSteps = 30;
  static constexpr int kWarmUpFrames = 16;
  static constexpr int kResetHoldFrames = 16;

  // Fills the taps. Call once before any use.
  void designFilter();

  // Clears the delay lines and maxima and sets the step length for `sampleRate`.
  void prepare(double sampleRate);

  // Meters `numFrames` frames of the first two of `numChannels` channels (with no channels
  // it only keeps time).
  template <typename Sample>
  void process(const Sample* const* channels, int numChannels, int numFrames);

  // Closes the current step. Called by process().
  void endStep();

  // Starts a new maximum; for the next 16 frames only plain sample magnitudes count for it,
  // so the ringing of the material before the reset does not leak in.
  void resetMaximum();

  double peakLast3s() const { return peak3s_; }
  double peakSinceReset() const { return peakSinceReset_; }
  std::int64_t stepLength() const { return stepLength_; }

  // Tap `index` of branch `branch`; branch p weighs the sample `index` frames before the
  // newest. Branch 3 is a pure delay of 7 frames.
  double tap(int branch, int index) const { return taps_[index][branch]; }

  // The path the interpolator takes; set it before metering (tests compare the two).
  SimdPath simdPath() const { return path_; }
  void setSimdPath(SimdPath path) { path_ = usableSimdPath(path); }

private:
  template <int Channels, bool PlainOnly, typename Sample>
  void runFrames(const Sample* const* channels, std::int64_t offset, std::int64_t count);
  // The interpolating frames (no warm-up, no reset hold) of one channel on the wide path;
  // answers the largest magnitude among its samples and interpolated values.
  template <typename Sample>
  double interpolateWide(int channel, const Sample* samples, std::int64_t count);

  // Taps stored tap-major ([tap][branch]) so the four branches run side by side.
  alignas(16) std::array<std::array<double, kBranches>, kTaps> taps_{};
  // Each channel's last 16 samples, kept twice (slots s and s + 16) so the 16 most recent
  // samples always lie in one contiguous run ending at writePos_ + 16.
  std::array<std::array<double, 2 * kTaps>, 2> delay_{};
  std::int32_t writePos_ = 0;
  std::int32_t warmUp_ = 0;
  std::array<double, kRingSteps> ring_{};
  std::int32_t ringIndex_ = 0;
  std::int64_t stepLength_ = 1;
  std::uint64_t framesInStep_ = 0;
  double stepPeak_ = 0.0;
  double peak3s_ = 0.0;
  double peakSinceReset_ = 0.0;
  std::int32_t resetHold_ = 0;
  SimdPath path_ = defaultSimdPath();
};

}  // namespace spectrapoise::dsp
