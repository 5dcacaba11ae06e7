// The whole correction: pink noise coloured by the correction cascade itself is analysed,
// fitted and filtered with the analyser's gains, and the output ends close to flat.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/correction_filters.h"
#include "engine/dsp/correction_fit.h"
#include "engine/dsp/spectrum_analysis.h"
#include "tests/engine/dsp/analysis_helpers.h"

namespace {

namespace dsp = spectrapoise::dsp;
namespace detail = spectrapoise::dsp::correction_detail;

struct LoopCase {
  double rate;
  dsp::CorrectionGains colour;
};

// Peak-to-peak in dB over the correction bands 18..173.
double peakToPeak(const dsp::BandCurve& db) {
  const auto [lo, hi] = std::minmax_element(db.begin() + 18, db.begin() + 174);
  return *hi - *lo;
}

class ClosedLoop : public ::testing::TestWithParam<LoopCase> {};

TEST_P(ClosedLoop, CorrectsColouredPinkNoiseToFlat) {
  const LoopCase c = GetParam();
  const double fs = c.rate;
  const dsp::Crossovers crossovers{200, 2000, 6000};

  // The colouring, as the band curve of its response: the residual to remove.
  const double before = peakToPeak(detail::responseCurve(detail::design(c.colour, crossovers, fs), fs));
  ASSERT_GT(before, 3.5);
  ASSERT_LT(before, 7.5);

  dsp::CorrectionFilters colour, correction;
  colour.prepare(fs);
  colour.setTargets(c.colour, crossovers);
  correction.prepare(fs);

  dsp::CorrectionAnalyser analyser;
  analyser.prepare(fs);
  dsp::CorrectionSettings settings;
  settings.amount = {1, 1, 1, 1, 1};
  settings.speed = 2.0;
  settings.crossovers = crossovers;
  analyser.setSettings(settings);
  analyser.setTargetCurve(dsp::BandCurve{});  // flat: pink noise

  dsp::SpectrumAnalysis output;
  output.prepare(fs);

  const auto& noise = sp::test::pinkNoise();
  // The output is read on its 10 s smoothing, so the run must be long enough for the
  // uncorrected start to fade from it.
  const std::size_t total = static_cast<std::size_t>(40.0 * fs);
  constexpr int kBlock = 64;
  double left[kBlock], right[kBlock];
  for (std::size_t start = 0; start < total; start += kBlock) {
    for (int i = 0; i < kBlock; ++i) {
      const std::size_t j = (start + i) % noise.left.size();
      left[i] = noise.left[j];
      right[i] = noise.right[j];
    }
    double* ch[2] = {left, right};
    colour.process(ch, 2, kBlock);
    for (int i = 0; i < kBlock; ++i) {
      analyser.push(static_cast<float>(left[i]), static_cast<float>(right[i]));
    }
    correction.setTargets(analyser.gains(), crossovers);
    correction.process(ch, 2, kBlock);
    for (int i = 0; i < kBlock; ++i) {
      output.push(static_cast<float>(left[i]), static_cast<float>(right[i]));
    }
  }

  dsp::BandCurve measured{};
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) measured[k] = dsp::powerToDb(output.longPowers[k]);
  EXPECT_LT(peakToPeak(measured), 1.5) << "colour response peak to peak " << before << " dB";
}

std::vector<LoopCase> loopCases() {
  const dsp::CorrectionGains colours[] = {
      {0, 4, 0, 0, -3}, {2, 0, 0, 0, 0}, {0, 0, -3, 3, 0}, {-1.5, 2, 1, -2, 1}};
#if defined(SP_ASAN_BUILD) || defined(SP_TSAN_BUILD)
  const double rates[] = {48000.0};
#else
  const double rates[] = {44100.0, 48000.0, 96000.0};
#endif
  std::vector<LoopCase> cases;
  for (double rate : rates) {
    for (const auto& g : colours) cases.push_back({rate, g});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(ColoursAndRates, ClosedLoop, ::testing::ValuesIn(loopCases()),
                         [](const auto& info) {
                           return std::to_string(static_cast<int>(info.param.rate)) + "_" +
                                  std::to_string(info.index);
                         });

}  // namespace
