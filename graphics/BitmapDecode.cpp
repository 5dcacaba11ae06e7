#include "graphics/BitmapDecode.h"

#include <climits>
#include <cstring>
#include <memory>

// stb_image from libstb-dev, compiled here for PNG and JPEG only and private to this file
// (static: no symbol leaves it, so it cannot meet the copy inside nanovg.c, whose entry
// points are renamed). That copy is an old release that aborts on damaged JPEG data, so
// bitmaps are decoded here and nowhere else. Sizes past the limits are refused by the
// decoder itself, before it allocates.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 16384
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace plugkit::canvas {

static_assert(STBI_MAX_DIMENSIONS == kMaxBitmapSide);

namespace {

bool isPNG(const uint8_t* p, size_t n) {
  static const uint8_t kMagic[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return n >= sizeof kMagic && std::memcmp(p, kMagic, sizeof kMagic) == 0;
}

bool isJPEG(const uint8_t* p, size_t n) { return n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF; }

DecodedBitmap failure(const char* why) {
  DecodedBitmap out;
  out.error = why;
  return out;
}

std::string decoderReason(const char* prefix) {
  const char* reason = stbi_failure_reason();
  return std::string(prefix) + (reason != nullptr ? reason : "unknown");
}

}  // namespace

DecodedBitmap DecodeBitmap(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (bytes == nullptr || size == 0) return failure("no data");
  if (size > static_cast<size_t>(INT_MAX)) return failure("file too large");
  if (!isPNG(bytes, size) && !isJPEG(bytes, size)) return failure("not a PNG or JPEG file");
  const int len = static_cast<int>(size);

  // The header first: nothing is allocated for a size past the limits.
  int w = 0, h = 0, comp = 0;
  if (stbi_info_from_memory(bytes, len, &w, &h, &comp) == 0) {
    DecodedBitmap out;
    out.error = decoderReason("unreadable header: ");
    return out;
  }
  if (w <= 0 || h <= 0) return failure("empty image");
  if (w > kMaxBitmapSide || h > kMaxBitmapSide || int64_t{w} * h > kMaxBitmapPixels)
    return failure("image too large");

  int dw = 0, dh = 0;
  const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(bytes, len, &dw, &dh, &comp, 4),
                                                         &stbi_image_free);
  if (!pixels) {
    DecodedBitmap out;
    out.error = decoderReason("cannot decode: ");
    return out;
  }
  if (dw != w || dh != h) return failure("size changed while decoding");

  DecodedBitmap out;
  out.width = w;
  out.height = h;
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
  out.rgba.assign(pixels.get(), pixels.get() + n);
  return out;
}

}  // namespace plugkit::canvas
