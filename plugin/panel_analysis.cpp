// The panel's side of the plug-in, on the main thread while the editor is open: the two
// panel analyses fed from the panel rings, the snapshot the spectrum panel draws (curves
// aligned to the target's power and smoothed across bands), the correction readouts, the
// editor hooks and the way the editor sets a parameter in plain units.
#include <algorithm>
#include <cmath>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/correction_filters.h"
#include "graphics/ICanvas.h"
#include "plugin/SpectraPoise.h"

using namespace spectrapoise::plugin;
namespace dsp = spectrapoise::dsp;

namespace {

// Half-width in bands of the view smoothing at a resolution index (clamped to 0..2).
long smoothingHalfWidth(int resolution) {
  const int r = std::clamp(resolution, 0, 2);
  return std::lround(SpectraPoise::kResolutionOctaves[static_cast<std::size_t>(r)] * 0.5 * dsp::kBandsPerOctave);
}

// Mean over the valid bands within +-w of each valid band, of powers (in dB out) or of
// plain dB values; invalid bands keep their value.
dsp::BandCurve windowedMean(const dsp::BandCurve& db, const dsp::BandFlags& valid, long w, bool power) {
  dsp::BandCurve out = db;
  const long last = static_cast<long>(dsp::kBandCount) - 1;
  for (long i = 0; i <= last; ++i) {
    if (!valid[static_cast<std::size_t>(i)]) continue;
    double sum = 0.0;
    int count = 0;
    for (long j = std::max(i - w, 0L); j <= std::min(i + w, last); ++j) {
      if (!valid[static_cast<std::size_t>(j)]) continue;
      const double v = db[static_cast<std::size_t>(j)];
      sum += power ? std::pow(10.0, v / 10.0) : v;
      ++count;
    }
    const double mean = sum / count;
    out[static_cast<std::size_t>(i)] = power ? 10.0 * std::log10(mean) : mean;
  }
  return out;
}

// A measured power curve in dB, moved onto the target's overall power.
dsp::BandCurve aligned(const dsp::BandCurve& powers, const dsp::BandCurve& target, const dsp::BandFlags& valid) {
  const double offset = dsp::alignmentOffsetDb(powers, target, valid);
  dsp::BandCurve out;
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) out[k] = dsp::powerToDb(powers[k]) + offset;
  return out;
}

}  // namespace

void SpectraPoise::OnUIOpen() {
  panel_.inputRing.skipToWrite();
  panel_.preparedRate = 0.0;  // the panel analyses are prepared afresh on the next tick
  forgetFooter();             // new controls: the next tick writes the footer
  panel_.editorOpen.store(true);
  for (int i = 0; i < NParams(); ++i) {
    const plugkit::IParam& param = *GetParam(i);
    SendParameterValueFromDelegate(i, normalizedForEdit(param, param.Value()), true);
  }
}

void SpectraPoise::OnUIClose() {
  cancelInputLearn();
  panel_.editorOpen.store(false);
}

void SpectraPoise::viewTarget() {
  const double rate = sampleRate();
  if (!(rate == panel_.preparedRate)) panel_.prepare(rate);
  BandCurve curve;
  BandCurve spread;
  targets_.copyCurveAndSpread(curve, spread);
  const dsp::SpectrumAnalysis& input = panel_.input;
  dsp::SpectrumView& view = panel_.view;
  const long w = smoothingHalfWidth(panel_.resolution);
  view.target = windowedMean(curve, input.belowNyquist, w, true);
  view.spread = windowedMean(spread, input.belowNyquist, w, false);
  view.valid = input.belowNyquist;
}

void SpectraPoise::analyseForPanel() {
  viewTarget();
  dsp::SpectrumAnalysis& input = panel_.input;
  dsp::SpectrumAnalysis& output = panel_.output;
  dsp::SpectrumView& view = panel_.view;

  // Region borders for the level measurement, ordered as the correction orders them.
  const Crossovers xo = dsp::orderedCrossovers(crossovers());
  for (dsp::SpectrumAnalysis* a : {&input, &output}) {
    if (std::fabs(xo.low - a->crossovers.low) > 1e-6 || std::fabs(xo.mid - a->crossovers.mid) > 1e-6 ||
        std::fabs(xo.high - a->crossovers.high) > 1e-6)
      a->levels.fill(-300.0);
    a->crossovers = xo;
  }

  panel_.drain(panel_.inputRing, input);

  const bool wanted = correctionWanted();
  if (wanted && !panel_.outputRunning) {
    // The output analysis starts from empty each time the correction is switched on.
    output.reset();
    panel_.outputRing.skipToWrite();
  }
  panel_.outputRunning = wanted;
  panel_.drain(panel_.outputRing, output);

  const long w = smoothingHalfWidth(panel_.resolution);
  view.inputFast = aligned(input.fastPowers, view.target, input.belowNyquist);
  view.input = windowedMean(aligned(input.slowPowers, view.target, input.belowNyquist), input.belowNyquist, w, true);

  if (wanted && output.hasMeasurement) {
    view.outputLive = output.silentSeconds < 1.0;
    if (view.outputLive)
      view.output =
          windowedMean(aligned(output.slowPowers, view.target, output.belowNyquist), output.belowNyquist, w, true);
  } else {
    view.outputLive = false;
  }
  view.inputLive = input.hasMeasurement && input.silentSeconds < 1.0;

  std::array<double, 4> holds{1.0, 1.0, 1.0, 1.0};
  for (std::size_t r = 0; r < 4; ++r) {
    const double current = input.levels[r];
    const double held = input.levels[r + 4];
    if (current > -299.0 && held > -299.0) holds[r] = std::clamp((current - held + 20.0) / 10.0, 0.0, 1.0);
  }
  if (wanted && !paramOn(kFreeze)) {
    const std::array<float, 4> published = link_.holdLevels();
    for (std::size_t r = 0; r < 4; ++r) holds[r] = published[r];
  }
  const dsp::SpectrumAnalysis& measured = view.outputLive ? output : input;
  panel_.readouts = measured.readouts(view.target, xo, holds);

  panel_.gains = loadGains();
  view.correctionWanted = wanted;
  view.frozen = paramOn(kFreeze);
  if (wanted) {
    const double rate = sampleRate();
    view.response = dsp::correction_detail::responseCurve(
        dsp::correction_detail::design(panel_.gains, crossovers(), rate), rate);
  }
}

void SpectraPoise::setFromPanel(int paramIdx, double value) {
  const plugkit::IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  BeginInformHostOfParamChange(paramIdx);
  SendParameterValueFromUI(paramIdx, normalizedForEdit(*param, value));
  EndInformHostOfParamChange(paramIdx);
  if (plugkit::canvas::ICanvas* ui = GetUI()) {
    // Every control linked to the parameter shows the value it now holds, not only the
    // one that sent it (a caller need not be a control at all).
    SendParameterValueFromDelegate(paramIdx, param->GetNormalized(), true);
    ui->SetAllControlsDirty();
  }
}
