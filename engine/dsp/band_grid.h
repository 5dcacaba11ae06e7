#pragma once
// The fixed grid of 180 logarithmically spaced bands between 20 Hz and 20 kHz on which every
// measurement is made, and small helpers for band curves.

#include <cmath>
#include <cstddef>

#include "engine/dsp/engine_types.h"

namespace spectrapoise::dsp {

// Band edges relative to the centre: a sixth of an octave wide, neighbours overlap.
inline constexpr double kBandLowerEdge = 0.9438743126816935;  // 2^(-1/12)
inline constexpr double kBandUpperEdge = 1.0594630943592953;  // 2^(1/12)
// 179 / log2(1000): converts widths in octaves to band counts.
inline constexpr double kBandsPerOctave = 17.961456407950877;

// Bands used for the correction, the alignment and the readouts: centres in 40..16,000 Hz.
inline constexpr double kCorrectionLowHz = 40.0;
inline constexpr double kCorrectionHighHz = 16000.0;
// Bands used for the per-region slopes: centres in 50..16,000 Hz.
inline constexpr double kSlopeLowHz = 50.0;

// Floor of every band level in dB: 10*log10(1e-30).
inline constexpr double kPowerFloor = 1e-30;

// Centre frequency of band k (0..179) in Hz: 20 * 1000^(k/179).
double bandFrequency(std::size_t k);

// All 180 centre frequencies, computed once.
const BandCurve& bandFrequencies();

// Octaves of every band centre from 1 kHz, log2(f(k) / 1000), computed once.
const BandCurve& bandOctaves();

// Power in dB with the floor of -300 dB.
inline double powerToDb(double power) { return 10.0 * std::log10(std::fmax(power, kPowerFloor)); }

// True for a sample rate the engine can measure at: finite and above 0.
inline bool usableSampleRate(double sampleRate) {
  return std::isfinite(sampleRate) && sampleRate > 0.0;
}

// A band is below Nyquist when its upper edge lies strictly below half the sample rate.
// No band is below Nyquist at an unusable rate.
bool bandBelowNyquist(std::size_t k, double sampleRate);

// Centre in 40..16,000 Hz (inclusive).
inline bool inCorrectionRange(double f) { return f >= kCorrectionLowHz && f <= kCorrectionHighHz; }

// Offset in dB that moves a measured curve onto the target's overall power: over the bands
// below Nyquist with centres in 40..16,000 Hz, 10*log10(sum of 10^(target/10) / sum of powers),
// or 0 when either sum is not above 0.
double alignmentOffsetDb(const BandCurve& powers, const BandCurve& targetDb,
                         const BandFlags& belowNyquist);

// The two halves of that offset, for an owner that keeps one target over many measurements:
// the sum of 10^(target/10) over those bands, and the offset from it and the powers. The
// same result as alignmentOffsetDb, bit for bit.
double alignmentTargetSum(const BandCurve& targetDb, const BandFlags& belowNyquist);
double alignmentOffsetDb(const BandCurve& powers, double targetSum, const BandFlags& belowNyquist);

// Region of a frequency: 0 below c.low, 1 below c.mid, 2 below c.high, else 3.
inline int regionOf(double f, const Crossovers& c) {
  if (f < c.low) return 0;
  if (f < c.mid) return 1;
  if (f < c.high) return 2;
  return 3;
}

// Crossovers as the correction uses them: mid raised to at least 2*low, high to at least 2*mid.
inline Crossovers orderedCrossovers(const Crossovers& c) {
  Crossovers o;
  o.low = c.low;
  o.mid = std::fmax(2.0 * o.low, c.mid);
  o.high = std::fmax(2.0 * o.mid, c.high);
  return o;
}

}  // namespace spectrapoise::dsp
