#pragma once
// Runs SpectraPoise inside the headless test host on real audio: an audio file, or a demo
// signal (pink noise with a tonal imbalance). The plug-in is the bundle's own code linked
// into this program and created through the module's factory; the host drives it through
// its VST3 interfaces, and the meters and correction gains are read from the object.
#include <cstdio>
#include <string>
#include <vector>

namespace runplugin {

struct Options {
  std::string input;        // WAV, AIFF, FLAC or MP3; empty: the demo signal
  double demoSeconds = 20.0;
  std::string output;       // processed file (32-bit float WAV); empty: chosen from outDir
  std::string outDir = ".";
  int block = 512;          // frames per process call
  bool offline = false;     // the host's offline process mode
  bool correct = true;      // "Correct" on
  double amount = -1.0;     // all five "Correct" amounts in percent; < 0 keeps the defaults
  double speed = -1.0;      // "Correct Speed" in seconds; < 0 keeps the default
};

// Runs; progress lines go to `out`. False with an error text on failure.
bool run(const Options& options, std::FILE* out, std::string& error);

// The demo signal: pink noise made dull and boomy (fixed seed), stereo, at `rate`.
void demoSignal(double seconds, double rate, std::vector<float>& left, std::vector<float>& right);

}  // namespace runplugin
