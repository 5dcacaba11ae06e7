// While the host renders offline the audio thread does the worker's job itself: the block's
// input goes through the plug-in's own analyser, which fits and smooths the gains, and the
// gains are published before the correction filters of the same block read them.
#include <algorithm>

#include "plugin/SpectraPoise.h"

using namespace spectrapoise::plugin;

void SpectraPoise::offlineCorrection(double** outputs, int nOut, int n, bool haveAudio) {
  CorrectionGains g = loadGains();

  if (paramOn(kFreeze)) {
    // With a capture pending the last live gains stay in place for it.
    if (link_.freezeHolds()) g = frozenGains();
    offlinePrimed_ = true;
    offlineWasFrozen_ = true;
  } else {
    if (!offlinePrimed_) {
      offlineAnalyser_.reset();
      offlinePrimed_ = true;
    } else if (offlineWasFrozen_) {
      // Continue from the gains held while frozen.
      offlineAnalyser_.reset(g);
    }
    offlineWasFrozen_ = false;

    offlineAnalyser_.setSettings(correctionSettings());
    // The one lock on the audio thread: the target's curve, copied without allocating.
    BandCurve curve;
    copyTargetCurve(curve);
    offlineAnalyser_.setTargetCurve(curve);

    // The output buffers still hold the input: the filters have not run yet.
    if (haveAudio) {
      constexpr int kPiece = 512;
      float left[kPiece];
      float right[kPiece];
      const double* l = outputs[0];
      const double* r = nOut > 1 ? outputs[1] : outputs[0];
      for (int start = 0; start < n; start += kPiece) {
        const int len = std::min(kPiece, n - start);
        for (int i = 0; i < len; ++i) {
          left[i] = static_cast<float>(l[start + i]);
          right[i] = static_cast<float>(r[start + i]);
        }
        offlineAnalyser_.push(left, right, static_cast<std::size_t>(len));
      }
    }
    g = offlineAnalyser_.gains();
    link_.publishHoldLevels(offlineAnalyser_.holdLevels());
  }

  publishGains(g);
  rememberGains(g);
}
