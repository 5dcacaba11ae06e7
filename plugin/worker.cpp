// The correction worker's pass: drain the input ring into the analyser and publish the
// fitted gains, or publish the frozen gains, or wind down.
#include "plugin/worker.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <limits>

#include "plugin/correction_link.h"
#include "plugin/parameters.h"

namespace spectrapoise::plugin {

namespace {
constexpr std::size_t kPieceFrames = 4096;
}

CorrectionWorker::CorrectionWorker(WorkerPort& port)
    : port_(port),
      link_(port.correctionLink()),
      analyser_(std::make_unique<dsp::CorrectionAnalyser>()),
      left_(kPieceFrames),
      right_(kPieceFrames) {
  memoKey_.fill(std::numeric_limits<double>::quiet_NaN());
}

int CorrectionWorker::runPass() {
  try {
    return pass();
  } catch (const std::exception&) {
    rate_ = 0.0;  // the next pass prepares the analyser again
    return port_.busySleepMs();
  }
}

dsp::CorrectionGains CorrectionWorker::memoFrozenGains() {
  const dsp::CorrectionSettings s = port_.correctionSettings();
  auto value = [&](int idx) { return port_.paramValue(idx); };
  const std::array<double, 14> key{value(kFrozenTilt),  s.amount[0],          value(kLowCrossover),
                                   value(kMidCrossover), value(kHighCrossover), port_.sampleRate(),
                                   value(kFrozenLow),   value(kFrozenLoMid),   value(kFrozenHiMid),
                                   value(kFrozenHigh),  s.amount[1],          s.amount[2],
                                   s.amount[3],         s.amount[4]};
  bool same = true;
  for (std::size_t i = 0; i < key.size(); ++i) same = same && key[i] == memoKey_[i];
  if (!same) {
    memoGains_ = port_.frozenGains();
    memoKey_ = key;
  }
  return memoGains_;
}

int CorrectionWorker::pass() {
  const int busy = port_.busySleepMs();
  const int idle = port_.idleSleepMs();
  const bool wanted = port_.correctionWanted();
  const bool freezeOn = port_.paramOn(kFreeze);
  const bool freezeHolds = freezeOn && link_.freezeHolds();

  if (wanted && link_.offlineRendering()) {
    // The audio thread analyses inline meanwhile.
    idleSeconds_ = 0.0;
    return idle;
  }

  if (wanted) {
    const double rate = port_.sampleRate();
    if (!(rate == rate_)) {
      rate_ = rate;
      analyser_->prepare(rate);
      live_ = false;
    }

    if (freezeOn) {
      link_.workerRing.skipToWrite();
      // While a capture is pending nothing is published: the last live gains stay for it.
      if (freezeHolds) {
        const dsp::CorrectionGains g = memoFrozenGains();
        link_.publishGains(g);
        link_.rememberGains(g);
      }
      cameFromFreeze_ = true;
      idleSeconds_ = 0.0;
      live_ = true;
      return busy;
    }

    if (!live_) {
      analyser_->reset();
      link_.publishGains({});
    } else if (cameFromFreeze_) {
      analyser_->reset(link_.loadGains());
    }

    analyser_->setSettings(port_.correctionSettings());
    dsp::BandCurve curve;
    port_.copyTargetCurve(curve);
    analyser_->setTargetCurve(curve);

    // The frames present now: audio arriving meanwhile waits for the next pass, so a pass
    // always ends and publishes even when audio comes faster than it is analysed.
    SampleRing& ring = link_.workerRing;
    const std::uint64_t end = ring.writePosition();
    for (;;) {
      const std::uint64_t remaining = end - std::min(end, ring.readPosition());
      const std::size_t n = ring.read(left_.data(), right_.data(),
                                      static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kPieceFrames)));
      if (n == 0) break;
      if (onDrainPiece) onDrainPiece(n);
      analyser_->push(left_.data(), right_.data(), n);
    }

    const dsp::CorrectionGains g = analyser_->gains();
    link_.publishGains(g);
    link_.rememberGains(g);
    link_.publishHoldLevels(analyser_->holdLevels());
    live_ = true;
    cameFromFreeze_ = false;
    idleSeconds_ = 0.0;
    return busy;
  }

  // Not wanted.
  link_.workerRing.skipToWrite();
  if (port_.paramOn(kCorrect) && port_.paramOn(kBypass) && !freezeOn) {
    idleSeconds_ = 0.0;  // bypassed: the gains stay as they are
    return idle;
  }
  if (freezeHolds) {
    link_.publishGains(memoFrozenGains());
    cameFromFreeze_ = true;
    idleSeconds_ = 0.0;
    live_ = true;
    return idle;
  }
  if (live_) {
    // Winding down: the gains go to 0 on the second idle pass.
    idleSeconds_ += 0.05;
    if (idleSeconds_ >= 0.1) {
      link_.publishGains({});
      live_ = false;
    }
    return idle;
  }
  live_ = false;
  return idle;
}

}  // namespace spectrapoise::plugin
