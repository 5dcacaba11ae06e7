#pragma once
// The SVG reader behind nsvgParse: SVG text to the parsed-image data model (nanosvg.h),
// every shape as absolute cubic paths in output units with all transforms applied.
// Reentrant: any thread, one call at a time per input. It fails by result: null and a
// short reason, never a partial image, never an exception (memory running out gives "out
// of memory"); what it returns is freed with nsvgDelete. A gradient keeps its first
// NSVG_MAX_STOPS stops, so an image holds at most that many per gradient paint.
//
// Refused: no or empty text, text over kMaxInputBytes, malformed XML, a root element
// other than <svg>, elements nested deeper than kMaxDepth, more than kMaxPoints points,
// and an image whose width or height is not a finite number above 0.
#include <cstddef>
#include <string>

#include "graphics/svg/nanosvg.h"

namespace svg {

constexpr size_t kMaxInputBytes = size_t{16} << 20;
constexpr int kMaxDepth = 256;
constexpr size_t kMaxPoints = 1000000;

// Parses the zero-terminated text, which serves as scratch space and is left changed.
// units names the output units ("px", "pt", "pc", "mm", "cm" or "in"; anything else is
// px); dpi converts absolute units and must be above 0. On failure, error holds why.
NSVGimage* Parse(char* input, const char* units, float dpi, std::string& error) noexcept;

// Why the last nsvgParse on this thread returned null; empty after a success.
const std::string& LastParseError();

}  // namespace svg
