#pragma once
// Test signals for the analysis suites: periodic noise with an exact spectral slope, made by
// inverse transform of unit-magnitude spectra with random phases (fixed seeds).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sp::test {

// Noise of `length` samples (a power of two) whose power density falls by `slopeDbPerOctave`
// per octave (0 white, 3.0103 pink), with no content below `lowestHz` at `sampleRate`, scaled
// to the given RMS. The signal repeats seamlessly after `length` samples.
std::vector<float> shapedNoise(std::size_t length, double slopeDbPerOctave, double sampleRate,
                               double lowestHz, double rms, std::uint32_t seed);

// Shared pink and white buffers of 2^20 samples per channel (left and right independent),
// rms 0.1, computed once per process.
struct StereoNoise {
  std::vector<float> left;
  std::vector<float> right;
};
const StereoNoise& pinkNoise();
const StereoNoise& whiteNoise();

}  // namespace sp::test
