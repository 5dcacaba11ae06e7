#pragma once
// A single-producer, single-consumer ring of interleaved stereo float frames: the one way
// the audio thread hands audio to another thread. Positions are 64-bit frame counts that
// only grow (slot = position mod capacity). The producer never overwrites unread frames:
// what does not fit is dropped. The write position is published with release ordering
// after the frames, the read position after they were copied out.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

namespace spectrapoise::plugin {

class SampleRing {
public:
  static constexpr std::uint64_t kCapacity = 65536;  // frames, a power of two

  // Zero-filled: calloc hands over fresh zero pages without touching them.
  SampleRing() : frames_(static_cast<float*>(std::calloc(kCapacity * 2, sizeof(float)))) {
    if (!frames_) throw std::bad_alloc();
  }
  SampleRing(const SampleRing&) = delete;
  SampleRing& operator=(const SampleRing&) = delete;

  // Producer: appends up to n frames (right may equal left for a mono source) and
  // answers how many fit. Allocates and locks nothing.
  int write(const double* left, const double* right, int n) {
    if (n <= 0) return 0;
    const std::uint64_t w = write_.load(std::memory_order_relaxed);
    const std::uint64_t r = read_.load(std::memory_order_acquire);
    const std::uint64_t room = kCapacity - (w - r);
    const int k = static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(n), room));
    // In at most two contiguous runs (up to the ring's end, then from its start), so the
    // conversion loop has no wrap inside it.
    const std::size_t first = static_cast<std::size_t>(w & (kCapacity - 1));
    const int tillEnd = static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(k), kCapacity - first));
    convert(frames_.get() + 2 * first, left, right, tillEnd);
    convert(frames_.get(), left + tillEnd, right + tillEnd, k - tillEnd);
    write_.store(w + static_cast<std::uint64_t>(k), std::memory_order_release);
    return k;
  }

  // Consumer: takes up to maxFrames unread frames, de-interleaved into left and right,
  // and answers how many it took.
  std::size_t read(float* left, float* right, std::size_t maxFrames) {
    const std::uint64_t w = write_.load(std::memory_order_acquire);
    const std::uint64_t r = read_.load(std::memory_order_relaxed);
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(w - r, maxFrames));
    const float* frames = frames_.get();
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint64_t slot = (r + i) & (kCapacity - 1);
      left[i] = frames[2 * slot];
      right[i] = frames[2 * slot + 1];
    }
    read_.store(r + n, std::memory_order_release);
    return n;
  }

  // Consumer: drops every unread frame.
  void skipToWrite() { read_.store(write_.load(std::memory_order_acquire), std::memory_order_release); }

  std::uint64_t writePosition() const { return write_.load(std::memory_order_acquire); }
  std::uint64_t readPosition() const { return read_.load(std::memory_order_acquire); }
  std::uint64_t unread() const { return writePosition() - readPosition(); }

  // Test seam, with no other thread using the ring: both positions start at `position`.
  void setPositionsForTesting(std::uint64_t position) {
    write_.store(position, std::memory_order_relaxed);
    read_.store(position, std::memory_order_relaxed);
  }

private:
  static void convert(float* to, const double* left, const double* right, int n) {
    for (int i = 0; i < n; ++i) {
      to[2 * i] = static_cast<float>(left[i]);
      to[2 * i + 1] = static_cast<float>(right[i]);
    }
  }

  struct Free {
    void operator()(float* p) const { std::free(p); }
  };
  std::unique_ptr<float, Free> frames_;
  std::atomic<std::uint64_t> write_{0};
  std::atomic<std::uint64_t> read_{0};
};

}  // namespace spectrapoise::plugin
