#pragma once
// Text helpers shared by the IPluginBase*.cpp files: names cut into fixed arrays, and
// standard Base64 (preset blobs and their source dumps). Any thread; nothing allocates
// but Base64Encode, which may throw std::bad_alloc.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace plugkit::detail {

// Copies at most size - 1 bytes of text (null: "") and terminates.
inline void CopyCut(char* dst, size_t size, const char* text) {
  if (text == nullptr) text = "";
  const size_t n = strnlen(text, size - 1);
  std::memcpy(dst, text, n);
  dst[n] = '\0';
}

inline constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of a Base64 character, -1 outside the alphabet.
inline int Base64Value(char c) {
  const char* at = c != '\0' ? std::strchr(kBase64Alphabet, c) : nullptr;
  return at != nullptr ? static_cast<int>(at - kBase64Alphabet) : -1;
}

// Standard Base64 with "=" padding.
inline std::string Base64Encode(const uint8_t* data, int size) {
  std::string out;
  for (int i = 0; i < size; i += 3) {
    const uint32_t b0 = data[i];
    const uint32_t b1 = i + 1 < size ? data[i + 1] : 0;
    const uint32_t b2 = i + 2 < size ? data[i + 2] : 0;
    const uint32_t v = (b0 << 16) | (b1 << 8) | b2;
    out += kBase64Alphabet[(v >> 18) & 63];
    out += kBase64Alphabet[(v >> 12) & 63];
    out += i + 1 < size ? kBase64Alphabet[(v >> 6) & 63] : '=';
    out += i + 2 < size ? kBase64Alphabet[v & 63] : '=';
  }
  return out;
}

}  // namespace plugkit::detail
