#include "graphics/BitmapDecode.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
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
// Zeroed memory, so that no state the decoder fails to set up (say, a table of a damaged
// file that the checks below miss) holds leftovers.
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(p, size) std::realloc(p, size)
#define STBI_FREE(p) std::free(p)
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

// Two kinds of damaged JPEG that Debian's stb_image mishandles are refused before it reads
// the file: a Huffman table of more than 256 codes (it writes past its tables) and a scan
// that uses a table no earlier segment defined (it decodes with whatever the table's
// memory held). This walks the marker segments as the decoder does (bytes past the end
// read as 0, as there); between segments (entropy-coded data) it looks for the next marker.
bool jpegHuffmanTablesSound(const uint8_t* p, size_t n) {
  auto at = [p, n](size_t i) -> unsigned { return i < n ? p[i] : 0u; };
  bool defined[2][4] = {};  // [DC, AC][table]
  bool progressive = false;
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
    if (m == 0xC2) progressive = true;
    if (m == 0xC4) {
      // As the decoder reads it: tables while the remaining length is above 0.
      long remaining = static_cast<long>(length) - 2;
      size_t q = i + 4;
      while (remaining > 0) {
        const unsigned kind = at(q) >> 4, table = at(q) & 15;
        if (kind <= 1 && table <= 3) defined[kind][table] = true;
        unsigned codes = 0;
        for (size_t k = 1; k <= 16; ++k) codes += at(q + k);
        if (codes > 256) return false;
        q += 17 + codes;
        remaining -= static_cast<long>(17 + codes);
      }
    }
    if (m == 0xDA) {
      // The tables each component of the scan decodes with: DC unless a progressive scan
      // has only AC coefficients or refines DC bits; AC unless it is a progressive DC scan.
      const unsigned count = at(i + 4);
      const unsigned start = at(i + 5 + 2 * count), refine = at(i + 7 + 2 * count) >> 4;
      const bool dc = !progressive || (start == 0 && refine == 0);
      const bool ac = !progressive || start != 0;
      for (unsigned c = 0; c < count; ++c) {
        const unsigned tables = at(i + 6 + 2 * c), td = tables >> 4, ta = tables & 15;
        if (td > 3 || ta > 3) continue;  // refused by the decoder itself
        if ((dc && !defined[0][td]) || (ac && !defined[1][ta])) return false;
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
  if (isJPEG(bytes, size) && !jpegHuffmanTablesSound(bytes, size)) return failure("corrupt JPEG: unusable Huffman tables");
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
