// process() of the pass-through test plug-in through its VST3 interface (stereo 32-bit,
// 18 one-point parameter queues) next to plain float->double->float loops over the same
// samples; and setState of a 16 KB state read in 128-byte blocks.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "tests/support/test_plugin/test_plugin.h"
#include "tools/testhost/plugin_host.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::unique_ptr<testhost::Plugin> makePlugin(sp::test::TestPlugin* plug) {
  std::string error;
  auto host = testhost::Plugin::adopt(static_cast<IAudioProcessor*>(plug), error);
  host->initialize(nullptr);
  return host;
}

void BM_Process_Stereo32_18Queues(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto host = makePlugin(new sp::test::TestPlugin());
  host->setup(48000, n, kSample32);
  host->start();
  testhost::AudioBlock block(2, 2, n, kSample32);
  block.fillIn(0.25);
  block.setFrames(n);
  testhost::ParameterChanges changes;
  for (ParamID id = 0; id < 18; ++id) changes.add(id, n / 2, 0.3);
  for (auto _ : state) {
    host->process(block, &changes);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Process_Stereo32_18Queues)->Arg(64)->Arg(512);

template <class From, class To>
void plainConvert(const From* __restrict in, To* __restrict out, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8)
    for (int k = 0; k < 8; ++k) out[i + k] = static_cast<To>(in[i + k]);
  for (; i < n; ++i) out[i] = static_cast<To>(in[i]);
}

// The anchor: the same samples converted in, copied, and converted back.
void BM_Anchor_PlainLoops(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<float> in0(n, 0.25f), in1(n, 0.25f), out0(n), out1(n);
  std::vector<double> s0(n), s1(n), o0(n), o1(n);
  for (auto _ : state) {
    plainConvert(in0.data(), s0.data(), n);
    plainConvert(in1.data(), s1.data(), n);
    benchmark::ClobberMemory();
    plainConvert(s0.data(), o0.data(), n);
    plainConvert(s1.data(), o1.data(), n);
    benchmark::ClobberMemory();
    plainConvert(o0.data(), out0.data(), n);
    plainConvert(o1.data(), out1.data(), n);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Anchor_PlainLoops)->Arg(64)->Arg(512);

// A plug-in whose state carries 16 KB besides its parameters.
struct BigState : sp::test::TestPlugin {
  std::string extra = std::string(16 * 1024 - 148, 'x');
  bool SerializeState(plugkit::IByteChunk& chunk) const override {
    return SerializeParams(chunk) && chunk.PutBytes(extra.data(), static_cast<int>(extra.size()));
  }
  int UnserializeState(const plugkit::IByteChunk& chunk, int pos) override {
    pos = UnserializeParams(chunk, pos);
    if (pos < 0) return -1;
    return chunk.GetBytes(extra.data(), static_cast<int>(extra.size()), pos);
  }
};

void BM_SetState_16KB_128ByteReads(benchmark::State& state) {
  auto* plug = new BigState();
  auto host = makePlugin(plug);
  bool ok = false;
  const std::string bytes = host->getState(&ok);
  if (!ok || bytes.size() < 16000) state.SkipWithError("no state");
  for (auto _ : state) {
    testhost::ScriptedStream stream(bytes);  // hands out what is asked: 128 bytes per read
    if (host->component()->setState(&stream) != kResultOk) state.SkipWithError("setState failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_SetState_16KB_128ByteReads)->Unit(benchmark::kMicrosecond);

}  // namespace
