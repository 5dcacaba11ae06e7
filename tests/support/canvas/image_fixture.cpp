#include "tests/support/canvas/image_fixture.h"

#include <fstream>

// stb's writer, header-only and private to this file: no symbol of it leaves here.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace sp::test {

namespace {

void append(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

}  // namespace

RGBAImage RGBAImage::solid(int width, int height, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  RGBAImage image{width, height, {}};
  for (int i = 0; i < width * height; ++i) image.pixels.insert(image.pixels.end(), {r, g, b, a});
  return image;
}

RGBAImage RGBAImage::gradient(int width, int height) {
  RGBAImage image{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.pixels.insert(image.pixels.end(), {static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                                               static_cast<uint8_t>(x + y), static_cast<uint8_t>(255 - x)});
  return image;
}

std::string encodePNG(const RGBAImage& image) {
  std::string out;
  stbi_write_png_to_func(&append, &out, image.width, image.height, 4, image.pixels.data(), image.width * 4);
  return out;
}

std::string encodeJPEG(const RGBAImage& image) {
  std::string out;
  stbi_write_jpg_to_func(&append, &out, image.width, image.height, 4, image.pixels.data(), 95);
  return out;
}

bool writePNG(const std::filesystem::path& path, const RGBAImage& image) {
  const std::string bytes = encodePNG(image);
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return !bytes.empty() && out.good();
}

}  // namespace sp::test
