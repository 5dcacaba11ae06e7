#include "utf_convert.h"

#include <cstdint>
#include <new>

namespace vst3shim {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Appends one code point; returns false (writing nothing) when it does not fit before the terminator.
bool putUtf8(char32_t cp, char* out, std::size_t outBytes, std::size_t& pos) {
  char buf[4];
  std::size_t n;
  if (cp < 0x80) {
    buf[0] = static_cast<char>(cp);
    n = 1;
  } else if (cp < 0x800) {
    buf[0] = static_cast<char>(0xC0 | (cp >> 6));
    buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 2;
  } else if (cp < 0x10000) {
    buf[0] = static_cast<char>(0xE0 | (cp >> 12));
    buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 3;
  } else {
    buf[0] = static_cast<char>(0xF0 | (cp >> 18));
    buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    buf[3] = static_cast<char>(0x80 | (cp & 0x3F));
    n = 4;
  }
  if (pos + n + 1 > outBytes) return false;
  for (std::size_t i = 0; i < n; ++i) out[pos + i] = buf[i];
  pos += n;
  return true;
}

// Decodes one UTF-8 sequence at in[i]; advances i. Malformed input yields U+FFFD and
// consumes one byte.
char32_t nextUtf8(const unsigned char* in, std::size_t len, std::size_t& i) {
  const unsigned char b0 = in[i];
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  std::size_t n;
  char32_t cp;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + n > len) {
    ++i;
    return kReplacement;
  }
  for (std::size_t k = 1; k < n; ++k) {
    const unsigned char b = in[i + k];
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += n;
  return cp;
}

}  // namespace

std::size_t utf16ToUtf8(const char16_t* in, std::size_t maxUnits, char* out, std::size_t outBytes) noexcept {
  if (out == nullptr || outBytes == 0) return 0;
  std::size_t pos = 0;
  if (in != nullptr) {
    for (std::size_t i = 0; i < maxUnits && in[i] != 0; ++i) {
      char32_t cp = in[i];
      if (cp >= 0xD800 && cp <= 0xDBFF) {
        if (i + 1 < maxUnits && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
          cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
          ++i;
        } else {
          cp = kReplacement;
        }
      } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
        cp = kReplacement;
      }
      if (!putUtf8(cp, out, outBytes, pos)) break;
    }
  }
  out[pos] = '\0';
  return pos;
}

std::string utf16ToUtf8(const char16_t* in, std::size_t maxUnits) noexcept {
  try {
    std::size_t units = 0;
    while (in != nullptr && units < maxUnits && in[units] != 0) ++units;
    std::string s(units * 3 + 1, '\0');
    const std::size_t n = utf16ToUtf8(in, units, s.data(), s.size());
    s.resize(n);
    return s;
  } catch (...) {
    return std::string();
  }
}

std::size_t utf8ToUtf16(const char* in, std::size_t inBytes, char16_t* out, std::size_t outUnits) noexcept {
  if (out == nullptr || outUnits == 0) return 0;
  std::size_t pos = 0;
  if (in != nullptr) {
    std::size_t len = 0;
    while (len < inBytes && in[len] != '\0') ++len;
    const auto* bytes = reinterpret_cast<const unsigned char*>(in);
    std::size_t i = 0;
    while (i < len) {
      const char32_t cp = nextUtf8(bytes, len, i);
      if (cp >= 0x10000) {
        if (pos + 2 + 1 > outUnits) break;
        const char32_t v = cp - 0x10000;
        out[pos++] = static_cast<char16_t>(0xD800 + (v >> 10));
        out[pos++] = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
      } else {
        if (pos + 1 + 1 > outUnits) break;
        out[pos++] = static_cast<char16_t>(cp);
      }
    }
  }
  out[pos] = 0;
  return pos;
}

}  // namespace vst3shim
