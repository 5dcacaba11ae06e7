#pragma once
// Bitmap files made in memory for tests: PNG and JPEG encodings of RGBA pixels (stb's
// writer), solid or patterned images, and files written from them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sp::test {

// width x height pixels, R G B A, top row first.
struct RGBAImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;

  // Every pixel (r, g, b, a).
  static RGBAImage solid(int width, int height, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
  // Pixel (x, y) = (x, y, x + y, 255 - x) modulo 256: every pixel tells where it came from.
  static RGBAImage gradient(int width, int height);
};

// The image as a PNG (4 channels) or JPEG (quality 95) file's bytes.
std::string encodePNG(const RGBAImage& image);
std::string encodeJPEG(const RGBAImage& image);

// Writes the image as a PNG file (for a person to look at, or as a fixture).
bool writePNG(const std::filesystem::path& path, const RGBAImage& image);

}  // namespace sp::test
