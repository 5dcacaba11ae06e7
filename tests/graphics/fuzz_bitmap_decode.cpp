// libFuzzer target: any bytes into the PNG/JPEG decoder. A decode that succeeds must hold
// every pixel of the size it reports; nothing may read or write outside its buffers.
#include <cstddef>
#include <cstdint>

#include "graphics/BitmapDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const plugkit::canvas::DecodedBitmap bitmap = plugkit::canvas::DecodeBitmap(data, size);
  if (bitmap.IsValid() &&
      bitmap.rgba.size() != static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height) * 4)
    __builtin_trap();
  return 0;
}
