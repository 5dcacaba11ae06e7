#pragma once
// Turns a stream of stereo frames into band powers on the 180-band grid: every 2048 frames the
// last 8192 frames are windowed, transformed, summed into bands and smoothed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/engine_types.h"
#include "engine/dsp/real_fft.h"
#include "engine/dsp/simd_path.h"

namespace spectrapoise::dsp {

class SpectrumAnalysis {
 public:
  using Crossovers = dsp::Crossovers;
  using Readouts = dsp::Readouts;

  static constexpr std::size_t kWindowSize = RealFourierTransform::kSize;  // 8192
  static constexpr std::size_t kBins = RealFourierTransform::kBins;        // 4097
  static constexpr std::size_t kHopSize = 2048;

  // Called at the end of every non-silent hop with the hop's band powers (on the caller's
  // stack), the mean square of both channels and the hop's duration in seconds. Runs on the
  // thread that drives the analysis. Assign it at setup only: assigning may allocate.
  using HopCallback =
      std::function<void(const BandCurve& bandPowers, double meanSquare, double hopSeconds)>;

  // How band k reads the bin powers. Bands not below Nyquist keep range (0, 0), scale 0 and no
  // interpolation, and always read 0.
  struct Band {
    std::uint64_t firstBin = 0;
    std::uint64_t lastBin = 0;
    double scale = 1.0;
    bool interpolate = false;
    double position = 0.0;  // fractional bin of the centre, for interpolated bands
  };

  SpectrumAnalysis() = default;
  SpectrumAnalysis(SpectrumAnalysis&&) noexcept = default;
  SpectrumAnalysis& operator=(SpectrumAnalysis&&) noexcept = default;

  // Sets the rate, creates the transform on first use, sizes the buffers, computes the window
  // and the band records, and resets the measuring state. Leaves crossovers, slowSeconds and
  // hopCallback as they are. Allocates.
  void prepare(double sampleRate);

  // Clears the rings, the counters and the smoothed arrays; silentSeconds 1, no measurement,
  // all region levels -300 dB. Allocates nothing.
  void reset();

  // True once prepare has run (frames may be fed).
  bool prepared() const { return fft != nullptr; }

  // Feeds one frame (a mono source feeds the same sample twice). Every 2048 frames, once 8192
  // frames are held, runs analyse(). Does nothing before prepare.
  void push(float left, float right) {
    if (!fft) return;
    ringLeft[writeIndex] = left;
    ringRight[writeIndex] = right;
    writeIndex = (writeIndex + 1) % kWindowSize;
    if (filled < kWindowSize) ++filled;
    if (++hopCounter == kHopSize) {
      hopCounter = 0;
      if (filled == kWindowSize) analyse();
    }
  }

  // Feeds `frames` frames, left[i * stride] and right[i * stride] (right may equal left for a
  // mono source): the same as pushing them one by one, with the ring filled in runs.
  void push(const float* left, const float* right, std::size_t frames, std::size_t stride = 1);

  // One hop over the current ring contents, oldest frame first. Allocates nothing.
  void analyse();

  // Duration of one hop in seconds: 2048 / sampleRate, or 0 at an unusable rate.
  double hopSeconds() const;

  // The path the hop's windowing, energy and transform take; both give the same bits (tests
  // compare them). Set before or after prepare.
  SimdPath simdPath() const { return path_; }
  void setSimdPath(SimdPath path) {
    path_ = usableSimdPath(path);
    if (fft) fft->setSimdPath(path_);
  }

  // The five correction readouts of the panel against a target curve (dB), from the long
  // (10 s) band powers. Inactive without a measurement or after a second of silence.
  Readouts readouts(const BandCurve& target, const Crossovers& crossovers,
                    const std::array<double, 4>& holds) const;

  // Robust region fit of a difference curve (measured minus target, dB): tilt in dB per
  // octave, the four region levels relative to their common offset, and the region weights.
  // Uses the crossovers unchanged. active is false in the result.
  Readouts balance(const BandCurve& difference, const Crossovers& crossovers,
                   const std::array<double, 4>& weights) const;

  // State. The owner writes crossovers, slowSeconds and hopCallback; the rest is read-only
  // for owners.
  double sampleRate = 48000.0;
  std::unique_ptr<RealFourierTransform> fft;
  std::vector<float> ringLeft, ringRight;   // 8192 each
  std::vector<float> windowed;              // 2 x 8192, scratch: both channels windowed
  std::vector<float> window;                // periodic Hann, 8192
  std::vector<double> power;                // 4097, bin powers of the current hop
  std::uint64_t writeIndex = 0;
  std::uint64_t hopCounter = 0;
  std::uint64_t filled = 0;
  std::array<Band, kBandCount> bands{};
  BandFlags belowNyquist{};
  BandCurve slowPowers{};   // smoothed with slowSeconds
  BandCurve longPowers{};   // smoothed with 10 s
  BandCurve fastPowers{};   // smoothed with 0.3 s
  BandCurve levelPowers{};  // smoothed with 0.15 s, for the region levels
  // levels[0..3]: current level of regions 0..3 in dB; levels[4..7]: their held levels.
  std::array<double, 8> levels{-300.0, -300.0, -300.0, -300.0, -300.0, -300.0, -300.0, -300.0};
  Crossovers crossovers{};
  double silentSeconds = 1.0;
  bool hasMeasurement = false;
  double slowSeconds = 3.0;
  HopCallback hopCallback;

 private:
  SimdPath path_ = defaultSimdPath();
};

}  // namespace spectrapoise::dsp
