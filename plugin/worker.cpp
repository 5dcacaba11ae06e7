// The correction worker: while "Correct" is on it reads the input ring, analyses and fits on
// its own analyser and publishes the gains; while "Freeze" is on it publishes the frozen
// gains instead. Also the freeze capture, which turns the last live gains into the frozen
// parameters on the main thread.
#include "plugin/worker.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>

#include "plugin/SpectraPoise.h"

using namespace spectrapoise::plugin;
namespace dsp = spectrapoise::dsp;

namespace spectrapoise::plugin {

namespace {
constexpr std::size_t kPieceFrames = 4096;
}

CorrectionWorker::CorrectionWorker(SpectraPoise& plug)
    : plug_(plug),
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
    return plug_.options_.busySleepMs;
  }
}

dsp::CorrectionGains CorrectionWorker::memoFrozenGains() {
  const dsp::CorrectionSettings s = plug_.correctionSettings();
  auto value = [&](int idx) { return plug_.GetParam(idx)->Value(); };
  const std::array<double, 14> key{value(kFrozenTilt),  s.amount[0],          value(kLowCrossover),
                                   value(kMidCrossover), value(kHighCrossover), plug_.sampleRate(),
                                   value(kFrozenLow),   value(kFrozenLoMid),   value(kFrozenHiMid),
                                   value(kFrozenHigh),  s.amount[1],          s.amount[2],
                                   s.amount[3],         s.amount[4]};
  bool same = true;
  for (std::size_t i = 0; i < key.size(); ++i) same = same && key[i] == memoKey_[i];
  if (!same) {
    memoGains_ = plug_.frozenGains();
    memoKey_ = key;
  }
  return memoGains_;
}

int CorrectionWorker::pass() {
  SpectraPoise& p = plug_;
  const int busy = p.options_.busySleepMs;
  const int idle = p.options_.idleSleepMs;
  const bool wanted = p.correctionWanted();
  const bool freezeOn = p.paramOn(kFreeze);
  const bool freezeHolds = freezeOn && p.freezeLatched_.load() && !p.freezeCaptureRequested();

  if (wanted && p.offlineRendering_.load(std::memory_order_relaxed)) {
    // The audio thread analyses inline meanwhile.
    idleSeconds_ = 0.0;
    return idle;
  }

  if (wanted) {
    const double rate = p.sampleRate();
    if (!(rate == rate_)) {
      rate_ = rate;
      analyser_->prepare(rate);
      live_ = false;
    }

    if (freezeOn) {
      p.workerRing_.skipToWrite();
      // While a capture is pending nothing is published: the last live gains stay for it.
      if (freezeHolds) {
        const dsp::CorrectionGains g = memoFrozenGains();
        p.publishGains(g);
        p.rememberGains(g);
      }
      cameFromFreeze_ = true;
      idleSeconds_ = 0.0;
      live_ = true;
      return busy;
    }

    if (!live_) {
      analyser_->reset();
      p.publishGains({});
    } else if (cameFromFreeze_) {
      analyser_->reset(p.loadGains());
    }

    analyser_->setSettings(p.correctionSettings());
    dsp::BandCurve curve;
    p.copyTargetCurve(curve);
    analyser_->setTargetCurve(curve);

    // The frames present now: audio arriving meanwhile waits for the next pass, so a pass
    // always ends and publishes even when audio comes faster than it is analysed.
    const std::uint64_t end = p.workerRing_.writePosition();
    for (;;) {
      const std::uint64_t remaining = end - std::min(end, p.workerRing_.readPosition());
      const std::size_t n = p.workerRing_.read(left_.data(), right_.data(),
                                               static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kPieceFrames)));
      if (n == 0) break;
      if (onDrainPiece) onDrainPiece(n);
      for (std::size_t i = 0; i < n; ++i) analyser_->push(left_[i], right_[i]);
    }

    const dsp::CorrectionGains g = analyser_->gains();
    p.publishGains(g);
    p.rememberGains(g);
    const std::array<double, 4> holds = analyser_->holdLevels();
    for (std::size_t i = 0; i < 4; ++i) p.holdLevels_.store(i, static_cast<float>(holds[i]));
    live_ = true;
    cameFromFreeze_ = false;
    idleSeconds_ = 0.0;
    return busy;
  }

  // Not wanted.
  p.workerRing_.skipToWrite();
  if (p.paramOn(kCorrect) && p.paramOn(kBypass) && !freezeOn) {
    idleSeconds_ = 0.0;  // bypassed: the gains stay as they are
    return idle;
  }
  if (freezeHolds) {
    p.publishGains(memoFrozenGains());
    cameFromFreeze_ = true;
    idleSeconds_ = 0.0;
    live_ = true;
    return idle;
  }
  if (live_) {
    // Winding down: the gains go to 0 on the second idle pass.
    idleSeconds_ += 0.05;
    if (idleSeconds_ >= 0.1) {
      p.publishGains({});
      live_ = false;
    }
    return idle;
  }
  live_ = false;
  return idle;
}

}  // namespace spectrapoise::plugin

void SpectraPoise::correctionWorker() {
  std::unique_ptr<CorrectionWorker> worker;
  while (!stop_.load()) {
    try {
      if (!worker) worker = std::make_unique<CorrectionWorker>(*this);
    } catch (const std::exception&) {
      sleepUnlessStopped(options_.idleSleepMs);  // out of memory: try again later
      continue;
    }
    sleepUnlessStopped(worker->runPass());
  }
}

// Freeze -------------------------------------------------------------------------------

void SpectraPoise::OnParamChange(int paramIdx, plugkit::EParamSource source, int) {
  if (paramIdx == kFreeze) {
    const bool on = GetParam(kFreeze)->Value() >= 0.5;
    const bool fromUser = source == plugkit::kHost || source == plugkit::kUI;
    if (fromUser && on && !freezeLatched_.load()) {
      // A new generation with the request bit set.
      std::uint64_t s = freezeRequest_.load();
      while (!freezeRequest_.compare_exchange_weak(s, ((s >> 1) + 1) << 1 | 1u)) {
      }
    }
    if (!on) freezeRequest_.fetch_and(~std::uint64_t{1});
    freezeLatched_.store(on);
    return;
  }
  for (const int frozen : kFrozenParams) {
    if (paramIdx != frozen) continue;
    // A frozen value set by hand, by the host or by a preset wins over a pending capture.
    if (!captureInProgress_.load()) freezeRequest_.fetch_and(~std::uint64_t{1});
    return;
  }
}

void SpectraPoise::captureFreeze() {
  const std::uint64_t request = freezeRequest_.load();
  if ((request & 1u) == 0) return;

  const CorrectionGains remembered = rememberedGains();
  std::array<double, 5> values{};
  for (std::size_t i = 0; i < 5; ++i) {
    const double amount = GetParam(kAmountParams[i])->Value() / 100.0;
    values[i] = amount > 0.0 ? std::clamp(remembered[i] / amount, -24.0, 24.0) : 0.0;
  }

  captureInProgress_.store(true);
  for (std::size_t i = 0; i < 5; ++i) setFromPanel(kFrozenParams[i], values[i]);
  captureInProgress_.store(false);

  // Cleared only when nothing happened meanwhile: a request raised again during the
  // capture (Freeze off and on) is taken on the next tick.
  std::uint64_t expected = request;
  freezeRequest_.compare_exchange_strong(expected, request & ~std::uint64_t{1});
}
