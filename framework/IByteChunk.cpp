#include "framework/IByteChunk.h"

#include <climits>

namespace plugkit {

bool IByteChunk::PutBytes(const void* data, int size) {
  if (size < 0) return false;
  if (size == 0) return true;
  const int64_t oldSize = Size();
  const int64_t newSize = oldSize + size;
  if (newSize > INT_MAX) return false;
  mBytes.Resize(static_cast<int>(newSize), false);
  if (Size() != newSize) return false;
  if (data != nullptr)
    std::memcpy(GetData() + oldSize, data, static_cast<size_t>(size));
  else
    std::memset(GetData() + oldSize, 0, static_cast<size_t>(size));
  return true;
}

int IByteChunk::GetBytes(void* out, int size, int startPos) const {
  if (startPos < 0 || size < 0) return -1;
  const int64_t end = int64_t{startPos} + size;
  if (end > Size()) return -1;
  if (size > 0) std::memcpy(out, GetData() + startPos, static_cast<size_t>(size));
  return static_cast<int>(end);
}

bool IByteChunk::PutStr(const char* text) {
  if (text == nullptr) text = "";
  const size_t length = std::strlen(text);
  if (length > static_cast<size_t>(INT_MAX - 4)) return false;
  const int32_t n = static_cast<int32_t>(length);
  const int before = Size();
  if (!Put(&n)) return false;
  if (!PutBytes(text, n)) {
    mBytes.Resize(before, false);
    return false;
  }
  return true;
}

int IByteChunk::GetStr(StringBuf& text, int startPos) const {
  int32_t length = 0;
  const int afterLength = Get(&length, startPos);
  if (afterLength < 0 || length < 0) return -1;
  const int64_t end = int64_t{afterLength} + length;
  if (end <= Size()) {
    if (length == 0)
      text.Set("");
    else
      text.Set(reinterpret_cast<const char*>(GetData() + afterLength), length);  // stops at a zero byte
    return static_cast<int>(end);
  }
  return end <= INT_MAX ? static_cast<int>(end) : -1;
}

int IByteChunk::Resize(int newSize) {
  const int oldSize = Size();
  if (newSize < 0) newSize = 0;
  mBytes.Resize(newSize, false);
  if (Size() > oldSize) std::memset(GetData() + oldSize, 0, static_cast<size_t>(Size() - oldSize));
  return Size();
}

}  // namespace plugkit
