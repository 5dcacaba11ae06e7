// The shipped bundle through the test host, as a host loads it: the factory, an instance
// with the product's parameters, a processing run over a WAV file, and the command.
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/testhost/module.h"
#include "tools/testhost/plugin_host.h"
#include "tools/testhost/run.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

const std::string kBundle = SP_BUNDLE_DIR;

void writeTone(const std::string& path, int channels, int frames) {
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  std::vector<float> samples(static_cast<size_t>(frames * channels));
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(i * channels + c)] = 0.5f * std::sin(0.01f * i * (c + 1));
  sf_writef_float(f, samples.data(), frames);
  sf_close(f);
}

std::vector<double> readAll(const std::string& path, SF_INFO& info) {
  info = SF_INFO{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) return {};
  std::vector<double> samples(static_cast<size_t>(info.frames * info.channels));
  sf_readf_double(f, samples.data(), info.frames);
  sf_close(f);
  return samples;
}

TEST(Bundle, InstanceOffersTheProductParametersAndTheEditorView) {
  std::string error;
  auto module = testhost::Module::load(kBundle, error);
  ASSERT_TRUE(module) << error;
  auto* context = new testhost::HostContext("Bitwig Studio 5");
  module->factory3()->setHostContext(static_cast<IHostApplication*>(context));
  {
    auto plugin = testhost::Plugin::create(*module, 0, error);
    ASSERT_TRUE(plugin) << error;
    ASSERT_EQ(plugin->initialize(static_cast<IHostApplication*>(context)), kResultOk);
    EXPECT_EQ(plugin->controller()->getParameterCount(), 19);
    EXPECT_EQ(plugin->setup(44100, 1024, kSample64), kResultOk);
    IPlugView* view = plugin->createView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported("X11EmbedWindowID"), kResultFalse);
    ViewRect rect;
    EXPECT_EQ(view->getSize(&rect), kResultOk);
    EXPECT_EQ(rect.getWidth(), 640);
    view->release();
    bool ok = false;
    const std::string state = plugin->getState(&ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(plugin->setState(state), kResultOk);
  }
  module->factory3()->setHostContext(nullptr);
  context->release();
}

TEST(Bundle, ProcessingRunIsBitExactAndBypassPassesThrough) {
  sp::test::TempDir dir;
  const std::string in = (dir / "in.wav").string();
  writeTone(in, 2, 20000);
  for (bool sixtyFour : {false, true}) {
    SCOPED_TRACE(sixtyFour ? "64-bit" : "32-bit");
    testhost::RunOptions o;
    o.bundle = kBundle;
    o.input = in;
    o.output = (dir / (sixtyFour ? "out64.wav" : "out32.wav")).string();
    o.stateOut = (dir / "state.bin").string();
    o.randomBlocks = true;
    o.seed = 11;
    o.maxBlock = 4096;
    o.sixtyFour = sixtyFour;
    o.changes.push_back({0x10000, 5000, 1.0});
    std::string error, report;
    ASSERT_TRUE(testhost::runProcess(o, error, report)) << error;
    SF_INFO a{}, b{};
    const std::vector<double> input = readAll(in, a), output = readAll(o.output, b);
    ASSERT_EQ(b.frames, 20000);
    ASSERT_EQ(b.channels, 2);
    EXPECT_EQ(b.format & SF_FORMAT_SUBMASK, sixtyFour ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT);
    EXPECT_EQ(output, input);
    // The product's tagged chunk (target "Balanced", no preset name), then the bypass word.
    const std::string state = sp::test::readFile(o.stateOut);
    ASSERT_EQ(state.size(), 3108u + 8u + 4u);
    EXPECT_EQ(state.substr(0, 4), std::string("1SPS"));
    int32_t bypass = 0;
    std::memcpy(&bypass, state.data() + state.size() - 4, 4);
    EXPECT_EQ(bypass, 1);
  }
}

TEST(Bundle, CommandProcessesAFileAndRefusesBadArguments) {
  sp::test::TempDir dir;
  const std::string in = (dir / "mono.wav").string();
  const std::string out = (dir / "out.wav").string();
  writeTone(in, 1, 3000);
  const std::string command = std::string(SP_TESTHOST) + " process " + kBundle + " " + in + " " + out;
  EXPECT_EQ(std::system((command + " --block 100 --param 5=0.5@10 > /dev/null").c_str()), 0);
  SF_INFO info{};
  EXPECT_EQ(readAll(out, info).size(), 3000u);
  EXPECT_NE(std::system((command + " --param 5=abc@10 2> /dev/null").c_str()), 0);
  EXPECT_NE(std::system((std::string(SP_TESTHOST) + " process " + kBundle + " " + (dir / "missing.wav").string() +
                         " " + out + " 2> /dev/null")
                            .c_str()),
            0);
}

std::vector<std::string> entryNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The saved state replaces its file in one step: a full disk leaves neither a state nor a
// temporary file, and whatever lies at a temporary-looking name is never written through.
TEST(Bundle, StateOutReplacesItsFileInOneStep) {
  sp::test::TempDir dir;
  const std::string in = (dir / "in.wav").string();
  writeTone(in, 2, 100);  // a processed file that fits under the limit below; the state does not
  testhost::RunOptions o;
  o.bundle = kBundle;
  o.input = in;
  o.output = (dir / "out.wav").string();
  o.stateOut = (dir / "state.bin").string();

  // A file-size limit makes write() fail part-way, as a full disk does.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1024, 1024};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
    std::string error, report;
    const bool ok = testhost::runProcess(o, error, report);
    ::_exit(ok ? 1 : (error == "cannot save the state to " + o.stateOut ? 0 : 2));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(entryNames(dir.path()), std::vector<std::string>{"in.wav"});

  ASSERT_TRUE(sp::test::writeFile(dir / "victim", "precious"));
  std::filesystem::create_symlink(dir / "victim", dir / "state.bin.partial");
  std::string error, report;
  ASSERT_TRUE(testhost::runProcess(o, error, report)) << error;
  EXPECT_EQ(sp::test::readFile(dir / "victim"), "precious");
  EXPECT_EQ(sp::test::readFile(o.stateOut).substr(0, 4), "1SPS");
  EXPECT_EQ(entryNames(dir.path()), (std::vector<std::string>{"in.wav", "out.wav", "state.bin", "state.bin.partial", "victim"}));
}

TEST(Bundle, ParameterScriptSyntax) {
  testhost::RunOptions::ParamChange change{};
  EXPECT_TRUE(testhost::parseParamChange("0x10000=1@48000", change));
  EXPECT_EQ(change.id, 0x10000u);
  EXPECT_EQ(change.frame, 48000);
  EXPECT_TRUE(testhost::parseParamChange("5=0.25@0", change));
  EXPECT_DOUBLE_EQ(change.value, 0.25);
  for (const char* bad : {"5=0.25", "=1@2", "5=x@2", "5=1@-3", "5@2=1", "5=1@2x"})
    EXPECT_FALSE(testhost::parseParamChange(bad, change)) << bad;
}

}  // namespace
