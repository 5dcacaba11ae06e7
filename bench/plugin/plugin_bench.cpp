// The plug-in's costs: a processed block per stereo frame (real time with correction on and
// off, offline with the inline analysis), beside libebur128 metering the same buffer in the
// same run; the worker's cost per analysis hop, beside FFTW transforms of the same size; the
// panel's analysis tick; creating and destroying an instance.
#include <benchmark/benchmark.h>
#include <ebur128.h>
#include <fftw3.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "plugin/SpectraPoise.h"
#include "plugin/float_mode.h"
#include "plugin/worker.h"

namespace {

using namespace spectrapoise::plugin;

// Instances start an update check: keep it off the user's folders and off the network.
const bool kSandboxed = [] {
  char folder[] = "/tmp/sp-bench-XXXXXX";
  if (mkdtemp(folder) != nullptr) setenv("BRIGHTLOOM_DATA_DIR", folder, 1);
  setenv("BRIGHTLOOM_UPDATES_URL", "https://127.0.0.1:9/updates.json", 1);
  return true;
}();

constexpr double kRate = 48000.0;
constexpr std::size_t kFrames = 48000;  // one second, processed block by block

struct Signal {
  std::vector<double> left, right, interleaved;
};

// Pink-ish noise (one-pole filtered white noise), independent channels.
const Signal& signal() {
  static const Signal s = [] {
    Signal x;
    std::mt19937 rng(5);
    std::normal_distribution<double> n(0.0, 0.1);
    double a = 0.0, b = 0.0;
    for (std::size_t i = 0; i < kFrames; ++i) {
      a = 0.97 * a + 0.1 * n(rng);
      b = 0.97 * b + 0.1 * n(rng);
      x.left.push_back(a + n(rng) * 0.2);
      x.right.push_back(b + n(rng) * 0.2);
      x.interleaved.push_back(x.left.back());
      x.interleaved.push_back(x.right.back());
    }
    return x;
  }();
  return s;
}

struct Plug {
  SpectraPoise* p;
  explicit Plug(bool startWorker = false) {
    SpectraPoise::Options o;
    o.startWorker = startWorker;
    p = new SpectraPoise(plugkit::InstanceInfo{}, o);
    p->SetChannelConnections(plugkit::kInput, 0, 2, true);
    p->SetChannelConnections(plugkit::kOutput, 0, 2, true);
    p->SetSampleRate(kRate);
    p->OnReset();
  }
  ~Plug() { p->release(); }
  void set(int idx, double v) {
    p->GetParam(idx)->Set(v);
    p->OnParamChange(idx, plugkit::kHost, 0);
  }
};

void perFrame(benchmark::State& state, std::size_t framesPerIteration) {
  const double frames = static_cast<double>(state.iterations()) * static_cast<double>(framesPerIteration);
  state.counters["per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["x_realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

// One second of audio through ProcessBlock in blocks of state.range(0) frames.
void processSecond(benchmark::State& state, bool correct, bool offline) {
  const int block = static_cast<int>(state.range(0));
  Plug plug;
  plug.set(kCorrect, correct ? 1.0 : 0.0);
  plug.p->SetRenderingOffline(offline);
  plug.p->publishGains({2.0, -1.5, 1.0, 0.5, -2.0});
  const Signal& s = signal();
  std::vector<double> l(s.left), r(s.right);
  for (auto _ : state) {
    for (std::size_t start = 0; start + static_cast<std::size_t>(block) <= kFrames; start += static_cast<std::size_t>(block)) {
      double* in[2] = {const_cast<double*>(s.left.data() + start), const_cast<double*>(s.right.data() + start)};
      double* out[2] = {l.data() + start, r.data() + start};
      plug.p->ProcessBlock(in, out, block);
      plug.p->workerRing().skipToWrite();  // the worker's side, so the ring never fills
    }
    benchmark::DoNotOptimize(l.data());
  }
  perFrame(state, kFrames / static_cast<std::size_t>(block) * static_cast<std::size_t>(block));
}

void BM_ProcessBlock_CorrectionOn(benchmark::State& state) { processSecond(state, true, false); }
void BM_ProcessBlock_CorrectionOff(benchmark::State& state) { processSecond(state, false, false); }
void BM_ProcessBlock_OfflineCorrectionOn(benchmark::State& state) { processSecond(state, true, true); }

// The anchor: libebur128 metering the same buffer (short-term and true peak), same blocks.
void BM_Ebur128_ShortTermTruePeak(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  ScopedFlushDenormals flush;
  const Signal& s = signal();
  ebur128_state* st = ebur128_init(2, static_cast<unsigned long>(kRate), EBUR128_MODE_S | EBUR128_MODE_TRUE_PEAK);
  for (auto _ : state) {
    for (std::size_t start = 0; start + static_cast<std::size_t>(block) <= kFrames; start += static_cast<std::size_t>(block))
      ebur128_add_frames_double(st, s.interleaved.data() + 2 * start, static_cast<std::size_t>(block));
    double v = 0.0;
    ebur128_loudness_shortterm(st, &v);
    benchmark::DoNotOptimize(v);
  }
  ebur128_destroy(&st);
  perFrame(state, kFrames / static_cast<std::size_t>(block) * static_cast<std::size_t>(block));
}

BENCHMARK(BM_ProcessBlock_CorrectionOn)->Arg(64)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessBlock_CorrectionOff)->Arg(64)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ebur128_ShortTermTruePeak)->Arg(64)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessBlock_OfflineCorrectionOn)->Arg(512)->Unit(benchmark::kMicrosecond);

// One worker pass per hop: 2048 new frames in the ring, analysed, fitted and limited.
void BM_WorkerHop(benchmark::State& state) {
  ScopedFlushDenormals flush;
  Plug plug;
  plug.set(kCorrect, 1.0);
  CorrectionWorker worker(*plug.p);
  const Signal& s = signal();
  std::size_t pos = 0;
  auto feed = [&] {
    plug.p->workerRing().write(s.left.data() + pos, s.right.data() + pos, 2048);
    pos = (pos + 2048) % (kFrames - 2048);
  };
  for (int i = 0; i < 4; ++i) {  // the analysis holds 8192 frames before its first hop
    feed();
    worker.runPass();
  }
  for (auto _ : state) {
    state.PauseTiming();
    feed();
    state.ResumeTiming();
    worker.runPass();
  }
  benchmark::DoNotOptimize(plug.p->loadGains());
  // Audio seconds corrected per second: one pass covers 2048 frames.
  state.counters["x_realtime"] =
      benchmark::Counter(2048.0 / kRate, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WorkerHop)->Unit(benchmark::kMicrosecond);

// The anchor: FFTW's real transform of the same size, twice per hop (two channels).
void BM_Fftw_TwoRealTransforms8192(benchmark::State& state) {
  constexpr int kN = 8192;
  float* in = fftwf_alloc_real(kN);
  fftwf_complex* out = fftwf_alloc_complex(kN / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(kN, in, out, FFTW_MEASURE);
  for (int i = 0; i < kN; ++i) in[i] = static_cast<float>(signal().left[static_cast<std::size_t>(i)]);
  for (auto _ : state) {
    fftwf_execute(plan);
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
}
BENCHMARK(BM_Fftw_TwoRealTransforms8192)->Unit(benchmark::kMicrosecond);

// The panel's worst tick: a hop in both panel analyses, readouts and the correction response.
void BM_AnalyseForPanelWorstTick(benchmark::State& state) {
  ScopedFlushDenormals flush;
  Plug plug;
  plug.set(kCorrect, 1.0);
  plug.p->publishGains({2.0, -1.5, 1.0, 0.5, -2.0});
  plug.p->OnUIOpen();
  plug.p->analyseForPanel();
  const Signal& s = signal();
  std::vector<double> l(2048), r(2048);
  std::size_t pos = 0;
  auto feed = [&] {
    double* in[2] = {const_cast<double*>(s.left.data() + pos), const_cast<double*>(s.right.data() + pos)};
    double* out[2] = {l.data(), r.data()};
    plug.p->ProcessBlock(in, out, 2048);
    plug.p->workerRing().skipToWrite();
    pos = (pos + 2048) % (kFrames - 2048);
  };
  for (int i = 0; i < 4; ++i) {
    feed();
    plug.p->analyseForPanel();
  }
  for (auto _ : state) {
    state.PauseTiming();
    feed();
    state.ResumeTiming();
    plug.p->analyseForPanel();
  }
}
BENCHMARK(BM_AnalyseForPanelWorstTick)->Unit(benchmark::kMicrosecond);

// Creating and destroying an instance as a host does (worker thread and update check).
void BM_CreateAndDestroy(benchmark::State& state) {
  for (auto _ : state) {
    SpectraPoise* p = new SpectraPoise(plugkit::InstanceInfo{});
    p->release();
  }
}
BENCHMARK(BM_CreateAndDestroy)->Unit(benchmark::kMicrosecond);

}  // namespace
