// The open editor's idle tick at 48 kHz (20 ms of audio processed between ticks, correction
// on, a small layout with the tagged controls and shades), reported as p50 and p99 against
// the 20 ms tick period; and learning a target from a 60 s reference file beside
// libsndfile's plain decode of the same file, with the learning time scaled to the 900 s
// the plug-in reads at most.
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/targets/reference_files.h"
#include "graphics/ICanvas.h"
#include "graphics/ITextControl.h"
#include "plugin/SpectraPoise.h"
#include "plugin/float_mode.h"
#include "plugin/panel_roles.h"
#include "tests/support/canvas/test_canvas.h"

namespace {

using namespace spectrapoise::plugin;
using plugkit::canvas::IRECT;

// Instances start an update check: keep it off the user's folders and off the network.
const std::filesystem::path kScratch = [] {
  char folder[] = "/tmp/sp-idle-bench-XXXXXX";
  const char* made = mkdtemp(folder);
  const std::filesystem::path root = made != nullptr ? made : "/tmp";
  setenv("BRIGHTLOOM_DATA_DIR", (root / "data").c_str(), 1);
  setenv("XDG_DATA_HOME", (root / "xdg").c_str(), 1);
  setenv("BRIGHTLOOM_UPDATES_URL", "https://127.0.0.1:9/updates.json", 1);
  return root;
}();

constexpr double kRate = 48000.0;
constexpr int kTickFrames = 960;  // 20 ms

class Box : public plugkit::canvas::IControl {
public:
  using IControl::IControl;
  void Draw(plugkit::canvas::ICanvas&) override {}
};

std::vector<double> noise(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> d(0.0, 0.1);
  std::vector<double> v(n);
  double a = 0.0;
  for (double& x : v) {
    a = 0.97 * a + 0.1 * d(rng);
    x = a + 0.2 * d(rng);
  }
  return v;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0.0;
  const std::size_t k = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())));
  std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
  return v[k];
}

void BM_OpenEditorIdleTick(benchmark::State& state) {
  ScopedFlushDenormals flush;
  sp::test::TestPlatform platform;
  SpectraPoise::Options options;
  options.startWorker = false;
  auto* plug = new SpectraPoise(plugkit::InstanceInfo{}, options);
  plug->SetChannelConnections(plugkit::kInput, 0, 2, true);
  plug->SetChannelConnections(plugkit::kOutput, 0, 2, true);
  plug->SetSampleRate(kRate);
  plug->OnReset();
  plug->setGraphicsMaker([&](plugkit::canvas::ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale) {
    return platform.graphicsFactory(dlg, w, h, fps, scale)();
  });
  plug->SetLayoutFunc([plug](plugkit::canvas::ICanvas* g) {
    g->AttachControl(new plugkit::canvas::ITextControl(IRECT(0, 0, 200, 20), kProductTitle), kTitleTag);
    g->AttachControl(new plugkit::canvas::ITextControl(IRECT(0, 380, 640, 400), ""), kFooterTag);
    for (int tag : kLiveTags) g->AttachControl(new Box(IRECT(0, 20, 400, 300)), tag);
    for (int p = 0; p < kParamCount; ++p) g->AttachControl(new Box(IRECT(0, 300, 30, 330), p));
    g->AttachControl(new Box(IRECT(0, 0, 640, 400)), -1, kBypassShade);
    g->AttachControl(new Box(IRECT(0, 300, 320, 380)), -1, kCorrectShade);
    g->AttachControl(new Box(IRECT(320, 300, 640, 380)), -1, kFreezeShade);
    plug->forgetFooter();
  });
  plug->OpenWindow(nullptr);
  plug->GetParam(kCorrect)->Set(1.0);
  plug->publishGains({2.0, -1.5, 1.0, 0.5, -2.0});

  const std::vector<double> left = noise(static_cast<std::size_t>(kRate) * 4, 1);
  const std::vector<double> right = noise(static_cast<std::size_t>(kRate) * 4, 2);
  std::vector<double> outL(kTickFrames), outR(kTickFrames);
  std::size_t pos = 0;
  const auto feed = [&] {
    double* in[2] = {const_cast<double*>(left.data() + pos), const_cast<double*>(right.data() + pos)};
    double* out[2] = {outL.data(), outR.data()};
    plug->ProcessBlock(in, out, kTickFrames);
    plug->workerRing().skipToWrite();
    pos = (pos + kTickFrames) % (left.size() - kTickFrames);
  };
  for (int i = 0; i < 50; ++i) {  // a second of audio first: the analyses are running
    feed();
    plug->OnIdle();
  }

  std::vector<double> ticks;
  ticks.reserve(1 << 16);
  for (auto _ : state) {
    feed();
    const auto start = std::chrono::steady_clock::now();
    plug->OnIdle();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    ticks.push_back(seconds);
  }
  const double p99 = percentile(ticks, 0.99);
  state.counters["p50_ms"] = percentile(ticks, 0.5) * 1e3;
  state.counters["p99_ms"] = p99 * 1e3;
  state.counters["p99_of_period"] = p99 / 0.020;
  plug->release();
}
BENCHMARK(BM_OpenEditorIdleTick)->UseManualTime()->Iterations(3000)->Unit(benchmark::kMicrosecond);

// A 60 s stereo float WAV of coloured noise, written once.
const std::string& referenceFile() {
  static const std::string path = [] {
    const std::string p = (kScratch / "reference-60s.wav").string();
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(p.c_str(), SFM_WRITE, &info);
    if (file == nullptr) std::abort();
    const std::vector<double> l = noise(48000 * 60, 3);
    const std::vector<double> r = noise(48000 * 60, 4);
    std::vector<float> frames(l.size() * 2);
    for (std::size_t i = 0; i < l.size(); ++i) {
      frames[2 * i] = static_cast<float>(l[i]);
      frames[2 * i + 1] = static_cast<float>(r[i]);
    }
    sf_writef_float(file, frames.data(), static_cast<sf_count_t>(l.size()));
    sf_close(file);
    return p;
  }();
  return path;
}

void BM_LearnFromFile60s(benchmark::State& state) {
  const std::string& path = referenceFile();
  double total = 0.0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    spectrapoise::dsp::LearnedTarget learned;
    std::string error;
    if (!spectrapoise::offline::learnFromFile(path, learned, error, 900.0, nullptr)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(learned.curve.data());
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["x_realtime"] = benchmark::Counter(60.0 * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
  // The longest file the plug-in reads (900 s) takes 15 times as long.
  if (state.iterations() > 0) state.counters["s_for_900s"] = 15.0 * total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LearnFromFile60s)->Unit(benchmark::kMillisecond);

// The anchor: libsndfile decoding the same file to float in 4096-frame chunks, nothing else.
void BM_SndfileDecode60s(benchmark::State& state) {
  const std::string& path = referenceFile();
  std::vector<float> chunk(4096 * 2);
  for (auto _ : state) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
      state.SkipWithError("open");
      break;
    }
    while (sf_readf_float(file, chunk.data(), 4096) > 0) benchmark::DoNotOptimize(chunk.data());
    sf_close(file);
  }
  state.counters["x_realtime"] = benchmark::Counter(60.0 * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SndfileDecode60s)->Unit(benchmark::kMillisecond);

}  // namespace
