#include "engine/dsp/correction_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/correction_filters.h"

namespace spectrapoise::dsp {

namespace {

using correction_detail::Design;

constexpr double kFitBandLimit = 0.45;  // of the sample rate
constexpr double kLimitScale = 5.999999;
constexpr int kLimitRounds = 4;
constexpr double kLoudRangeDb = 20.0;
constexpr double kCorrectionSlowSeconds = 1.0;
constexpr double kCrossoverMoved = 1e-6;
constexpr double kNoLevel = -299.0;

// Bands the fit and the limit look at: below 0.45*fs (none at an unusable rate).
bool bandUnderFitLimit(std::size_t k, double fs) {
  return usableSampleRate(fs) && bandFrequencies()[k] < kFitBandLimit * fs;
}

// Solves the 5 x 5 system in place by Gaussian elimination with partial pivoting (the upper
// row wins ties) and back substitution.
std::array<double, 5> solve(std::array<std::array<double, 6>, 5> m) {
  for (int c = 0; c < 5; ++c) {
    int pivot = c;
    for (int r = c + 1; r < 5; ++r) {
      if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
    }
    if (pivot != c) std::swap(m[pivot], m[c]);
    for (int r = c + 1; r < 5; ++r) {
      const double factor = -m[r][c] / m[c][c];
      for (int j = c; j < 6; ++j) m[r][j] += factor * m[c][j];
    }
  }
  std::array<double, 5> x{};
  for (int r = 4; r >= 0; --r) {
    double sum = m[r][5];
    for (int j = r + 1; j < 5; ++j) sum -= m[r][j] * x[j];
    x[r] = sum / m[r][r];
  }
  return x;
}

bool allFinite(const CorrectionGains& g) {
  for (std::size_t i = 0; i < CorrectionGains::kCount; ++i) {
    if (!std::isfinite(g[i])) return false;
  }
  return true;
}

// The limit's shortcut. The largest response of a design over the bands is the largest
// |sum over its sections of 10*log10(ratio)|, one logarithm per section and band. The same
// quantity from the product of each band's ratios needs two logarithms in all (for the
// largest and the smallest product) and differs from it by rounding only: below 1e-11 dB
// while every section's numerator and denominator stay within 1e-25..1e25 (so that no product
// leaves the normal range). When that estimate is under the limit by more than kLimitMargin,
// the exact peak is under it too, and the limit leaves the gains alone; otherwise the exact
// peak decides.
constexpr double kLimitMargin = 1e-9;  // dB
constexpr double kSectionRange = 1e25;

bool clearlyWithinLimit(const Design& d, const LimitTables& t) {
  double largest = 0.0;
  double smallest = std::numeric_limits<double>::infinity();
  bool any = false;
  for (std::size_t k = 0; k < kBandCount; ++k) {
    if (!t.underLimit[k]) continue;
    const correction_detail::Angles& a = t.angles[k];
    double numerator = 1.0;
    double denominator = 1.0;
    for (const correction_detail::Section& s : d) {
      if (correction_detail::isPassThrough(s)) continue;
      const double nr = s.b0 + s.b1 * a.c1 + s.b2 * a.c2;
      const double ni = s.b1 * a.s1 + s.b2 * a.s2;
      const double dr = 1.0 + s.a1 * a.c1 + s.a2 * a.c2;
      const double di = s.a1 * a.s1 + s.a2 * a.s2;
      const double n = nr * nr + ni * ni;
      const double m = dr * dr + di * di;
      // Also false for NaN.
      if (!(n >= 1.0 / kSectionRange && n <= kSectionRange && m >= 1.0 / kSectionRange &&
            m <= kSectionRange)) {
        return false;
      }
      numerator *= n;
      denominator *= m;
    }
    const double product = numerator / denominator;
    largest = std::max(largest, product);
    smallest = std::min(smallest, product);
    any = true;
  }
  if (!any) return true;  // no band: the peak is 0 dB
  const double estimate = std::max(10.0 * std::log10(largest), -10.0 * std::log10(smallest));
  return estimate <= kCorrectionLimitDb - kLimitMargin;
}

}  // namespace

bool FitTables::builtFor(const Crossovers& c, double rate) const {
  return built && rate == sampleRate && c.low == crossovers.low && c.mid == crossovers.mid &&
         c.high == crossovers.high;
}

void LimitTables::build(const Crossovers& c, double rate) {
  crossovers = c;
  sampleRate = rate;
  built = true;
  const BandCurve& f = bandFrequencies();
  for (std::size_t k = 0; k < kBandCount; ++k) {
    underLimit[k] = bandUnderFitLimit(k, rate);
    angles[k] = underLimit[k] ? correction_detail::anglesAt(f[k], rate) : correction_detail::Angles{};
  }
}

void FitTables::build(const Crossovers& c, double rate) {
  LimitTables::build(c, rate);
  std::array<Design, CorrectionGains::kCount> basis;
  for (std::size_t p = 0; p < CorrectionGains::kCount; ++p) {
    CorrectionGains unit;
    unit[p] = 1.0;
    basis[p] = correction_detail::design(unit, c, rate);
  }
  const Crossovers ordered = orderedCrossovers(c);
  const BandCurve& f = bandFrequencies();
  for (std::size_t k = 0; k < kBandCount; ++k) {
    fitted[k] = underLimit[k] && inCorrectionRange(f[k]);
    region[k] = regionOf(f[k], ordered);
    for (std::size_t p = 0; p < CorrectionGains::kCount; ++p) {
      unitResponse[k][p] = fitted[k] ? correction_detail::responseDb(basis[p], angles[k]) : 0.0;
    }
  }
}

CorrectionGains fitCorrection(const BandCurve& wanted, const CorrectionSettings& settings,
                              double sampleRate, const std::array<bool, 5>& mask,
                              const CorrectionGains& previous) {
  FitTables tables;
  tables.build(settings.crossovers, sampleRate);
  return fitCorrection(wanted, mask, previous, tables);
}

CorrectionGains fitCorrection(const BandCurve& wanted, const std::array<bool, 5>& mask,
                              const CorrectionGains& previous, const FitTables& tables) {
  std::array<std::array<double, 6>, 5> m{};  // normal equations, right-hand side in column 5
  for (std::size_t k = 0; k < kBandCount; ++k) {
    if (!tables.fitted[k] || mask[tables.region[k] + 1]) continue;
    const std::array<double, 5>& e = tables.unitResponse[k];
    for (int p = 0; p < 5; ++p) {
      for (int q = 0; q < 5; ++q) m[p][q] += e[p] * e[q];
      m[p][5] += e[p] * wanted[k];
    }
  }

  const double lambda = 0.001 * (m[0][0] + m[1][1] + m[2][2] + m[3][3] + m[4][4]) / 5.0 + 1e-12;
  for (int p = 0; p < 5; ++p) m[p][p] += lambda;

  // A held gain keeps its previous value exactly: its row and column become an identity.
  for (int p = 0; p < 5; ++p) {
    if (!mask[p]) continue;
    for (int q = 0; q < 5; ++q) m[q][5] -= m[q][p] * previous[p];
    for (int q = 0; q < 5; ++q) {
      m[p][q] = 0.0;
      m[q][p] = 0.0;
    }
    m[p][p] = 1.0;
    m[p][5] = previous[p];
  }

  const std::array<double, 5> x = solve(m);
  CorrectionGains solution;
  for (std::size_t p = 0; p < 5; ++p) solution[p] = x[p];
  return limited(solution, tables);
}

CorrectionGains limited(CorrectionGains gains, const CorrectionSettings& settings,
                        double sampleRate) {
  LimitTables tables;
  tables.build(settings.crossovers, sampleRate);
  return limited(gains, tables);
}

CorrectionGains limited(CorrectionGains gains, const LimitTables& tables) {
  for (int round = 0; round < kLimitRounds; ++round) {
    const Design d = correction_detail::design(gains, tables.crossovers, tables.sampleRate);
    if (clearlyWithinLimit(d, tables)) break;
    double peak = 0.0;
    for (std::size_t k = 0; k < kBandCount; ++k) {
      if (!tables.underLimit[k]) continue;
      peak = std::max(peak, std::fabs(correction_detail::responseDb(d, tables.angles[k])));
    }
    if (peak <= kCorrectionLimitDb) break;
    const double scale = kLimitScale / peak;
    for (std::size_t i = 0; i < CorrectionGains::kCount; ++i) gains[i] *= scale;
  }
  return gains;
}

void CorrectionAnalyser::prepare(double sampleRate) {
  sampleRate_ = sampleRate;
  analysis_.prepare(sampleRate);
  analysis_.slowSeconds = kCorrectionSlowSeconds;
  analysis_.hopCallback = [this](const BandCurve&, double meanSquare, double seconds) {
    onHop(meanSquare, seconds);
  };
  reset();
}

void CorrectionAnalyser::reset(const CorrectionGains& seed) {
  analysis_.reset();
  smoothedGains_ = seed;
  fittedGains_ = seed;
  regionHolds_.fill(1.0);
  tiltValid_ = true;
  referenceLevel_ = -200.0;
  loud_ = false;
}

void CorrectionAnalyser::setTargetCurve(const BandCurve& curve) {
  target_ = curve;
  targetSumValid_ = false;
}

void CorrectionAnalyser::setSettings(const CorrectionSettings& settings) {
  settings_ = settings;
  const Crossovers ordered = orderedCrossovers(settings.crossovers);
  const Crossovers& current = analysis_.crossovers;
  // A crossover that moved, or one that cannot be compared, restarts the region levels.
  const auto moved = [](double a, double b) { return !(std::fabs(a - b) <= kCrossoverMoved); };
  if (moved(ordered.low, current.low) || moved(ordered.mid, current.mid) ||
      moved(ordered.high, current.high)) {
    analysis_.levels.fill(-300.0);
  }
  analysis_.crossovers = ordered;
}

void CorrectionAnalyser::onHop(double meanSquare, double seconds) {
  // Hops from the analysis always last a finite, positive time; anything else counts as none.
  if (!(seconds >= 0.0) || !std::isfinite(seconds)) seconds = 0.0;
  const double level = powerToDb(meanSquare);
  referenceLevel_ = std::max(referenceLevel_ - seconds, level);
  loud_ = level >= referenceLevel_ - kLoudRangeDb;

  if (loud_) {
    const BandCurve& f = bandFrequencies();
    const SpectrumAnalysis& a = analysis_;

    if (!targetSumValid_ || targetSumBands_ != a.belowNyquist) {
      targetSum_ = alignmentTargetSum(target_, a.belowNyquist);
      targetSumBands_ = a.belowNyquist;
      targetSumValid_ = true;
    }
    const double offset = alignmentOffsetDb(a.slowPowers, targetSum_, a.belowNyquist);
    BandCurve difference;
    bool finite = true;
    for (std::size_t k = 0; k < kBandCount; ++k) {
      difference[k] = powerToDb(a.slowPowers[k]) + offset - target_[k];
      finite = finite && std::isfinite(difference[k]);
    }

    // A target that is not finite everywhere gives nothing to fit against: only smooth.
    if (finite) {
      const Crossovers c = orderedCrossovers(settings_.crossovers);
      std::array<double, 4> weights{1.0, 1.0, 1.0, 1.0};
      for (int r = 0; r < 4; ++r) {
        if (a.levels[r] > kNoLevel && a.levels[r + 4] > kNoLevel) {
          weights[r] = std::clamp((a.levels[r] - a.levels[r + 4] + 20.0) / 10.0, 0.0, 1.0);
        }
      }
      const Readouts fit = a.balance(difference, c, weights);
      const std::array<double, 4> regionLevel{fit.low, fit.loMid, fit.hiMid, fit.high};

      std::array<double, 4> value{};
      for (int r = 0; r < 4; ++r) {
        value[r] = regionLevel[r] * fit.hold[r];
        regionHolds_[r] = std::min(regionHolds_[r] + seconds, fit.hold[r]);
      }
      int heldOpen = 0, fitOpen = 0;
      for (int r = 0; r < 4; ++r) {
        if (regionHolds_[r] > 0.5) ++heldOpen;
        if (fit.hold[r] > 0.5) ++fitOpen;
      }
      tiltValid_ = heldOpen >= 2 && fitOpen >= 2;
      const double tilt = tiltValid_ ? fit.tilt : 0.0;

      BandCurve wanted{};
      for (std::size_t k = 0; k < kBandCount; ++k) {
        if (!inCorrectionRange(f[k])) continue;
        const int r = regionOf(f[k], c);
        wanted[k] = -(tilt * settings_.amount[0] * bandOctaves()[k] +
                      settings_.amount[r + 1] * value[r]);
      }
      std::array<bool, 5> mask{};
      mask[0] = !tiltValid_;
      for (int r = 0; r < 4; ++r) mask[r + 1] = regionHolds_[r] <= 0.5;

      if (!tables_.builtFor(settings_.crossovers, sampleRate_)) {
        tables_.build(settings_.crossovers, sampleRate_);
      }
      const CorrectionGains fitted = fitCorrection(wanted, mask, smoothedGains_, tables_);
      // Never let a fit that went non-finite reach the published gains.
      if (allFinite(fitted)) fittedGains_ = fitted;
    }
  }

  const double tau = std::fmax(0.25 * settings_.speed, 0.25);
  const double a = 1.0 - std::exp(-seconds / tau);
  CorrectionGains next = smoothedGains_;
  next.tilt += (fittedGains_.tilt - smoothedGains_.tilt) * a * (tiltValid_ ? 1.0 : 0.0);
  for (std::size_t r = 0; r < 4; ++r) {
    next[r + 1] += (fittedGains_[r + 1] - smoothedGains_[r + 1]) * a * regionHolds_[r];
  }
  if (allFinite(next)) smoothedGains_ = next;
}

}  // namespace spectrapoise::dsp
