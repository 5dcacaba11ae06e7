#pragma once
// The correction worker: its state and one pass of its loop. While "Correct" is on it reads
// the input ring, analyses and fits on its own analyser and publishes the gains; while
// "Freeze" is on it publishes the frozen gains instead. The plug-in runs passes on its
// worker thread; tests and benchmarks run them one at a time on a thread of their own
// (with the plug-in's worker thread not started).
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "engine/dsp/correction_fit.h"
#include "engine/dsp/engine_types.h"

namespace spectrapoise::plugin {

class CorrectionLink;

// What the worker reads of its plug-in (parameters, rate, target), the link it drains and
// publishes through, and how long it sleeps between passes. Every call may come from the
// worker thread while the other threads run; none takes a lock but copyTargetCurve.
class WorkerPort {
public:
  virtual bool correctionWanted() const = 0;
  // A switch parameter is on at 0.5 and above.
  virtual bool paramOn(int paramIdx) const = 0;
  virtual double paramValue(int paramIdx) const = 0;
  virtual dsp::CorrectionSettings correctionSettings() const = 0;
  virtual dsp::CorrectionGains frozenGains() const = 0;
  virtual double sampleRate() const = 0;
  virtual void copyTargetCurve(dsp::BandCurve& curve) const = 0;
  virtual CorrectionLink& correctionLink() = 0;
  // Milliseconds to sleep after a working pass and after an idle one.
  virtual int busySleepMs() const = 0;
  virtual int idleSleepMs() const = 0;

protected:
  ~WorkerPort() = default;
};

class CorrectionWorker {
public:
  // Allocates everything a pass needs.
  explicit CorrectionWorker(WorkerPort& port);

  // One pass; answers how long to sleep before the next (the port's busy or idle sleep).
  // A standard exception ends the pass and makes the next one prepare again.
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

  WorkerPort& port_;
  CorrectionLink& link_;
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
