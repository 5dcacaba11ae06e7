#pragma once
// A small pass-through plug-in for the framework and binding tests: the product's own
// configuration and 18-parameter table (plugin/parameters.h), a recording of the hooks,
// and an optional stand-in editor view.
#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "framework/vst3/IPluginVST3.h"

namespace sp::test {

// The product's configuration (a copy, for tests that change it).
plugkit::Config productConfig();

// One OnParamChange with a source, recorded without allocating (audio thread).
struct ParamChangeRecord {
  int idx;
  int source;
  int offset;
  double value;
};

class TestPlugin : public plugkit::IPluginVST3 {
public:
  explicit TestPlugin(const plugkit::Config& config = productConfig(), bool declareTable = true);
  ~TestPlugin() override;

  // Main-thread log of hooks, one text per call ("OnParamChangeUI 5 3", "OnIdle", ...).
  std::vector<std::string> log;
  void clearLog() { log.clear(); }
  int countInLog(const std::string& entry) const;

  // OnParamChange(idx, source, offset) records (any thread; fixed room, no allocation).
  static constexpr int kMaxChanges = 4096;
  std::array<ParamChangeRecord, kMaxChanges> changes{};
  std::atomic<int> nChanges{0};
  void clearChanges() { nChanges.store(0); }
  // Also log OnParamChange on the main thread ("OnParamChange idx source offset").
  bool logParamChanges = false;
  // Off for tests that call OnParamChange from two threads at once.
  bool recordChanges = true;

  // MIDI messages handed to ProcessMidiMsg (audio thread; fixed room).
  std::array<plugkit::IMidiMsg, 256> midi{};
  std::atomic<int> nMidi{0};
  // Size of the last chunk handed to UnserializeState (main thread).
  int lastChunkSize = -1;
  void ProcessMidiMsg(const plugkit::IMidiMsg& msg) override;
  int UnserializeState(const plugkit::IByteChunk& chunk, int startPos) override;

  // ProcessBlock: counts blocks and frames, optionally multiplies by a gain (so a test can
  // tell processing from pass-through), then the default copy.
  std::atomic<int> processBlocks{0};
  std::atomic<int> lastBlockFrames{0};
  std::atomic<int> maxBlockFrames{0};
  double processGain = 1.0;
  // What ProcessBlock saw of the processor's flags in the last block.
  std::atomic<bool> sawOffline{false};

  // Stand-in editor: OpenWindow answers this pointer (null: no view can be made).
  void* fakeView = nullptr;
  int openWindows = 0;
  int closeWindows = 0;

  // Hooks.
  void OnIdle() override;
  void OnParamChange(int idx, plugkit::EParamSource source, int sampleOffset) override;
  void OnParamChangeUI(int idx, plugkit::EParamSource source) override;
  void OnParamReset(plugkit::EParamSource source) override;
  void OnRestoreState() override;
  void OnReset() override;
  void OnHostIdentified() override;
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void OnUIOpen() override;
  void OnUIClose() override;
  bool OnKeyDown(const plugkit::IKeyPress& key) override;
  bool OnKeyUp(const plugkit::IKeyPress& key) override;
  void OnParentWindowResize(int width, int height) override;
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;

  // Key presses seen by the editor hooks, and whether they count as handled.
  std::vector<plugkit::IKeyPress> keys;
  bool keysHandled = true;
  // Work the next tick does (e.g. a pending capture), run once.
  bool pendingRequest = false;
  int requestsTaken = 0;
  // Runs inside OnIdle once (e.g. a nested run loop, as a modal dialog).
  std::function<void()> insideIdle;
  // Throws from OnIdle once, to show the tick survives it.
  bool throwInIdle = false;
};

}  // namespace sp::test
