// The run command's program: the demo signal and an audio file through the plug-in made by
// the module's factory, with one line of readings per second and the processed file; its
// closing figure, odd rates, damaged and many-channel files, and no update checks.
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/targets/reference_files.h"
#include "framework/vst3/PluginEntry.h"
#include "tests/support/signals/test_signals.h"
#include "tests/support/temp_dir.h"
#include "tools/run_plugin/run_plugin.h"
#include "tools/testhost/host_objects.h"
#include "tools/testhost/plugin_host.h"

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

// The input's and the output's closing figures ("input X dB, output Y dB").
bool closingFigures(const std::string& printed, double& input, double& output) {
  const std::size_t at = printed.find("input ", printed.find("deviation from the"));
  return at != std::string::npos && std::sscanf(printed.c_str() + at, "input %lf dB, output %lf dB", &input, &output) == 2;
}

// Writes interleaved float samples with libsndfile in the given container.
void writeSound(const std::string& path, int format, int rate, int channels, const std::vector<float>& interleaved) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
  EXPECT_EQ(sf_writef_float(f, interleaved.data(), frames), frames);
  sf_close(f);
}

sf_count_t framesIn(const std::string& path) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) return -1;
  sf_close(f);
  return info.frames;
}

// Runs `body` in a child process; its exit status, or -1 when it has not ended within
// `seconds` (the child is then killed).
template <typename Body>
int inChild(double seconds, Body body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  if (child < 0) return -2;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The process's threads, as the kernel counts them.
int threadCount() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Threads:", 0) == 0) return std::atoi(line.c_str() + 8);
  return -1;
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

// The closing figure is the deviation of the whole last stretch, every part of it weighed
// alike: the same two sounds give the same figure in either order.
TEST(RunTool, ClosingFigureWeighsTheWholeWindowAlike) {
  sp::test::TempDir dir;
  constexpr int kRate = 48000;
  const std::vector<float> dark = sp::test::shapedNoise(1 << 16, 9.0, kRate, 30.0, 0.1, 3);
  const std::vector<float> bright = sp::test::shapedNoise(1 << 16, -3.0, kRate, 30.0, 0.1, 5);
  // A short dark stretch and a long bright one, 10 s together.
  const std::size_t shortFrames = kRate / 2, longFrames = 19 * kRate / 2;
  auto stretch = [](const std::vector<float>& noise, std::size_t frames, std::vector<float>& to) {
    for (std::size_t i = 0; i < frames; ++i) {
      to.push_back(noise[i % noise.size()]);
      to.push_back(noise[(i + noise.size() / 2) % noise.size()]);
    }
  };
  std::vector<float> darkFirst, darkLast;
  stretch(dark, shortFrames, darkFirst);
  stretch(bright, longFrames, darkFirst);
  stretch(bright, longFrames, darkLast);
  stretch(dark, shortFrames, darkLast);
  double figures[2] = {};
  int i = 0;
  for (const auto* samples : {&darkFirst, &darkLast}) {
    const std::string path = (dir / ("order" + std::to_string(i) + ".wav")).string();
    writeSound(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, 2, *samples);
    runplugin::Options o;
    o.input = path;
    o.correct = false;
    o.offline = true;
    o.block = 4096;
    o.outDir = dir.path().string();
    bool ok = false;
    std::string error;
    const std::string printed = runCapturing(o, ok, error);
    ASSERT_TRUE(ok) << error;
    double output = 0.0;
    ASSERT_TRUE(closingFigures(printed, figures[i], output)) << printed;
    EXPECT_NE(printed.find("over the last 10 s"), std::string::npos) << printed;
    ++i;
  }
  EXPECT_NEAR(figures[0], figures[1], 0.15) << "dark first " << figures[0] << " dB, dark last " << figures[1] << " dB";
}

// Every rate the plug-in accepts finishes, down to 1 Hz, with one line per second of audio
// and every frame written.
TEST(RunTool, FinishesAtAnyRate) {
  sp::test::TempDir dir;
  for (const int rate : {1, 8, 24, 25, 49, 11025}) {
    SCOPED_TRACE(rate);
    const int frames = 3 * rate;
    std::vector<float> samples(static_cast<std::size_t>(2 * frames));
    for (std::size_t k = 0; k < samples.size(); ++k) samples[k] = 0.1f * static_cast<float>(std::sin(0.7 * k));
    const std::string in = (dir / ("rate" + std::to_string(rate) + ".wav")).string();
    writeSound(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, rate, 2, samples);
    runplugin::Options o;
    o.input = in;
    o.output = (dir / ("out" + std::to_string(rate) + ".wav")).string();
    const std::string lines = (dir / ("lines" + std::to_string(rate) + ".txt")).string();
    const int status = inChild(120.0, [&] {
      std::FILE* out = std::fopen(lines.c_str(), "w");
      std::string error;
      const bool ok = out != nullptr && runplugin::run(o, out, error);
      if (out != nullptr) std::fclose(out);
      return ok ? 0 : 1;
    });
    ASSERT_EQ(status, 0) << (status == -1 ? "still running after 120 s" : "failed");
    EXPECT_EQ(framesIn(o.output), frames);
    EXPECT_EQ(countLines(sp::test::readFile(lines), " LUFS  integrated "), 3);
  }
}

// A file that ends before the length it declares is an error that says how much was read,
// and leaves no processed file; channels beyond two are named in the report.
TEST(RunTool, SaysWhatItCouldNotUseOfAFile) {
  sp::test::TempDir dir;
  constexpr int kRate = 48000;
  const std::vector<float>& noise = sp::test::pinkNoise().left;
  std::vector<float> stereo(static_cast<std::size_t>(2 * 3 * kRate));
  for (std::size_t k = 0; k < stereo.size(); ++k) stereo[k] = noise[k % noise.size()];
  const std::string flac = (dir / "damaged.flac").string();
  writeSound(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, 2, stereo);
  std::string bytes = sp::test::readFile(flac);
  ASSERT_GT(bytes.size(), 100000u);
  for (std::size_t k = bytes.size() / 10; k < bytes.size() / 10 + 4096; ++k) bytes[k] = static_cast<char>(k * 131);
  ASSERT_TRUE(sp::test::writeFile(flac, bytes));
  {
    runplugin::Options o;
    o.input = flac;
    o.output = (dir / "damaged-out.wav").string();
    bool ok = true;
    std::string error;
    runCapturing(o, ok, error);
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find("144000 frames"), std::string::npos) << error;
    EXPECT_NE(error.find("damaged.flac"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(o.output));
  }

  std::vector<float> eight(static_cast<std::size_t>(8 * kRate));
  for (std::size_t k = 0; k < eight.size(); ++k) eight[k] = noise[k % noise.size()];
  const std::string wide = (dir / "eight.wav").string();
  writeSound(wide, SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, 8, eight);
  runplugin::Options o;
  o.input = wide;
  o.output = (dir / "eight-out.wav").string();
  bool ok = false;
  std::string error;
  const std::string printed = runCapturing(o, ok, error);
  ASSERT_TRUE(ok) << error;
  EXPECT_NE(printed.find("8 channels"), std::string::npos) << printed;
  EXPECT_EQ(framesIn(o.output), kRate);
}

// The run command processes a file and checks for no updates: while it processes, the
// instance has every thread a host's instance has but the update schedule's.
int mostThreads = 0;
ssize_t sampleThreads(void*, const char*, std::size_t size) {
  mostThreads = std::max(mostThreads, threadCount());
  return static_cast<ssize_t>(size);
}

TEST(RunTool, ChecksForNoUpdates) {
  using namespace Steinberg;
  using namespace Steinberg::Vst;
  // An instance as a host makes it: created by the factory, initialised, set up, started.
  const int before = threadCount();
  int hostThreads = 0;
  {
    IPluginFactory* factory = plugkit::GetPluginFactoryInstance();
    PClassInfo info;
    void* object = nullptr;
    ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
    ASSERT_EQ(factory->createInstance(info.cid, IComponent::iid, &object), kResultOk);
    factory->release();
    std::string error;
    auto host = testhost::Plugin::adopt(static_cast<IComponent*>(object), error);
    ASSERT_TRUE(host) << error;
    auto* loop = new testhost::RunLoop();
    auto* context = new testhost::HostContext("SpectraPoise run");
    context->setRunLoop(loop);
    ASSERT_EQ(host->initialize(static_cast<IHostApplication*>(context)), kResultOk);
    ASSERT_EQ(host->setup(48000.0, 512, kSample32), kResultOk);
    host->start();
    hostThreads = threadCount() - before;
    host.reset();
    context->release();
    loop->release();
  }
  ASSERT_GE(hostThreads, 2);

  sp::test::TempDir dir;
  runplugin::Options o;
  o.demoSeconds = 3.0;
  o.outDir = dir.path().string();
  mostThreads = 0;
  std::FILE* out = fopencookie(nullptr, "w", cookie_io_functions_t{nullptr, &sampleThreads, nullptr, nullptr});
  ASSERT_NE(out, nullptr);
  std::string error;
  const bool ok = runplugin::run(o, out, error);
  std::fclose(out);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(mostThreads - before, hostThreads - 1);
}

}  // namespace
