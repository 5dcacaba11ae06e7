#include "plugin/meters.h"

#include <algorithm>
#include <cmath>

namespace spectrapoise::plugin {

namespace {

constexpr float kNoReading = -150.f;

enum Reading { kShortTerm = 0, kTruePeak3s = 1, kIntegrated = 2, kIntegratedSeconds = 3, kTruePeakSinceReset = 4 };

float peakDb(double linear) {
  if (!(linear > 0.0)) return kNoReading;
  return static_cast<float>(std::max(20.0 * std::log10(linear), -150.0));
}

}  // namespace

Meters::Meters() { truePeak_.designFilter(); }

void Meters::prepare(double fs) {
  loudness_.prepare(fs);
  truePeak_.prepare(fs);
  readings_.store(kShortTerm, kNoReading);
  readings_.store(kTruePeak3s, kNoReading);
  readings_.store(kIntegrated, kNoReading);
  readings_.store(kIntegratedSeconds, 0.f);
  readings_.store(kTruePeakSinceReset, kNoReading);
}

void Meters::honourResetRequest() {
  if (!resetRequest_.exchange(false)) return;
  loudness_.resetIntegrated();
  truePeak_.resetMaximum();
  readings_.store(kIntegrated, kNoReading);
  readings_.store(kIntegratedSeconds, 0.f);
  readings_.store(kTruePeakSinceReset, kNoReading);
}

void Meters::measure(double** channels, int nCh, int n) {
  const int steps = loudness_.process(channels, nCh, n);
  if (steps > 0) {
    readings_.store(kShortTerm, static_cast<float>(loudness_.shortTerm()));
    readings_.store(kIntegrated, static_cast<float>(loudness_.integrated()));
    readings_.store(kIntegratedSeconds, static_cast<float>(static_cast<double>(loudness_.stepsSinceReset()) * 0.1));
  }
  truePeak_.process(channels, nCh, n);
  readings_.store(kTruePeak3s, peakDb(truePeak_.peakLast3s()));
  readings_.store(kTruePeakSinceReset, peakDb(truePeak_.peakSinceReset()));
}

MeterReadings Meters::readings() const {
  return MeterReadings{readings_.load(kShortTerm), readings_.load(kTruePeak3s), readings_.load(kIntegrated),
                       readings_.load(kIntegratedSeconds), readings_.load(kTruePeakSinceReset)};
}

}  // namespace spectrapoise::plugin
