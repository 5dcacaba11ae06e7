// PNG writing through stb_image_write (header-only, private to this file).
#include "tools/png/png_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <unordered_set>

namespace pngfile {
namespace {

// The encoder's buffers, tracked while one encoding runs on this thread: the encoder assumes
// its allocations succeed, so a failed one throws std::bad_alloc out of it, and the buffers
// it held are freed on the way out.
struct EncoderHeap {
  std::unordered_set<void*> live;  // the compressor holds thousands of small buffers at once
};
thread_local EncoderHeap* tHeap = nullptr;

// Tracks p, or frees it and throws when even that fails.
void* track(void* p) {
  try {
    tHeap->live.insert(p);
  } catch (...) {
    std::free(p);
    throw;
  }
  return p;
}

void* encoderMalloc(size_t size) {
  void* p = std::malloc(size);
  if (p == nullptr) throw std::bad_alloc();
  return track(p);
}

void* encoderRealloc(void* old, size_t size) {
  if (old == nullptr) return encoderMalloc(size);
  void* p = std::realloc(old, size);
  if (p == nullptr) throw std::bad_alloc();  // old is still held, and freed with the rest
  if (p == old) return p;
  tHeap->live.erase(old);
  return track(p);
}

void encoderFree(void* p) {
  if (p == nullptr) return;
  tHeap->live.erase(p);
  std::free(p);
}

// Runs one encoding with its buffers tracked; rethrows std::bad_alloc after freeing them.
template <class Encode>
int tracked(Encode&& encode) {
  EncoderHeap heap;
  tHeap = &heap;
  try {
    const int result = encode();
    tHeap = nullptr;
    return result;
  } catch (...) {
    for (void* p : heap.live) std::free(p);
    tHeap = nullptr;
    throw;
  }
}

}  // namespace
}  // namespace pngfile

#define STBIW_MALLOC(size) pngfile::encoderMalloc(size)
#define STBIW_REALLOC(p, size) pngfile::encoderRealloc(p, size)
#define STBIW_FREE(p) pngfile::encoderFree(p)
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace pngfile {

namespace {

std::vector<uint8_t> straightAlpha(int w, int h, const std::vector<uint8_t>& rgba) {
  std::vector<uint8_t> straight(rgba.begin(), rgba.begin() + std::ptrdiff_t(size_t(w) * size_t(h) * 4));
  for (size_t i = 0; i < straight.size(); i += 4) {
    const unsigned a = straight[i + 3];
    if (a == 0 || a == 255) continue;
    for (int c = 0; c < 3; ++c) straight[i + c] = uint8_t(std::min(255u, (straight[i + c] * 255u + a / 2) / a));
  }
  return straight;
}

bool fits(int w, int h, const std::vector<uint8_t>& rgba) {
  return w >= 1 && h >= 1 && rgba.size() >= size_t(w) * size_t(h) * 4;
}

}  // namespace

bool writePremultipliedPng(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba) {
  if (!fits(w, h, rgba)) return false;
  const std::vector<uint8_t> straight = straightAlpha(w, h, rgba);
  return tracked([&] { return stbi_write_png(path.c_str(), w, h, 4, straight.data(), w * 4); }) != 0;
}

std::string encodePremultipliedPng(int w, int h, const std::vector<uint8_t>& rgba) {
  if (!fits(w, h, rgba)) return {};
  const std::vector<uint8_t> straight = straightAlpha(w, h, rgba);
  std::string bytes;
  auto append = [](void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
  };
  if (tracked([&] { return stbi_write_png_to_func(append, &bytes, w, h, 4, straight.data(), w * 4); }) == 0) return {};
  return bytes;
}

}  // namespace pngfile
