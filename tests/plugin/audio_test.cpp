// The audio thread's block: input copy, the correction filters behind the 20 ms fade, the
// three rings, the meters and their reset, and blocks without buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/correction_filters.h"
#include "tests/support/plugin/plugin_harness.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
namespace dsp = spectrapoise::dsp;

bool bitEqual(const std::vector<double>& a, const std::vector<double>& b, std::size_t from, std::size_t to) {
  return std::memcmp(a.data() + from, b.data() + from, (to - from) * sizeof(double)) == 0;
}

// The input run through a freshly prepared cascade for these gains.
Stereo freshFiltered(const Stereo& in, std::size_t from, std::size_t to, const dsp::CorrectionGains& gains,
                     double rate) {
  dsp::CorrectionFilters f;
  f.prepare(rate);
  f.setTargets(gains, dsp::Crossovers{});
  Stereo out(to - from);
  std::copy(in.left.begin() + from, in.left.begin() + to, out.left.begin());
  std::copy(in.right.begin() + from, in.right.begin() + to, out.right.begin());
  double* ch[2] = {out.left.data(), out.right.data()};
  f.process(ch, 2, static_cast<int>(out.size()));
  return out;
}

TEST(Audio, CorrectionWithZeroGainsIsBitExact) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  resetAt(*plug, 48000.0);
  hostSet(*plug, kCorrect, 1.0);
  const Stereo in = pinkNoise(20000, 0.2, 1);
  for (const int block : {64, 333, 4096}) {
    const Stereo out = processAll(*plug, in, block);
    EXPECT_TRUE(bitEqual(in.left, out.left, 0, in.size())) << block;
    EXPECT_TRUE(bitEqual(in.right, out.right, 0, in.size())) << block;
  }
}

TEST(Audio, CorrectionFadesInAndOutOver20ms) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  resetAt(*plug, 48000.0);
  const dsp::CorrectionGains gains{3.0, 0, 0, 0, 0};
  plug->publishGains(gains);
  hostSet(*plug, kCorrect, 1.0);

  const Stereo in = pinkNoise(4096, 0.2, 2);
  Stereo out(in.size());
  for (std::size_t start = 0; start < 2048; start += 256) processRange(*plug, in, out, start, 256);

  const Stereo ref = freshFiltered(in, 0, 2048, gains, 48000.0);
  for (std::size_t k = 0; k < 2048; ++k) {
    const double mix = std::min(static_cast<double>(k + 1) / 960.0, 1.0);
    ASSERT_NEAR(out.left[k], in.left[k] + (ref.left[k] - in.left[k]) * mix, 1e-12) << k;
    ASSERT_NEAR(out.right[k], in.right[k] + (ref.right[k] - in.right[k]) * mix, 1e-12) << k;
  }

  hostSet(*plug, kCorrect, 0.0);
  for (std::size_t start = 2048; start < 4096; start += 256) processRange(*plug, in, out, start, 256);
  EXPECT_FALSE(bitEqual(in.left, out.left, 2048, 2048 + 900)) << "still fading";
  EXPECT_TRUE(bitEqual(in.left, out.left, 2048 + 959, 4096)) << "dry 960 frames after off";
  EXPECT_TRUE(bitEqual(in.right, out.right, 2048 + 959, 4096));
}

// A host resets at the rate in use when it stops and starts processing: the correction goes
// on where it was (filter states, gains and fade), so the output is that of no reset at all.
TEST(Audio, ResetAtTheSameRateLeavesTheCorrectionAsItWas) {
  const Stereo in = pinkNoise(48000, 0.2, 4);
  const auto render = [&in](bool resetHalfway) {
    PlugPtr plug = makePlug();
    connect(*plug, 2, 2);
    resetAt(*plug, 48000.0);
    plug->publishGains({3.0, 2.0, -1.5, 1.0, -2.0});
    hostSet(*plug, kCorrect, 1.0);
    Stereo out(in.size());
    for (std::size_t start = 0; start < in.size(); start += 480) {
      if (resetHalfway && start == 24000) resetAt(*plug, 48000.0);
      processRange(*plug, in, out, start, 480);
    }
    return out;
  };
  const Stereo plain = render(false);
  const Stereo reset = render(true);
  double largest = 0.0;
  for (std::size_t k = 0; k < in.size(); ++k)
    largest = std::max({largest, std::fabs(plain.left[k] - reset.left[k]), std::fabs(plain.right[k] - reset.right[k])});
  EXPECT_EQ(largest, 0.0);
  EXPECT_FALSE(bitEqual(in.left, plain.left, 24000, 24480)) << "the block after the reset was corrected";
}

TEST(Audio, NonFiniteInputPassesItsChunkDryAndRestartsTheFilters) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  const dsp::CorrectionGains gains{3.0, 0, 0, 0, 0};
  plug->publishGains(gains);
  hostSet(*plug, kCorrect, 1.0);
  resetAt(*plug, 44100.0);  // a new rate: the mix stands at 1 at once

  Stereo in = pinkNoise(256, 0.2, 3);
  in.left[100] = std::numeric_limits<double>::quiet_NaN();
  Stereo out(in.size());
  processRange(*plug, in, out, 0, 256);

  const Stereo head = freshFiltered(in, 0, 64, gains, 44100.0);
  for (std::size_t k = 0; k < 64; ++k) ASSERT_EQ(out.left[k], head.left[k]) << k;
  for (std::size_t k = 64; k < 128; ++k) {
    if (k == 100) {
      EXPECT_TRUE(std::isnan(out.left[k]));
      continue;
    }
    ASSERT_EQ(out.left[k], in.left[k]) << k;
    ASSERT_EQ(out.right[k], in.right[k]) << k;
  }
  const Stereo tail = freshFiltered(in, 128, 256, gains, 44100.0);
  for (std::size_t k = 128; k < 256; ++k) {
    ASSERT_EQ(out.left[k], tail.left[k - 128]) << k;
    ASSERT_EQ(out.right[k], tail.right[k - 128]) << k;
  }
}

TEST(Audio, InputsAreCopiedToEveryOutput) {
  PlugPtr plug = makePlug();
  const Stereo in = pinkNoise(512, 0.2, 4);

  // No input buffers at all: silence, still metered.
  connect(*plug, 2, 2);
  Stereo out(512);
  std::fill(out.left.begin(), out.left.end(), 0.5);
  std::fill(out.right.begin(), out.right.end(), 0.5);
  double* outputs[2] = {out.left.data(), out.right.data()};
  plug->ProcessBlock(nullptr, outputs, 512);
  for (std::size_t k = 0; k < 512; ++k) ASSERT_TRUE(out.left[k] == 0.0 && out.right[k] == 0.0);

  // One input, two outputs: the second output carries the first.
  connect(*plug, 1, 2);
  processRange(*plug, in, out, 0, 512);
  EXPECT_TRUE(bitEqual(in.left, out.left, 0, 512));
  EXPECT_TRUE(bitEqual(in.left, out.right, 0, 512));

  // In place (input and output buffers are the same).
  connect(*plug, 2, 2);
  Stereo inPlace = in;
  double* io[2] = {inPlace.left.data(), inPlace.right.data()};
  plug->ProcessBlock(io, io, 512);
  EXPECT_TRUE(bitEqual(in.left, inPlace.left, 0, 512));
}

TEST(Audio, BlocksWithoutBuffersOrFramesAreHarmless) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  hostSet(*plug, kCorrect, 1.0);
  plug->OnUIOpen();
  for (const bool offline : {false, true}) {
    plug->SetRenderingOffline(offline);
    plug->publishGains({1, 2, 3, 4, 5});
    Stereo in = pinkNoise(64, 0.1, 5);
    double* inputs[2] = {in.left.data(), in.right.data()};
    plug->ProcessBlock(nullptr, nullptr, 512);
    plug->ProcessBlock(inputs, nullptr, 512);
    plug->ProcessBlock(inputs, inputs, 0);
    plug->ProcessBlock(inputs, inputs, -5);
    connect(*plug, 0, 0);
    plug->ProcessBlock(inputs, inputs, 64);
    connect(*plug, 2, 2);
    // The offline path still publishes its analyser's gains (0 before any analysis); the
    // real-time path leaves the published gains to the worker.
    EXPECT_EQ(plug->loadGains().loMid, offline ? 0.0 : 3.0);
  }
  EXPECT_EQ(plug->workerRing().writePosition(), 0u);
  EXPECT_EQ(plug->inputPanelRing().writePosition(), 0u);
}

TEST(Audio, RingsAreFedOnlyWhenTheirConsumerWantsAudio) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  const Stereo in = pinkNoise(70000, 0.1, 6);
  SampleRing& inputRing = plug->inputPanelRing();
  SampleRing& outputRing = plug->outputPanelRing();
  SampleRing& workerRing = plug->workerRing();

  // Editor closed, correction off: nothing.
  processAll(*plug, in, 1000);
  EXPECT_EQ(inputRing.writePosition() + outputRing.writePosition() + workerRing.writePosition(), 0u);

  // Editor open: the input ring takes 65,536 frames and then drops; correction off, so the
  // output ring and the worker ring stay empty.
  plug->OnUIOpen();
  processAll(*plug, in, 1000);
  EXPECT_EQ(inputRing.writePosition(), 65536u);
  EXPECT_EQ(outputRing.writePosition(), 0u);
  EXPECT_EQ(workerRing.writePosition(), 0u);

  // Correction on: the worker ring and the output ring fill up too.
  inputRing.skipToWrite();
  hostSet(*plug, kCorrect, 1.0);
  processAll(*plug, in, 1000);
  EXPECT_EQ(workerRing.writePosition(), 65536u);
  EXPECT_EQ(outputRing.writePosition(), 65536u);

  // Bypassed: no ring is fed.
  inputRing.skipToWrite();
  outputRing.skipToWrite();
  workerRing.skipToWrite();
  hostSet(*plug, kBypass, 1.0);
  processAll(*plug, in, 1000);
  EXPECT_EQ(inputRing.unread() + outputRing.unread() + workerRing.unread(), 0u);

  // Rendering offline: the worker ring is left alone.
  hostSet(*plug, kBypass, 0.0);
  plug->SetRenderingOffline(true);
  processAll(*plug, in, 1000);
  EXPECT_EQ(workerRing.unread(), 0u);
  EXPECT_EQ(inputRing.unread(), 65536u);

  // Editor closed again: the panel rings get nothing.
  inputRing.skipToWrite();
  outputRing.skipToWrite();
  plug->OnUIClose();
  processAll(*plug, in, 1000);
  EXPECT_EQ(inputRing.unread() + outputRing.unread(), 0u);
}

TEST(Audio, RingCarriesConsecutiveFramesPast32BitPositions) {
  SampleRing ring;
  const std::uint64_t start = (std::uint64_t{1} << 32) - 10;
  ring.setPositionsForTesting(start);
  std::vector<double> counter(3000);
  for (std::size_t i = 0; i < counter.size(); ++i) counter[i] = static_cast<double>(i);
  std::vector<float> l(4096), r(4096);
  double next = 0.0;
  for (int round = 0; round < 100; ++round) {
    ASSERT_EQ(ring.write(counter.data() + static_cast<std::size_t>(next) % 1000, counter.data() + static_cast<std::size_t>(next) % 1000, 700), 700);
    const std::size_t n = ring.read(l.data(), r.data(), 4096);
    ASSERT_EQ(n, 700u);
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(l[i], static_cast<float>(static_cast<std::size_t>(next) % 1000 + i));
    next += 700.0;
  }
  EXPECT_EQ(ring.writePosition(), start + 70000);
  // Full: writes beyond the free room are dropped.
  EXPECT_EQ(ring.write(counter.data(), counter.data(), 3000), 3000);
  std::vector<double> big(70000, 1.0);
  EXPECT_EQ(ring.write(big.data(), big.data(), 70000), 65536 - 3000);
  EXPECT_EQ(ring.unread(), 65536u);
}

TEST(Audio, MeterResetIsHonouredOnceEvenWhileBypassed) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  const Stereo tone = sine(48000, 997.0, 48000.0, 0.1);
  processAll(*plug, tone, 480);
  ASSERT_GT(plug->meterReadings().integrated, -150.f);

  plug->requestMeterReset();
  hostSet(*plug, kBypass, 1.0);
  const float shortTerm = plug->meterReadings().shortTerm;
  processAll(*plug, sine(480, 997.0, 48000.0, 0.1), 480);
  const SpectraPoise::MeterReadings r = plug->meterReadings();
  EXPECT_EQ(r.integrated, -150.f);
  EXPECT_EQ(r.integratedSeconds, 0.f);
  EXPECT_EQ(r.truePeakSinceReset, -150.f);
  EXPECT_EQ(r.shortTerm, shortTerm) << "bypassed: the meters keep their last readings";

  hostSet(*plug, kBypass, 0.0);
  processAll(*plug, tone, 480);
  EXPECT_GT(plug->meterReadings().integrated, -150.f);
  EXPECT_NEAR(plug->meterReadings().integratedSeconds, 1.0f, 0.11f) << "the reset was taken once";
}

TEST(Audio, ShortTermLoudnessRecoversFromOneNonFiniteSample) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  // A 997 Hz tone at -23 LUFS (K-weighting adds about +0.69 dB at 1 kHz, BS.1770 takes
  // 0.691 dB off).
  const double rms = std::sqrt(std::pow(10.0, -2.3) / 2.0);
  Stereo tone = sine(48000 * 10, 997.0, 48000.0, rms);
  Stereo out(tone.size());
  const std::size_t nanAt = 48000 * 4 + 123;
  tone.left[nanAt] = std::numeric_limits<double>::quiet_NaN();
  float steady = 0.f;
  std::size_t recovered = 0;
  for (std::size_t start = 0; start < tone.size(); start += 480) {
    processRange(*plug, tone, out, start, 480);
    const float st = plug->meterReadings().shortTerm;
    if (start + 480 == 48000 * 4) steady = st;
    if (start > nanAt && recovered == 0 && std::fabs(st - steady) < 0.05f) recovered = start + 480 - nanAt;
  }
  EXPECT_NEAR(steady, -23.0f, 0.1f);
  ASSERT_GT(recovered, 0u);
  EXPECT_LE(recovered, static_cast<std::size_t>(3.1 * 48000));
}

TEST(Audio, FrozenGainsScaleByTheAmountsAndAreLimited) {
  PlugPtr plug = makePlug();
  for (const int p : kAmountParams) hostSet(*plug, p, 0.0);
  hostSet(*plug, kFrozenTilt, 6.0);
  hostSet(*plug, kFrozenHigh, -4.0);
  dsp::CorrectionGains g = plug->frozenGains();
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(g[i], 0.0);

  hostSet(*plug, kCorrectTilt, 50.0);
  g = plug->frozenGains();
  EXPECT_NEAR(g.tilt, 3.0, 1e-12);

  // Large frozen gains obey the 6 dB response limit.
  for (const int p : kAmountParams) hostSet(*plug, p, 100.0);
  for (const int p : kFrozenParams) hostSet(*plug, p, 24.0);
  g = plug->frozenGains();
  const dsp::BandCurve response = dsp::correction_detail::responseCurve(
      dsp::correction_detail::design(g, plug->crossovers(), 48000.0), 48000.0);
  double peak = 0.0;
  for (std::size_t k = 0; k < dsp::kBandCount; ++k)
    if (dsp::bandFrequency(k) < 0.45 * 48000.0) peak = std::max(peak, std::fabs(response[k]));
  EXPECT_LE(peak, 6.0 + 1e-9);
  EXPECT_LT(g.tilt, 24.0);
}

}  // namespace
