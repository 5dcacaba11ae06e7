// Construction, preparation for the host's rate, the editor's opening scale, and
// destruction (with the editor open, with threads running, after a refused thread).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

#include "graphics/ICanvas.h"
#include "graphics/IControl.h"
#include "tests/support/plugin/plugin_harness.h"
#include "tests/support/canvas/test_canvas.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;

TEST(Lifecycle, FreshInstanceRunsPreparedFor48kWithCorrectionOff) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);

  const SpectraPoise::MeterReadings fresh = plug->meterReadings();
  EXPECT_EQ(fresh.shortTerm, -150.f);
  EXPECT_EQ(fresh.truePeak3s, -150.f);
  EXPECT_EQ(fresh.integrated, -150.f);
  EXPECT_EQ(fresh.integratedSeconds, 0.f);
  EXPECT_EQ(fresh.truePeakSinceReset, -150.f);
  EXPECT_EQ(plug->sampleRate(), 48000.0);

  // Without any reset, audio passes unchanged; the 100 ms loudness step is 4800 frames.
  const Stereo in = sine(4800, 997.0, 48000.0, 0.1);
  Stereo out(in.size());
  processRange(*plug, in, out, 0, 4799);
  EXPECT_EQ(0, std::memcmp(in.left.data(), out.left.data(), 4799 * sizeof(double)));
  EXPECT_EQ(0, std::memcmp(in.right.data(), out.right.data(), 4799 * sizeof(double)));
  EXPECT_EQ(plug->meterReadings().shortTerm, -150.f);
  processRange(*plug, in, out, 4799, 1);
  EXPECT_GT(plug->meterReadings().shortTerm, -150.f);
  EXPECT_GT(plug->meterReadings().truePeakSinceReset, -25.f);

  const SpectraPoise::CorrectionGains g = plug->loadGains();
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(g[i], 0.0);
  // No region is held before the first analysis.
  for (float hold : plug->regionHoldLevels()) EXPECT_EQ(hold, 1.f);
}

TEST(Lifecycle, ResetKeepsMetersAtTheSameRateAndClearsThemAtANewOne) {
  PlugPtr plug = makePlug();
  connect(*plug, 2, 2);
  const Stereo tone = sine(48000, 997.0, 48000.0, 0.1);
  processAll(*plug, tone, 480);
  const SpectraPoise::MeterReadings before = plug->meterReadings();
  ASSERT_GT(before.integrated, -150.f);
  ASSERT_NEAR(before.integratedSeconds, 1.0f, 1e-6);

  resetAt(*plug, 48000.0);  // the host's first setup at the prepared rate
  const SpectraPoise::MeterReadings same = plug->meterReadings();
  EXPECT_EQ(same.integrated, before.integrated);
  processAll(*plug, tone, 480);
  EXPECT_NEAR(plug->meterReadings().integratedSeconds, 2.0f, 1e-5) << "the measurement went on";

  resetAt(*plug, 44100.0);
  const SpectraPoise::MeterReadings cleared = plug->meterReadings();
  EXPECT_EQ(cleared.shortTerm, -150.f);
  EXPECT_EQ(cleared.truePeak3s, -150.f);
  EXPECT_EQ(cleared.integrated, -150.f);
  EXPECT_EQ(cleared.integratedSeconds, 0.f);
  EXPECT_EQ(cleared.truePeakSinceReset, -150.f);
  EXPECT_EQ(plug->sampleRate(), 44100.0);
}

TEST(Lifecycle, UnusableRatesAreIgnored) {
  for (const double bad : {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(bad);
    PlugPtr plug = makePlug();
    connect(*plug, 2, 2);
    resetAt(*plug, 44100.0);
    hostSet(*plug, kCorrect, 1.0);
    resetAt(*plug, bad);
    EXPECT_EQ(plug->sampleRate(), 44100.0);

    plug->publishGains({2.0, 1.0, -1.0, 0.5, 1.0});
    const Stereo in = pinkNoise(44100, 0.1, 3);
    const Stereo out = processAll(*plug, in, 512);
    for (std::size_t i = 0; i < out.size(); ++i) ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i]));
    EXPECT_GT(plug->meterReadings().shortTerm, -60.f);
  }
}

TEST(Lifecycle, NewEditorScaleFollowsTheStoredSize) {
  struct Case {
    int w, h;
    float platformScale;
    float expected;
  };
  const Case cases[] = {
      {0, 0, 1.f, 1.f},          // nothing stored
      {1000, 625, 1.f, 1.5625f}, // 1000 / 640
      {1000, 625, 0.f, 1.f},     // a kept scale of 0 gives infinite quotients
      {1000, 625, 2.f, 0.78125f},
      {1280, 700, 1.f, 1.75f},   // the smaller quotient
  };
  PlugPtr plug = makePlug();
  for (const Case& c : cases) {
    plug->SetEditorSize(c.w, c.h);
    plug->setKeptPlatformScale(c.platformScale);
    EXPECT_FLOAT_EQ(plug->newEditorScale(), c.expected) << c.w << "x" << c.h << " at " << c.platformScale;
  }
}

// A control that reads the plug-in when it is destroyed, as the panel's controls do.
class ReadsPlugOnDestroy : public plugkit::canvas::IControl {
public:
  ReadsPlugOnDestroy(SpectraPoise& plug, std::string& seen)
      : IControl(plugkit::canvas::IRECT(0, 0, 10, 10)), plug_(plug), seen_(seen) {}
  ~ReadsPlugOnDestroy() override {
    seen_ = plug_.currentTarget().name + (plug_.editorOpen() ? " open" : " closed");
  }
  void Draw(plugkit::canvas::ICanvas&) override {}

private:
  SpectraPoise& plug_;
  std::string& seen_;
};

TEST(Lifecycle, DestroyingWithTheEditorOpenClosesItFirst) {
  TestPlatform platform;
  std::string seen;
  {
    PlugPtr plug = makePlug(true);
    plug->setGraphicsMaker([&](plugkit::canvas::ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale) {
      return platform.graphicsFactory(dlg, w, h, fps, scale)();
    });
    ASSERT_NE(plug->OpenWindow(nullptr), nullptr);
    ASSERT_TRUE(plug->editorOpen());
    plug->GetUI()->AttachControl(new ReadsPlugOnDestroy(*plug, seen));
  }
  EXPECT_EQ(seen, "Balanced closed");
  EXPECT_EQ(platform.canvas(), nullptr);
}

TEST(Lifecycle, RefusedWorkerThreadFailsConstructionWithItsText) {
  SpectraPoise::Options options;
  options.failWorkerStart = true;
  try {
    SpectraPoise plug(plugkit::InstanceInfo{}, options);
    FAIL() << "constructed";
  } catch (const std::system_error& e) {
    EXPECT_STREQ(e.what(), "thread constructor failed");
  }
  // Nothing was left behind: a normal instance still comes up with its worker.
  PlugPtr plug = makePlug(true);
  EXPECT_TRUE(plug->workerThreadStarted());
}

TEST(Lifecycle, FactoryTargetsAreLoaded) {
  PlugPtr plug = makePlug();
  ASSERT_EQ(plug->factoryTargets().size(), 5u);
  EXPECT_EQ(plug->factoryTargets().front().name, "Dance");
  const SpectraPoise::Target t = plug->currentTarget();
  EXPECT_EQ(t.kind, TargetKind::Balanced);
  EXPECT_EQ(t.name, "Balanced");
  EXPECT_EQ(plug->accentIndex(), 5);
  EXPECT_NE(plug->updateCheck(), nullptr);
}

}  // namespace
