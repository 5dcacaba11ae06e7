#include "tools/run_plugin/run_plugin.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <thread>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/correction_filters.h"
#include "engine/dsp/spectrum_analysis.h"
#include "engine/targets/reference_files.h"
#include "framework/vst3/PluginEntry.h"
#include "plugin/SpectraPoise.h"
#include "tools/testhost/host_objects.h"
#include "tools/testhost/plugin_host.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
namespace dsp = spectrapoise::dsp;
namespace sp = spectrapoise::plugin;

namespace runplugin {

namespace {

// The worker may fall this far behind the audio fed to it; then the feeding waits until it
// has read everything. One analysis window: the gains never lag by more than that.
constexpr std::uint64_t kMostUnreadFrames = 8192;

// Pink noise from independent white sources through one-pole low-passes an octave apart,
// each with a power weight of the inverse of its corner frequency: the powers add up to 1/f.
std::vector<float> pinkNoise(std::size_t frames, double rate, std::uint32_t seed) {
  constexpr int kPoles = 12;
  std::mt19937 rng(seed);
  std::normal_distribution<double> white(0.0, 1.0);
  double coefficient[kPoles], weight[kPoles], state[kPoles] = {};
  for (int i = 0; i < kPoles; ++i) {
    const double corner = 10.0 * std::pow(2.0, i);
    coefficient[i] = 1.0 - std::exp(-2.0 * M_PI * std::min(corner, 0.45 * rate) / rate);
    weight[i] = 1.0 / std::sqrt(corner);
  }
  std::vector<float> out(frames);
  double sumSquares = 0.0;
  std::vector<double> raw(frames);
  for (std::size_t n = 0; n < frames; ++n) {
    double y = 0.0;
    for (int i = 0; i < kPoles; ++i) {
      state[i] += coefficient[i] * (white(rng) - state[i]);
      y += weight[i] * state[i];
    }
    raw[n] = y;
    sumSquares += y * y;
  }
  const double scale = 0.1 / std::sqrt(sumSquares / static_cast<double>(frames));  // RMS 0.1
  for (std::size_t n = 0; n < frames; ++n) out[n] = static_cast<float>(raw[n] * scale);
  return out;
}

std::string stemOf(const std::string& path) { return std::filesystem::path(path).stem().string(); }

struct Deviation {
  double before = 0.0;
  double after = 0.0;
};

// RMS over 40 Hz..16 kHz of the measured curve's deviation from the target curve (both
// brought to the same mean), over the 10 s before the end.
double deviationFromTarget(const std::vector<float>& l, const std::vector<float>& r, double rate,
                           const dsp::BandCurve& target) {
  dsp::SpectrumAnalysis a;
  a.prepare(rate);
  for (std::size_t i = 0; i < l.size(); ++i) a.push(l[i], r[i]);
  if (!a.hasMeasurement) return 0.0;
  double mean = 0.0;
  int n = 0;
  dsp::BandCurve d{};
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    if (!a.belowNyquist[k] || !dsp::inCorrectionRange(dsp::bandFrequency(k))) continue;
    d[k] = dsp::powerToDb(a.longPowers[k]) - target[k];
    mean += d[k];
    ++n;
  }
  if (n == 0) return 0.0;
  mean /= n;
  double sum = 0.0;
  for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
    if (!a.belowNyquist[k] || !dsp::inCorrectionRange(dsp::bandFrequency(k))) continue;
    sum += (d[k] - mean) * (d[k] - mean);
  }
  return std::sqrt(sum / n);
}

void printLine(std::FILE* out, double seconds, const SpectraPoise& plug) {
  const SpectraPoise::MeterReadings m = plug.meterReadings();
  const dsp::CorrectionGains g = plug.loadGains();
  std::fprintf(out,
               "%6.0f s  short-term %6.1f LUFS  integrated %6.1f LUFS  true peak %6.1f dBTP  "
               "gains tilt %+5.2f  low %+5.2f  lo-mid %+5.2f  hi-mid %+5.2f  high %+5.2f dB\n",
               seconds, m.shortTerm, m.integrated, m.truePeak3s, g.tilt, g.low, g.loMid, g.hiMid, g.high);
  std::fflush(out);
}

}  // namespace

void demoSignal(double seconds, double rate, std::vector<float>& left, std::vector<float>& right) {
  const std::size_t frames = static_cast<std::size_t>(std::max(seconds, 1.0) * rate);
  left = pinkNoise(frames, rate, 17);
  right = pinkNoise(frames, rate, 29);
  // Dull and boomy: the balance tipped toward the lows, the highs held back.
  dsp::CorrectionFilters colour;
  colour.prepare(rate);
  colour.setTargets({-2.0, 4.0, 1.5, -1.5, -3.0}, dsp::Crossovers{});
  std::vector<double> l(left.begin(), left.end()), r(right.begin(), right.end());
  double* ch[2] = {l.data(), r.data()};
  colour.process(ch, 2, static_cast<int>(frames));
  for (std::size_t i = 0; i < frames; ++i) {
    left[i] = static_cast<float>(l[i]);
    right[i] = static_cast<float>(r[i]);
  }
}

bool run(const Options& options, std::FILE* out, std::string& error) {
  // The audio.
  std::vector<float> inL, inR;
  double rate = 48000.0;
  std::string stem = "spectrapoise-demo";
  if (options.input.empty()) {
    demoSignal(options.demoSeconds, rate, inL, inR);
    const std::string demoIn = (std::filesystem::path(options.outDir) / "spectrapoise-demo-in.wav").string();
    std::filesystem::create_directories(options.outDir);
    if (!spectrapoise::offline::writeWavFile(demoIn, inL, inR, rate, error)) return false;
    std::fprintf(out, "demo signal: %.0f s of pink noise, dull and boomy, written to %s\n",
                 static_cast<double>(inL.size()) / rate, demoIn.c_str());
  } else {
    if (!spectrapoise::offline::readAudioFile(options.input, inL, inR, rate, error, 24.0 * 3600.0)) return false;
    if (inL.empty()) {
      error = "no audio in " + options.input;
      return false;
    }
    stem = stemOf(options.input);
    std::fprintf(out, "input: %s, %.1f s at %.0f Hz\n", options.input.c_str(), static_cast<double>(inL.size()) / rate,
                 rate);
  }
  std::string outPath = options.output;
  if (outPath.empty()) {
    std::filesystem::create_directories(options.outDir);
    outPath = (std::filesystem::path(options.outDir) / (stem + "-spectrapoise.wav")).string();
  }

  // The instance, created through the module's factory as a host does.
  IPluginFactory* factory = plugkit::GetPluginFactoryInstance();
  PClassInfo info;
  void* object = nullptr;
  if (factory->getClassInfo(0, &info) != kResultOk ||
      factory->createInstance(info.cid, IComponent::iid, &object) != kResultOk || object == nullptr) {
    factory->release();
    error = "the factory made no instance";
    return false;
  }
  auto* plug = dynamic_cast<SpectraPoise*>(static_cast<IComponent*>(object));
  std::unique_ptr<testhost::Plugin> host = testhost::Plugin::adopt(static_cast<IComponent*>(object), error);
  factory->release();
  if (!host || plug == nullptr) {
    if (error.empty()) error = "the instance is not SpectraPoise";
    return false;
  }

  auto* loop = new testhost::RunLoop();
  auto* context = new testhost::HostContext("SpectraPoise run");
  context->setRunLoop(loop);
  bool ok = host->initialize(static_cast<IHostApplication*>(context)) == kResultOk;
  SpeakerArrangement stereo = SpeakerArr::kStereo;
  ok = ok && host->processor()->setBusArrangements(&stereo, 1, &stereo, 1) == kResultOk;
  host->component()->activateBus(kAudio, kInput, 0, true);
  host->component()->activateBus(kAudio, kOutput, 0, true);
  const int block = std::clamp(options.block, 1, 65536);
  ok = ok && host->setup(rate, block, kSample32, options.offline ? kOffline : kRealtime) == kResultOk;
  if (!ok) {
    host.reset();
    context->release();
    loop->release();
    error = "the plug-in refused the set-up";
    return false;
  }
  host->start();
  std::fprintf(out, "%s processing in blocks of %d frames, Correct %s\n",
               options.offline ? "offline" : "real-time", block, options.correct ? "on" : "off");

  // Parameter changes of the first block.
  testhost::ParameterChanges changes;
  changes.add(sp::kCorrect, 0, options.correct ? 1.0 : 0.0);
  if (options.amount >= 0.0)
    for (const int p : sp::kAmountParams) changes.add(static_cast<ParamID>(p), 0, plug->GetParam(p)->ToNormalized(options.amount));
  if (options.speed >= 0.0)
    changes.add(sp::kCorrectSpeed, 0, plug->GetParam(sp::kCorrectSpeed)->ToNormalized(options.speed));

  testhost::AudioBlock audio(2, 2, block, kSample32);
  std::vector<float> outL(inL.size()), outR(inR.size());
  const std::size_t frames = inL.size();
  const std::size_t perSecond = static_cast<std::size_t>(rate);
  const std::size_t perTick = static_cast<std::size_t>(std::lround(rate * 0.02));
  std::size_t nextLine = perSecond;
  std::size_t nextTick = perTick;
  for (std::size_t start = 0; start < frames; start += static_cast<std::size_t>(block)) {
    const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(block), frames - start));
    for (int i = 0; i < n; ++i) {
      audio.setIn(0, i, inL[start + static_cast<std::size_t>(i)]);
      audio.setIn(1, i, inR[start + static_cast<std::size_t>(i)]);
    }
    audio.setFrames(n);
    host->process(audio, &changes);
    changes.clear();
    for (int i = 0; i < n; ++i) {
      outL[start + static_cast<std::size_t>(i)] = static_cast<float>(audio.out(0, i));
      outR[start + static_cast<std::size_t>(i)] = static_cast<float>(audio.out(1, i));
    }
    const std::size_t done = start + static_cast<std::size_t>(n);
    // The worker runs on its own thread: wait for it whenever it is a window behind.
    if (!options.offline && plug->workerRing().unread() >= kMostUnreadFrames) {
      while (plug->workerRing().unread() > 0) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    // The host's 20 ms idle ticks, by audio time.
    while (done >= nextTick) {
      loop->fire(1);
      nextTick += perTick;
    }
    while (done >= nextLine) {
      printLine(out, static_cast<double>(nextLine / perSecond), *plug);
      nextLine += perSecond;
    }
  }

  const dsp::BandCurve target = plug->currentTarget().curve;
  const std::size_t tail = frames > 10 * perSecond ? frames - 10 * perSecond : 0;
  const std::vector<float> tailInL(inL.begin() + static_cast<long>(tail), inL.end());
  const std::vector<float> tailInR(inR.begin() + static_cast<long>(tail), inR.end());
  const std::vector<float> tailOutL(outL.begin() + static_cast<long>(tail), outL.end());
  const std::vector<float> tailOutR(outR.begin() + static_cast<long>(tail), outR.end());
  std::fprintf(out, "deviation from the \"%s\" target over the last %.0f s (rms, 40 Hz to 16 kHz): input %.2f dB, output %.2f dB\n",
               plug->currentTarget().name.c_str(), static_cast<double>(frames - tail) / rate,
               deviationFromTarget(tailInL, tailInR, rate, target), deviationFromTarget(tailOutL, tailOutR, rate, target));

  host.reset();
  context->release();
  loop->release();

  if (!spectrapoise::offline::writeWavFile(outPath, outL, outR, rate, error)) return false;
  std::fprintf(out, "processed audio written to %s\n", outPath.c_str());
  return true;
}

}  // namespace runplugin
