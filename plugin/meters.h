#pragma once
// Loudness (short-term and integrated) and true peak of the plug-in's corrected output, with
// the readings they publish for the panel, the panel's reset request and its choice between
// short-term and integrated display.
//
// Threads: prepare and measure on the audio thread (prepare also before processing starts);
// readings, the reset request and the display flag from any thread, without a lock.
#include <atomic>

#include "engine/dsp/loudness_meter.h"
#include "engine/dsp/true_peak_meter.h"
#include "plugin/atomic_floats.h"
#include "plugin/meter_readings.h"

namespace spectrapoise::plugin {

class Meters {
public:
  // Designs the true-peak interpolator; prepare before the first measure.
  Meters();

  // Both meters for the rate, their histories cleared; every reading back to "none".
  void prepare(double fs);
  // Takes the panel's reset request: the integrated measurement and the true peak since
  // the last reset start again. Once per request, also while bypassed.
  void honourResetRequest();
  // Meters the first nCh channels of the block and publishes the readings.
  void measure(double** channels, int nCh, int n);

  MeterReadings readings() const;
  void requestReset() { resetRequest_.store(true); }
  bool integratedDisplay() const { return integratedDisplay_.load(); }
  // Answers the previous mode.
  bool setIntegratedDisplay(bool integrated) { return integratedDisplay_.exchange(integrated); }

private:
  dsp::ShortTermLoudness loudness_;
  dsp::TruePeak truePeak_;
  AtomicFloats<5> readings_;
  std::atomic<bool> resetRequest_{false};
  std::atomic<bool> integratedDisplay_{false};
};

}  // namespace spectrapoise::plugin
