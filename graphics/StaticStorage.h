#pragma once
// Process-wide caches of decoded resources (bitmaps, parsed SVG images), keyed by name and
// scale, shared by every graphics context of the process. Each cache has a recursive
// mutex; the caller holds it (through an Accessor) around every operation. The use count
// counts the live graphics contexts; the entries go when it drops to 0.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Mutex.h"
#include "framework/StringBuf.h"

namespace plugkit::canvas {

template <class T>
class StaticStorage {
public:
  // Scoped lock of one cache.
  class Accessor {
  public:
    explicit Accessor(StaticStorage& storage) : mLock(&storage.mMutex) {}

  private:
    MutexLock mLock;
  };

  StaticStorage() = default;
  ~StaticStorage() { Clear(); }
  StaticStorage(const StaticStorage&) = delete;
  StaticStorage& operator=(const StaticStorage&) = delete;

  // The first entry with the same hash, scale and name, or null.
  T* Find(const char* name, double scale = 1.0) const {
    const std::string k = key(name, scale);
    const size_t h = std::hash<std::string>{}(k);
    for (const Entry& e : mEntries)
      if (e.hash == h && e.scale == scale && e.name == (name != nullptr ? name : "")) return e.data.get();
    return nullptr;
  }
  // Appends an entry owning data (no check for an existing one).
  void Add(T* data, const char* name, double scale = 1.0) {
    std::unique_ptr<T> owned(data);
    const std::string k = key(name, scale);
    mEntries.push_back({std::hash<std::string>{}(k), name != nullptr ? name : "", scale, std::move(owned)});
  }
  // Deletes the entry holding data, and data with it; nothing when absent.
  void Remove(T* data) {
    for (auto it = mEntries.begin(); it != mEntries.end(); ++it) {
      if (it->data.get() == data) {
        mEntries.erase(it);
        return;
      }
    }
  }
  void Clear() { mEntries.clear(); }

  int Size() const { return static_cast<int>(mEntries.size()); }
  int UseCount() const { return mUseCount; }
  void Retain() { ++mUseCount; }
  // Drops one user; the last one empties the cache.
  void Release() {
    if (--mUseCount <= 0) {
      mUseCount = 0;
      Clear();
    }
  }

  // The key text: the name followed by the scale as "-%.1fx" (in the "C" locale).
  static std::string key(const char* name, double scale) {
    StringBuf k(name != nullptr ? name : "");
    k.AppendFormatted(32, "-%.1fx", scale);
    return k.Get();
  }

private:
  struct Entry {
    size_t hash;
    std::string name;
    double scale;
    std::unique_ptr<T> data;
  };

  Mutex mMutex;
  int mUseCount = 0;
  std::vector<Entry> mEntries;
};

}  // namespace plugkit::canvas
