// The audio thread: preparation for the host's rate, the processing of each block (input
// copy, the three rings, the correction filters behind a 20 ms wet/dry fade, loudness and
// true-peak metering) and the small accessors shared with the other threads.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "plugin/SpectraPoise.h"
#include "plugin/float_mode.h"

using namespace spectrapoise::plugin;
namespace dsp = spectrapoise::dsp;

namespace {

constexpr int kChunkFrames = 64;

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

// Preparation ---------------------------------------------------------------------------

void SpectraPoise::prepareDsp(double fs) {
  meters_.prepare(fs);
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
}

void SpectraPoise::OnReset() {
  const double fs = GetSampleRate();
  // An unusable rate (0, negative, not a number) would give infinite filter coefficients
  // and band indexes: such a reset is ignored and the previous preparation stays.
  if (!dsp::usableSampleRate(fs)) return;
  sampleRate_.store(fs, std::memory_order_relaxed);
  offlinePrimed_ = false;
  // At the rate in use, meters, correction filters and fade go on as they were: a host
  // resets when it stops and starts processing, and the audio must not jump.
  if (fs == preparedRate_) return;
  prepareDsp(fs);
}

// Processing ----------------------------------------------------------------------------

struct SpectraPoise::BlockBuffers {
  double** outputs;
  int n;
  int nIn;
  int nOut;
  int nCh;           // the channels corrected and metered: the first two at most
  bool haveAudio;    // output buffers and frames to work on
  double* left;      // what the rings carry: channel 0, and channel 1 or again 0
  double* right;
};

void SpectraPoise::ProcessBlock(double** inputs, double** outputs, int n) {
  ScopedFlushDenormals flushDenormals;

  const int nOut = usableChannels(NChannelsConnected(plugkit::kOutput), outputs);
  const bool haveAudio = outputs != nullptr && n > 0 && nOut > 0;
  const BlockBuffers block{outputs,
                           n,
                           usableChannels(NChannelsConnected(plugkit::kInput), inputs),
                           nOut,
                           std::min(nOut, 2),
                           haveAudio,
                           haveAudio ? outputs[0] : nullptr,
                           haveAudio ? (nOut > 1 ? outputs[1] : outputs[0]) : nullptr};

  copyInputToOutput(inputs, block);
  const bool bypassOff = !paramOn(kBypass);
  const bool feedPanel = panel_.editorOpen.load(std::memory_order_relaxed) && bypassOff;
  if (feedPanel) feedRing(panel_.inputRing, block);
  decideCorrection(block, bypassOff);
  const bool filtersRan = runCorrectionFilters(block);
  meters_.honourResetRequest();
  if (bypassOff) meters_.measure(outputs, block.nCh, n);
  if (feedPanel && filtersRan) feedRing(panel_.outputRing, block);
}

// The input's channels to the output's; missing ones silent when none came in, else
// copies of channel 0.
void SpectraPoise::copyInputToOutput(double** inputs, const BlockBuffers& block) {
  if (!block.haveAudio) return;
  double** outputs = block.outputs;
  const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(block.n);
  int copied = 0;
  if (inputs != nullptr) {
    copied = std::min(block.nIn, block.nOut);
    for (int c = 0; c < copied; ++c)
      if (inputs[c] != outputs[c]) std::memmove(outputs[c], inputs[c], bytes);
  }
  if (copied == 0) {
    for (int c = 0; c < block.nOut; ++c) std::memset(outputs[c], 0, bytes);
  } else {
    for (int c = copied; c < block.nOut; ++c) std::memcpy(outputs[c], outputs[0], bytes);
  }
}

void SpectraPoise::feedRing(SampleRing& ring, const BlockBuffers& block) {
  if (block.haveAudio) ring.write(block.left, block.right, block.n);
}

// Who corrects: the worker (fed through its ring) or, while rendering offline, this thread.
void SpectraPoise::decideCorrection(const BlockBuffers& block, bool bypassOff) {
  const bool offline = GetRenderingOffline();
  link_.setOfflineRendering(offline);
  if (!paramOn(kCorrect)) {
    correctionActive_ = false;
    offlinePrimed_ = false;
  } else if (!bypassOff) {
    correctionActive_ = false;
  } else if (!offline) {
    feedRing(link_.workerRing, block);
    correctionActive_ = true;
  } else {
    offlineCorrection(block.outputs, block.nOut, block.n, block.haveAudio);
    correctionActive_ = true;
  }
}

// The filters run while the correction is active and while it fades out; they start from
// clean states each time they start again. Answers whether they ran.
bool SpectraPoise::runCorrectionFilters(const BlockBuffers& block) {
  if (!(correctionActive_ || wetMix_ > 0.0)) {
    filtersPrimed_ = false;
    return false;
  }
  if (!filtersPrimed_) {
    filters_.clearState();
    filtersPrimed_ = true;
  }
  updateFilterTargets();
  if (block.haveAudio)
    for (int start = 0; start < block.n; start += kChunkFrames)
      filterAndFade(block, start, std::min(kChunkFrames, block.n - start));
  return true;
}

// The published gains and the crossover parameters, unless one of them is not finite (the
// filters then keep their previous targets).
void SpectraPoise::updateFilterTargets() {
  const CorrectionGains gains = loadGains();
  const Crossovers xo = crossovers();
  const double sum = gains.tilt + gains.low + gains.loMid + gains.hiMid + gains.high + xo.low + xo.mid + xo.high;
  if (std::isfinite(sum)) filters_.setTargets(gains, xo);
}

// One chunk through the filters, put back dry when they gave a sample that is not finite,
// then mixed with the dry signal while the fade runs.
void SpectraPoise::filterAndFade(const BlockBuffers& block, int start, int length) {
  const int nCh = block.nCh;
  double dry[2][kChunkFrames];
  double* chunk[2];
  for (int c = 0; c < nCh; ++c) {
    chunk[c] = block.outputs[c] + start;
    std::memcpy(dry[c], chunk[c], sizeof(double) * static_cast<std::size_t>(length));
  }
  filters_.process(chunk, nCh, length);
  bool finite = true;
  for (int c = 0; c < nCh; ++c) finite = finite && std::isfinite(chunk[c][length - 1]);
  if (!finite) {
    // The chunk goes out dry and the filters start again from silence.
    filters_.clearState();
    for (int c = 0; c < nCh; ++c) std::memcpy(chunk[c], dry[c], sizeof(double) * static_cast<std::size_t>(length));
  }
  // Fully wet and staying so: the filtered chunk stands as it is.
  if (correctionActive_ && wetMix_ >= 1.0) return;
  for (int f = 0; f < length; ++f) {
    wetMix_ = correctionActive_ ? std::min(wetMix_ + wetStep_, 1.0) : std::max(wetMix_ - wetStep_, 0.0);
    if (wetMix_ >= 1.0) continue;
    for (int c = 0; c < nCh; ++c) {
      const double d = dry[c][f];
      chunk[c][f] = wetMix_ <= 0.0 ? d : d + (chunk[c][f] - d) * wetMix_;
    }
  }
}
