#include "framework/StringBuf.h"

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace {

locale_t cLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}

int boundedLength(const char* text, int maxlen) {
  if (text == nullptr) return 0;
  if (maxlen <= 0) return static_cast<int>(std::min<size_t>(std::strlen(text), INT_MAX));
  const void* nul = std::memchr(text, 0, static_cast<size_t>(maxlen));
  return nul ? static_cast<int>(static_cast<const char*>(nul) - text) : maxlen;
}

}  // namespace

int FormatCLocale(char* out, size_t size, const char* format, va_list args) {
  const locale_t loc = cLocale();
  locale_t previous = static_cast<locale_t>(0);
  if (loc != static_cast<locale_t>(0)) previous = uselocale(loc);
  const int result = std::vsnprintf(out, size, format, args);
  if (previous != static_cast<locale_t>(0)) uselocale(previous);
  return result;
}

double ParseDoubleCLocale(const char* text, char** end) {
  const locale_t loc = cLocale();
  if (loc == static_cast<locale_t>(0)) return std::strtod(text, end);
  return strtod_l(text, end, loc);
}

void StringBuf::Set(const char* text, int maxlen) { __doSet(0, text, boundedLength(text, maxlen), 0); }

void StringBuf::Append(const char* text, int maxlen) {
  __doSet(GetLength(), text, boundedLength(text, maxlen), 0);
}

void StringBuf::Insert(const char* text, int position, int maxlen) {
  const int length = GetLength();
  position = std::clamp(position, 0, length);
  __doSet(position, text, boundedLength(text, maxlen), length - position);
}

void StringBuf::DeleteSub(int position, int length) {
  const int total = GetLength();
  if (position < 0 || position >= total || length <= 0) return;
  length = std::min(length, total - position);
  char* p = GetWritable();
  std::memmove(p + position, p + position + length, static_cast<size_t>(total - position - length + 1));
  hb_.Resize(total - length + 1, false);
}

void StringBuf::SetLen(int length) {
  if (length < 0) length = 0;
  if (length >= GetLength()) return;
  GetWritable()[length] = '\0';
  hb_.Resize(length + 1, false);
}

void StringBuf::__doSet(int offs, const char* str, int len, int trail) {
  if (offs == 0 && len == 0 && trail == 0) {
    hb_.Resize(1, false);
    if (hb_.GetSize() == 1) static_cast<char*>(hb_.Get())[0] = '\0';
    return;
  }
  if (offs < 0 || len <= 0 || trail < 0 || str == nullptr) return;

  const int64_t wanted = int64_t{offs} + len + trail + 1;
  if (wanted > INT_MAX) return;
  const int newsize = static_cast<int>(wanted);
  const int oldsize = hb_.GetSize();

  if (newsize > oldsize) {
    const char* oldbuf = static_cast<const char*>(hb_.Get());
    // Remember where str points inside our own text before the block may move.
    const bool inside = oldbuf != nullptr && str >= oldbuf && str < oldbuf + oldsize;
    const ptrdiff_t offset = inside ? str - oldbuf : 0;
    hb_.Resize(newsize, false);
    if (hb_.GetSize() != newsize) return;
    if (inside) str = static_cast<const char*>(hb_.Get()) + offset;
  }

  char* p = static_cast<char*>(hb_.Get());
  if (trail > 0) std::memmove(p + offs + len, p + offs, static_cast<size_t>(trail));
  std::memmove(p + offs, str, static_cast<size_t>(len));
  p[offs + len + trail] = '\0';
  if (newsize < oldsize) hb_.Resize(newsize, false);
}

void StringBuf::SetFormattedV(int maxlen, const char* format, va_list args) {
  if (maxlen < 0) maxlen = 0;
  if (maxlen >= INT_MAX) maxlen = INT_MAX - 1;
  hb_.Resize(maxlen + 1, false);
  if (hb_.GetSize() != maxlen + 1) return;
  char* p = static_cast<char*>(hb_.Get());
  int result = FormatCLocale(p, static_cast<size_t>(maxlen) + 1, format, args);
  if (result < 0) result = 0;
  const int length = std::min(result, maxlen);
  p[length] = '\0';
  hb_.Resize(length + 1, false);
}

void StringBuf::AppendFormattedV(int maxlen, const char* format, va_list args) {
  if (maxlen < 0) maxlen = 0;
  const int current = GetLength();
  const int64_t wanted = int64_t{current} + maxlen + 1;
  if (wanted > INT_MAX) return;
  hb_.Resize(static_cast<int>(wanted), false);
  if (hb_.GetSize() != wanted) return;
  char* p = static_cast<char*>(hb_.Get());
  int result = FormatCLocale(p + current, static_cast<size_t>(maxlen) + 1, format, args);
  if (result < 0) result = 0;
  const int length = current + std::min(result, maxlen);
  p[length] = '\0';
  hb_.Resize(length + 1, false);
}

void StringBuf::SetFormatted(int maxlen, const char* format, ...) {
  va_list args;
  va_start(args, format);
  SetFormattedV(maxlen, format, args);
  va_end(args);
}

void StringBuf::AppendFormatted(int maxlen, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormattedV(maxlen, format, args);
  va_end(args);
}
