#pragma once
// A fixed row of floats that one thread stores and others read, each value on its own,
// without a lock (relaxed atomics: a reader may see values of two successive stores mixed).
#include <array>
#include <atomic>
#include <cstddef>

namespace spectrapoise::plugin {

template <std::size_t N>
class AtomicFloats {
public:
  float load(std::size_t i) const { return v_[i].load(std::memory_order_relaxed); }
  void store(std::size_t i, float x) { v_[i].store(x, std::memory_order_relaxed); }

private:
  std::array<std::atomic<float>, N> v_{};
};

}  // namespace spectrapoise::plugin
