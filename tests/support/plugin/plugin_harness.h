#pragma once
// Helpers for the plug-in suites: an instance held by reference count, stereo buffers and
// direct block processing, host-style parameter changes, and test signals.
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "plugin/SpectraPoise.h"

namespace sp::test {

struct ReleasePlug {
  void operator()(SpectraPoise* plug) const {
    if (plug != nullptr) plug->release();
  }
};
using PlugPtr = std::unique_ptr<SpectraPoise, ReleasePlug>;

// An instance without its worker thread unless asked (the tests drive the worker's
// passes themselves or set the published gains directly).
inline PlugPtr makePlug(bool startWorker = false) {
  SpectraPoise::Options options;
  options.startWorker = startWorker;
  return PlugPtr(new SpectraPoise(plugkit::InstanceInfo{}, options));
}

// Connects channels as the host's buses would.
inline void connect(SpectraPoise& plug, int nIn, int nOut) {
  plug.SetChannelConnections(plugkit::kInput, 0, plug.MaxNChannels(plugkit::kInput), false);
  plug.SetChannelConnections(plugkit::kOutput, 0, plug.MaxNChannels(plugkit::kOutput), false);
  plug.SetChannelConnections(plugkit::kInput, 0, nIn, true);
  plug.SetChannelConnections(plugkit::kOutput, 0, nOut, true);
}

inline void resetAt(SpectraPoise& plug, double rate) {
  plug.SetSampleRate(rate);
  plug.OnReset();
}

// A parameter change as the host applies it inside process (audio thread, source host).
inline void hostSet(SpectraPoise& plug, int idx, double value) {
  plug.GetParam(idx)->Set(value);
  plug.OnParamChange(idx, plugkit::kHost, 0);
}

// A stereo signal of doubles.
struct Stereo {
  std::vector<double> left;
  std::vector<double> right;
  explicit Stereo(std::size_t n = 0) : left(n), right(n) {}
  std::size_t size() const { return left.size(); }
};

// Processes [start, start + n) of `in` into the same range of `out`, with separate input
// and output buffers (as a host with distinct buses).
inline void processRange(SpectraPoise& plug, const Stereo& in, Stereo& out, std::size_t start, int n) {
  double* inputs[2] = {const_cast<double*>(in.left.data() + start), const_cast<double*>(in.right.data() + start)};
  double* outputs[2] = {out.left.data() + start, out.right.data() + start};
  plug.ProcessBlock(inputs, outputs, n);
}

// The whole signal in blocks of `block` frames.
inline Stereo processAll(SpectraPoise& plug, const Stereo& in, int block) {
  Stereo out(in.size());
  for (std::size_t start = 0; start < in.size(); start += static_cast<std::size_t>(block)) {
    const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(block), in.size() - start));
    processRange(plug, in, out, start, n);
  }
  return out;
}

// Pink-ish noise (three-pole filtered white noise, about -3 dB per octave over the audio
// band), independent channels, given RMS.
Stereo pinkNoise(std::size_t frames, double rms, std::uint32_t seed);
// `in` coloured by the correction cascade with these gains (both channels).
Stereo coloured(const Stereo& in, const spectrapoise::dsp::CorrectionGains& gains, double rate);
// A sine of the given frequency and RMS on both channels.
Stereo sine(std::size_t frames, double frequency, double rate, double rms);

}  // namespace sp::test
