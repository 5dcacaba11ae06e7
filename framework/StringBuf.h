#pragma once
// A NUL-terminated text on a HeapBuf (granularity 128). An empty string may own no
// buffer; Get() then answers "". Formatting always uses the "C" locale, whatever the
// host set for LC_NUMERIC.
#include <cstdarg>
#include <cstring>

#include "framework/HeapBuf.h"

class StringBuf {
public:
  StringBuf() : hb_(128) {}
  explicit StringBuf(const char* text) : hb_(128) { Set(text); }
  StringBuf(const StringBuf& other) : hb_(128) { Set(other.Get()); }
  StringBuf& operator=(const StringBuf& other) {
    if (this != &other) Set(other.Get());
    return *this;
  }
  StringBuf(StringBuf&&) noexcept = default;
  StringBuf& operator=(StringBuf&&) noexcept = default;

  const char* Get() const {
    const char* p = static_cast<const char*>(hb_.Get());
    return p ? p : "";
  }
  char* GetWritable() { return static_cast<char*>(hb_.Get()); }
  int GetLength() const { return static_cast<int>(std::strlen(Get())); }
  bool Empty() const { return Get()[0] == '\0'; }

  // maxlen > 0 takes at most that many bytes of text.
  void Set(const char* text, int maxlen = 0);
  void Append(const char* text, int maxlen = 0);
  void Insert(const char* text, int position, int maxlen = 0);
  void DeleteSub(int position, int length);
  // Cuts the text to at most length bytes.
  void SetLen(int length);

  void SetFormatted(int maxlen, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void AppendFormatted(int maxlen, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void SetFormattedV(int maxlen, const char* format, va_list args);
  void AppendFormattedV(int maxlen, const char* format, va_list args);

  // The one writer behind Set, Append and Insert: keeps the first offs bytes, then len
  // bytes of str, then the trail bytes that followed offs, then a NUL.
  void __doSet(int offs, const char* str, int len, int trail);

private:
  HeapBuf hb_;
};

// vsnprintf in the "C" locale, independent of the process and thread locale.
int FormatCLocale(char* out, size_t size, const char* format, va_list args);
// strtod in the "C" locale.
double ParseDoubleCLocale(const char* text, char** end);
