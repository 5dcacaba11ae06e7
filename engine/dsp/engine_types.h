#pragma once
// Small records the balance engine shares with the plug-in and the panel.

#include <array>
#include <cstddef>

namespace spectrapoise::dsp {

inline constexpr std::size_t kBandCount = 180;

// One value per band of the 180-band grid (see band_grid.h), indexed by band.
using BandCurve = std::array<double, kBandCount>;
using BandFlags = std::array<bool, kBandCount>;

// Region borders in Hz: low, lo-mid, hi-mid and high regions are split at low, mid and high.
struct Crossovers {
  double low = 200.0;
  double mid = 2000.0;
  double high = 6000.0;
};

// Five correction gains in dB. A tilt gain g puts -g dB at the low end and +g dB at the high end.
struct CorrectionGains {
  double tilt = 0.0;
  double low = 0.0;
  double loMid = 0.0;
  double hiMid = 0.0;
  double high = 0.0;

  static constexpr std::size_t kCount = 5;

  // Access by position in the order tilt, low, lo-mid, hi-mid, high; i must be below 5.
  double& operator[](std::size_t i) {
    return i == 0 ? tilt : i == 1 ? low : i == 2 ? loMid : i == 3 ? hiMid : high;
  }
  double operator[](std::size_t i) const { return const_cast<CorrectionGains&>(*this)[i]; }
};

struct CorrectionSettings {
  // Fractions 0..1 in the order tilt, low, lo-mid, hi-mid, high.
  std::array<double, 5> amount{0.5, 0.5, 0.5, 0.5, 0.5};
  // "Correct Speed" in seconds.
  double speed = 15.0;
  Crossovers crossovers{};
};

// The five correction readouts and how far each region is trusted.
struct Readouts {
  double tilt = 0.0;  // dB per octave
  double low = 0.0;   // dB, each region's level relative to the others
  double loMid = 0.0;
  double hiMid = 0.0;
  double high = 0.0;
  std::array<double, 4> hold{1.0, 1.0, 1.0, 1.0};  // 0..1; 0.5 or less: region held
  bool active = false;
};

// The panel snapshot. Field meanings:
//   input      slow (3 s) input level, aligned to the target's power, smoothed across bands
//   target     target curve as shown;  spread: target spread as shown
//   inputFast  fast (0.3 s) input level, aligned, not smoothed across bands
//   output     output level after the correction, aligned and smoothed
//   response   response of the correction filters at the band centres
//   valid      band lies below Nyquist at the current sample rate
struct SpectrumView {
  BandCurve input{};
  BandCurve target{};
  BandCurve spread{};
  BandCurve inputFast{};
  BandCurve output{};
  bool outputLive = false;
  BandCurve response{};
  bool correctionWanted = false;
  bool frozen = false;
  BandFlags valid{};
  bool inputLive = false;
};

}  // namespace spectrapoise::dsp
