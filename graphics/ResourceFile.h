#pragma once
// Reading a resource file (bitmap, SVG, font) whole into memory. Any thread; fails by
// result.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plugkit::canvas {

// Resource files larger than this are refused: no bitmap, SVG or font the editor uses
// comes near it.
inline constexpr size_t kMaxResourceFileBytes = size_t{64} << 20;

// The whole file at path into bytes. False, with bytes empty, when the file cannot be
// opened or sized, is larger than maxBytes, or is not read whole.
bool ReadResourceFile(const char* path, std::vector<uint8_t>& bytes, size_t maxBytes = kMaxResourceFileBytes);

}  // namespace plugkit::canvas
