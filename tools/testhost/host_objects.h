#pragma once
// The host's side of the VST3 conversation, for the headless test host and the tests:
// a host context with a scripted name (optionally a run loop and REAPER's host
// functions), a run loop fired by hand, a recording component handler and plug-in frame,
// parameter-change queues, event lists and a scripted stream.
//
// Each object has its own reference count and starts with one reference for its creator.
#include "shims/vst3sdk/vst3_includes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shims/reaper/reaper_host.h"

namespace testhost {

// Reference counting shared by the host objects below.
#define TESTHOST_REFCOUNT                                                                        \
  Steinberg::uint32 PLUGIN_API addRef() override { return static_cast<Steinberg::uint32>(++refs_); } \
  Steinberg::uint32 PLUGIN_API release() override {                                              \
    const int left = --refs_;                                                                    \
    if (left == 0) delete this;                                                                  \
    return static_cast<Steinberg::uint32>(left);                                                 \
  }                                                                                              \
  int refCount() const { return refs_.load(); }                                                  \
                                                                                                 \
private:                                                                                         \
  std::atomic<int> refs_{1};                                                                     \
                                                                                                 \
public:

// A shared, ordered log of what the host objects saw ("unregisterTimer", "frame released").
class EventLog {
public:
  void add(const std::string& entry) { entries_.push_back(entry); }
  const std::vector<std::string>& entries() const { return entries_; }
  // Index of the first entry equal to text, -1 when none.
  int indexOf(const std::string& text) const;
  int count(const std::string& text) const;
  void clear() { entries_.clear(); }

private:
  std::vector<std::string> entries_;
};

// A host run loop that the test fires by hand, on the calling thread.
class RunLoop : public Steinberg::Linux::IRunLoop {
public:
  explicit RunLoop(EventLog* log = nullptr) : log_(log) {}

  Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                     Steinberg::Linux::FileDescriptor fd) override;
  Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
  Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                              Steinberg::Linux::TimerInterval milliseconds) override;
  Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

  // Calls every registered timer handler n times (handlers registered meanwhile wait for
  // the next round). Answers the number of calls made.
  int fire(int n = 1);
  int timerCount() const { return static_cast<int>(timers_.size()); }
  int registrations() const { return registrations_; }
  int unregistrations() const { return unregistrations_; }
  Steinberg::Linux::TimerInterval lastInterval() const { return lastInterval_; }

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  TESTHOST_REFCOUNT

private:
  virtual ~RunLoop();
  EventLog* log_;
  std::vector<Steinberg::Linux::ITimerHandler*> timers_;
  int registrations_ = 0;
  int unregistrations_ = 0;
  Steinberg::Linux::TimerInterval lastInterval_ = 0;
};

// The context a host hands to the factory and to initialize: IHostApplication with a
// scripted name; optionally a run loop and REAPER's host functions.
class HostContext : public Steinberg::Vst::IHostApplication, public IReaperHostApplication {
public:
  explicit HostContext(std::string name = "testhost") : name_(std::move(name)) {}

  void setRunLoop(RunLoop* loop);
  // Offers REAPER's host-function interface; functions are looked up by name.
  void setReaperFunctions(std::map<std::string, void*> functions) {
    reaper_ = true;
    reaperFunctions_ = std::move(functions);
  }
  // The track getReaperParent(1) answers (null: the plug-in sits on no track).
  void setReaperTrack(void* track) { reaperTrack_ = track; }
  std::vector<std::string> reaperLookups;  // names the plug-in asked for
  int reaperParentLookups = 0;

  Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid, void** obj) override;
  void* PLUGIN_API getReaperApi(Steinberg::CStringA funcname) override;
  void* PLUGIN_API getReaperParent(Steinberg::uint32 w) override {
    ++reaperParentLookups;
    return w == 1 ? reaperTrack_ : nullptr;
  }
  void* PLUGIN_API reaperExtended(Steinberg::uint32 call, void* parm1, void* parm2, void* parm3) override {
    return nullptr;
  }

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  TESTHOST_REFCOUNT

private:
  virtual ~HostContext();
  std::string name_;
  RunLoop* loop_ = nullptr;
  bool reaper_ = false;
  std::map<std::string, void*> reaperFunctions_;
  void* reaperTrack_ = nullptr;
};

// Records begin, perform and end edits, group edits, restarts and dirty marks.
class ComponentHandler : public Steinberg::Vst::IComponentHandler, public Steinberg::Vst::IComponentHandler2 {
public:
  struct Call {
    std::string kind;  // "begin", "perform", "end", "restart", "startGroup", "finishGroup", "dirty", "openEditor"
    Steinberg::int32 id = 0;
    double value = 0.0;
  };
  std::vector<Call> calls;
  // Extra action run inside each call (to observe the plug-in at that moment).
  std::function<void(const Call&)> onCall;

  int count(const std::string& kind) const;
  std::vector<Steinberg::int32> restartFlags() const;

  Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) override;
  Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;
  Steinberg::tresult PLUGIN_API setDirty(Steinberg::TBool state) override;
  Steinberg::tresult PLUGIN_API requestOpenEditor(Steinberg::FIDString name) override;
  Steinberg::tresult PLUGIN_API startGroupEdit() override;
  Steinberg::tresult PLUGIN_API finishGroupEdit() override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  TESTHOST_REFCOUNT

private:
  virtual ~ComponentHandler() = default;
  Steinberg::tresult record(const char* kind, Steinberg::int32 id = 0, double value = 0.0);
};

// A plug-in frame that records resize requests; optionally offers a run loop.
class PlugFrame : public Steinberg::IPlugFrame {
public:
  explicit PlugFrame(EventLog* log = nullptr, RunLoop* loop = nullptr);

  struct Resize {
    Steinberg::IPlugView* view;
    Steinberg::ViewRect rect;
  };
  std::vector<Resize> resizes;
  // Run on each request after it is recorded (the host's window following it, say).
  std::function<void(const Resize&)> onResize;

  Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return static_cast<Steinberg::uint32>(++refs_); }
  Steinberg::uint32 PLUGIN_API release() override;
  int refCount() const { return refs_.load(); }

private:
  virtual ~PlugFrame();
  EventLog* log_;
  RunLoop* loop_;
  std::atomic<int> refs_{1};
};

// One parameter's points for one block.
class ParamValueQueue : public Steinberg::Vst::IParamValueQueue {
public:
  explicit ParamValueQueue(Steinberg::Vst::ParamID id = 0) : id_(id) { points_.reserve(64); }
  void reset(Steinberg::Vst::ParamID id) {
    id_ = id;
    points_.clear();
  }

  Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id_; }
  Steinberg::int32 PLUGIN_API getPointCount() override { return static_cast<Steinberg::int32>(points_.size()); }
  Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                         Steinberg::Vst::ParamValue& value) override;
  Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value,
                                         Steinberg::int32& index) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

  // A queue whose last point cannot be read (getPoint fails).
  bool failReads = false;

private:
  Steinberg::Vst::ParamID id_;
  std::vector<std::pair<Steinberg::int32, Steinberg::Vst::ParamValue>> points_;
};

// The parameter changes of one block. Owned by the test (not reference counted); its
// queues are made in advance, so filling and reading it during process allocates nothing.
class ParameterChanges : public Steinberg::Vst::IParameterChanges {
public:
  explicit ParameterChanges(int capacity = 64);
  void clear() { used_ = 0; }
  // Adds a point to the queue of id (making the queue when needed).
  void add(Steinberg::Vst::ParamID id, Steinberg::int32 offset, double value);
  ParamValueQueue* queueAt(int index) { return index < used_ ? &queues_[static_cast<size_t>(index)] : nullptr; }

  Steinberg::int32 PLUGIN_API getParameterCount() override { return used_; }
  Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
  Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                Steinberg::int32& index) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
  std::vector<ParamValueQueue> queues_;
  int used_ = 0;
};

// Events of one block (MIDI in or out). Owned by the test.
class EventList : public Steinberg::Vst::IEventList {
public:
  EventList() { events.reserve(1024); }
  std::vector<Steinberg::Vst::Event> events;

  Steinberg::int32 PLUGIN_API getEventCount() override { return static_cast<Steinberg::int32>(events.size()); }
  Steinberg::tresult PLUGIN_API getEvent(Steinberg::int32 index, Steinberg::Vst::Event& e) override;
  Steinberg::tresult PLUGIN_API addEvent(Steinberg::Vst::Event& e) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }
};

// A stream with scripted behaviour: reads deliver the given sizes in turn (then as much
// as asked), a chosen read reports failure (with or without bytes), writes can fail or
// come up short, the cursor may start inside the data, seeking may be refused.
class ScriptedStream : public Steinberg::IBStream {
public:
  explicit ScriptedStream(std::string data = {}, size_t start = 0) : data_(std::move(data)), cursor_(start) {}

  std::vector<int> readSizes;        // per read call, the most it delivers
  int failingRead = -1;              // this read (0-based) reports kResultFalse
  bool failingReadDelivers = true;   // ... and still delivers its bytes
  int failingWrite = -1;             // this write (0-based) reports kResultFalse
  int shortWrite = -1;               // this write reports ok but writes one byte less
  bool seekable = true;
  int seeks = 0;
  int reads = 0;
  int writes = 0;

  const std::string& data() const { return data_; }
  std::string written() const { return data_.substr(start_); }

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes, Steinberg::int32* numBytesRead) override;
  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) override;
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode, Steinberg::int64* result) override;
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
  std::string data_;
  size_t cursor_;
  size_t start_ = cursor_;
};

}  // namespace testhost
