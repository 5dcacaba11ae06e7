// The audio thread: preparation for the host's rate, the processing of each block (input
// copy, the three rings, the correction filters behind a 20 ms wet/dry fade, loudness and
// true-peak metering) and the small accessors shared with the other threads.
#include <algorithm>
#include <cmath>

#include "plugin/SpectraPoise.h"
#include "plugin/float_mode.h"

using namespace spectrapoise::plugin;
namespace dsp = spectrapoise::dsp;

namespace {

constexpr int kChunkFrames = 64;
constexpr float kNoReading = -150.f;

enum Reading { kShortTerm = 0, kTruePeak3s = 1, kIntegrated = 2, kIntegratedSeconds = 3, kTruePeakSinceReset = 4 };

float peakDb(double linear) {
  if (!(linear > 0.0)) return kNoReading;
  return static_cast<float>(std::max(20.0 * std::log10(linear), -150.0));
}

// Channels 0..k-1 that the framework connected and that carry a buffer.
int usableChannels(int connected, double** buffers) {
  if (buffers == nullptr) return 0;
  int k = 0;
  while (k < connected && buffers[k] != nullptr) ++k;
  return k;
}

}  // namespace

// Accessors -----------------------------------------------------------------------------

bool SpectraPoise::correctionWanted() const { return paramOn(kCorrect) && !paramOn(kBypass); }

SpectraPoise::CorrectionGains SpectraPoise::loadGains() const {
  CorrectionGains g;
  for (std::size_t i = 0; i < 5; ++i) g[i] = published_.load(i);
  return g;
}

void SpectraPoise::publishGains(const CorrectionGains& gains) {
  for (std::size_t i = 0; i < 5; ++i) published_.store(i, static_cast<float>(gains[i]));
}

void SpectraPoise::rememberGains(const CorrectionGains& gains) {
  for (std::size_t i = 0; i < 5; ++i) remembered_.store(i, static_cast<float>(gains[i]));
}

SpectraPoise::CorrectionGains SpectraPoise::rememberedGains() const {
  CorrectionGains g;
  for (std::size_t i = 0; i < 5; ++i) g[i] = remembered_.load(i);
  return g;
}

SpectraPoise::Crossovers SpectraPoise::crossovers() const {
  return Crossovers{GetParam(kLowCrossover)->Value(), GetParam(kMidCrossover)->Value(),
                    GetParam(kHighCrossover)->Value()};
}

SpectraPoise::CorrectionSettings SpectraPoise::correctionSettings() const {
  CorrectionSettings s;
  for (std::size_t i = 0; i < 5; ++i) s.amount[i] = GetParam(kAmountParams[i])->Value() / 100.0;
  s.speed = GetParam(kCorrectSpeed)->Value();
  s.crossovers = crossovers();
  return s;
}

SpectraPoise::CorrectionGains SpectraPoise::frozenGains() const {
  const CorrectionSettings s = correctionSettings();
  CorrectionGains g;
  for (std::size_t i = 0; i < 5; ++i) g[i] = GetParam(kFrozenParams[i])->Value() * s.amount[i];
  return dsp::limited(g, s, sampleRate());
}

std::array<float, 4> SpectraPoise::regionHoldLevels() const {
  return {holdLevels_.load(0), holdLevels_.load(1), holdLevels_.load(2), holdLevels_.load(3)};
}

SpectraPoise::MeterReadings SpectraPoise::meterReadings() const {
  return MeterReadings{readings_.load(kShortTerm), readings_.load(kTruePeak3s), readings_.load(kIntegrated),
                       readings_.load(kIntegratedSeconds), readings_.load(kTruePeakSinceReset)};
}

// Preparation ---------------------------------------------------------------------------

void SpectraPoise::prepareDsp(double fs) {
  loudness_.prepare(fs);
  truePeak_.prepare(fs);
  filters_.prepare(fs);

  // After a reset the mix stands at its end value: there is no fade.
  wetStep_ = fs > 0.0 ? 1.0 / (0.02 * fs) : 1.0 / 960.0;
  if (paramOn(kCorrect)) {
    const bool bypassed = paramOn(kBypass);
    correctionActive_ = !bypassed;
    wetMix_ = bypassed ? 0.0 : 1.0;
  } else {
    correctionActive_ = false;
    wetMix_ = 0.0;
  }
  filtersPrimed_ = correctionActive_;

  offlineAnalyser_.prepare(fs);
  preparedRate_ = fs;

  readings_.store(kShortTerm, kNoReading);
  readings_.store(kTruePeak3s, kNoReading);
  readings_.store(kIntegrated, kNoReading);
  readings_.store(kIntegratedSeconds, 0.f);
  readings_.store(kTruePeakSinceReset, kNoReading);
}

void SpectraPoise::OnReset() {
  const double fs = GetSampleRate();
  // An unusable rate (0, negative, not a number) would give infinite filter coefficients
  // and band indexes: such a reset is ignored and the previous preparation stays.
  if (!dsp::usableSampleRate(fs)) return;
  sampleRate_.store(fs, std::memory_order_relaxed);
  offlinePrimed_ = false;
  if (fs == preparedRate_) {
    // Meters and fade go on; the correction filters start again from silence, so that the
    // same audio rendered twice after a reset comes out the same.
    filters_.clearState();
    return;
  }
  prepareDsp(fs);
}

// Processing ----------------------------------------------------------------------------

void SpectraPoise::ProcessBlock(double** inputs, double** outputs, int n) {
  ScopedFlushDenormals flushDenormals;

  const int nIn = usableChannels(NChannelsConnected(plugkit::kInput), inputs);
  const int nOut = usableChannels(NChannelsConnected(plugkit::kOutput), outputs);
  const bool haveAudio = outputs != nullptr && n > 0 && nOut > 0;

  // Input to output.
  if (haveAudio) {
    const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(n);
    int copied = 0;
    if (inputs != nullptr) {
      copied = std::min(nIn, nOut);
      for (int c = 0; c < copied; ++c)
        if (inputs[c] != outputs[c]) std::memmove(outputs[c], inputs[c], bytes);
    }
    if (copied == 0) {
      for (int c = 0; c < nOut; ++c) std::memset(outputs[c], 0, bytes);
    } else {
      for (int c = copied; c < nOut; ++c) std::memcpy(outputs[c], outputs[0], bytes);
    }
  }

  const int nCh = std::min(nOut, 2);
  double* left = haveAudio ? outputs[0] : nullptr;
  double* right = haveAudio ? (nOut > 1 ? outputs[1] : outputs[0]) : nullptr;
  const bool bypassOff = !paramOn(kBypass);
  const bool feedPanel = editorOpen_.load(std::memory_order_relaxed) && bypassOff;
  if (feedPanel && haveAudio) inputPanelRing_.write(left, right, n);

  // Who corrects: the worker (fed through its ring) or, while rendering offline, this thread.
  const bool offline = GetRenderingOffline();
  offlineRendering_.store(offline, std::memory_order_relaxed);
  if (!paramOn(kCorrect)) {
    correctionActive_ = false;
    offlinePrimed_ = false;
  } else if (!bypassOff) {
    correctionActive_ = false;
  } else if (!offline) {
    if (haveAudio) workerRing_.write(left, right, n);
    correctionActive_ = true;
  } else {
    offlineCorrection(outputs, nOut, n, haveAudio);
    correctionActive_ = true;
  }

  // Filters and fade; they keep running while the correction fades out.
  bool filtersRan = false;
  if (correctionActive_ || wetMix_ > 0.0) {
    if (!filtersPrimed_) {
      filters_.clearState();
      filtersPrimed_ = true;
    }
    const CorrectionGains gains = loadGains();
    const Crossovers xo = crossovers();
    const double sum = gains.tilt + gains.low + gains.loMid + gains.hiMid + gains.high + xo.low + xo.mid + xo.high;
    if (std::isfinite(sum)) filters_.setTargets(gains, xo);

    if (haveAudio) {
      double dry[2][kChunkFrames];
      double* chunk[2];
      for (int start = 0; start < n; start += kChunkFrames) {
        const int len = std::min(kChunkFrames, n - start);
        for (int c = 0; c < nCh; ++c) {
          chunk[c] = outputs[c] + start;
          std::memcpy(dry[c], chunk[c], sizeof(double) * static_cast<std::size_t>(len));
        }
        filters_.process(chunk, nCh, len);
        bool finite = true;
        for (int c = 0; c < nCh; ++c) finite = finite && std::isfinite(chunk[c][len - 1]);
        if (!finite) {
          // The chunk goes out dry and the filters start again from silence.
          filters_.clearState();
          for (int c = 0; c < nCh; ++c)
            std::memcpy(chunk[c], dry[c], sizeof(double) * static_cast<std::size_t>(len));
        }
        for (int f = 0; f < len; ++f) {
          wetMix_ = correctionActive_ ? std::min(wetMix_ + wetStep_, 1.0) : std::max(wetMix_ - wetStep_, 0.0);
          if (wetMix_ >= 1.0) continue;
          for (int c = 0; c < nCh; ++c) {
            const double d = dry[c][f];
            chunk[c][f] = wetMix_ <= 0.0 ? d : d + (chunk[c][f] - d) * wetMix_;
          }
        }
      }
    }
    filtersRan = true;
  } else {
    filtersPrimed_ = false;
  }

  // Meter reset, honoured once, also while bypassed.
  if (meterResetRequest_.exchange(false)) {
    loudness_.resetIntegrated();
    truePeak_.resetMaximum();
    readings_.store(kIntegrated, kNoReading);
    readings_.store(kIntegratedSeconds, 0.f);
    readings_.store(kTruePeakSinceReset, kNoReading);
  }

  if (bypassOff) {
    const int steps = loudness_.process(outputs, nCh, n);
    if (steps > 0) {
      readings_.store(kShortTerm, static_cast<float>(loudness_.shortTerm()));
      readings_.store(kIntegrated, static_cast<float>(loudness_.integrated()));
      readings_.store(kIntegratedSeconds, static_cast<float>(static_cast<double>(loudness_.stepsSinceReset()) * 0.1));
    }
    truePeak_.process(outputs, nCh, n);
    readings_.store(kTruePeak3s, peakDb(truePeak_.peakLast3s()));
    readings_.store(kTruePeakSinceReset, peakDb(truePeak_.peakSinceReset()));
  }

  if (feedPanel && filtersRan && haveAudio) outputPanelRing_.write(left, right, n);
}
