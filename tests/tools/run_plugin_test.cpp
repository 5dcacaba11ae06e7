// The run command's program: the demo signal and an audio file through the plug-in made by
// the module's factory, with one line of readings per second and the processed file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/targets/reference_files.h"
#include "tests/support/temp_dir.h"
#include "tools/run_plugin/run_plugin.h"

namespace {

std::string runCapturing(const runplugin::Options& options, bool& ok, std::string& error) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  ok = runplugin::run(options, out, error);
  std::fclose(out);
  std::string s(text, size);
  std::free(text);
  return s;
}

int countLines(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1)) ++n;
  return n;
}

TEST(RunTool, CorrectsTheDemoSignalAndWritesTheResult) {
  sp::test::TempDir dir;
  runplugin::Options o;
  o.demoSeconds = 12.0;
  o.amount = 100.0;
  o.speed = 2.0;
  o.outDir = dir.path().string();
  bool ok = false;
  std::string error;
  const std::string printed = runCapturing(o, ok, error);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(countLines(printed, " LUFS  integrated "), 12) << printed;
  EXPECT_NE(printed.find("gains tilt "), std::string::npos);

  std::vector<float> l, r;
  double rate = 0.0;
  ASSERT_TRUE(spectrapoise::offline::readAudioFile((dir.path() / "spectrapoise-demo-spectrapoise.wav").string(), l, r,
                                                   rate, error, 60.0))
      << error;
  EXPECT_EQ(rate, 48000.0);
  EXPECT_EQ(l.size(), 12u * 48000u);

  // The output is closer to the target than the input.
  const std::size_t at = printed.find("input ");
  ASSERT_NE(at, std::string::npos);
  double before = 0.0, after = 0.0;
  ASSERT_EQ(std::sscanf(printed.c_str() + at, "input %lf dB, output %lf dB", &before, &after), 2);
  EXPECT_LT(after, before - 1.5);
}

TEST(RunTool, ProcessesAFileOffline) {
  sp::test::TempDir dir;
  const std::string in = (dir.path() / "tone.wav").string();
  std::vector<float> l(44100 * 3), r;
  for (std::size_t i = 0; i < l.size(); ++i) l[i] = 0.1f * static_cast<float>((i * 7919) % 200) / 200.f - 0.05f;
  r = l;
  std::string error;
  ASSERT_TRUE(spectrapoise::offline::writeWavFile(in, l, r, 44100.0, error)) << error;

  runplugin::Options o;
  o.input = in;
  o.offline = true;
  o.block = 1000;
  o.output = (dir.path() / "out.wav").string();
  bool ok = false;
  const std::string printed = runCapturing(o, ok, error);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(countLines(printed, " LUFS  integrated "), 3);
  EXPECT_NE(printed.find("offline processing"), std::string::npos);
  std::vector<float> ol, orr;
  double rate = 0.0;
  ASSERT_TRUE(spectrapoise::offline::readAudioFile(o.output, ol, orr, rate, error, 60.0));
  EXPECT_EQ(ol.size(), l.size());
  EXPECT_EQ(rate, 44100.0);
}

TEST(RunTool, RefusesFilesItCannotRead) {
  sp::test::TempDir dir;
  const std::string fake = (dir.path() / "notes.txt").string();
  sp::test::writeFile(dir.path() / "notes.txt", "not audio");
  const std::string broken = (dir.path() / "broken.wav").string();
  sp::test::writeFile(dir.path() / "broken.wav", "RIFF....WAVEjunk");
  for (const std::string& path : {fake, broken, (dir.path() / "missing.flac").string()}) {
    runplugin::Options o;
    o.input = path;
    o.outDir = dir.path().string();
    bool ok = true;
    std::string error;
    runCapturing(o, ok, error);
    EXPECT_FALSE(ok) << path;
    EXPECT_FALSE(error.empty()) << path;
  }
}

}  // namespace
