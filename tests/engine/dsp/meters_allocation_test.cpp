// The meters run on the audio thread: metering, step ends with a full histogram and resets
// must not allocate. Counts every allocation on the calling thread while the meters work.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/dsp/loudness_meter.h"
#include "engine/dsp/true_peak_meter.h"
#include "tests/support/alloc_counter.h"

namespace {

using spectrapoise::dsp::ShortTermLoudness;
using spectrapoise::dsp::TruePeak;

TEST(MetersAllocation, ProcessingAndResetsAllocateNothing) {
  // Heap-allocated so the meters themselves are made before counting starts.
  auto loudness = std::make_unique<ShortTermLoudness>();
  auto peak = std::make_unique<TruePeak>();
  peak->designFilter();
  loudness->prepare(48000);
  peak->prepare(48000);

  // A level sweep that fills many histogram bins, with a NaN and an infinity on the way.
  const int frames = 48000 * 8;
  std::vector<double> left(frames), right(frames);
  std::vector<float> leftF(frames), rightF(frames);
  for (int i = 0; i < frames; ++i) {
    const double level = std::pow(10.0, (-75.0 + 80.0 * i / frames) / 20.0);
    left[i] = level * std::sin(0.07 * i);
    right[i] = level * std::cos(0.05 * i);
    leftF[i] = static_cast<float>(left[i]);
    rightF[i] = static_cast<float>(right[i]);
  }
  left[1000] = std::nan("");
  right[90000] = INFINITY;
  const double* ch[2] = {left.data(), right.data()};
  const float* chF[2] = {leftF.data(), rightF.data()};

  alloccount::start();
  for (int at = 0; at + 512 <= frames; at += 512) {
    const double* block[2] = {ch[0] + at, ch[1] + at};
    loudness->process(block, 2, 512);
    peak->process(block, 2, 512);
    if (at % (48000 * 3) == 0) {
      loudness->resetIntegrated();
      peak->resetMaximum();
    }
  }
  loudness->process(chF, 2, 48000);
  peak->process(chF, 1, 48000);
  loudness->process(ch, 0, 48000);
  peak->process(ch, 0, 48000);
  const long during = alloccount::stop();

  EXPECT_EQ(during, 0);
  EXPECT_GT(loudness->integrated(), -150.0);
}

}  // namespace
