#pragma once
// Decoding PNG and JPEG bitmaps into RGBA pixels (stb_image, PNG and JPEG only). For
// drawing backends: the headless test canvas decodes here, and a backend uploads the
// pixels as its image rather than decoding files itself.
//
// Any thread. Fails by result: a decoded bitmap with no pixels and the reason in error;
// never a partial image.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plugkit::canvas {

// Limits of what is decoded: a side (the largest texture a GPU is sure to take) and the
// pixel count (128 MiB of RGBA; a full editor at scale 3 is under 10 million pixels).
inline constexpr int kMaxBitmapSide = 16384;
inline constexpr int64_t kMaxBitmapPixels = int64_t{1} << 25;

struct DecodedBitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // width x height pixels, R G B A, top row first, not premultiplied
  std::string error;          // why decoding failed; empty on success

  bool IsValid() const { return width > 0 && height > 0 && !rgba.empty(); }
};

// The bytes of a PNG or JPEG file. Anything else (another format, a truncated or corrupt
// file, a size over the limits) fails. Damage the decoder is known to mishandle (a PNG
// chunk longer than the file, a JPEG Huffman table of more than 256 codes or a scan using
// a table never defined) is refused before it reads the file.
DecodedBitmap DecodeBitmap(const void* data, size_t size);

}  // namespace plugkit::canvas
