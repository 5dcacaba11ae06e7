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

constexpr std::size_t kPanelPieceFrames = 4096;

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
  inputPanelRing_.skipToWrite();
  panelSampleRate_ = 0.0;  // the panel analyses are prepared afresh on the next tick
  forgetFooter();          // new controls: the next tick writes the footer
  editorOpen_.store(true);
  for (int i = 0; i < NParams(); ++i) {
    const plugkit::IParam& param = *GetParam(i);
    SendParameterValueFromDelegate(i, normalizedForEdit(param, param.Value()), true);
  }
}

void SpectraPoise::OnUIClose() {
  cancelInputLearn();
  editorOpen_.store(false);
}

void SpectraPoise::viewTarget() {
  const double rate = sampleRate();
  if (!(rate == panelSampleRate_)) {
    panelInput_.prepare(rate);
    panelOutput_.prepare(rate);
    panelSampleRate_ = rate;
    panelLeft_.assign(kPanelPieceFrames, 0.f);
    panelRight_.assign(kPanelPieceFrames, 0.f);
  }
  BandCurve curve;
  BandCurve spread;
  {
    std::lock_guard<std::mutex> lock(targetMutex_);
    curve = target_.curve;
    spread = target_.spread;
  }
  const long w = smoothingHalfWidth(resolutionIndex_);
  view_.target = windowedMean(curve, panelInput_.belowNyquist, w, true);
  view_.spread = windowedMean(spread, panelInput_.belowNyquist, w, false);
  view_.valid = panelInput_.belowNyquist;
}

void SpectraPoise::drainPanelRing(SampleRing& ring, dsp::SpectrumAnalysis& analysis) {
  for (;;) {
    const std::size_t n = ring.read(panelLeft_.data(), panelRight_.data(), panelLeft_.size());
    if (n == 0) return;
    for (std::size_t i = 0; i < n; ++i) analysis.push(panelLeft_[i], panelRight_[i]);
  }
}

void SpectraPoise::analyseForPanel() {
  viewTarget();

  // Region borders for the level measurement, ordered as the correction orders them.
  const Crossovers xo = dsp::orderedCrossovers(crossovers());
  for (dsp::SpectrumAnalysis* a : {&panelInput_, &panelOutput_}) {
    if (std::fabs(xo.low - a->crossovers.low) > 1e-6 || std::fabs(xo.mid - a->crossovers.mid) > 1e-6 ||
        std::fabs(xo.high - a->crossovers.high) > 1e-6)
      a->levels.fill(-300.0);
    a->crossovers = xo;
  }

  drainPanelRing(inputPanelRing_, panelInput_);

  const bool wanted = correctionWanted();
  if (wanted && !outputAnalysisRunning_) {
    // The output analysis starts from empty each time the correction is switched on.
    panelOutput_.reset();
    outputPanelRing_.skipToWrite();
  }
  outputAnalysisRunning_ = wanted;
  drainPanelRing(outputPanelRing_, panelOutput_);

  const long w = smoothingHalfWidth(resolutionIndex_);
  view_.inputFast = aligned(panelInput_.fastPowers, view_.target, panelInput_.belowNyquist);
  view_.input = windowedMean(aligned(panelInput_.slowPowers, view_.target, panelInput_.belowNyquist),
                             panelInput_.belowNyquist, w, true);

  if (wanted && panelOutput_.hasMeasurement) {
    view_.outputLive = panelOutput_.silentSeconds < 1.0;
    if (view_.outputLive)
      view_.output = windowedMean(aligned(panelOutput_.slowPowers, view_.target, panelOutput_.belowNyquist),
                                  panelOutput_.belowNyquist, w, true);
  } else {
    view_.outputLive = false;
  }
  view_.inputLive = panelInput_.hasMeasurement && panelInput_.silentSeconds < 1.0;

  std::array<double, 4> holds{1.0, 1.0, 1.0, 1.0};
  for (std::size_t r = 0; r < 4; ++r) {
    const double current = panelInput_.levels[r];
    const double held = panelInput_.levels[r + 4];
    if (current > -299.0 && held > -299.0) holds[r] = std::clamp((current - held + 20.0) / 10.0, 0.0, 1.0);
  }
  if (wanted && !paramOn(kFreeze)) {
    const std::array<float, 4> published = regionHoldLevels();
    for (std::size_t r = 0; r < 4; ++r) holds[r] = published[r];
  }
  const dsp::SpectrumAnalysis& measured = view_.outputLive ? panelOutput_ : panelInput_;
  readouts_ = measured.readouts(view_.target, xo, holds);

  panelGains_ = loadGains();
  view_.correctionWanted = wanted;
  view_.frozen = paramOn(kFreeze);
  if (wanted) {
    const double rate = sampleRate();
    view_.response = dsp::correction_detail::responseCurve(
        dsp::correction_detail::design(panelGains_, crossovers(), rate), rate);
  }
}

void SpectraPoise::setFromPanel(int paramIdx, double value) {
  const plugkit::IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  BeginInformHostOfParamChange(paramIdx);
  SendParameterValueFromUI(paramIdx, normalizedForEdit(*param, value));
  EndInformHostOfParamChange(paramIdx);
  if (plugkit::canvas::ICanvas* ui = GetUI()) ui->SetAllControlsDirty();
}
