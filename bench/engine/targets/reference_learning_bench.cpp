// learnFromFile on a 120 s, 48 kHz stereo file in WAV, FLAC and MP3, next to decoding the
// same file alone with sf_readf_float. The counter x_realtime is audio seconds per second.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/targets/reference_files.h"

namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 120;

// The benchmark files, written once into a temporary folder removed at exit.
struct Files {
  std::filesystem::path dir;
  Files() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sp-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    dir = pattern;
    write("ref.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    write("ref.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    write("ref.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
  }
  ~Files() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  void write(const char* name, int format) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = format;
    SNDFILE* f = sf_open((dir / name).c_str(), SFM_WRITE, &info);
    if (f == nullptr) std::abort();
    std::mt19937 rng(3);
    std::normal_distribution<float> n(0.0f, 0.1f);
    std::vector<float> chunk(2 * 4800);
    for (int block = 0; block < kSeconds * 10; ++block) {
      const float level = 1.0f + 0.6f * std::sin(block * 0.05f);
      // Noise tilted towards the lows like music: a one-pole low-pass mixed in.
      float state = 0.0f;
      for (std::size_t i = 0; i < chunk.size(); ++i) {
        const float w = n(rng);
        state = 0.97f * state + 0.03f * w * 8.0f;
        chunk[i] = level * (0.4f * w + state);
      }
      sf_writef_float(f, chunk.data(), 4800);
    }
    sf_close(f);
  }
  std::string path(const char* name) const { return (dir / name).string(); }
};

const Files& files() {
  static const Files f;
  return f;
}

void flushDenormals() { _mm_setcsr(_mm_getcsr() | 0x8040); }

void realtime(benchmark::State& state) {
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(kSeconds) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_Learn(benchmark::State& state, const char* name) {
  flushDenormals();
  const std::string path = files().path(name);
  for (auto _ : state) {
    spectrapoise::dsp::LearnedTarget learned;
    std::string error;
    if (!spectrapoise::offline::learnFromFile(path, learned, error, 900.0, nullptr))
      state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(learned.curve[90]);
  }
  realtime(state);
}

void BM_DecodeOnly(benchmark::State& state, const char* name) {
  const std::string path = files().path(name);
  std::vector<float> chunk(2 * 4096);
  for (auto _ : state) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    double sum = 0.0;
    while (sf_count_t n = sf_readf_float(f, chunk.data(), 4096)) sum += chunk[0] + chunk[2 * n - 1];
    sf_close(f);
    benchmark::DoNotOptimize(sum);
  }
  realtime(state);
}

BENCHMARK_CAPTURE(BM_DecodeOnly, wav, "ref.wav")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Learn, wav, "ref.wav")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeOnly, flac, "ref.flac")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Learn, flac, "ref.flac")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeOnly, mp3, "ref.mp3")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Learn, mp3, "ref.mp3")->Unit(benchmark::kMillisecond);

}  // namespace
