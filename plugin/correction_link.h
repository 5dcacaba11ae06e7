#pragma once
// What the audio thread, the correction worker and the main thread share about the
// correction: the ring of input the audio thread hands the worker, the five gains the
// audio thread applies (published by the worker, or by the audio thread itself while the
// host renders offline), the last live gains kept for a freeze capture, the analyser's
// region hold levels for the panel, the offline-rendering flag, and the freeze latch with
// its capture request.
//
// Threads: every value is an atomic or a ring position and is read without a lock; each
// has one writer, named at its accessor. Nothing here allocates after construction.
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "engine/dsp/engine_types.h"
#include "plugin/atomic_floats.h"
#include "plugin/sample_ring.h"

namespace spectrapoise::plugin {

class CorrectionLink {
public:
  // Region hold levels start at 1.0: no region is held before the first analysis.
  CorrectionLink();

  // Audio thread to worker: the block's input while the worker corrects.
  SampleRing workerRing;

  // The gains the correction filters apply, in band order (written by the worker or the
  // offline analysis).
  dsp::CorrectionGains loadGains() const { return load(published_); }
  void publishGains(const dsp::CorrectionGains& gains) { store(published_, gains); }
  // The last live gains, which a freeze capture turns into the frozen parameters.
  dsp::CorrectionGains rememberedGains() const { return load(remembered_); }
  void rememberGains(const dsp::CorrectionGains& gains) { store(remembered_, gains); }
  // The analyser's four region hold levels, for the panel's readouts.
  std::array<float, 4> holdLevels() const;
  void publishHoldLevels(const std::array<double, 4>& levels);

  // The host renders offline (the audio thread's copy; the worker idles meanwhile).
  bool offlineRendering() const { return offlineRendering_.load(std::memory_order_relaxed); }
  void setOfflineRendering(bool offline) { offlineRendering_.store(offline, std::memory_order_relaxed); }

  // Freeze: "Freeze" was on at its last change (written by the parameter-change hook).
  bool freezeLatched() const { return freezeLatched_.load(); }
  void setFreezeLatched(bool on) { freezeLatched_.store(on); }
  // The frozen gains apply: frozen, and no capture waits for the last live gains.
  bool freezeHolds() const { return freezeLatched() && !freezeCaptureRequested(); }

  // The main thread is to capture the last live gains into the frozen parameters. The
  // request carries a generation count, so one raised while a capture runs is never lost.
  bool freezeCaptureRequested() const { return (freezeRequest_.load() & 1u) != 0; }
  void requestFreezeCapture();
  void dropFreezeCaptureRequest() { freezeRequest_.fetch_and(~std::uint64_t{1}); }
  // The raised request as it stands when a capture starts (nothing when none is raised);
  // completeFreezeCapture clears it only when no new request was raised since.
  std::optional<std::uint64_t> pendingFreezeCapture() const;
  void completeFreezeCapture(std::uint64_t pending);
  // Set while the capture writes the frozen parameters, so their changes keep the request.
  bool captureInProgress() const { return captureInProgress_.load(); }
  void setCaptureInProgress(bool running) { captureInProgress_.store(running); }

private:
  static dsp::CorrectionGains load(const AtomicFloats<5>& from);
  static void store(AtomicFloats<5>& to, const dsp::CorrectionGains& gains);

  AtomicFloats<5> published_;
  AtomicFloats<5> remembered_;
  AtomicFloats<4> holdLevels_;
  std::atomic<bool> offlineRendering_{false};
  std::atomic<bool> freezeLatched_{false};
  std::atomic<std::uint64_t> freezeRequest_{0};
  std::atomic<bool> captureInProgress_{false};
};

}  // namespace spectrapoise::plugin
