#pragma once
// The meter readings the audio thread publishes and the panel's loudness meter shows.

namespace spectrapoise::plugin {

struct MeterReadings {
  float shortTerm = -150.f;           // LUFS
  float truePeak3s = -150.f;          // dBTP, largest of the last 3 s
  float integrated = -150.f;          // LUFS
  float integratedSeconds = 0.f;      // length of the integrated measurement
  float truePeakSinceReset = -150.f;  // dBTP
};

}  // namespace spectrapoise::plugin
