#include "graphics/BitmapDecode.h"

#include <algorithm>
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

// Debian's stb_image writes past its Huffman tables when a table declares more than 256
// codes; such files are refused before it reads them. This walks the file's marker
// segments as the decoder does (bytes past the end read as 0, as there) and checks every
// table of every DHT segment; between segments (entropy-coded data) it looks for the next
// marker.
bool jpegHuffmanTablesFit(const uint8_t* p, size_t n) {
  auto at = [p, n](size_t i) -> unsigned { return i < n ? p[i] : 0u; };
  size_t i = 2;  // after the start-of-image marker
  while (i + 1 < n) {
    if (p[i] != 0xFF) {
      ++i;
      continue;
    }
    const unsigned m = p[i + 1];
    // Fill bytes, stuffed zeros, restart markers and the markers without a length.
    if (m == 0xFF) {
      ++i;
      continue;
    }
    if (m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD9)) {
      i += 2;
      continue;
    }
    const size_t length = (at(i + 2) << 8) | at(i + 3);
    if (m == 0xC4) {
      // As the decoder reads it: tables while the remaining length is above 0.
      long remaining = static_cast<long>(length) - 2;
      size_t q = i + 4;
      while (remaining > 0) {
        unsigned codes = 0;
        for (size_t k = 1; k <= 16; ++k) codes += at(q + k);
        if (codes > 256) return false;
        q += 17 + codes;
        remaining -= static_cast<long>(17 + codes);
      }
    }
    i += 2 + std::max<size_t>(length, 2);
  }
  return true;
}

// Every chunk of a PNG file must lie inside the file (the decoder would first grow its
// buffer to the length a chunk claims), and the first image-data chunk must not be empty
// (the decoder would copy into a buffer it has not made yet). Walks the chunks up to the
// end chunk.
bool pngChunksFit(const uint8_t* p, size_t n) {
  size_t i = 8;  // after the signature
  bool seenData = false;
  while (i + 8 <= n) {
    const size_t length = (size_t{p[i]} << 24) | (size_t{p[i + 1]} << 16) | (size_t{p[i + 2]} << 8) | p[i + 3];
    if (length > n - i - 8 || n - i - 8 - length < 4) return false;  // data and checksum
    const uint8_t* type = p + i + 4;
    if (std::memcmp(type, "IDAT", 4) == 0) {
      if (length == 0 && !seenData) return false;
      seenData = true;
    }
    if (std::memcmp(type, "IEND", 4) == 0) return true;
    i += 12 + length;
  }
  return true;
}

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
  if (isPNG(bytes, size) && !pngChunksFit(bytes, size)) return failure("corrupt PNG: a chunk does not fit the file");
  if (isJPEG(bytes, size) && !jpegHuffmanTablesFit(bytes, size)) return failure("corrupt JPEG: oversized Huffman table");
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
