#include "tools/testhost/host_objects.h"

#include <algorithm>
#include <cstring>

#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "shims/vst3sdk/utf_convert.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace testhost {

namespace {

template <class I>
bool answer(const TUID iid, void** obj, I* self) {
  if (FUnknownPrivate::iidEqual(iid, I::iid)) {
    self->addRef();
    *obj = self;
    return true;
  }
  return false;
}

}  // namespace

int EventLog::indexOf(const std::string& text) const {
  const auto it = std::find(entries_.begin(), entries_.end(), text);
  return it == entries_.end() ? -1 : static_cast<int>(it - entries_.begin());
}

int EventLog::count(const std::string& text) const {
  return static_cast<int>(std::count(entries_.begin(), entries_.end(), text));
}

// RunLoop ------------------------------------------------------------------------------

RunLoop::~RunLoop() {
  for (Linux::ITimerHandler* handler : timers_) handler->release();
}

tresult PLUGIN_API RunLoop::registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) { return kResultOk; }
tresult PLUGIN_API RunLoop::unregisterEventHandler(Linux::IEventHandler*) { return kResultOk; }

tresult PLUGIN_API RunLoop::registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds) {
  if (handler == nullptr) return kInvalidArgument;
  handler->addRef();
  timers_.push_back(handler);
  ++registrations_;
  lastInterval_ = milliseconds;
  if (log_ != nullptr) log_->add("registerTimer");
  return kResultOk;
}

tresult PLUGIN_API RunLoop::unregisterTimer(Linux::ITimerHandler* handler) {
  const auto it = std::find(timers_.begin(), timers_.end(), handler);
  if (it == timers_.end()) return kResultFalse;
  timers_.erase(it);
  ++unregistrations_;
  if (log_ != nullptr) log_->add("unregisterTimer");
  handler->release();
  return kResultOk;
}

int RunLoop::fire(int n) {
  int calls = 0;
  for (int round = 0; round < n; ++round) {
    // A copy with references: a handler unregistered during a call stays valid until then.
    std::vector<Linux::ITimerHandler*> snapshot = timers_;
    for (Linux::ITimerHandler* handler : snapshot) handler->addRef();
    for (Linux::ITimerHandler* handler : snapshot) {
      if (std::find(timers_.begin(), timers_.end(), handler) != timers_.end()) {
        handler->onTimer();
        ++calls;
      }
    }
    for (Linux::ITimerHandler* handler : snapshot) handler->release();
  }
  return calls;
}

tresult PLUGIN_API RunLoop::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (answer<Linux::IRunLoop>(iid, obj, this)) return kResultOk;
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    addRef();
    *obj = static_cast<FUnknown*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

// HostContext --------------------------------------------------------------------------

HostContext::~HostContext() {
  if (loop_ != nullptr) loop_->release();
}

void HostContext::setRunLoop(RunLoop* loop) {
  if (loop != nullptr) loop->addRef();
  if (loop_ != nullptr) loop_->release();
  loop_ = loop;
}

tresult PLUGIN_API HostContext::getName(String128 name) {
  vst3shim::utf8ToUtf16(name_.c_str(), name_.size(), reinterpret_cast<char16_t*>(name), 128);
  return kResultOk;
}

tresult PLUGIN_API HostContext::createInstance(TUID cid, TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  *obj = nullptr;
  const FUID classId = FUID::fromTUID(cid);
  const FUID interfaceId = FUID::fromTUID(iid);
  if (classId == IMessage::iid && interfaceId == IMessage::iid) {
    *obj = static_cast<IMessage*>(new HostMessage);
    return kResultOk;
  }
  if (classId == IAttributeList::iid && interfaceId == IAttributeList::iid) {
    *obj = static_cast<IAttributeList*>(new HostAttributeList);
    return kResultOk;
  }
  return kResultFalse;
}

void* PLUGIN_API HostContext::getReaperApi(CStringA funcname) {
  if (funcname == nullptr) return nullptr;
  reaperLookups.emplace_back(funcname);
  const auto it = reaperFunctions_.find(funcname);
  return it == reaperFunctions_.end() ? nullptr : it->second;
}

tresult PLUGIN_API HostContext::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (answer<IHostApplication>(iid, obj, static_cast<IHostApplication*>(this))) return kResultOk;
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    addRef();
    *obj = static_cast<IHostApplication*>(this);
    return kResultOk;
  }
  if (reaper_ && FUnknownPrivate::iidEqual(iid, IReaperHostApplication::iid)) {
    addRef();
    *obj = static_cast<IReaperHostApplication*>(this);
    return kResultOk;
  }
  if (loop_ != nullptr && FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid)) return loop_->queryInterface(iid, obj);
  *obj = nullptr;
  return kNoInterface;
}

// ComponentHandler ---------------------------------------------------------------------

int ComponentHandler::count(const std::string& kind) const {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.kind == kind; }));
}

std::vector<int32> ComponentHandler::restartFlags() const {
  std::vector<int32> flags;
  for (const Call& c : calls)
    if (c.kind == "restart") flags.push_back(c.id);
  return flags;
}

tresult ComponentHandler::record(const char* kind, int32 id, double value) {
  calls.push_back(Call{kind, id, value});
  if (onCall) onCall(calls.back());
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::beginEdit(ParamID id) { return record("begin", static_cast<int32>(id)); }
tresult PLUGIN_API ComponentHandler::performEdit(ParamID id, ParamValue value) {
  return record("perform", static_cast<int32>(id), value);
}
tresult PLUGIN_API ComponentHandler::endEdit(ParamID id) { return record("end", static_cast<int32>(id)); }
tresult PLUGIN_API ComponentHandler::restartComponent(int32 flags) { return record("restart", flags); }
tresult PLUGIN_API ComponentHandler::setDirty(TBool state) { return record("dirty", state); }
tresult PLUGIN_API ComponentHandler::requestOpenEditor(FIDString) { return record("openEditor"); }
tresult PLUGIN_API ComponentHandler::startGroupEdit() { return record("startGroup"); }
tresult PLUGIN_API ComponentHandler::finishGroupEdit() { return record("finishGroup"); }

tresult PLUGIN_API ComponentHandler::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (answer<IComponentHandler>(iid, obj, static_cast<IComponentHandler*>(this))) return kResultOk;
  if (answer<IComponentHandler2>(iid, obj, static_cast<IComponentHandler2*>(this))) return kResultOk;
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    addRef();
    *obj = static_cast<IComponentHandler*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

// PlugFrame ----------------------------------------------------------------------------

PlugFrame::PlugFrame(EventLog* log, RunLoop* loop) : log_(log), loop_(loop) {
  if (loop_ != nullptr) loop_->addRef();
}

PlugFrame::~PlugFrame() {
  if (loop_ != nullptr) loop_->release();
}

uint32 PLUGIN_API PlugFrame::release() {
  const int left = --refs_;
  if (log_ != nullptr) log_->add("frame released");
  if (left == 0) delete this;
  return static_cast<uint32>(left);
}

tresult PLUGIN_API PlugFrame::resizeView(IPlugView* view, ViewRect* newSize) {
  if (newSize == nullptr) return kInvalidArgument;
  resizes.push_back(Resize{view, *newSize});
  if (log_ != nullptr) log_->add("resizeView");
  if (onResize) onResize(resizes.back());
  return kResultOk;
}

tresult PLUGIN_API PlugFrame::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (answer<IPlugFrame>(iid, obj, this)) return kResultOk;
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    addRef();
    *obj = static_cast<FUnknown*>(this);
    return kResultOk;
  }
  if (loop_ != nullptr && FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid)) return loop_->queryInterface(iid, obj);
  *obj = nullptr;
  return kNoInterface;
}

// Parameter changes --------------------------------------------------------------------

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
  if (failReads || index < 0 || index >= getPointCount()) return kResultFalse;
  sampleOffset = points_[static_cast<size_t>(index)].first;
  value = points_[static_cast<size_t>(index)].second;
  return kResultTrue;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
  points_.emplace_back(sampleOffset, value);
  index = getPointCount() - 1;
  return kResultTrue;
}

tresult PLUGIN_API ParamValueQueue::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, IParamValueQueue::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    *obj = this;
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

ParameterChanges::ParameterChanges(int capacity) : queues_(static_cast<size_t>(capacity)) {}

void ParameterChanges::add(ParamID id, int32 offset, double value) {
  int32 index = 0;
  IParamValueQueue* queue = addParameterData(id, index);
  if (queue != nullptr) queue->addPoint(offset, value, index);
}

IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index) {
  return (index >= 0 && index < used_) ? &queues_[static_cast<size_t>(index)] : nullptr;
}

IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const ParamID& id, int32& index) {
  for (int i = 0; i < used_; ++i) {
    if (queues_[static_cast<size_t>(i)].getParameterId() == id) {
      index = i;
      return &queues_[static_cast<size_t>(i)];
    }
  }
  if (used_ >= static_cast<int>(queues_.size())) return nullptr;
  queues_[static_cast<size_t>(used_)].reset(id);
  index = used_;
  return &queues_[static_cast<size_t>(used_++)];
}

tresult PLUGIN_API ParameterChanges::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, IParameterChanges::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    *obj = this;
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

// EventList ----------------------------------------------------------------------------

tresult PLUGIN_API EventList::getEvent(int32 index, Event& e) {
  if (index < 0 || index >= getEventCount()) return kResultFalse;
  e = events[static_cast<size_t>(index)];
  return kResultOk;
}

tresult PLUGIN_API EventList::addEvent(Event& e) {
  if (events.size() == events.capacity()) return kOutOfMemory;  // never reallocates during process
  events.push_back(e);
  return kResultOk;
}

tresult PLUGIN_API EventList::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, IEventList::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    *obj = this;
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

// ScriptedStream -----------------------------------------------------------------------

tresult PLUGIN_API ScriptedStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  const int call = reads++;
  if (numBytesRead != nullptr) *numBytesRead = 0;
  if (buffer == nullptr || numBytes < 0) return kInvalidArgument;
  size_t n = std::min(static_cast<size_t>(numBytes), data_.size() - std::min(cursor_, data_.size()));
  if (call < static_cast<int>(readSizes.size())) n = std::min(n, static_cast<size_t>(std::max(readSizes[call], 0)));
  const bool fails = call == failingRead;
  if (fails && !failingReadDelivers) return kResultFalse;
  std::memcpy(buffer, data_.data() + cursor_, n);
  cursor_ += n;
  if (numBytesRead != nullptr) *numBytesRead = static_cast<int32>(n);
  return fails ? kResultFalse : kResultOk;
}

tresult PLUGIN_API ScriptedStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  const int call = writes++;
  if (numBytesWritten != nullptr) *numBytesWritten = 0;
  if (buffer == nullptr || numBytes < 0) return kInvalidArgument;
  if (call == failingWrite) return kResultFalse;
  const int32 n = call == shortWrite ? std::max(numBytes - 1, 0) : numBytes;
  if (cursor_ > data_.size()) data_.resize(cursor_);
  data_.replace(cursor_, std::min(static_cast<size_t>(n), data_.size() - cursor_),
                static_cast<const char*>(buffer), static_cast<size_t>(n));
  cursor_ += static_cast<size_t>(n);
  if (numBytesWritten != nullptr) *numBytesWritten = n;
  return kResultOk;
}

tresult PLUGIN_API ScriptedStream::seek(int64 pos, int32 mode, int64* result) {
  ++seeks;
  if (!seekable) return kNotImplemented;
  int64 base = 0;
  if (mode == kIBSeekCur) base = static_cast<int64>(cursor_);
  if (mode == kIBSeekEnd) base = static_cast<int64>(data_.size());
  const int64 target = base + pos;
  if (target < 0) return kInvalidArgument;
  cursor_ = static_cast<size_t>(target);
  if (result != nullptr) *result = target;
  return kResultOk;
}

tresult PLUGIN_API ScriptedStream::tell(int64* pos) {
  if (pos == nullptr) return kInvalidArgument;
  *pos = static_cast<int64>(cursor_);
  return kResultOk;
}

tresult PLUGIN_API ScriptedStream::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, IBStream::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    *obj = this;
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace testhost
