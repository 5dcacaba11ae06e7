#include "framework/HeapBuf.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

HeapBuf::~HeapBuf() { std::free(buf_); }

HeapBuf::HeapBuf(const HeapBuf& other) : granul_(other.granul_) {
  if (!CopyFrom(other.buf_, other.size_)) throw std::bad_alloc();
}

HeapBuf& HeapBuf::operator=(const HeapBuf& other) {
  if (this != &other && !CopyFrom(other.buf_, other.size_)) throw std::bad_alloc();
  return *this;
}

HeapBuf::HeapBuf(HeapBuf&& other) noexcept
    : buf_(other.buf_), alloc_(other.alloc_), size_(other.size_), granul_(other.granul_) {
  other.buf_ = nullptr;
  other.alloc_ = other.size_ = 0;
}

HeapBuf& HeapBuf::operator=(HeapBuf&& other) noexcept {
  if (this != &other) {
    std::free(buf_);
    buf_ = other.buf_;
    alloc_ = other.alloc_;
    size_ = other.size_;
    granul_ = other.granul_;
    other.buf_ = nullptr;
    other.alloc_ = other.size_ = 0;
  }
  return *this;
}

bool HeapBuf::CopyFrom(const void* src, int size) {
  if (size < 0) size = 0;
  Resize(size, false);
  if (size_ != size) return false;
  if (size > 0) {
    if (src != nullptr)
      std::memcpy(buf_, src, static_cast<size_t>(size));
    else
      std::memset(buf_, 0, static_cast<size_t>(size));
  }
  return true;
}

void* HeapBuf::ResizeSlow(int newsize, bool resizedown) {
  if (newsize < 0) newsize = 0;
  if (newsize == size_) return buf_;

  int64_t threshold = 0;
  if (resizedown && newsize < size_) {
    threshold = std::max<int64_t>(1, std::min<int64_t>(int64_t{alloc_} - 4 * int64_t{granul_}, alloc_ / 2));
  }

  if (newsize > alloc_ || newsize < threshold) {
    if (newsize == 0) {
      std::free(buf_);
      buf_ = nullptr;
      alloc_ = size_ = 0;
      return nullptr;
    }
    const int64_t slack = std::max<int64_t>(newsize / 2, granul_);
    int64_t newalloc;
    if (granul_ < 4096) {
      newalloc = int64_t{newsize} + slack;
    } else {
      const int64_t pageSlack = std::min<int64_t>(slack & ~int64_t{4095}, 4194304);
      newalloc = ((int64_t{newsize} + pageSlack + 96) & ~int64_t{4095}) - 96;
    }
    if (newalloc > INT_MAX || newalloc < newsize) return buf_;  // refused: unchanged

    if (newalloc != alloc_) {
      void* grown = std::realloc(buf_, static_cast<size_t>(newalloc));
      if (grown == nullptr) {
        grown = std::malloc(static_cast<size_t>(newalloc));
        if (grown == nullptr) return buf_;
        if (buf_ != nullptr) std::memcpy(grown, buf_, static_cast<size_t>(std::min(newsize, size_)));
        std::free(buf_);
      }
      buf_ = grown;
      alloc_ = static_cast<int>(newalloc);
    }
  }
  size_ = newsize;
  return buf_;
}
