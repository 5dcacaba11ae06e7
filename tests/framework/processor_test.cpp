// The audio processor base: channel configurations, connections, buffer attachment in
// 32 and 64 bit, pass-through with the latency delay, and silence on disconnection.
#include <gtest/gtest.h>

#include <vector>

#include "framework/IPluginProcessor.h"

namespace {

using plugkit::ERoute;
using plugkit::IPluginProcessor;
using plugkit::kInput;
using plugkit::kOutput;

plugkit::Config configFor(const char* io, int latency = 0) {
  plugkit::Config c;
  c.channelIO = io;
  c.latency = latency;
  return c;
}

class Proc : public IPluginProcessor {
public:
  explicit Proc(const char* io, int latency = 0, int blockSize = 8)
      : IPluginProcessor(configFor(io, latency), plugkit::kAPIVST3) {
    InitLatencyDelay();
    SetBlockSize(blockSize);
  }
  bool SendMidiMsg(const plugkit::IMidiMsg&) override { return true; }
  // Doubles the input, so processing is told apart from pass-through.
  void ProcessBlock(double** in, double** out, int n) override {
    IPluginProcessor::ProcessBlock(in, out, n);
    for (int c = 0; c < MaxNChannels(kOutput); ++c)
      for (int s = 0; s < n; ++s) out[c][s] *= 2.0;
  }
};

TEST(ChannelConfigs, OneOneTwoTwo) {
  Proc p("1-1 2-2");
  int idx = -1;
  EXPECT_EQ(p.NIOConfigs(), 2);
  EXPECT_EQ(p.MaxNBuses(kInput, &idx), 1);
  EXPECT_EQ(idx, 1);  // on a tie the later configuration
  EXPECT_EQ(p.MaxNChannelsForBus(kInput, 0), 2);
  EXPECT_EQ(p.MaxNChannels(kInput), 2);
  EXPECT_EQ(p.MaxNChannels(kOutput), 2);
  struct Case {
    std::vector<int> in, out;
    int expected;
  } cases[] = {{{1}, {1}, 0}, {{2}, {2}, 1}, {{1}, {2}, -1}, {{2, 1}, {2}, -1}, {{}, {}, -1}};
  for (const Case& c : cases) EXPECT_EQ(p.GetIOConfigWithChanCounts(c.in, c.out), c.expected);
  EXPECT_TRUE(p.LegalIO(2, 2));
  EXPECT_TRUE(p.LegalIO(-1, 1));
  EXPECT_FALSE(p.LegalIO(1, 2));
}

TEST(ChannelConfigs, WildcardsRepeatsAndEmptyText) {
  Proc wildcard("*-2");
  EXPECT_EQ(wildcard.NIOConfigs(), 1);
  EXPECT_EQ(wildcard.MaxNChannels(kInput), 0);  // -64 does not raise the total
  EXPECT_EQ(wildcard.MaxNChannelsForBus(kInput, 0), -1);

  Proc repeated("2-2 2-2");
  EXPECT_EQ(repeated.NIOConfigs(), 2);
  EXPECT_EQ(repeated.GetIOConfigWithChanCounts({2}, {2}), 0);

  Proc sideChain("2.1-2 junk-2");
  EXPECT_EQ(sideChain.MaxNBuses(kInput), 2);
  EXPECT_EQ(sideChain.MaxNChannels(kInput), 3);
  EXPECT_EQ(sideChain.GetIOConfig(1)->NBuses(kInput), 0);  // a token that is not a number reads 0

  Proc none("");
  EXPECT_EQ(none.NIOConfigs(), 0);
  EXPECT_EQ(none.MaxNBuses(kOutput), 0);
  EXPECT_EQ(none.MaxNChannelsForBus(kOutput, 0), 0);
  EXPECT_EQ(none.GetIOConfigWithChanCounts({}, {}), -1);
  EXPECT_FALSE(none.LegalIO(-1, -1));
}

TEST(ChannelConfigs, BusNames) {
  Proc p("1-1");
  StringBuf name;
  p.GetBusName(kInput, 1, 2, name);
  EXPECT_STREQ(name.Get(), "Aux");
  p.GetBusName(kInput, 0, 2, name);
  EXPECT_STREQ(name.Get(), "Main");
  p.GetBusName(kInput, 0, 1, name);
  EXPECT_STREQ(name.Get(), "Input");
  p.GetBusName(kOutput, 1, 3, name);
  EXPECT_STREQ(name.Get(), "Output 1");
  p.GetBusName(kOutput, 0, 1, name);
  EXPECT_STREQ(name.Get(), "Output");
}

// 32-bit host buffers of two channels each way.
struct Host32 {
  std::vector<std::vector<float>> in, out;
  std::vector<float*> inPtr, outPtr;
  explicit Host32(int frames) : in(2, std::vector<float>(frames)), out(2, std::vector<float>(frames)) {
    for (int c = 0; c < 2; ++c) {
      inPtr.push_back(in[c].data());
      outPtr.push_back(out[c].data());
    }
  }
};

TEST(Buffers, DisconnectedOutputIsNeitherProcessedNorWrittenBack) {
  Proc p("2-2");
  Host32 host(4);
  host.in[0] = {1, 2, 3, 4};
  host.in[1] = {5, 6, 7, 8};
  host.out[1].assign(4, -99.0f);  // sentinel
  p.SetChannelConnections(kInput, 0, 2, true);
  p.SetChannelConnections(kOutput, 0, 1, true);
  p.SetChannelConnections(kOutput, 1, 1, false);
  p.AttachBuffers(kInput, 0, 2, host.inPtr.data(), 4);
  p.AttachBuffers(kOutput, 0, 1, host.outPtr.data(), 4);
  p.ProcessBuffers(0.0f, 4);
  EXPECT_EQ(host.out[0], (std::vector<float>{2, 4, 6, 8}));
  EXPECT_EQ(host.out[1], std::vector<float>(4, -99.0f));
}

TEST(Buffers, AttachNeverReadsMoreThanTheBlock) {
  Proc p("2-2", 0, 4);
  Host32 host(16);
  for (int s = 0; s < 16; ++s) host.in[0][s] = static_cast<float>(s);
  p.SetChannelConnections(kInput, 0, 2, true);
  p.SetChannelConnections(kOutput, 0, 2, true);
  p.AttachBuffers(kInput, 0, 2, host.inPtr.data(), 16);  // scratch holds 4: ASan watches
  p.AttachBuffers(kOutput, 0, 2, host.outPtr.data(), 16);
  p.ProcessBuffers(0.0f, 16);
  EXPECT_FLOAT_EQ(host.out[0][3], 6.0f);
  EXPECT_FLOAT_EQ(host.out[0][4], 0.0f);  // nothing past the block was written
}

TEST(Buffers, DisconnectingAnInputGivesSilenceNotTheLastBlock) {
  for (bool sixtyFour : {false, true}) {
    SCOPED_TRACE(sixtyFour ? "64-bit" : "32-bit");
    Proc p("1-1 2-2");
    Host32 host32(4);
    std::vector<std::vector<double>> in64(2, std::vector<double>(4, 1.0)), out64(2, std::vector<double>(4));
    double* in64Ptr[2] = {in64[0].data(), in64[1].data()};
    double* out64Ptr[2] = {out64[0].data(), out64[1].data()};
    for (auto& ch : host32.in) ch.assign(4, 1.0f);
    auto block = [&](int nIn) {
      p.SetChannelConnections(kInput, 0, nIn, true);
      p.SetChannelConnections(kInput, nIn, 2 - nIn, false);
      p.SetChannelConnections(kOutput, 0, 2, true);
      if (sixtyFour) {
        p.AttachBuffers(kInput, 0, nIn, in64Ptr, 4);
        p.AttachBuffers(kOutput, 0, 2, out64Ptr, 4);
        p.PassThroughBuffers(0.0, 4);
      } else {
        p.AttachBuffers(kInput, 0, nIn, host32.inPtr.data(), 4);
        p.AttachBuffers(kOutput, 0, 2, host32.outPtr.data(), 4);
        p.PassThroughBuffers(0.0f, 4);
      }
    };
    block(2);
    block(1);  // mono host bus: channel 1 disconnected
    if (sixtyFour) {
      EXPECT_EQ(out64[0], std::vector<double>(4, 1.0));
      EXPECT_EQ(out64[1], std::vector<double>(4, 0.0));
    } else {
      EXPECT_EQ(host32.out[0], std::vector<float>(4, 1.0f));
      EXPECT_EQ(host32.out[1], std::vector<float>(4, 0.0f));
    }
  }
}

TEST(Buffers, BypassDelaysByTheLatency) {
  Proc p("1-1", 3, 2);
  p.SetChannelConnections(kInput, 0, 1, true);
  p.SetChannelConnections(kOutput, 0, 1, true);
  std::vector<double> in(2), out(2);
  double* inPtr = in.data();
  double* outPtr = out.data();
  std::vector<double> seen;
  for (int b = 0; b < 3; ++b) {
    in = {b == 0 ? 1.0 : 0.0, 0.0};
    p.AttachBuffers(kInput, 0, 1, &inPtr, 2);
    p.AttachBuffers(kOutput, 0, 1, &outPtr, 2);
    p.PassThroughBuffers(0.0, 2);
    seen.insert(seen.end(), out.begin(), out.end());
  }
  EXPECT_EQ(seen, (std::vector<double>{0, 0, 0, 1, 0, 0}));

  p.SetLatency(0);  // without latency bypass is a plain copy
  in = {0.5, 0.25};
  p.AttachBuffers(kInput, 0, 1, &inPtr, 2);
  p.AttachBuffers(kOutput, 0, 1, &outPtr, 2);
  p.PassThroughBuffers(0.0, 2);
  EXPECT_EQ(out, in);
}

TEST(Buffers, SettingsAndLabels) {
  Proc p("2-2");
  EXPECT_DOUBLE_EQ(p.GetSampleRate(), 48000.0);
  EXPECT_DOUBLE_EQ(p.GetSamplesPerBeat(), 24000.0);
  p.SetBlockSize(IPluginProcessor::kMaxBlockSize * 4);
  EXPECT_EQ(p.GetBlockSize(), IPluginProcessor::kMaxBlockSize);
  p.SetChannelLabel(kInput, 1, "In %i", false);
  EXPECT_STREQ(p.GetChannelLabel(kInput, 1), "In 2");
  p.SetChannelLabel(kInput, 7, "ignored %i", true);
  p.SetChannelConnections(kInput, 5, 3, true);  // outside the channels: ignored
  EXPECT_EQ(p.NChannelsConnected(kInput), 0);
  EXPECT_EQ(p.GetAUPluginType(), ('a' << 24) | ('u' << 16) | ('f' << 8) | 'x');
}

}  // namespace
