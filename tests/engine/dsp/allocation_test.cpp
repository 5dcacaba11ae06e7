// The audio thread and the correction worker run these paths: none of them may allocate.
// Counts every operator new on the calling thread while a path runs.

#include <gtest/gtest.h>

#include "engine/dsp/correction_filters.h"
#include "engine/dsp/correction_fit.h"
#include "engine/dsp/spectrum_analysis.h"
#include "tests/support/alloc_counter.h"
#include "tests/support/signals/test_signals.h"

namespace {

namespace dsp = spectrapoise::dsp;

long allocationsDuring(auto&& work) {
  alloccount::start();
  work();
  return alloccount::stop();
}

TEST(NoAllocation, FiltersProcessAndRedesign) {
  dsp::CorrectionFilters filters;
  filters.prepare(48000.0);
  std::vector<double> left(4096, 0.1), right(4096, -0.1);
  double* ch[2] = {left.data(), right.data()};
  EXPECT_EQ(allocationsDuring([&] {
              for (int block = 0; block < 64; ++block) {
                dsp::CorrectionGains g;
                g.tilt = block * 0.05;
                g.high = -block * 0.02;
                filters.setTargets(g, {200.0 + block, 2000, 6000});
                filters.process(ch, 2, 64);
                filters.process(ch, 1, 64);
              }
              filters.clearState();
            }),
            0);
}

TEST(NoAllocation, AnalyserPushHopsFitsAndResets) {
  dsp::CorrectionAnalyser analyser;
  analyser.prepare(48000.0);
  dsp::CorrectionSettings settings;
  settings.amount = {1, 1, 1, 1, 1};
  analyser.setSettings(settings);
  const auto& noise = sp::test::pinkNoise();
  EXPECT_EQ(allocationsDuring([&] {
              for (std::size_t i = 0; i < 48000; ++i) analyser.push(noise.left[i], noise.right[i]);
              dsp::CorrectionGains seed;
              seed.low = 1.0;
              analyser.reset(seed);
              analyser.reset();
              analyser.setSettings(settings);
              analyser.analysis().reset();
            }),
            0);
  EXPECT_TRUE(analyser.analysis().prepared());
}

}  // namespace
