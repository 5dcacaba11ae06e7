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

bool writePremultipliedPng(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba) {
  if (w < 1 || h < 1 || rgba.size() < size_t(w) * size_t(h) * 4) return false;
  std::vector<uint8_t> straight(rgba.begin(), rgba.begin() + std::ptrdiff_t(size_t(w) * size_t(h) * 4));
  for (size_t i = 0; i < straight.size(); i += 4) {
    const unsigned a = straight[i + 3];
    if (a == 0 || a == 255) continue;
    for (int c = 0; c < 3; ++c) straight[i + c] = uint8_t(std::min(255u, (straight[i + c] * 255u + a / 2) / a));
  }
  return stbi_write_png(path.c_str(), w, h, 4, straight.data(), w * 4) != 0;
}

}  // namespace gallery
