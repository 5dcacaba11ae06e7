// Anchors in the same run: a bare std::exp for the exponential parameter mapping, and
// plain float->double->float loops for the processor's 32-bit buffer path.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "framework/IPluginProcessor.h"
#include "tests/support/test_plugin/test_plugin.h"

namespace {

// Parameter 2 ("Low Crossover", 60..800 Hz, exponential).
void BM_FromNormalized_ShapeExp(benchmark::State& state) {
  sp::test::TestPlugin plug;
  const plugkit::IParam& param = *plug.GetParam(2);
  double n = 0.0;
  for (auto _ : state) {
    n += 0.000123;
    if (n > 1.0) n -= 1.0;
    benchmark::DoNotOptimize(param.FromNormalized(n));
  }
}
BENCHMARK(BM_FromNormalized_ShapeExp);

void BM_Anchor_BareExp(benchmark::State& state) {
  const double mul = std::log(800.0 / 60.0), add = std::log(60.0);
  double n = 0.0;
  for (auto _ : state) {
    n += 0.000123;
    if (n > 1.0) n -= 1.0;
    benchmark::DoNotOptimize(std::exp(n * mul + add));
  }
}
BENCHMARK(BM_Anchor_BareExp);

// Plain loops in runs of eight, as the processor writes them, so both sides get vector code.
template <class From, class To>
void plainConvert(const From* __restrict in, To* __restrict out, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8)
    for (int k = 0; k < 8; ++k) out[i + k] = static_cast<To>(in[i + k]);
  for (; i < n; ++i) out[i] = static_cast<To>(in[i]);
}

class PassProc : public plugkit::IPluginProcessor {
public:
  explicit PassProc(const plugkit::Config& c) : IPluginProcessor(c, plugkit::kAPIVST3) {}
  bool SendMidiMsg(const plugkit::IMidiMsg&) override { return true; }
};

// Attach 32-bit stereo input and output, process (the default copy), convert back.
void BM_AttachAndProcess_Float(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  plugkit::Config config;
  config.channelIO = "2-2";
  PassProc proc(config);
  proc.SetBlockSize(n);
  proc.SetChannelConnections(plugkit::kInput, 0, 2, true);
  proc.SetChannelConnections(plugkit::kOutput, 0, 2, true);
  std::vector<float> in0(n, 0.25f), in1(n, -0.5f), out0(n), out1(n);
  float* ins[2] = {in0.data(), in1.data()};
  float* outs[2] = {out0.data(), out1.data()};
  for (auto _ : state) {
    proc.AttachBuffers(plugkit::kInput, 0, 2, ins, n);
    proc.AttachBuffers(plugkit::kOutput, 0, 2, outs, n);
    proc.ProcessBuffers(0.0f, n);
    benchmark::DoNotOptimize(out0.data());
    benchmark::DoNotOptimize(out1.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AttachAndProcess_Float)->Arg(64)->Arg(512);

// The same work in plain loops: convert in, copy, convert back.
void BM_Anchor_PlainLoops(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<float> in0(n, 0.25f), in1(n, -0.5f), out0(n), out1(n);
  std::vector<double> s0(n), s1(n), o0(n), o1(n);
  for (auto _ : state) {
    plainConvert(in0.data(), s0.data(), n);
    plainConvert(in1.data(), s1.data(), n);
    benchmark::DoNotOptimize(s0.data());
    benchmark::DoNotOptimize(s1.data());
    plainConvert(s0.data(), o0.data(), n);
    plainConvert(s1.data(), o1.data(), n);
    benchmark::DoNotOptimize(o0.data());
    benchmark::DoNotOptimize(o1.data());
    plainConvert(o0.data(), out0.data(), n);
    plainConvert(o1.data(), out1.data(), n);
    benchmark::DoNotOptimize(out0.data());
    benchmark::DoNotOptimize(out1.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Anchor_PlainLoops)->Arg(64)->Arg(512);

}  // namespace
