#include "tools/run_plugin/run_plugin.h"

#include <cmath>
#include <filesystem>
#include <memory>
#include <new>
#include <random>

#include "engine/dsp/band_grid.h"
#include "engine/dsp/correction_filters.h"
#include "engine/dsp/spectrum_analysis.h"
#include "engine/targets/reference_files.h"
#include "plugin/SpectraPoise.h"
#include "tools/testhost/audio_files.h"
#include "tools/testhost/host_objects.h"
#include "tools/testhost/plugin_host.h"
#include "tools/run_plugin/editor_session.h"
#include "tools/run_plugin/product_instance.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
namespace dsp = spectrapoise::dsp;
namespace sp = spectrapoise::plugin;

namespace runplugin {

namespace {

// The worker may fall this far behind the audio fed to it; then the feeding waits until it
// has read everything. One analysis window: the gains never lag by more than that.
constexpr std::uint64_t kMostUnreadFrames = 8192;
// The host's idle ticks: every 20 ms of audio; while the editor is open, every fifth of
// them (100 ms: each one draws a frame on the software renderer, and the panel's rings hold
// far more than that much audio).
constexpr std::uint64_t kTicksPerSecond = 50;
constexpr std::uint64_t kEditorTickEvery = 5;
// The closing figure covers this much of the end.
constexpr double kFigureSeconds = 10.0;

// Pink noise from independent white sources through one-pole low-passes an octave apart,
// each with a power weight of the inverse of its corner frequency: the powers add up to 1/f.
// Scaled to an RMS of 0.1 (from the sources' summed variance), so it streams.
class PinkNoise {
public:
  PinkNoise(double rate, std::uint32_t seed) : rng_(seed) {
    double variance = 0.0;
    for (int i = 0; i < kPoles; ++i) {
      const double corner = 10.0 * std::pow(2.0, i);
      coefficient_[i] = 1.0 - std::exp(-2.0 * M_PI * std::min(corner, 0.45 * rate) / rate);
      weight_[i] = 1.0 / std::sqrt(corner);
      // A one-pole low-pass y += c (x - y) of unit white noise has the variance c / (2 - c).
      variance += weight_[i] * weight_[i] * coefficient_[i] / (2.0 - coefficient_[i]);
    }
    scale_ = 0.1 / std::sqrt(variance);
  }

  double next() {
    double y = 0.0;
    for (int i = 0; i < kPoles; ++i) {
      state_[i] += coefficient_[i] * (white_(rng_) - state_[i]);
      y += weight_[i] * state_[i];
    }
    return y * scale_;
  }

private:
  static constexpr int kPoles = 12;
  std::mt19937 rng_;
  std::normal_distribution<double> white_{0.0, 1.0};
  double coefficient_[kPoles] = {}, weight_[kPoles] = {}, state_[kPoles] = {};
  double scale_ = 1.0;
};

// Where the frames come from, a block of at most maxFrames at a time.
class FrameSource {
public:
  virtual ~FrameSource() = default;
  // Fills up to n frames; answers the frames given, 0 at the end.
  virtual std::size_t read(float* left, float* right, std::size_t n) = 0;
};

// The demo signal: pink noise made dull and boomy (fixed seeds), stereo.
class DemoSignal : public FrameSource {
public:
  DemoSignal(double seconds, double rate, std::size_t maxFrames)
      : left_(rate, 17), right_(rate, 29), frames_(static_cast<std::uint64_t>(std::max(seconds, 1.0) * rate)),
        l_(maxFrames), r_(maxFrames) {
    // Dull and boomy: the balance tipped toward the lows, the highs held back.
    colour_.prepare(rate);
    colour_.setTargets({-2.0, 4.0, 1.5, -1.5, -3.0}, dsp::Crossovers{});
  }
  std::uint64_t frames() const { return frames_; }

  std::size_t read(float* left, float* right, std::size_t n) override {
    n = static_cast<std::size_t>(std::min<std::uint64_t>({n, l_.size(), frames_ - given_}));
    for (std::size_t i = 0; i < n; ++i) {
      l_[i] = left_.next();
      r_[i] = right_.next();
    }
    double* ch[2] = {l_.data(), r_.data()};
    colour_.process(ch, 2, static_cast<int>(n));
    for (std::size_t i = 0; i < n; ++i) {
      left[i] = static_cast<float>(l_[i]);
      right[i] = static_cast<float>(r_[i]);
    }
    given_ += n;
    return n;
  }

private:
  PinkNoise left_, right_;
  dsp::CorrectionFilters colour_;
  std::uint64_t frames_;
  std::uint64_t given_ = 0;
  std::vector<double> l_, r_;
};

// An audio file's first two channels (a mono file's one channel twice).
class FileSource : public FrameSource {
public:
  explicit FileSource(std::size_t maxFrames) : maxFrames_(maxFrames) {}

  bool open(const std::string& path, std::string& error) {
    if (!spectrapoise::offline::isReferenceFileName(path)) {
      error = "unsupported file type " + std::filesystem::path(path).extension().string() + " (WAV, AIFF, MP3 or FLAC)";
      return false;
    }
    std::string reason;
    if (!file_.open(path, reason)) {
      error = "could not read " + path + ": " + reason;
      return false;
    }
    samples_.resize(maxFrames_ * static_cast<std::size_t>(file_.channels()));
    return true;
  }
  const testhost::AudioReader& file() const { return file_; }

  std::size_t read(float* left, float* right, std::size_t n) override {
    const int channels = file_.channels();
    const auto got = static_cast<std::size_t>(file_.read(samples_.data(), static_cast<std::int64_t>(std::min(n, maxFrames_))));
    const float* frame = samples_.data();
    for (std::size_t i = 0; i < got; ++i, frame += channels) {
      left[i] = frame[0];
      right[i] = channels > 1 ? frame[1] : frame[0];
    }
    return got;
  }

private:
  std::size_t maxFrames_;
  testhost::AudioReader file_;
  std::vector<float> samples_;
};

// The band powers of a stream, kept for the closing figure: every analysis hop's powers
// from the last 10 s, each hop weighed alike (silent hops count as none).
class StretchSpectrum {
public:
  explicit StretchSpectrum(double rate)
      : capacity_(static_cast<std::size_t>(kFigureSeconds * rate / dsp::SpectrumAnalysis::kHopSize) + 1) {
    analysis_.prepare(rate);
    analysis_.hopCallback = [this](const dsp::BandCurve& powers, double, double) { remember(powers); };
  }
  StretchSpectrum(const StretchSpectrum&) = delete;
  StretchSpectrum& operator=(const StretchSpectrum&) = delete;

  void push(float left, float right) {
    ++frames_;
    analysis_.push(left, right);
  }

  // RMS over 40 Hz..16 kHz of the deviation of the mean band powers of the hops whose whole
  // window lies at or after frame `start` from the target curve (both brought to the same
  // mean). 0 without such a hop.
  double deviation(std::uint64_t start, const dsp::BandCurve& target) const {
    dsp::BandCurve mean{};
    int hops = 0;
    for (const Hop& hop : hops_) {
      if (hop.end < start + dsp::SpectrumAnalysis::kWindowSize) continue;
      for (std::size_t k = 0; k < dsp::kBandCount; ++k) mean[k] += hop.powers[k];
      ++hops;
    }
    if (hops == 0) return 0.0;
    double level = 0.0;
    int n = 0;
    dsp::BandCurve d{};
    for (std::size_t k = 0; k < dsp::kBandCount; ++k) {
      if (!inRange(k)) continue;
      d[k] = dsp::powerToDb(mean[k] / hops) - target[k];
      level += d[k];
      ++n;
    }
    if (n == 0) return 0.0;
    level /= n;
    double sum = 0.0;
    for (std::size_t k = 0; k < dsp::kBandCount; ++k)
      if (inRange(k)) sum += (d[k] - level) * (d[k] - level);
    return std::sqrt(sum / n);
  }

private:
  struct Hop {
    std::uint64_t end;  // the frame after the hop's window
    dsp::BandCurve powers;
  };

  bool inRange(std::size_t k) const {
    return analysis_.belowNyquist[k] && dsp::inCorrectionRange(dsp::bandFrequency(k));
  }

  // A ring that grows to its capacity as hops come.
  void remember(const dsp::BandCurve& powers) {
    if (hops_.size() < capacity_) {
      hops_.push_back({frames_, powers});
    } else {
      hops_[next_] = {frames_, powers};
      next_ = (next_ + 1) % capacity_;
    }
  }

  dsp::SpectrumAnalysis analysis_;
  std::size_t capacity_;
  std::vector<Hop> hops_;
  std::size_t next_ = 0;
  std::uint64_t frames_ = 0;
};

// Makes a folder and its parents; an existing folder is fine.
bool makeFolder(const std::filesystem::path& folder, std::string& error) {
  if (folder.empty()) return true;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!ec && !std::filesystem::is_directory(folder, ec)) ec = std::make_error_code(std::errc::not_a_directory);
  if (!ec) return true;
  error = "cannot create the folder " + folder.string() + ": " + ec.message();
  return false;
}

bool openOutput(testhost::WavWriter& writer, const std::string& path, double rate, std::string& error) {
  std::string reason;
  if (writer.open(path, 2, static_cast<int>(rate), false, reason)) return true;
  error = "could not write " + path + ": " + reason;
  return false;
}

std::string stemOf(const std::string& path) { return std::filesystem::path(path).stem().string(); }

void removeFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
}

std::string secondsText(std::uint64_t frames, double rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(frames) / rate);
  return text;
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

// The audio to process: the demo signal (written to the output folder as it is made) or
// the first two channels of a file.
struct Input {
  std::unique_ptr<FrameSource> source;
  FileSource* file = nullptr;  // the file, when the input is one (owned by source)
  DemoSignal* demo = nullptr;  // the demo, when the input is the demo (owned by source)
  testhost::WavWriter demoFile;
  double rate = 48000.0;
  std::string stem = "spectrapoise-demo";

  // The frames the input says it has; -1 when a file does not say.
  std::int64_t knownFrames() const {
    return file != nullptr ? file->file().declaredFrames() : static_cast<std::int64_t>(demo->frames());
  }
};

bool openInput(const Options& options, std::size_t blockFrames, std::FILE* out, Input& input, std::string& error) {
  if (options.input.empty()) {
    auto demo = std::make_unique<DemoSignal>(options.demoSeconds, input.rate, blockFrames);
    const std::string demoIn = (std::filesystem::path(options.outDir) / "spectrapoise-demo-in.wav").string();
    if (!makeFolder(options.outDir, error) || !openOutput(input.demoFile, demoIn, input.rate, error)) return false;
    std::fprintf(out, "demo signal: %.0f s of pink noise, dull and boomy, written to %s\n",
                 static_cast<double>(demo->frames()) / input.rate, demoIn.c_str());
    input.demo = demo.get();
    input.source = std::move(demo);
    return true;
  }
  auto opened = std::make_unique<FileSource>(blockFrames);
  if (!opened->open(options.input, error)) return false;
  const testhost::AudioReader& reader = opened->file();
  input.rate = reader.sampleRate();
  input.stem = stemOf(options.input);
  if (reader.declaredFrames() >= 0) {
    std::fprintf(out, "input: %s, %.1f s at %.0f Hz\n", options.input.c_str(),
                 static_cast<double>(reader.declaredFrames()) / input.rate, input.rate);
  } else {
    std::fprintf(out, "input: %s at %.0f Hz\n", options.input.c_str(), input.rate);
  }
  if (reader.channels() > 2)
    std::fprintf(out, "the file has %d channels: the first 2 are processed, the other %d are left out\n",
                 reader.channels(), reader.channels() - 2);
  input.file = opened.get();
  input.source = std::move(opened);
  return true;
}

// The processed file: the one asked for, or "<stem>-spectrapoise.wav" in the output folder.
bool openProcessed(const Options& options, const Input& input, testhost::WavWriter& writer, std::string& path,
                   std::string& error) {
  path = options.output;
  if (path.empty()) {
    if (!makeFolder(options.outDir, error)) return false;
    path = (std::filesystem::path(options.outDir) / (input.stem + "-spectrapoise.wav")).string();
  } else if (!makeFolder(std::filesystem::path(path).parent_path(), error)) {
    return false;
  }
  return openOutput(writer, path, input.rate, error);
}

// The options' parameter changes, for the first block; told to the controller too as hosts
// do (so an open editor shows them).
void setFirstParameters(const Options& options, ProductInstance& session, testhost::ParameterChanges& changes) {
  SpectraPoise& plug = *session.plug;
  auto set = [&](int param, double normalized) {
    changes.add(static_cast<ParamID>(param), 0, normalized);
    session.host->controller()->setParamNormalized(static_cast<ParamID>(param), normalized);
  };
  set(sp::kCorrect, options.correct ? 1.0 : 0.0);
  if (options.amount >= 0.0)
    for (const int p : sp::kAmountParams) set(p, plug.GetParam(p)->ToNormalized(options.amount));
  if (options.speed >= 0.0) set(sp::kCorrectSpeed, plug.GetParam(sp::kCorrectSpeed)->ToNormalized(options.speed));
}

// What processing leaves behind: the frames processed, both streams' spectra for the
// closing figure, and the editor when it opened.
struct Processed {
  explicit Processed(double rate) : inSpectrum(rate), outSpectrum(rate) {}
  std::uint64_t frames = 0;
  StretchSpectrum inSpectrum, outSpectrum;
  std::unique_ptr<EditorSession> editor;
};

// The frame from which the editor is open: the last stretch of the audio, all of it when the
// length is not known (the panel analyses only while it is open).
std::uint64_t editorStart(const Options& options, const Input& input) {
  const std::int64_t known = input.knownFrames();
  if (known <= 0) return 0;
  const auto stretch = static_cast<std::uint64_t>(std::max(options.editorSeconds, 0.0) * input.rate);
  return static_cast<std::uint64_t>(known) > stretch ? static_cast<std::uint64_t>(known) - stretch : 0;
}

// Feeds the input through the instance a block at a time, writing the processed file (and
// the demo as it is made), firing the host's idle ticks by audio time and printing a line a
// second; opens the editor when its stretch begins.
bool process(const Options& options, Input& input, ProductInstance& session, testhost::WavWriter& outFile,
             const std::string& outPath, std::FILE* out, Processed& done, std::string& error) {
  const int block = std::clamp(options.block, 1, 65536);
  const auto blockFrames = static_cast<std::size_t>(block);
  SpectraPoise* plug = session.plug;
  testhost::Plugin& host = *session.host;
  const std::uint64_t editorFrom = editorStart(options, input);
  testhost::ParameterChanges changes;
  setFirstParameters(options, session, changes);

  testhost::AudioBlock audio(2, 2, block, kSample32);
  std::vector<float> inL(blockFrames), inR(blockFrames), inDemo(2 * blockFrames), outLR(2 * blockFrames);
  const auto perSecond = static_cast<std::uint64_t>(input.rate);
  std::uint64_t& frames = done.frames;
  std::uint64_t ticks = 0;
  std::uint64_t nextLine = perSecond;
  while (const std::size_t n = input.source->read(inL.data(), inR.data(), blockFrames)) {
    if (options.editor && !done.editor && frames >= editorFrom) {
      done.editor = std::make_unique<EditorSession>(host.createView(), *session.loop, [plug] { return plug->GetUI(); });
      if (!done.editor->open(error) || !done.editor->play(options.ui, error)) return false;
      std::fprintf(out, "editor open from %s\n", secondsText(frames, input.rate).c_str());
    }
    for (std::size_t i = 0; i < n; ++i) {
      audio.setIn(0, static_cast<int>(i), inL[i]);
      audio.setIn(1, static_cast<int>(i), inR[i]);
      done.inSpectrum.push(inL[i], inR[i]);
    }
    if (input.demo != nullptr) {
      for (std::size_t i = 0; i < n; ++i) {
        inDemo[2 * i] = inL[i];
        inDemo[2 * i + 1] = inR[i];
      }
      if (!input.demoFile.write(inDemo.data(), static_cast<std::int64_t>(n))) {
        error = "could not write all of the demo signal";
        return false;
      }
    }
    audio.setFrames(static_cast<int>(n));
    host.process(audio, &changes);
    changes.clear();
    for (std::size_t i = 0; i < n; ++i) {
      const auto l = static_cast<float>(audio.out(0, static_cast<int>(i)));
      const auto r = static_cast<float>(audio.out(1, static_cast<int>(i)));
      outLR[2 * i] = l;
      outLR[2 * i + 1] = r;
      done.outSpectrum.push(l, r);
    }
    if (!outFile.write(outLR.data(), static_cast<std::int64_t>(n))) {
      error = "could not write all of " + outPath;
      return false;
    }
    frames += n;
    // The worker runs on its own thread: wait for it whenever it is a window behind.
    if (!options.offline && plug->workerRing().unread() >= kMostUnreadFrames && !waitForWorker(*plug)) {
      error = "the plug-in's correction worker read no audio for 10 s";
      return false;
    }
    // The host's idle ticks, by audio time (several a frame at the lowest rates).
    for (const std::uint64_t due = frames * kTicksPerSecond / perSecond; ticks < due; ++ticks)
      if (!done.editor || ticks % kEditorTickEvery == 0) session.loop->fire(1);
    for (; frames >= nextLine; nextLine += perSecond) printLine(out, static_cast<double>(nextLine / perSecond), *plug);
  }
  return true;
}

// A file must have been read to the length it declares, and hold some audio.
bool checkWholeFileRead(const Options& options, const Input& input, std::uint64_t frames, std::string& error) {
  if (input.file == nullptr) return true;
  const std::int64_t declared = input.file->file().declaredFrames();
  if (declared > 0 && frames < static_cast<std::uint64_t>(declared)) {
    error = options.input + ": only " + secondsText(frames, input.rate) + " of its " +
            secondsText(static_cast<std::uint64_t>(declared), input.rate) + " could be read (" +
            std::to_string(frames) + " of " + std::to_string(declared) + " frames); nothing written";
    return false;
  }
  if (frames == 0) {
    error = "no audio in " + options.input;
    return false;
  }
  return true;
}

void printDeviation(std::FILE* out, const SpectraPoise& plug, const Processed& done, double rate) {
  const auto stretch = static_cast<std::uint64_t>(kFigureSeconds * rate);
  const std::uint64_t tail = done.frames > stretch ? done.frames - stretch : 0;
  const dsp::BandCurve target = plug.currentTarget().curve;
  std::fprintf(out, "deviation from the \"%s\" target over the last %.0f s (rms, 40 Hz to 16 kHz): input %.2f dB, output %.2f dB\n",
               plug.currentTarget().name.c_str(), static_cast<double>(done.frames - tail) / rate,
               done.inSpectrum.deviation(tail, target), done.outSpectrum.deviation(tail, target));
}

// The editor's pictures beside the processed file, then the editor closed; a script that
// went wrong fails the run and leaves no picture.
bool writeEditorPictures(Processed& done, const std::string& outPath, std::vector<std::string>& pictures,
                         std::string& error) {
  if (!done.editor) return true;
  const std::filesystem::path folder = std::filesystem::path(outPath).parent_path();
  const std::string name = stemOf(outPath) + "-editor";
  pictures = {(folder / (name + ".png")).string(), (folder / (name + "@2x.png")).string()};
  const bool drawn = done.editor->writePictures(pictures[0], pictures[1], error);
  const std::vector<std::string> unanswered = done.editor->failures(true);
  done.editor.reset();
  if (!drawn) return false;
  if (!unanswered.empty()) {
    removeFiles(pictures);
    error = "the editor's script went wrong: " + unanswered.front();
    return false;
  }
  return true;
}

// The demo and the processed file replace their targets; on failure the pictures go too.
bool commitAudio(const Options& options, Input& input, testhost::WavWriter& outFile, const std::string& outPath,
                 const std::vector<std::string>& pictures, std::string& error) {
  if (input.demo != nullptr && !input.demoFile.commit()) {
    removeFiles(pictures);
    error = "could not write the demo signal to " + options.outDir;
    return false;
  }
  if (!outFile.commit()) {
    removeFiles(pictures);
    error = "could not write " + outPath;
    return false;
  }
  return true;
}

bool runUnguarded(const Options& options, std::FILE* out, std::string& error) {
  const int block = std::clamp(options.block, 1, 65536);
  Input input;
  testhost::WavWriter outFile;
  std::string outPath;
  if (!openInput(options, static_cast<std::size_t>(block), out, input, error) ||
      !openProcessed(options, input, outFile, outPath, error))
    return false;

  // The instance, created through the module's factory as a host does.
  ProductSetup setup;
  setup.rate = input.rate;
  setup.block = block;
  setup.offline = options.offline;
  setup.bundleModule = options.bundleModule;
  ProductInstance session;
  if (!startProduct(setup, session, error)) return false;
  std::fprintf(out, "%s processing in blocks of %d frames, Correct %s\n",
               options.offline ? "offline" : "real-time", block, options.correct ? "on" : "off");

  Processed done(input.rate);
  if (!process(options, input, session, outFile, outPath, out, done, error) ||
      !checkWholeFileRead(options, input, done.frames, error))
    return false;
  printDeviation(out, *session.plug, done, input.rate);
  std::vector<std::string> pictures;
  if (!writeEditorPictures(done, outPath, pictures, error)) return false;
  session.host.reset();
  if (!commitAudio(options, input, outFile, outPath, pictures, error)) return false;

  std::fprintf(out, "processed audio written to %s\n", outPath.c_str());
  if (!pictures.empty())
    std::fprintf(out, "editor picture written to %s (and at scale 2 to %s)\n", pictures[0].c_str(),
                 pictures[1].c_str());
  return true;
}

}  // namespace

bool run(const Options& options, std::FILE* out, std::string& error) {
  try {
    return runUnguarded(options, out, error);
  } catch (const std::bad_alloc&) {
    error = "out of memory";
    return false;
  }
}

}  // namespace runplugin
