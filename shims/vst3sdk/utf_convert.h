#pragma once
// UTF-16 <-> UTF-8 conversion for host-facing strings. Never throws, never overruns:
// output is bounded by the given capacity and always NUL-terminated; unpaired
// surrogates and malformed UTF-8 become U+FFFD.
#include <cstddef>
#include <string>

namespace vst3shim {

// Converts at most maxUnits UTF-16 units (stopping at a NUL) into out, which holds
// outBytes bytes including the terminator. Characters that do not fit whole are dropped.
// Returns the number of bytes written before the terminator.
std::size_t utf16ToUtf8(const char16_t* in, std::size_t maxUnits, char* out, std::size_t outBytes) noexcept;

// Same, into a std::string (empty when allocation fails).
std::string utf16ToUtf8(const char16_t* in, std::size_t maxUnits) noexcept;

// Converts at most inBytes UTF-8 bytes (stopping at a NUL) into out, which holds outUnits
// units including the terminator. A surrogate pair is never split. Returns the number of
// units written before the terminator.
std::size_t utf8ToUtf16(const char* in, std::size_t inBytes, char16_t* out, std::size_t outUnits) noexcept;

// A NUL-terminated UTF-8 text into a host string of 128 units (VST3's String128).
inline std::size_t utf8ToString128(const char* in, char16_t* out) noexcept {
  return utf8ToUtf16(in, static_cast<std::size_t>(-1), out, 128);
}

}  // namespace vst3shim
