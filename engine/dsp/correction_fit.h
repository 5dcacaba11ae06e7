#pragma once
// Turns the running measurement of the input into the five correction gains: region fit of
// the difference to the target, least-squares fit of the filter gains, the 6 dB limit, and
// smoothing with the "Correct Speed".

#include <array>

#include "engine/dsp/correction_filters.h"
#include "engine/dsp/engine_types.h"
#include "engine/dsp/spectrum_analysis.h"

namespace spectrapoise::dsp {

// Largest response the correction may have, in dB.
inline constexpr double kCorrectionLimitDb = 6.0;

// Fits the five gains to the wanted correction curve (dB per band) by regularised least squares
// on the real filter responses, over the bands in 40..16,000 Hz below 0.45*fs whose region is
// not held. mask (order tilt, low, lo-mid, hi-mid, high): true keeps that gain at previous.
// The result goes through limited().
CorrectionGains fitCorrection(const BandCurve& wanted, const CorrectionSettings& settings,
                              double sampleRate, const std::array<bool, 5>& mask,
                              const CorrectionGains& previous);

// Scales the gains down until the cascade's largest response at the band centres below
// 0.45*fs is at most 6 dB (at most four rounds).
CorrectionGains limited(CorrectionGains gains, const CorrectionSettings& settings,
                        double sampleRate);

// What the limit needs that depends only on the crossovers and the sample rate: which bands
// it looks at and their angles. About 6 KB; building it allocates nothing.
struct LimitTables {
  Crossovers crossovers{};  // as given (the design orders them)
  double sampleRate = 0.0;
  BandFlags underLimit{};   // centre below 0.45*fs (none at an unusable rate)
  std::array<correction_detail::Angles, kBandCount> angles{};
  bool built = false;

  void build(const Crossovers& c, double rate);
};

// What the fit needs besides: which bands take part, their regions and the response of each
// gain alone. An owner that fits again and again keeps one and rebuilds it when the
// crossovers or the rate change; the results are the same, bit for bit, as without it.
// About 13 KB; building it allocates nothing.
struct FitTables : LimitTables {
  BandFlags fitted{};  // under the limit and in 40..16,000 Hz
  std::array<int, kBandCount> region{};
  std::array<std::array<double, CorrectionGains::kCount>, kBandCount> unitResponse{};

  // True when these tables were built for exactly these crossovers and this rate.
  bool builtFor(const Crossovers& c, double rate) const;
  void build(const Crossovers& c, double rate);
};

// fitCorrection and limited for the crossovers and the rate the tables were built for.
CorrectionGains fitCorrection(const BandCurve& wanted, const std::array<bool, 5>& mask,
                              const CorrectionGains& previous, const FitTables& tables);
CorrectionGains limited(CorrectionGains gains, const LimitTables& tables);

// Owns one analysis whose every non-silent hop runs onHop. One thread at a time; not copyable
// or movable (the hop callback points at this object).
class CorrectionAnalyser {
 public:
  CorrectionAnalyser() = default;
  CorrectionAnalyser(const CorrectionAnalyser&) = delete;
  CorrectionAnalyser& operator=(const CorrectionAnalyser&) = delete;

  // Prepares the analysis for the rate (slowSeconds 1 s, hop callback to onHop) and resets.
  // Target and settings are kept. Allocates.
  void prepare(double sampleRate);

  // The reset part of prepare, with both gain sets at seed. Allocates nothing.
  void reset(const CorrectionGains& seed = {});

  // Stores the settings; the analysis' crossovers take the ordered crossovers (mid at least
  // 2*low, high at least 2*mid), and its region levels restart when one moved by over 1e-6.
  void setSettings(const CorrectionSettings& settings);

  void setTargetCurve(const BandCurve& curve);

  // Feeds one frame, or `frames` frames left[i * stride], right[i * stride]; does nothing
  // before prepare.
  void push(float left, float right) { analysis_.push(left, right); }
  void push(const float* left, const float* right, std::size_t frames, std::size_t stride = 1) {
    analysis_.push(left, right, frames, stride);
  }

  // Smoothed gains for the owner to publish.
  CorrectionGains gains() const { return smoothedGains_; }
  // Region hold levels (low, lo-mid, hi-mid, high), 0..1.
  std::array<double, 4> holdLevels() const { return regionHolds_; }

  // One correction step after a hop with this mean square and duration.
  void onHop(double meanSquare, double seconds);

  // Read access for owners and tests.
  double sampleRate() const { return sampleRate_; }
  const SpectrumAnalysis& analysis() const { return analysis_; }
  SpectrumAnalysis& analysis() { return analysis_; }
  const BandCurve& targetCurve() const { return target_; }
  const CorrectionSettings& settings() const { return settings_; }
  const CorrectionGains& fittedGains() const { return fittedGains_; }
  const FitTables& fitTables() const { return tables_; }
  bool tiltValid() const { return tiltValid_; }
  double referenceLevel() const { return referenceLevel_; }
  bool loud() const { return loud_; }

 private:
  double sampleRate_ = 48000.0;
  SpectrumAnalysis analysis_;
  BandCurve target_{};
  // Sum of 10^(target/10) over the alignment bands, for the bands below Nyquist it was taken
  // over; recomputed when the target or those bands change.
  double targetSum_ = 0.0;
  BandFlags targetSumBands_{};
  bool targetSumValid_ = false;
  FitTables tables_{};
  CorrectionSettings settings_{};
  CorrectionGains smoothedGains_{};
  CorrectionGains fittedGains_{};
  std::array<double, 4> regionHolds_{1.0, 1.0, 1.0, 1.0};
  bool tiltValid_ = true;
  double referenceLevel_ = -200.0;
  bool loud_ = false;
};

}  // namespace spectrapoise::dsp
