#include "framework/vst3/HostRunLoop_linux.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <vector>

#include "shims/apple/corefoundation/CFHostRunLoop.h"

using Steinberg::Linux::IRunLoop;
using Steinberg::Linux::ITimerHandler;

namespace plugkit {

namespace {

// What the host's loop holds for one registered timer. Detached when the timer leaves
// the loop; a host that kept it may still call it, to no effect.
class TimerHandler final : public ITimerHandler {
public:
  explicit TimerHandler(CFHostLoopClient* client) : mClient(client) {}

  void Detach() { mClient.store(nullptr); }

  void PLUGIN_API onTimer() override {
    if (CFHostLoopClient* client = mClient.load()) client->hostLoopFired();
  }

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
    if (obj == nullptr) return Steinberg::kInvalidArgument;
    if (Steinberg::FUnknownPrivate::iidEqual(iid, ITimerHandler::iid) ||
        Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::FUnknown::iid)) {
      addRef();
      *obj = static_cast<ITimerHandler*>(this);
      return Steinberg::kResultOk;
    }
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override {
    return static_cast<Steinberg::uint32>(mRefs.fetch_add(1, std::memory_order_relaxed) + 1);
  }
  Steinberg::uint32 PLUGIN_API release() override {
    const int left = mRefs.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return static_cast<Steinberg::uint32>(left);
  }

private:
  ~TimerHandler() = default;
  std::atomic<CFHostLoopClient*> mClient;
  std::atomic<int> mRefs{1};
};

// The host's IRunLoop as a host loop.
class VST3HostLoop final : public CFHostLoop {
public:
  explicit VST3HostLoop(IRunLoop* loop) : mLoop(loop) { mLoop->addRef(); }

  void retain() override { mRefs.fetch_add(1, std::memory_order_relaxed); }
  void release() override {
    if (mRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
  const void* identity() const override { return mLoop; }

  bool addTimer(CFHostLoopClient* client, uint64_t intervalMs) override {
    auto* handler = new (std::nothrow) TimerHandler(client);
    if (handler == nullptr) return false;
    {
      std::lock_guard<std::mutex> lock(mMutex);
      try {
        mHandlers.push_back({client, handler});
      } catch (...) {
        handler->release();
        return false;
      }
    }
    if (mLoop->registerTimer(handler, intervalMs) == Steinberg::kResultOk) return true;
    take(client);
    handler->Detach();
    handler->release();
    return false;
  }

  void removeTimer(CFHostLoopClient* client) override {
    TimerHandler* handler = take(client);
    if (handler == nullptr) return;
    handler->Detach();
    mLoop->unregisterTimer(handler);
    handler->release();
  }

private:
  struct Registration {
    CFHostLoopClient* client;
    TimerHandler* handler;
  };

  ~VST3HostLoop() {
    for (const Registration& r : mHandlers) {
      r.handler->Detach();
      mLoop->unregisterTimer(r.handler);
      r.handler->release();
    }
    mLoop->release();
  }

  // Removes the client's registration from the list; its handler, null when none.
  TimerHandler* take(CFHostLoopClient* client) {
    std::lock_guard<std::mutex> lock(mMutex);
    const auto it = std::find_if(mHandlers.begin(), mHandlers.end(),
                                 [client](const Registration& r) { return r.client == client; });
    if (it == mHandlers.end()) return nullptr;
    TimerHandler* handler = it->handler;
    mHandlers.erase(it);
    return handler;
  }

  IRunLoop* mLoop;
  std::atomic<int> mRefs{1};
  std::mutex mMutex;  // guards mHandlers
  std::vector<Registration> mHandlers;
};

}  // namespace

void OfferHostRunLoop(Timer& timer, int source, IRunLoop* loop) {
  if (loop == nullptr) {
    timer.SetHostLoop(source, nullptr);
    return;
  }
  auto* hostLoop = new (std::nothrow) VST3HostLoop(loop);
  if (hostLoop == nullptr) return;
  timer.SetHostLoop(source, hostLoop);
  hostLoop->release();
}

}  // namespace plugkit
