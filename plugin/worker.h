#pragma once
// The correction worker's state and one pass of its loop. The plug-in runs passes on its
// worker thread; tests run them one at a time on their own thread (with the plug-in's
// thread not started).
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "engine/dsp/correction_fit.h"

class SpectraPoise;

namespace spectrapoise::plugin {

class CorrectionWorker {
public:
  // Allocates everything a pass needs.
  explicit CorrectionWorker(SpectraPoise& plug);

  // One pass; answers how long to sleep before the next (the plug-in's busy or idle
  // sleep). A standard exception ends the pass and makes the next one prepare again.
  int runPass();

  // State, for tests.
  double rate() const { return rate_; }
  bool live() const { return live_; }
  const dsp::CorrectionAnalyser& analyser() const { return *analyser_; }
  // Called with the size of every piece drained from the ring.
  std::function<void(std::size_t frames)> onDrainPiece;

private:
  int pass();
  dsp::CorrectionGains memoFrozenGains();

  SpectraPoise& plug_;
  std::unique_ptr<dsp::CorrectionAnalyser> analyser_;
  std::vector<float> left_;
  std::vector<float> right_;
  double rate_ = 0.0;
  bool live_ = false;
  bool cameFromFreeze_ = false;
  double idleSeconds_ = 0.0;
  std::array<double, 14> memoKey_;
  dsp::CorrectionGains memoGains_{};
};

}  // namespace spectrapoise::plugin
