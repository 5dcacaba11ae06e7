// Learning from a reference file on its own thread while another thread cancels it.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/targets/reference_files.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ReferenceFileCancel, AnotherThreadCancelsARunningLearn) {
  sp::test::TempDir dir;
  const std::string path = (dir / "long.wav").string();
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  std::vector<float> chunk(2 * 4800);
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = (i * 7919 % 2000) / 2000.0f - 0.5f;
  for (int s = 0; s < 200; ++s) sf_writef_float(f, chunk.data(), 4800);  // 20 s
  sf_close(f);

  std::atomic<bool> cancel{false};
  std::atomic<bool> started{false};
  spectrapoise::dsp::LearnedTarget learned;
  std::string error;
  bool ok = true;
  std::thread learner([&] {
    started = true;
    ok = spectrapoise::offline::learnFromFile(path, learned, error, 900.0, &cancel);
  });
  while (!started) std::this_thread::yield();
  cancel = true;
  learner.join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, "cancelled");
}

}  // namespace
