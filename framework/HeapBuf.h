#pragma once
// A growable byte buffer. The used size is what callers see; the allocation may be
// larger and grows in steps of at least the granularity. Sizes are 32-bit ints: a request
// whose allocation would not fit a positive int is refused (the buffer stays as it was).
// One thread at a time.
#include <cstdint>

class HeapBuf {
public:
  explicit HeapBuf(int granularity = 4096) : granul_(granularity > 0 ? granularity : 4096) {}
  ~HeapBuf();
  // Copies report a failed allocation with std::bad_alloc; an assigned-to buffer is then
  // left as it was. Moves never allocate.
  HeapBuf(const HeapBuf& other);
  HeapBuf& operator=(const HeapBuf& other);
  HeapBuf(HeapBuf&& other) noexcept;
  HeapBuf& operator=(HeapBuf&& other) noexcept;

  void* Get() const { return buf_; }
  int GetSize() const { return size_; }
  int GetAllocated() const { return alloc_; }
  int GetGranul() const { return granul_; }
  void SetGranul(int granularity) {
    if (granularity > 0) granul_ = granularity;
  }

  // Sets the used size. Returns the data (null for size 0); callers check GetSize() for
  // success. Without resizedown the allocation never shrinks.
  void* Resize(int newsize, bool resizedown = true) {
    // Fast path: the block already holds the new size and no shrink is asked for.
    if (newsize >= 0 && newsize <= alloc_ && (!resizedown || newsize >= size_) && (newsize > 0 || size_ == 0)) {
      size_ = newsize;
      return buf_;
    }
    return ResizeSlow(newsize, resizedown);
  }

  // Copies size bytes from src (null: zeros) after growing; false when growth failed, and
  // the buffer is then unchanged.
  bool CopyFrom(const void* src, int size);

private:
  void* ResizeSlow(int newsize, bool resizedown);

  void* buf_ = nullptr;
  int alloc_ = 0;
  int size_ = 0;
  int granul_;
};
