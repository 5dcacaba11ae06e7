#pragma once
// Lexing of SVG attribute values for the SVG reader: numbers by SVG's own grammar (never
// through the process locale), lengths with their units, transform lists and colours.
// Pure functions on text, any thread. They fail by result (false, output untouched); a
// number beyond a double's range reads as an infinity, which the caller refuses later.
#include <cstdint>
#include <string_view>

#include "graphics/svg/svg_matrix.h"

namespace svg {

inline bool IsSpace(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\f'; }
inline bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

inline void SkipSpace(const char*& p, const char* end) {
  while (p < end && IsSpace(*p)) ++p;
}

// White space, then at most one comma and the white space after it.
inline void SkipCommaSpace(const char*& p, const char* end) {
  SkipSpace(p, end);
  if (p < end && *p == ',') {
    ++p;
    SkipSpace(p, end);
  }
}

// One number at p: an optional sign, digits with an optional point and fraction (".5"
// and "5." both count), and an exponent only when digits follow it ("1em" is 1 and then
// "em"; "1e5" is 100000). The value is the double nearest to the number as written.
// p moves past the number; false leaves p where it was.
inline bool ReadNumber(const char*& p, const char* end, double& value);

namespace detail {
extern const double kPow10[23];
// The numbers ReadNumber's quick path leaves (exponents, more than 15 digits), correctly
// rounded.
bool ReadNumberExact(const char*& p, const char* end, double& value);
}  // namespace detail

inline bool ReadNumber(const char*& p, const char* end, double& value) {
  // The quick path: at most 15 digits and no exponent. The digits as an integer (below
  // 10^15 < 2^53) and the power of ten are both exact doubles, so one division rounds
  // correctly. Anything else takes the exact path. (Plain loops over the characters measured
  // faster than branch-free reading of eight characters at a time, whose chain of
  // dependent loads costs more than the loop ends the processor mispredicts.)
  const char* q = p;
  bool negative = false;
  if (q != end && (*q == '-' || *q == '+')) {
    negative = *q == '-';
    ++q;
  }
  const char* digits = q;
  uint64_t m = 0;
  while (q != end && IsDigit(*q)) m = m * 10 + static_cast<unsigned>(*q++ - '0');
  size_t count = static_cast<size_t>(q - digits);
  size_t fraction = 0;
  if (q != end && *q == '.') {
    const char* f = q + 1;
    while (f != end && IsDigit(*f)) m = m * 10 + static_cast<unsigned>(*f++ - '0');
    fraction = static_cast<size_t>(f - (q + 1));
    q = f;
  }
  count += fraction;
  if (count == 0) return false;
  if ((q != end && (*q | 0x20) == 'e') || count > 15) return detail::ReadNumberExact(p, end, value);
  const double scaled = static_cast<double>(static_cast<int64_t>(m)) / detail::kPow10[fraction];
  value = negative ? -scaled : scaled;
  p = q;
  return true;
}

// The whole text as one number (white space around it allowed).
bool ParseNumber(std::string_view text, double& value);

enum class Unit : uint8_t { None, Px, Pt, Pc, Mm, Cm, In, Percent, Em, Ex };

struct Length {
  double value = 0.0;
  Unit unit = Unit::None;
};

// A number with the unit written right after it. The whole-text form allows white space
// around it and nothing else.
bool ReadLength(const char*& p, const char* end, Length& out);
bool ParseLength(std::string_view text, Length& out);

// How many user units (px) one unit is at dpi dots per inch: in = dpi, pt = dpi / 72,
// pc = dpi / 6, mm = dpi / 25.4, cm = dpi / 2.54, em = 16, ex = 8, px and none = 1.
double PxPerUnit(Unit unit, double dpi);
// The factor of an output-units name ("px", "pt", "pc", "mm", "cm", "in"); null or any
// other name counts as px.
double PxPerUnitName(const char* units, double dpi);
// A length in user units; a percentage is taken of percentBase.
double ToUserUnits(const Length& length, double dpi, double percentBase);

// cos and sin of an angle in degrees, exact at multiples of 90.
void CosSinDegrees(double degrees, double& c, double& s);

// A transform list ("translate(10 20) rotate(45)"): matrix, translate, scale, rotate (with
// an optional centre), skewX and skewY, angles in degrees, the leftmost outermost. An
// empty list is the identity; a list with any error is refused as a whole.
bool ParseTransform(std::string_view text, Matrix& out);

// A colour: a name of the SVG colour set (any case), #rgb, #rrggbb, or rgb() of three
// numbers or three percentages. rgb receives R | G << 8 | B << 16.
bool ParseColor(std::string_view text, uint32_t& rgb);

// The text without white space at either end.
std::string_view Trim(std::string_view text);

// An XML name without its prefix: "svg:path" -> "path" (names are not resolved against
// their namespaces).
inline std::string_view LocalName(std::string_view name) {
  const size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

}  // namespace svg
