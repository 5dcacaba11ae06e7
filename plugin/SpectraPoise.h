#pragma once
// The plug-in: one instance per insert. It measures the tonal balance of its input on the
// 180-band grid, fits five correction gains against the current target on a worker thread
// (inline on the audio thread while the host renders offline), applies them with the
// correction cascade, meters loudness and true peak, and feeds the editor's panel.
//
// Threads: the host's main thread (construction, state, editor, the 20 ms idle tick), the
// host's audio thread (OnReset, ProcessBlock, host parameter changes), the correction
// worker (one per instance, from the end of construction to the start of destruction), a
// reference-file learning thread and the update check's schedule. What two threads share
// is an atomic or sits under the mutex that owns it.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/dsp/correction_filters.h"
#include "engine/dsp/correction_fit.h"
#include "engine/dsp/engine_types.h"
#include "engine/dsp/loudness_meter.h"
#include "engine/dsp/spectrum_analysis.h"
#include "engine/dsp/target_learner.h"
#include "engine/dsp/true_peak_meter.h"
#include "engine/targets/target_files.h"
#include "framework/vst3/IPluginVST3.h"
#include "graphics/Style.h"
#include "plugin/host_track.h"
#include "plugin/parameters.h"
#include "plugin/sample_ring.h"
#include "services/presets.h"

namespace brightloom::updates {
class UpdateCheck;
}

namespace plugkit::canvas {
class ICanvas;
class IPopupMenu;
}

namespace spectrapoise::plugin {
class CorrectionWorker;
}

class SpectraPoise : public plugkit::IPluginVST3 {
public:
  using CorrectionGains = spectrapoise::dsp::CorrectionGains;
  using CorrectionSettings = spectrapoise::dsp::CorrectionSettings;
  using Crossovers = spectrapoise::dsp::Crossovers;
  using BandCurve = spectrapoise::dsp::BandCurve;
  using SpectrumView = spectrapoise::dsp::SpectrumView;
  using Readouts = spectrapoise::dsp::Readouts;

  // The current target (kind 0 built-in "Balanced", 1 factory, 2 saved, 3 learned and
  // not yet saved).
  struct Target {
    int kind = 0;
    std::string name = "Balanced";
    std::string source;
    BandCurve curve{};
    BandCurve spread{};
  };

  // The meter readings the audio thread publishes for the panel.
  struct MeterReadings {
    float shortTerm = -150.f;       // LUFS
    float truePeak3s = -150.f;      // dBTP, largest of the last 3 s
    float integrated = -150.f;      // LUFS
    float integratedSeconds = 0.f;  // length of the integrated measurement
    float truePeakSinceReset = -150.f;  // dBTP
  };

  // Learns a target from a reference file: the engine's reader unless replaced.
  using FileLearner = std::function<bool(const std::string& path, spectrapoise::dsp::LearnedTarget& result,
                                         std::string& error, double maxSeconds, const std::atomic<bool>* cancel)>;

  // How an instance runs its threads. Hosts always get the defaults; tests use the others
  // to drive the worker's passes themselves, to shorten its sleeps, or to replace the
  // reference-file reader.
  struct Options {
    bool startWorker = true;
    int busySleepMs = 10;   // after a working pass
    int idleSleepMs = 50;   // after an idle pass
    bool failWorkerStart = false;  // simulates a refused thread
    FileLearner fileLearner;       // empty: the engine's reader
    bool failLearningThreadStart = false;  // simulates a refused learning thread
  };

  // Makes the editor's graphics context. The program that composes the product hands in
  // the platform's maker; without one no editor opens.
  using GraphicsMaker = std::function<plugkit::canvas::ICanvas*(plugkit::canvas::ICanvasEditorDelegate& delegate,
                                                                 int width, int height, int fps, float scale)>;

  static constexpr int kEditorWidth = 640;
  static constexpr int kEditorHeight = 400;
  static constexpr int kEditorFps = 60;
  // View smoothing widths in octaves, by resolution index.
  static constexpr std::array<double, 3> kResolutionOctaves{1.0 / 3.0, 0.5, 1.0};

  explicit SpectraPoise(const plugkit::InstanceInfo& info);
  SpectraPoise(const plugkit::InstanceInfo& info, const Options& options);
  ~SpectraPoise() override;

  static const plugkit::Config& config();

  // Framework hooks.
  void OnUIOpen() override;
  void OnUIClose() override;
  void OnParamChange(int paramIdx, plugkit::EParamSource source, int sampleOffset) override;
  void OnIdle() override;
  // Editor size: the size rule (480 x 300 up to 1280 x 800 points times the platform
  // scale, aspect 1.6) and the host's resize of the window.
  bool ConstrainEditorResize(int& width, int& height) const override;
  void OnParentWindowResize(int width, int height) override;
  // The state chunk with its four tagged blocks; a chunk without the header tag is read
  // as the plain block of one double per parameter. A chunk that does not read whole is
  // refused with -1 and changes nothing.
  bool SerializeState(plugkit::IByteChunk& chunk) const override;
  int UnserializeState(const plugkit::IByteChunk& chunk, int startPos) override;
  // Finds REAPER's host functions on the context, then initialises the binding.
  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  // Releases REAPER's interface and forgets its functions.
  Steinberg::tresult PLUGIN_API terminate() override;
  void OnReset() override;
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
  // Host text for the crossovers accepts "1.50 kHz", "1.5k" and "1500" alike.
  Steinberg::tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID tag, Steinberg::Vst::TChar* string,
                                                      Steinberg::Vst::ParamValue& valueNormalized) override;

  // Accessors (any thread, no lock unless said).
  bool correctionWanted() const;
  CorrectionGains loadGains() const;
  void publishGains(const CorrectionGains& gains);
  void rememberGains(const CorrectionGains& gains);
  CorrectionGains rememberedGains() const;
  CorrectionSettings correctionSettings() const;
  Crossovers crossovers() const;
  CorrectionGains frozenGains() const;
  std::array<float, 4> regionHoldLevels() const;
  MeterReadings meterReadings() const;
  double sampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }
  bool paramOn(int paramIdx) const { return GetParam(paramIdx)->Value() >= 0.5; }

  // The current target: a copy under the target mutex, and its replacement.
  Target currentTarget() const;
  void setTarget(Target target);
  // Only the curve, for the audio thread (copies without allocating).
  void copyTargetCurve(BandCurve& curve) const;
  const std::vector<spectrapoise::offline::SavedTarget>& factoryTargets() const { return factoryTargets_; }

  // Freeze: main thread, on every idle tick.
  void captureFreeze();
  bool freezeCaptureRequested() const { return (freezeRequest_.load() & 1u) != 0; }

  // Panel (main thread).
  void viewTarget();
  void analyseForPanel();
  void setFromPanel(int paramIdx, double value);
  const SpectrumView& spectrumView() const { return view_; }
  const Readouts& readouts() const { return readouts_; }
  // The published gains as last read for drawing.
  const CorrectionGains& panelGains() const { return panelGains_; }
  // The rate the panel analyses were prepared for (0 until they are).
  double panelSampleRate() const { return panelSampleRate_; }
  int resolutionIndex() const { return resolutionIndex_; }
  void setResolutionIndex(int index) { resolutionIndex_ = index < 0 ? 0 : (index > 2 ? 2 : index); }
  bool editorOpen() const { return editorOpen_.load(std::memory_order_relaxed); }
  // The meter's reset request (raised by the panel, taken by the audio thread) and the
  // integrated-versus-short-term display flag.
  void requestMeterReset() { meterResetRequest_.store(true); }
  bool integratedDisplay() const { return integratedDisplay_.load(); }
  // Answers the previous mode.
  bool setIntegratedDisplay(bool integrated) { return integratedDisplay_.exchange(integrated); }
  std::shared_ptr<brightloom::updates::UpdateCheck> updateCheck() const { return updateCheck_; }
  int accentIndex() const { return accentIndex_.load(); }

  // Builds the panel on a new graphics context. Defined with the panel's files (ui/), so
  // only programs that link the panel reference it; the composing program registers it
  // as the layout function (see plugin_entry.cpp).
  void layout(plugkit::canvas::ICanvas* graphics);

  // Target chip and menu (main thread). The menu is filled together with one action per
  // item (empty for separators and items without one); the chip runs the action of the
  // item picked. An action may rebuild the list: a copy runs.
  std::string targetChipLabel() const;
  void buildTargetMenu(plugkit::canvas::IPopupMenu& menu);
  void runTargetMenuAction(int index);
  std::size_t targetMenuActionCount() const { return targetMenuActions_.size(); }
  // The user's saved targets, sorted by name; empty when the folder cannot be read.
  std::vector<spectrapoise::offline::SavedTarget> savedTargets() const;
  std::filesystem::path targetDirectory() const;

  // Learning from the plug-in's input, which advances with the panel's analysis.
  void startInputLearn();
  void finishInputLearn();
  void cancelInputLearn();
  bool inputLearning() const { return inputLearning_; }
  double inputLearnedSeconds() const { return inputLearner_.totalSeconds(); }

  // Learning from a reference file on a thread of its own; OnIdle collects the result.
  void promptForReference();
  void learnFromFile(const std::string& path);
  bool fileLearningBusy() const { return fileLearningBusy_.load(); }

  // Saving the current target under a typed name and deleting the saved one in use.
  // The chip's text handler hands the typed name to setPendingTargetName; the next idle
  // tick saves it.
  void openTargetNameEntry();
  void saveTarget(const std::string& name);
  void deleteSavedTarget();
  void setPendingTargetName(std::string name) { pendingTargetName_ = std::move(name); }

  // An OK box and a Yes/No question through the editor; nothing (No) while it is closed.
  void tell(const std::string& text, const std::string& title);
  bool ask(const std::string& text, const std::string& title);

  // Presets (main thread). loadPreset, savePreset and removePreset report their failures
  // themselves. The preset bar hands a name that needs the overwrite question to
  // setPendingPresetName; the next idle tick saves it with the question.
  std::filesystem::path presetDirectory() const;
  std::vector<brightloom::presets::SavedPreset> savedPresets() const;
  std::string presetName() const;
  std::vector<double> soundSnapshot() const;
  bool presetModified() const { return presetModified_ || modifiedCarry_; }
  void retakePresetSnapshot(bool modified);
  void loadPreset(const brightloom::presets::SavedPreset& preset);
  void savePreset(const std::string& name, bool askBeforeReplacing);
  void removePreset(const brightloom::presets::SavedPreset& preset);
  void setPendingPresetName(std::string name) { pendingPresetName_ = std::move(name); }
  // The editor size last read from a state chunk (points at scale 1).
  int restoredEditorWidth() const { return restoredWidth_; }
  int restoredEditorHeight() const { return restoredHeight_; }

  // Editor size and scale (main thread).
  float platformScale() const;
  float editorScale() const;
  void applyEditorScale(float scale);

  // Track information and accent colour (main thread).
  void trackLabel(StringBuf& label) const;
  bool trackColour(int& r, int& g, int& b) const;
  plugkit::canvas::IColor resolvedAccent(int alpha) const;
  void setAccentIndex(int index);
  // The track label the idle work saw last (the title shows it when not empty).
  const char* keptTrackLabel() const { return keptTrackLabel_.Get(); }
  // Forgets the footer written last, so the next idle tick writes it again (the layout
  // calls it for new controls).
  void forgetFooter() { keptFooter_.clear(); }
  // The footer text: product, version and latency.
  std::string footerText() const;
  // The draw scale a new editor opens at, from the stored editor size and the kept
  // platform scale; 1.0 unless that is a finite number above 0.
  float newEditorScale() const;
  float keptPlatformScale() const { return keptPlatformScale_; }
  void setKeptPlatformScale(float scale) { keptPlatformScale_ = scale; }
  void setGraphicsMaker(GraphicsMaker maker) { graphicsMaker_ = std::move(maker); }

  // The correction worker's body (returns when the stop flag is set).
  void correctionWorker();

  // Test seams.
  spectrapoise::plugin::SampleRing& inputPanelRing() { return inputPanelRing_; }
  spectrapoise::plugin::SampleRing& outputPanelRing() { return outputPanelRing_; }
  spectrapoise::plugin::SampleRing& workerRing() { return workerRing_; }
  bool workerRunning() const { return worker_.joinable(); }
  const spectrapoise::dsp::SpectrumAnalysis& panelInputAnalysis() const { return panelInput_; }
  const spectrapoise::dsp::SpectrumAnalysis& panelOutputAnalysis() const { return panelOutput_; }

private:
  friend class spectrapoise::plugin::CorrectionWorker;

  template <std::size_t N>
  struct AtomicFloats {
    std::array<std::atomic<float>, N> v{};
    float load(std::size_t i) const { return v[i].load(std::memory_order_relaxed); }
    void store(std::size_t i, float x) { v[i].store(x, std::memory_order_relaxed); }
  };

  void construct(const Options& options);
  void prepareDsp(double fs);
  void offlineCorrection(double** outputs, int nOut, int n, bool haveAudio);
  plugkit::canvas::ICanvas* makeEditorGraphics();
  void stopWorker();
  bool sleepUnlessStopped(int milliseconds);
  void drainPanelRing(spectrapoise::plugin::SampleRing& ring, spectrapoise::dsp::SpectrumAnalysis& analysis);

  // Target actions.
  void learningThreadBody(std::string path, FileLearner learner);
  void installLearningResult();
  void saveTargetFile(std::string name);
  void deleteSavedTargetFile();
  // Presets.
  void loadPresetFile(const brightloom::presets::SavedPreset& preset);
  void savePresetFile(const std::string& typed, bool askBeforeReplacing);
  void removePresetFile(const brightloom::presets::SavedPreset& preset);
  void trackPresetModified();
  bool presetNameEmpty() const;
  // Idle steps.
  void idleTick();
  void rebuildEditor();
  void runPendingWork();
  void refreshTrackLabel();
  void refreshShades();
  void refreshFooter();
  bool editorBusy() const;
  // The plain parameter block: one double per parameter.
  int readPlainBlock(const plugkit::IByteChunk& chunk, int startPos);
  // Sends every parameter's value to the editor's controls.
  void sendAllParamsToEditor();

  // Meters.
  spectrapoise::dsp::ShortTermLoudness loudness_;
  spectrapoise::dsp::TruePeak truePeak_;
  double preparedRate_ = 0.0;  // audio thread
  std::atomic<bool> editorOpen_{false};
  AtomicFloats<5> readings_;
  std::atomic<bool> meterResetRequest_{false};
  std::atomic<bool> integratedDisplay_{false};

  // Audio to panel.
  spectrapoise::plugin::SampleRing inputPanelRing_;
  spectrapoise::plugin::SampleRing outputPanelRing_;

  // Correction on the audio thread.
  spectrapoise::dsp::CorrectionFilters filters_;
  double wetStep_ = 1.0 / 960.0;
  double wetMix_ = 0.0;
  bool correctionActive_ = false;
  bool filtersPrimed_ = false;

  // Correction worker.
  spectrapoise::plugin::SampleRing workerRing_;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::mutex stopMutex_;
  std::condition_variable stopWake_;
  Options options_;
  AtomicFloats<5> published_;
  spectrapoise::dsp::CorrectionAnalyser offlineAnalyser_;
  bool offlinePrimed_ = false;  // audio thread
  std::atomic<bool> offlineRendering_{false};
  // Freeze: "Freeze" was on at its last change; the capture request (bit 0) with a
  // generation count above it, so a request raised during a capture is never lost.
  std::atomic<bool> freezeLatched_{false};
  std::atomic<std::uint64_t> freezeRequest_{0};
  std::atomic<bool> captureInProgress_{false};
  AtomicFloats<5> remembered_;
  AtomicFloats<4> holdLevels_;
  bool offlineWasFrozen_ = false;  // audio thread
  std::atomic<double> sampleRate_{48000.0};

  // Panel analysis (main thread).
  spectrapoise::dsp::SpectrumAnalysis panelInput_;
  spectrapoise::dsp::SpectrumAnalysis panelOutput_;
  double panelSampleRate_ = 0.0;
  std::vector<float> panelLeft_;
  std::vector<float> panelRight_;
  bool outputAnalysisRunning_ = false;
  CorrectionGains panelGains_{};

  // Target.
  Target target_;
  mutable std::mutex targetMutex_;
  std::vector<spectrapoise::offline::SavedTarget> factoryTargets_;

  // Target menu, input learning and reference-file learning.
  std::vector<std::function<void()>> targetMenuActions_;
  bool inputLearning_ = false;
  spectrapoise::dsp::TargetLearner inputLearner_;
  std::atomic<bool> fileLearningBusy_{false};
  std::thread learningThread_;
  std::atomic<bool> learningCancel_{false};
  struct LearningResult {
    bool ready = false;
    bool success = false;
    spectrapoise::dsp::LearnedTarget learned;
    std::string source;
    std::string error;
  };
  std::mutex learningResultMutex_;
  LearningResult learningResult_;
  std::optional<std::string> pendingTargetName_;

  // View.
  int resolutionIndex_ = 2;
  SpectrumView view_{};
  Readouts readouts_{};
  float keptPlatformScale_ = 1.f;
  GraphicsMaker graphicsMaker_;

  // Presets.
  mutable std::mutex presetNameMutex_;
  std::string presetName_;
  bool presetModified_ = false;
  bool modifiedCarry_ = false;
  std::vector<double> snapshot_;
  std::atomic<bool> snapshotRetake_{false};
  int restoredWidth_ = 0;
  int restoredHeight_ = 0;
  std::optional<std::string> pendingPresetName_;

  // Idle work.
  bool idleRunning_ = false;
  StringBuf keptTrackLabel_;
  std::string keptFooter_;
  int keptTrackColour_ = -1;
  std::atomic<bool> accentRebuild_{false};

  // REAPER's host functions (all empty outside REAPER).
  spectrapoise::plugin::ReaperFunctions reaper_;

  std::shared_ptr<brightloom::updates::UpdateCheck> updateCheck_;
  std::atomic<int> accentIndex_{5};
};
