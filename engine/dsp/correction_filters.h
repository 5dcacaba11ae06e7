#pragma once
// The correction cascade: six second-order sections per channel (a tilt pair of shelves around
// 1 kHz, a low shelf, two peaks between the crossovers, a high shelf), its design, its response
// and the audio-rate filters that take over new gains at most every 32 frames. The filters
// run on the audio thread, on the wide path (FMA, simd_path.h) where the processor has it and
// on the baseline path otherwise; the two differ in rounding only. The design functions are
// pure and run on any thread.

#include <array>

#include "engine/dsp/engine_types.h"
#include "engine/dsp/simd_path.h"

namespace spectrapoise::dsp {

namespace correction_detail {

// One biquad, normalised so that a0 = 1.
struct Section {
  double b0 = 1.0;
  double b1 = 0.0;
  double b2 = 0.0;
  double a1 = 0.0;
  double a2 = 0.0;
};

// Section order: tilt low shelf, tilt high shelf, low shelf, lo-mid peak, hi-mid peak,
// high shelf.
inline constexpr int kSectionCount = 6;
using Design = std::array<Section, kSectionCount>;

// The frequency-dependent part of a design, for one set of crossovers and one sample rate:
// cos(w0) and alpha of each section. Not usable at a sample rate that is not finite and
// positive.
struct Geometry {
  bool usable = false;
  std::array<double, kSectionCount> cosine{};
  std::array<double, kSectionCount> alpha{};
};
Geometry geometry(const Crossovers& crossovers, double sampleRate);

// Section `index` (0..5) of the design for these gains; pass-through when not usable.
Section designSection(int index, const CorrectionGains& gains, const Geometry& geometry);

// Designs the six sections for the gains (dB), the crossovers (mid raised to at least 2*low,
// high to at least 2*mid) and the sample rate. All gains 0 give exact pass-through sections,
// and so does a sample rate that is not finite and positive.
Design design(const CorrectionGains& gains, const Crossovers& crossovers, double sampleRate);

// True when the section's numerator equals its denominator (a gain of 0): its response is
// exactly 0 dB everywhere.
bool isPassThrough(const Section& section);

// Response in dB of one section / of a whole design at frequency f.
double sectionResponseDb(const Section& section, double frequency, double sampleRate);
double responseDb(const Design& design, double frequency, double sampleRate);

// The angles a response at one frequency needs: cos and sin of w = 2*pi*f/fs and of 2w.
struct Angles {
  double c1 = 1.0, s1 = 0.0, c2 = 1.0, s2 = 0.0;
};
Angles anglesAt(double frequency, double sampleRate);
// |H|^2 of one section at those angles, and the response in dB of a design (the same value
// responseDb gives at that frequency).
double sectionPowerRatio(const Section& section, const Angles& angles);
double responseDb(const Design& design, const Angles& angles);

// Response of a design at the 180 band centres; bands whose centre is not below half the
// sample rate (and every band at an unusable rate) read 0 dB.
BandCurve responseCurve(const Design& design, double sampleRate);

// Slope in dB per octave, over the bands in 40..16,000 Hz below 0.45*fs, of the response of
// a tilt gain alone (crossovers 200, 2000, 6000 Hz).
double tiltSlope(double tilt, double sampleRate);

}  // namespace correction_detail

class CorrectionFilters {
 public:
  static constexpr int kRedesignInterval = 32;
  // A target that moved by no more than this (dB or Hz) does not trigger a redesign.
  static constexpr double kRedesignThreshold = 0.0001;

  // Sample rate; current and target gains 0; current and target crossovers 200, 2000, 6000 Hz;
  // pass-through sections on both channels; states and countdown cleared.
  void prepare(double sampleRate);

  // Clears both channels' section states and the countdown.
  void clearState();

  // The gains and crossovers the filters move to at their next look (every 32 frames), when one
  // of them moved by more than 0.0001 and all of them are finite.
  void setTargets(const CorrectionGains& gains, const Crossovers& crossovers) {
    targetGains_ = gains;
    targetCrossovers_ = crossovers;
  }

  // Filters the first one or two channels in place; further channels are left untouched.
  // Allocates and locks nothing.
  void process(double** channels, int channelCount, int frameCount);

  double sampleRate() const { return sampleRate_; }
  const CorrectionGains& gains() const { return gains_; }
  const Crossovers& crossovers() const { return crossovers_; }
  const CorrectionGains& targetGains() const { return targetGains_; }
  const Crossovers& targetCrossovers() const { return targetCrossovers_; }
  int countdown() const { return countdown_; }
  // Coefficients currently in use (both channels share them).
  const correction_detail::Design& design() const { return design_; }

  // The path the sections run on; set it before processing (tests compare the two).
  SimdPath simdPath() const { return path_; }
  void setSimdPath(SimdPath path) { path_ = usableSimdPath(path); }

 private:
  bool targetsMoved() const;
  void redesign();

  double sampleRate_ = 48000.0;
  CorrectionGains gains_{};
  CorrectionGains targetGains_{};
  Crossovers crossovers_{};
  Crossovers targetCrossovers_{};
  correction_detail::Geometry geometry_{};
  correction_detail::Design design_{};
  // Section states z1, z2 per channel, kept apart from the coefficients.
  struct State {
    double z1 = 0.0;
    double z2 = 0.0;
  };
  std::array<std::array<State, correction_detail::kSectionCount>, 2> state_{};
  int countdown_ = 0;
  SimdPath path_ = defaultSimdPath();
};

}  // namespace spectrapoise::dsp
