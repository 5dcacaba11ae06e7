#pragma once
// The plug-in: one instance per insert. It measures the tonal balance of its input on the
// 180-band grid, fits five correction gains against the current target on a worker thread
// (inline on the audio thread while the host renders offline), applies them with the
// correction cascade, meters loudness and true peak, and feeds the editor's panel.
//
// Its state sits in role objects: the meters, the correction link (what the audio thread,
// the worker and the main thread share about the correction), the panel feed (the audio
// handed to the panel and the panel's analysis) and the target store. The panel reaches
// the plug-in only through EditorServices, the worker only through WorkerPort.
//
// Threads: the host's main thread (construction, state, editor, the 20 ms idle tick), the
// host's audio thread (OnReset, ProcessBlock, host parameter changes), the correction
// worker (one per instance, from the end of construction to the start of destruction), a
// reference-file learning run (FileLearning: it touches nothing of the instance, so a run
// stuck in a read may outlive it) and the update check's schedule. What two threads share
// is an atomic or sits under the mutex that owns it.
#include <array>
#include <atomic>
#include <condition_variable>
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
#include "engine/dsp/target_learner.h"
#include "engine/targets/target_files.h"
#include "framework/vst3/IPluginVST3.h"
#include "plugin/correction_link.h"
#include "plugin/editor_services.h"
#include "plugin/file_learning.h"
#include "plugin/host_track.h"
#include "plugin/meters.h"
#include "plugin/panel_feed.h"
#include "plugin/parameters.h"
#include "plugin/sample_ring.h"
#include "plugin/target_store.h"
#include "plugin/worker.h"

namespace plugkit::canvas {
class ICanvas;
}

class SpectraPoise : public plugkit::IPluginVST3,
                     public spectrapoise::plugin::EditorServices,
                     public spectrapoise::plugin::WorkerPort {
public:
  using CorrectionGains = spectrapoise::dsp::CorrectionGains;
  using CorrectionSettings = spectrapoise::dsp::CorrectionSettings;
  using Crossovers = spectrapoise::dsp::Crossovers;
  using BandCurve = spectrapoise::dsp::BandCurve;
  using SpectrumView = spectrapoise::dsp::SpectrumView;
  using Readouts = spectrapoise::dsp::Readouts;
  using Target = spectrapoise::plugin::Target;
  using TargetKind = spectrapoise::plugin::TargetKind;
  using MeterReadings = spectrapoise::plugin::MeterReadings;

  // Learns a target from a reference file: the engine's reader unless replaced.
  using FileLearner = spectrapoise::plugin::FileLearner;

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

  // Framework hooks ------------------------------------------------------------------------
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

  // Parameters and the correction (any thread, no lock unless said) ------------------------
  bool paramOn(int paramIdx) const final { return GetParam(paramIdx)->Value() >= 0.5; }
  double paramValue(int paramIdx) const final { return GetParam(paramIdx)->Value(); }
  double sampleRate() const final { return sampleRate_.load(std::memory_order_relaxed); }
  // "Correct" on and "Bypass" off.
  bool correctionWanted() const final;
  CorrectionSettings correctionSettings() const final;
  Crossovers crossovers() const;
  // The frozen-gain parameters scaled by the amounts, within the correction's limit.
  CorrectionGains frozenGains() const final;
  // The gains the filters apply, the last live ones and the region hold levels, as the
  // correction link carries them.
  CorrectionGains loadGains() const { return link_.loadGains(); }
  void publishGains(const CorrectionGains& gains) { link_.publishGains(gains); }
  void rememberGains(const CorrectionGains& gains) { link_.rememberGains(gains); }
  CorrectionGains rememberedGains() const { return link_.rememberedGains(); }
  std::array<float, 4> regionHoldLevels() const { return link_.holdLevels(); }
  spectrapoise::plugin::CorrectionLink& correctionLink() final { return link_; }

  // The correction worker's body (returns when the stop flag is set) and its sleeps.
  void correctionWorker();
  int busySleepMs() const final { return options_.busySleepMs; }
  int idleSleepMs() const final { return options_.idleSleepMs; }

  // Freeze: the capture runs on the main thread, on every idle tick.
  void captureFreeze();
  bool freezeCaptureRequested() const { return link_.freezeCaptureRequested(); }

  // The current target: a copy under the target mutex, and its replacement.
  Target currentTarget() const { return targets_.current(); }
  void setTarget(Target target) { targets_.set(std::move(target)); }
  // Only the curve, for the audio thread and the worker (copies without allocating).
  void copyTargetCurve(BandCurve& curve) const final { targets_.copyCurve(curve); }
  const std::vector<spectrapoise::offline::SavedTarget>& factoryTargets() const { return targets_.factoryTargets(); }

  // Panel analysis (main thread) ----------------------------------------------------------
  void viewTarget();
  void analyseForPanel();
  void setFromPanel(int paramIdx, double value) override;
  const SpectrumView& spectrumView() const override { return panel_.view; }
  const Readouts& readouts() const override { return panel_.readouts; }
  const CorrectionGains& panelGains() const override { return panel_.gains; }
  // The rate the panel analyses were prepared for (0 until they are).
  double panelSampleRate() const { return panel_.preparedRate; }
  int resolutionIndex() const override { return panel_.resolution; }
  void setResolutionIndex(int index) override { panel_.resolution = index < 0 ? 0 : (index > 2 ? 2 : index); }
  bool editorOpen() const { return panel_.editorOpen.load(std::memory_order_relaxed); }

  // Meters: the readings, the panel's reset request (taken by the audio thread) and the
  // integrated-versus-short-term display flag (setIntegratedDisplay answers the previous).
  MeterReadings meterReadings() const override { return meters_.readings(); }
  void requestMeterReset() override { meters_.requestReset(); }
  bool integratedDisplay() const override { return meters_.integratedDisplay(); }
  bool setIntegratedDisplay(bool integrated) override { return meters_.setIntegratedDisplay(integrated); }

  std::shared_ptr<brightloom::updates::UpdateCheck> updateCheck() const override { return updateCheck_; }

  // Builds the panel on a new graphics context. Defined with the panel's files (ui/), so
  // only programs that link the panel reference it; the composing program registers it
  // as the layout function (see plugin_entry.cpp).
  void layout(plugkit::canvas::ICanvas* graphics);

  // Target chip and menu (main thread). The menu is filled together with one action per
  // item (empty for separators and items without one); the chip runs the action of the
  // item picked. An action may rebuild the list: a copy runs.
  std::string targetChipLabel() const override;
  void buildTargetMenu(plugkit::canvas::IPopupMenu& menu) override;
  void runTargetMenuAction(int index) override;
  std::size_t targetMenuActionCount() const override { return targetMenuActions_.size(); }
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
  bool fileLearningBusy() const { return fileLearning_.busy(); }

  // Saving the current target under a typed name and deleting the saved one in use.
  // The chip's text handler hands the typed name to setPendingTargetName; the next idle
  // tick saves it.
  void openTargetNameEntry();
  void saveTarget(const std::string& name);
  void deleteSavedTarget();
  void setPendingTargetName(std::string name) override { pendingTargetName_ = std::move(name); }

  // An OK box and a Yes/No question through the editor; nothing (No) while it is closed.
  void tell(const std::string& text, const std::string& title);
  bool ask(const std::string& text, const std::string& title);

  // Presets (main thread). loadPreset, savePreset and removePreset report their failures
  // themselves. The preset bar hands a name that needs the overwrite question to
  // setPendingPresetName; the next idle tick saves it with the question.
  std::filesystem::path presetDirectory() const override;
  std::vector<brightloom::presets::SavedPreset> savedPresets() const override;
  std::string presetName() const override;
  std::vector<double> soundSnapshot() const;
  bool presetModified() const override { return presetModified_ || modifiedCarry_; }
  void retakePresetSnapshot(bool modified);
  void loadPreset(const brightloom::presets::SavedPreset& preset) override;
  void savePreset(const std::string& name, bool askBeforeReplacing) override;
  void removePreset(const brightloom::presets::SavedPreset& preset) override;
  void setPendingPresetName(std::string name) override { pendingPresetName_ = std::move(name); }
  // The editor size last read from a state chunk (points at scale 1).
  int restoredEditorWidth() const { return restoredWidth_; }
  int restoredEditorHeight() const { return restoredHeight_; }

  // Editor size and scale (main thread).
  float platformScale() const;
  float editorScale() const override;
  void applyEditorScale(float scale) override;

  // Track information and accent colour (main thread).
  void trackLabel(StringBuf& label) const;
  bool trackColour(int& r, int& g, int& b) const;
  plugkit::canvas::IColor resolvedAccent(int alpha) const override;
  int accentIndex() const override { return accentIndex_.load(); }
  void setAccentIndex(int index) override;
  // The track label the idle work saw last (the title shows it when not empty).
  const char* keptTrackLabel() const override { return keptTrackLabel_.Get(); }
  // Forgets the footer written last, so the next idle tick writes it again (the layout
  // calls it for new controls).
  void forgetFooter() override { keptFooter_.clear(); }
  // The footer text: product, version and latency.
  std::string footerText() const;
  // The draw scale a new editor opens at, from the stored editor size and the kept
  // platform scale; 1.0 unless that is a finite number above 0.
  float newEditorScale() const;
  float keptPlatformScale() const { return keptPlatformScale_; }
  void setKeptPlatformScale(float scale) { keptPlatformScale_ = scale; }
  void setGraphicsMaker(GraphicsMaker maker) { graphicsMaker_ = std::move(maker); }

  // Inside views, for tests, benchmarks and the run command: the three rings the audio
  // thread fills (the input and output panel rings, the worker's input ring), whether the
  // worker thread was started and not yet joined, and the panel's two analyses.
  spectrapoise::plugin::SampleRing& inputPanelRing() { return panel_.inputRing; }
  spectrapoise::plugin::SampleRing& outputPanelRing() { return panel_.outputRing; }
  spectrapoise::plugin::SampleRing& workerRing() { return link_.workerRing; }
  bool workerThreadStarted() const { return worker_.joinable(); }
  const spectrapoise::dsp::SpectrumAnalysis& panelInputAnalysis() const { return panel_.input; }
  const spectrapoise::dsp::SpectrumAnalysis& panelOutputAnalysis() const { return panel_.output; }

private:
  // ProcessBlock's view of the block: its buffers and how many channels carry them.
  struct BlockBuffers;

  void construct(const Options& options);
  void prepareDsp(double fs);
  plugkit::canvas::ICanvas* makeEditorGraphics();
  void stopWorker();
  bool sleepUnlessStopped(int milliseconds);

  // ProcessBlock's steps (audio thread), in the order it takes them.
  void copyInputToOutput(double** inputs, const BlockBuffers& block);
  void feedRing(spectrapoise::plugin::SampleRing& ring, const BlockBuffers& block);
  void decideCorrection(const BlockBuffers& block, bool bypassOff);
  void offlineCorrection(double** outputs, int nOut, int n, bool haveAudio);
  bool runCorrectionFilters(const BlockBuffers& block);
  void updateFilterTargets();
  void filterAndFade(const BlockBuffers& block, int start, int length);

  // Target actions.
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
  // Sends every parameter's value to the editor's controls.
  void sendAllParamsToEditor();

  spectrapoise::plugin::Meters meters_;
  spectrapoise::plugin::PanelFeed panel_;

  // Correction on the audio thread: the filters behind the 20 ms wet/dry fade, and the
  // inline analysis while the host renders offline.
  double preparedRate_ = 0.0;
  spectrapoise::dsp::CorrectionFilters filters_;
  double wetStep_ = 1.0 / 960.0;
  double wetMix_ = 0.0;
  bool correctionActive_ = false;
  bool filtersPrimed_ = false;
  spectrapoise::dsp::CorrectionAnalyser offlineAnalyser_;
  bool offlinePrimed_ = false;
  bool offlineWasFrozen_ = false;
  std::atomic<double> sampleRate_{48000.0};

  // Shared with the correction worker.
  spectrapoise::plugin::CorrectionLink link_;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::mutex stopMutex_;
  std::condition_variable stopWake_;
  Options options_;

  spectrapoise::plugin::TargetStore targets_;

  // Target menu, input learning and reference-file learning.
  std::vector<std::function<void()>> targetMenuActions_;
  bool inputLearning_ = false;
  spectrapoise::dsp::TargetLearner inputLearner_;
  spectrapoise::plugin::FileLearning fileLearning_;
  std::optional<std::string> pendingTargetName_;

  // Editor.
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
