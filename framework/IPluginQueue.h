#pragma once
// A fixed-size single-producer, single-consumer ring between two threads (audio thread
// and main thread). N usable entries in N + 1 slots. The producer stores the entry, then
// publishes the write index (release); the consumer reads the entry after acquiring the
// write index, then publishes the read index. A full queue drops the new entry; an empty
// one leaves the output alone. Nothing allocates after construction.
#include <atomic>
#include <vector>

namespace plugkit {

template <class T>
class IPluginQueue {
public:
  explicit IPluginQueue(int size) : mData(static_cast<size_t>(size > 0 ? size : 1) + 1) {}
  IPluginQueue(const IPluginQueue&) = delete;
  IPluginQueue& operator=(const IPluginQueue&) = delete;

  // Producer side. False (entry dropped) when the queue is full.
  bool Push(const T& item) {
    const int w = mWriteIndex.load(std::memory_order_relaxed);
    const int next = Next(w);
    if (next == mReadIndex.load(std::memory_order_acquire)) return false;
    mData[static_cast<size_t>(w)] = item;
    mWriteIndex.store(next, std::memory_order_release);
    return true;
  }

  // Consumer side. False (item unchanged) when the queue is empty.
  bool Pop(T& item) {
    const int r = mReadIndex.load(std::memory_order_relaxed);
    if (r == mWriteIndex.load(std::memory_order_acquire)) return false;
    item = mData[static_cast<size_t>(r)];
    mReadIndex.store(Next(r), std::memory_order_release);
    return true;
  }

  // Entries waiting (either side may ask; the answer may be stale at once).
  size_t ElementsAvailable() const {
    const int w = mWriteIndex.load(std::memory_order_acquire);
    const int r = mReadIndex.load(std::memory_order_acquire);
    const int slots = static_cast<int>(mData.size());
    return static_cast<size_t>((w - r + slots) % slots);
  }

  int Capacity() const { return static_cast<int>(mData.size()) - 1; }

private:
  int Next(int index) const { return index + 1 == static_cast<int>(mData.size()) ? 0 : index + 1; }

  std::vector<T> mData;
  std::atomic<int> mWriteIndex{0};
  std::atomic<int> mReadIndex{0};
};

}  // namespace plugkit
