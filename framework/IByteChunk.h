#pragma once
// A growable byte chunk with typed reads and writes at a position: plain values are
// stored as their bytes in machine order (little-endian here), strings as a 32-bit
// signed length followed by the bytes without a terminator. Reads return the position
// after the value, or -1 when the position is negative or the chunk is too short.
// Positions and lengths are checked in 64-bit arithmetic, so a hostile length can
// neither wrap around nor point before the start.
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "framework/HeapBuf.h"
#include "framework/StringBuf.h"

namespace plugkit {

class IByteChunk {
public:
  IByteChunk() : mBytes(4096) {}
  // Copies throw std::bad_alloc when storage cannot be had (an assigned-to chunk keeps its
  // bytes); moves never allocate.
  IByteChunk(const IByteChunk&) = default;
  IByteChunk& operator=(const IByteChunk&) = default;
  IByteChunk(IByteChunk&&) noexcept = default;
  IByteChunk& operator=(IByteChunk&&) noexcept = default;

  // Appends size bytes; false (chunk unchanged) when storage could not grow.
  bool PutBytes(const void* data, int size);
  // Copies size bytes at startPos into out; the position after them, or -1 (out unchanged).
  int GetBytes(void* out, int size, int startPos) const;

  template <class T>
  bool Put(const T* value) {
    static_assert(std::is_trivially_copyable_v<T>, "plain values only");
    return PutBytes(value, static_cast<int>(sizeof(T)));
  }
  template <class T>
  int Get(T* value, int startPos) const {
    static_assert(std::is_trivially_copyable_v<T>, "plain values only");
    return GetBytes(value, static_cast<int>(sizeof(T)), startPos);
  }

  // The text's length as int32, then its bytes. False when storage could not grow.
  bool PutStr(const char* text);
  // Reads a string written by PutStr. See the header comment; in short:
  // - the length cannot be read, or is negative: -1, text unchanged;
  // - the bytes fit: text = those bytes (up to a zero byte; "" for length 0), answer the end;
  // - the bytes run past the size: text unchanged, answer the end while it fits an int
  //   (a following Get there fails), else -1.
  int GetStr(StringBuf& text, int startPos) const;

  // Appends another chunk's bytes as they are.
  bool PutChunk(const IByteChunk* other) { return other != nullptr && PutBytes(other->GetData(), other->Size()); }

  void Clear() { mBytes.Resize(0, false); }
  int Size() const { return mBytes.GetSize(); }
  // Sets the size (new bytes are zero); answers the size reached.
  int Resize(int newSize);
  uint8_t* GetData() { return static_cast<uint8_t*>(mBytes.Get()); }
  const uint8_t* GetData() const { return static_cast<const uint8_t*>(mBytes.Get()); }
  bool IsEqual(const IByteChunk& other) const {
    return Size() == other.Size() && (Size() == 0 || std::memcmp(GetData(), other.GetData(), Size()) == 0);
  }

private:
  HeapBuf mBytes;
};

}  // namespace plugkit
