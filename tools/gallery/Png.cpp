// PNG writing through stb_image_write (header-only, private to this file).
#include "tools/gallery/Png.h"

#include <algorithm>
#include <cstddef>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace gallery {

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
  return stbi_write_png(path.c_str(), w, h, 4, straight.data(), w * 4) != 0;
}

std::string encodePremultipliedPng(int w, int h, const std::vector<uint8_t>& rgba) {
  if (!fits(w, h, rgba)) return {};
  const std::vector<uint8_t> straight = straightAlpha(w, h, rgba);
  std::string bytes;
  auto append = [](void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
  };
  if (stbi_write_png_to_func(append, &bytes, w, h, 4, straight.data(), w * 4) == 0) return {};
  return bytes;
}

}  // namespace gallery
