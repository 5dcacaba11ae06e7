#pragma once
// The panel's texts: its typographic characters, the one formatter of levels
// (`decibels`), printf-style formatting in the "C" locale (hosts set comma locales), and
// measuring and cutting labels by UTF-8 characters. Main thread; nothing here fails.
#include <string>

#include "graphics/ICanvas.h"
#include "ui/palette.h"

namespace balance_panel {

inline constexpr const char* kMinus = "\xE2\x88\x92";      // U+2212 minus sign
inline constexpr const char* kEllipsis = "\xE2\x80\xA6";   // U+2026 horizontal ellipsis
inline constexpr const char* kMiddleDot = "\xC2\xB7";      // U+00B7 middle dot
inline constexpr const char* kEnDash = "\xE2\x80\x93";     // U+2013 en dash

// A level as every meter of the panel prints it: "−inf" at or below floor, and for a value
// that is not finite; otherwise the value rounded to one decimal (halves away from zero),
// with U+2212 before a negative result, "+" before a positive one when plusSign, and
// without the ".0" of a whole result when dropZeroDecimal. Zero never carries a sign.
std::string decibels(double value, bool plusSign, bool dropZeroDecimal, double floor);

// printf into at most maxLength bytes, in the "C" locale whatever the process set.
std::string formatC(int maxLength, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The width of text in the style, as the graphics context measures it; 0 when empty.
float textWidth(const ICanvas& g, const IText& style, const std::string& text);

// Removes the last character: a lead byte with the continuation bytes after it. Stray
// continuation bytes after a one-byte character go alone; a text that starts with stray
// continuation bytes loses them back to its start, never further.
void dropLastCharacter(std::string& text);

// The label unchanged when it is at most width wide; else cut a character at a time until
// the rest followed by "…" fits, and "…" appended ("…" alone when no character fits).
std::string fitWithEllipsis(const ICanvas& g, const IText& style, std::string label, float width);

}  // namespace balance_panel
