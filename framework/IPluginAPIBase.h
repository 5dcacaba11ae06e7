#pragma once
// The layer of the plug-in object that is the same for every plug-in API: host
// identification, editor edits carried to the host and into the parameters, the queues
// between the audio side and the editor side, and the 20 ms main-thread timer whose
// tick ends in OnIdle. The API binding supplies the host-facing operations.
#include <memory>
#include <vector>

#include "framework/Config.h"
#include "framework/IPluginBase.h"
#include "framework/IPluginQueue.h"
#include "framework/Timer.h"

namespace plugkit {

// A parameter value sent from the processor to the editor.
struct ParamTuple {
  int idx = 0;
  double value = 0.0;
};

class IPluginAPIBase : public IPluginBase {
public:
  static constexpr int kParamQueueSize = 512;
  static constexpr int kMidiQueueSize = 32;
  static constexpr int kSysExQueueSize = 4;
  static constexpr uint32_t kTimerIntervalMs = 20;

  IPluginAPIBase(const Config& config, EAPI api);
  ~IPluginAPIBase() override;

  // Creates the 20 ms timer (an earlier one is destroyed first).
  void CreateTimer();
  // Stops the timer for good; idempotent. The most-derived destructor calls it first, so
  // no tick runs while the plug-in's own members are being destroyed.
  void StopTimer();
  Timer* GetTimer() const { return mTimer.get(); }
  // While no run loop drives the timer, runs the tick that is owed (one catch-up tick, so
  // pending work such as a freeze capture lands before the state is saved). Answers
  // whether a tick ran.
  bool RunOwedTick();
  // The tick: drains the processor-to-editor MIDI and SysEx queues, then OnIdle. Skipped
  // while a tick runs (OnIdle may run a modal loop in which the timer fires again);
  // exceptions end here.
  void OnTimer(Timer& timer);

  // Host identification: stores the name, finds the host id from it, stores the
  // version, then HostSpecificInit() and OnHostIdentified().
  void SetHost(const char* name, int version);
  // The host id for a name, by the substrings of the host table (first match in table order).
  static EHost LookUpHost(const char* name);

  // Editor edits.
  void SetParameterValue(int idx, double normalizedValue);
  void SendParameterValueFromUI(int idx, double normalizedValue) override;
  void BeginInformHostOfParamChangeFromUI(int idx) override { BeginInformHostOfParamChange(idx); }
  void EndInformHostOfParamChangeFromUI(int idx) override { EndInformHostOfParamChange(idx); }
  void DirtyParametersFromUI() override;
  bool EditorResizeFromUI(int viewWidth, int viewHeight, bool needsPlatformResize) override;
  void SendMidiMsgFromUI(const IMidiMsg& msg) override { DeferMidiMsg(msg); }
  void SendSysexMsgFromUI(const ISysEx& msg) override { DeferSysexMsg(msg); }
  void SendArbitraryMsgFromUI(int msgTag, int ctrlTag = -1, int dataSize = 0, const void* data = nullptr) override {
    OnMessage(msgTag, ctrlTag, dataSize, data);
  }
  // Push onto the editor-to-processor queues; dropped when full. SysEx is cut to 512 bytes.
  void DeferMidiMsg(const IMidiMsg& msg) override { mMidiMsgsFromEditor.Push(msg); }
  void DeferSysexMsg(const ISysEx& msg) override;

  // Hooks this layer declares, with their defaults.
  virtual bool CompareState(const uint8_t* data, int startPos) const;
  virtual bool OnHostRequestingAboutBox() { return false; }
  virtual bool OnHostRequestingProductHelp() { return false; }
  virtual void OnHostIdentified() {}
  virtual void OnHostRequestingImportantParameters(int count, std::vector<int>& results);
  virtual bool OnHostRequestingSupportedViewConfiguration(int width, int height) { return width + height == 0; }
  virtual void OnHostSelectedViewConfiguration(int width, int height) {}
  virtual bool GetMidiNoteText(int noteNumber, char* text) const;
  // The editor's graphics context (null while the editor is closed).
  virtual void* GetAAXViewInterface() { return static_cast<void*>(GetGraphics()); }
  virtual void OnIdle() {}
  virtual void GetTrackColor(int& r, int& g, int& b) { r = g = b = 0; }
  virtual void GetTrackName(StringBuf& name) {}
  virtual int GetTrackIndex() { return 0; }
  virtual void GetTrackNamespace(StringBuf& name) {}
  virtual int GetTrackNamespaceIndex() { return 0; }
  // Pushes {idx, value} (converted from normalised when asked) on the processor-to-editor
  // parameter queue; dropped when full.
  virtual void SendParameterValueFromAPI(int idx, double value, bool normalized);
  virtual void HostSpecificInit() {}
  virtual bool EditorResize(int viewWidth, int viewHeight) { return false; }
  virtual void BeginInformHostOfParamChange(int idx) {}
  virtual void EndInformHostOfParamChange(int idx) {}
  virtual void InformHostOfParamChange(int idx, double normalizedValue) {}
  virtual void TransmitMidiMsgFromProcessor(const IMidiMsg& msg) {}
  virtual void TransmitSysExDataFromProcessor(const SysExData& data) {}

protected:
  // Queues: processor to editor (audio thread produces, the tick consumes) and editor
  // to processor (main thread produces, audio thread consumes).
  IPluginQueue<ParamTuple> mParamChangeFromProcessor{kParamQueueSize};
  IPluginQueue<IMidiMsg> mMidiMsgsFromEditor{kMidiQueueSize};
  IPluginQueue<IMidiMsg> mMidiMsgsFromProcessor{kMidiQueueSize};
  IPluginQueue<SysExData> mSysExDataFromEditor{kSysExQueueSize};
  IPluginQueue<SysExData> mSysExDataFromProcessor{kSysExQueueSize};

private:
  std::unique_ptr<Timer> mTimer;
  bool mInTimerTick = false;
};

}  // namespace plugkit
