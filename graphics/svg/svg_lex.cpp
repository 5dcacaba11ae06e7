#include "graphics/svg/svg_lex.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <system_error>

namespace svg {

namespace detail {
const double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                           1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
}  // namespace detail

namespace {

using detail::kPow10;

inline bool isAlpha(char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }
inline char lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

// The digits of a number that the quick path cannot convert exactly: the standard
// conversion (correctly rounded, locale-free) of the unsigned text; out of range gives an
// infinity or zero by the decimal exponent's sign.
double slowConvert(const char* first, const char* last, int exp10) {
  double v = 0.0;
  const auto result = std::from_chars(first, last, v, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) return exp10 > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  if (result.ec != std::errc()) return 0.0;
  return v;
}

struct NamedColor {
  const char* name;
  uint8_t r, g, b;
};

// The SVG colour names, sorted for a binary search.
constexpr NamedColor kColors[] = {
    {"aliceblue", 240, 248, 255}, {"antiquewhite", 250, 235, 215}, {"aqua", 0, 255, 255},
    {"aquamarine", 127, 255, 212}, {"azure", 240, 255, 255}, {"beige", 245, 245, 220},
    {"bisque", 255, 228, 196}, {"black", 0, 0, 0}, {"blanchedalmond", 255, 235, 205},
    {"blue", 0, 0, 255}, {"blueviolet", 138, 43, 226}, {"brown", 165, 42, 42},
    {"burlywood", 222, 184, 135}, {"cadetblue", 95, 158, 160}, {"chartreuse", 127, 255, 0},
    {"chocolate", 210, 105, 30}, {"coral", 255, 127, 80}, {"cornflowerblue", 100, 149, 237},
    {"cornsilk", 255, 248, 220}, {"crimson", 220, 20, 60}, {"cyan", 0, 255, 255},
    {"darkblue", 0, 0, 139}, {"darkcyan", 0, 139, 139}, {"darkgoldenrod", 184, 134, 11},
    {"darkgray", 169, 169, 169}, {"darkgreen", 0, 100, 0}, {"darkgrey", 169, 169, 169},
    {"darkkhaki", 189, 183, 107}, {"darkmagenta", 139, 0, 139}, {"darkolivegreen", 85, 107, 47},
    {"darkorange", 255, 140, 0}, {"darkorchid", 153, 50, 204}, {"darkred", 139, 0, 0},
    {"darksalmon", 233, 150, 122}, {"darkseagreen", 143, 188, 143}, {"darkslateblue", 72, 61, 139},
    {"darkslategray", 47, 79, 79}, {"darkslategrey", 47, 79, 79}, {"darkturquoise", 0, 206, 209},
    {"darkviolet", 148, 0, 211}, {"deeppink", 255, 20, 147}, {"deepskyblue", 0, 191, 255},
    {"dimgray", 105, 105, 105}, {"dimgrey", 105, 105, 105}, {"dodgerblue", 30, 144, 255},
    {"firebrick", 178, 34, 34}, {"floralwhite", 255, 250, 240}, {"forestgreen", 34, 139, 34},
    {"fuchsia", 255, 0, 255}, {"gainsboro", 220, 220, 220}, {"ghostwhite", 248, 248, 255},
    {"gold", 255, 215, 0}, {"goldenrod", 218, 165, 32}, {"gray", 128, 128, 128},
    {"green", 0, 128, 0}, {"greenyellow", 173, 255, 47}, {"grey", 128, 128, 128},
    {"honeydew", 240, 255, 240}, {"hotpink", 255, 105, 180}, {"indianred", 205, 92, 92},
    {"indigo", 75, 0, 130}, {"ivory", 255, 255, 240}, {"khaki", 240, 230, 140},
    {"lavender", 230, 230, 250}, {"lavenderblush", 255, 240, 245}, {"lawngreen", 124, 252, 0},
    {"lemonchiffon", 255, 250, 205}, {"lightblue", 173, 216, 230}, {"lightcoral", 240, 128, 128},
    {"lightcyan", 224, 255, 255}, {"lightgoldenrodyellow", 250, 250, 210}, {"lightgray", 211, 211, 211},
    {"lightgreen", 144, 238, 144}, {"lightgrey", 211, 211, 211}, {"lightpink", 255, 182, 193},
    {"lightsalmon", 255, 160, 122}, {"lightseagreen", 32, 178, 170}, {"lightskyblue", 135, 206, 250},
    {"lightslategray", 119, 136, 153}, {"lightslategrey", 119, 136, 153}, {"lightsteelblue", 176, 196, 222},
    {"lightyellow", 255, 255, 224}, {"lime", 0, 255, 0}, {"limegreen", 50, 205, 50},
    {"linen", 250, 240, 230}, {"magenta", 255, 0, 255}, {"maroon", 128, 0, 0},
    {"mediumaquamarine", 102, 205, 170}, {"mediumblue", 0, 0, 205}, {"mediumorchid", 186, 85, 211},
    {"mediumpurple", 147, 112, 219}, {"mediumseagreen", 60, 179, 113}, {"mediumslateblue", 123, 104, 238},
    {"mediumspringgreen", 0, 250, 154}, {"mediumturquoise", 72, 209, 204}, {"mediumvioletred", 199, 21, 133},
    {"midnightblue", 25, 25, 112}, {"mintcream", 245, 255, 250}, {"mistyrose", 255, 228, 225},
    {"moccasin", 255, 228, 181}, {"navajowhite", 255, 222, 173}, {"navy", 0, 0, 128},
    {"oldlace", 253, 245, 230}, {"olive", 128, 128, 0}, {"olivedrab", 107, 142, 35},
    {"orange", 255, 165, 0}, {"orangered", 255, 69, 0}, {"orchid", 218, 112, 214},
    {"palegoldenrod", 238, 232, 170}, {"palegreen", 152, 251, 152}, {"paleturquoise", 175, 238, 238},
    {"palevioletred", 219, 112, 147}, {"papayawhip", 255, 239, 213}, {"peachpuff", 255, 218, 185},
    {"peru", 205, 133, 63}, {"pink", 255, 192, 203}, {"plum", 221, 160, 221},
    {"powderblue", 176, 224, 230}, {"purple", 128, 0, 128}, {"red", 255, 0, 0},
    {"rosybrown", 188, 143, 143}, {"royalblue", 65, 105, 225}, {"saddlebrown", 139, 69, 19},
    {"salmon", 250, 128, 114}, {"sandybrown", 244, 164, 96}, {"seagreen", 46, 139, 87},
    {"seashell", 255, 245, 238}, {"sienna", 160, 82, 45}, {"silver", 192, 192, 192},
    {"skyblue", 135, 206, 235}, {"slateblue", 106, 90, 205}, {"slategray", 112, 128, 144},
    {"slategrey", 112, 128, 144}, {"snow", 255, 250, 250}, {"springgreen", 0, 255, 127},
    {"steelblue", 70, 130, 180}, {"tan", 210, 180, 140}, {"teal", 0, 128, 128},
    {"thistle", 216, 191, 216}, {"tomato", 255, 99, 71}, {"turquoise", 64, 224, 208},
    {"violet", 238, 130, 238}, {"wheat", 245, 222, 179}, {"white", 255, 255, 255},
    {"whitesmoke", 245, 245, 245}, {"yellow", 255, 255, 0}, {"yellowgreen", 154, 205, 50},
};

constexpr bool colorsSorted() {
  for (size_t i = 1; i < std::size(kColors); ++i)
    if (!(std::string_view(kColors[i - 1].name) < std::string_view(kColors[i].name))) return false;
  return true;
}
static_assert(colorsSorted(), "the colour names must stay sorted");

uint32_t pack(int r, int g, int b) {
  return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

int hexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  ch = lower(ch);
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

bool parseHex(std::string_view hex, uint32_t& rgb) {
  int v[6];
  if (hex.size() != 3 && hex.size() != 6) return false;
  for (size_t i = 0; i < hex.size(); ++i)
    if ((v[i] = hexValue(hex[i])) < 0) return false;
  if (hex.size() == 3)
    rgb = pack(v[0] * 17, v[1] * 17, v[2] * 17);
  else
    rgb = pack(v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5]);
  return true;
}

// "rgb(" already consumed; three numbers or percentages, then ")".
bool parseRgb(const char* p, const char* end, uint32_t& rgb) {
  int channel[3];
  SkipSpace(p, end);
  for (int i = 0; i < 3; ++i) {
    double v = 0.0;
    if (!ReadNumber(p, end, v)) return false;
    if (p < end && *p == '%') {
      ++p;
      v = v * 255.0 / 100.0;
    }
    channel[i] = static_cast<int>(std::lround(std::clamp(v, 0.0, 255.0)));
    if (i < 2) SkipCommaSpace(p, end);
  }
  SkipSpace(p, end);
  if (p == end || *p != ')') return false;
  ++p;
  SkipSpace(p, end);
  if (p != end) return false;
  rgb = pack(channel[0], channel[1], channel[2]);
  return true;
}

bool parseName(std::string_view text, uint32_t& rgb) {
  char name[24];
  if (text.size() >= sizeof name) return false;
  for (size_t i = 0; i < text.size(); ++i) name[i] = lower(text[i]);
  const std::string_view key(name, text.size());
  const auto* it = std::lower_bound(std::begin(kColors), std::end(kColors), key,
                                    [](const NamedColor& c, std::string_view k) { return std::string_view(c.name) < k; });
  if (it == std::end(kColors) || std::string_view(it->name) != key) return false;
  rgb = pack(it->r, it->g, it->b);
  return true;
}


// The tangent from cos and sin; a skew of 90 degrees gives an infinity, which drops the
// shapes it reaches.
double tangent(double c, double s) { return c == 0.0 ? std::numeric_limits<double>::infinity() : s / c; }

// The whole text as one value that read takes, with white space around it.
template <class T>
bool readWhole(std::string_view text, T& out, bool (*read)(const char*&, const char*, T&)) {
  const char* p = text.data();
  const char* end = p + text.size();
  SkipSpace(p, end);
  T v;
  if (!read(p, end, v)) return false;
  SkipSpace(p, end);
  if (p != end) return false;
  out = v;
  return true;
}

}  // namespace

void CosSinDegrees(double degrees, double& c, double& s) {
  if (degrees == 0.0) {  // the common case, without the remainder
    c = 1.0;
    s = 0.0;
    return;
  }
  double r = std::fmod(degrees, 360.0);
  if (r < 0.0) r += 360.0;
  if (r == 0.0) {
    c = 1.0;
    s = 0.0;
  } else if (r == 90.0) {
    c = 0.0;
    s = 1.0;
  } else if (r == 180.0) {
    c = -1.0;
    s = 0.0;
  } else if (r == 270.0) {
    c = 0.0;
    s = -1.0;
  } else {
    const double rad = r * std::numbers::pi / 180.0;
    c = std::cos(rad);
    s = std::sin(rad);
  }
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool detail::ReadNumberExact(const char*& p, const char* end, double& value) {
  const char* q = p;
  bool negative = false;
  if (q < end && (*q == '+' || *q == '-')) {
    negative = *q == '-';
    ++q;
  }
  const char* first = q;
  // Up to 19 significant digits in an integer, the rest only shift the exponent.
  uint64_t mantissa = 0;
  int significant = 0;
  int exp10 = 0;
  bool truncated = false, any = false;
  for (; q < end && IsDigit(*q); ++q) {
    any = true;
    const unsigned digit = static_cast<unsigned>(*q - '0');
    if (significant < 19) {
      mantissa = mantissa * 10 + digit;
      if (mantissa != 0) ++significant;
    } else {
      ++exp10;
      truncated |= digit != 0;
    }
  }
  if (q < end && *q == '.') {
    const char* f = q + 1;
    bool fraction = false;
    for (; f < end && IsDigit(*f); ++f) {
      fraction = true;
      const unsigned digit = static_cast<unsigned>(*f - '0');
      if (significant < 19) {
        mantissa = mantissa * 10 + digit;
        if (mantissa != 0) ++significant;
        --exp10;
      } else {
        truncated |= digit != 0;
      }
    }
    if (any || fraction) q = f;
    any |= fraction;
  }
  if (!any) return false;
  if (q < end && (*q == 'e' || *q == 'E')) {
    const char* e = q + 1;
    bool negativeExp = false;
    if (e < end && (*e == '+' || *e == '-')) {
      negativeExp = *e == '-';
      ++e;
    }
    if (e < end && IsDigit(*e)) {
      int exponent = 0;
      for (; e < end && IsDigit(*e); ++e)
        if (exponent < 100000) exponent = exponent * 10 + (*e - '0');
      exp10 += negativeExp ? -exponent : exponent;
      q = e;
    }
  }

  double v;
  if (mantissa == 0)
    v = 0.0;
  else if (!truncated && mantissa <= (uint64_t{1} << 53) && exp10 >= -22 && exp10 <= 22)
    // Both factors exact: one correctly rounded operation.
    v = exp10 < 0 ? static_cast<double>(mantissa) / kPow10[-exp10] : static_cast<double>(mantissa) * kPow10[exp10];
  else
    v = slowConvert(first, q, exp10);
  value = negative ? -v : v;
  p = q;
  return true;
}

bool ParseNumber(std::string_view text, double& value) { return readWhole(text, value, ReadNumber); }

bool ReadLength(const char*& p, const char* end, Length& out) {
  const char* q = p;
  double v;
  if (!ReadNumber(q, end, v)) return false;
  Unit unit = Unit::None;
  if (q < end && *q == '%') {
    unit = Unit::Percent;
    ++q;
  } else if (q + 1 < end && isAlpha(q[0]) && isAlpha(q[1])) {
    const char a = q[0], b = q[1];
    if (a == 'p' && b == 'x') unit = Unit::Px;
    else if (a == 'p' && b == 't') unit = Unit::Pt;
    else if (a == 'p' && b == 'c') unit = Unit::Pc;
    else if (a == 'm' && b == 'm') unit = Unit::Mm;
    else if (a == 'c' && b == 'm') unit = Unit::Cm;
    else if (a == 'i' && b == 'n') unit = Unit::In;
    else if (a == 'e' && b == 'm') unit = Unit::Em;
    else if (a == 'e' && b == 'x') unit = Unit::Ex;
    else return false;
    q += 2;
  }
  if (q < end && isAlpha(*q)) return false;
  out = {v, unit};
  p = q;
  return true;
}

bool ParseLength(std::string_view text, Length& out) { return readWhole(text, out, ReadLength); }

double PxPerUnit(Unit unit, double dpi) {
  switch (unit) {
    case Unit::In: return dpi;
    case Unit::Pt: return dpi / 72.0;
    case Unit::Pc: return dpi / 6.0;
    case Unit::Mm: return dpi / 25.4;
    case Unit::Cm: return dpi / 2.54;
    case Unit::Em: return 16.0;
    case Unit::Ex: return 8.0;
    default: return 1.0;
  }
}

double PxPerUnitName(const char* units, double dpi) {
  if (units == nullptr || std::strlen(units) != 2) return 1.0;
  const std::string_view u(units, 2);
  if (u == "pt") return PxPerUnit(Unit::Pt, dpi);
  if (u == "pc") return PxPerUnit(Unit::Pc, dpi);
  if (u == "mm") return PxPerUnit(Unit::Mm, dpi);
  if (u == "cm") return PxPerUnit(Unit::Cm, dpi);
  if (u == "in") return PxPerUnit(Unit::In, dpi);
  return 1.0;
}

double ToUserUnits(const Length& length, double dpi, double percentBase) {
  if (length.unit == Unit::Percent) return length.value / 100.0 * percentBase;
  return length.value * PxPerUnit(length.unit, dpi);
}

bool ParseTransform(std::string_view text, Matrix& out) {
  const char* p = text.data();
  const char* end = p + text.size();
  Matrix m;
  SkipSpace(p, end);
  while (p < end) {
    const char* nameStart = p;
    while (p < end && isAlpha(*p)) ++p;
    const std::string_view name(nameStart, static_cast<size_t>(p - nameStart));
    SkipSpace(p, end);
    if (p == end || *p != '(') return false;
    ++p;
    SkipSpace(p, end);
    double v[6];
    int n = 0;
    while (p < end && *p != ')') {
      if (n == 6 || !ReadNumber(p, end, v[n])) return false;
      ++n;
      SkipCommaSpace(p, end);
    }
    if (p == end) return false;
    ++p;

    Matrix t;
    if (name == "matrix" && n == 6) {
      t = {v[0], v[1], v[2], v[3], v[4], v[5]};
    } else if (name == "translate" && (n == 1 || n == 2)) {
      t = Matrix::Translate(v[0], n == 2 ? v[1] : 0.0);
    } else if (name == "scale" && (n == 1 || n == 2)) {
      t = Matrix::Scale(v[0], n == 2 ? v[1] : v[0]);
    } else if (name == "rotate" && (n == 1 || n == 3)) {
      double c, s;
      CosSinDegrees(v[0], c, s);
      t = {c, s, -s, c, 0.0, 0.0};
      if (n == 3) t = Matrix::Translate(v[1], v[2]) * t * Matrix::Translate(-v[1], -v[2]);
    } else if (name == "skewX" && n == 1) {
      double c, s;
      CosSinDegrees(v[0], c, s);
      t = {1.0, 0.0, tangent(c, s), 1.0, 0.0, 0.0};
    } else if (name == "skewY" && n == 1) {
      double c, s;
      CosSinDegrees(v[0], c, s);
      t = {1.0, tangent(c, s), 0.0, 1.0, 0.0, 0.0};
    } else {
      return false;
    }
    m = m * t;
    SkipCommaSpace(p, end);
  }
  out = m;
  return true;
}

bool ParseColor(std::string_view text, uint32_t& rgb) {
  text = Trim(text);
  if (text.empty()) return false;
  if (text[0] == '#') return parseHex(text.substr(1), rgb);
  if (text.size() > 4 && lower(text[0]) == 'r' && lower(text[1]) == 'g' && lower(text[2]) == 'b' && text[3] == '(')
    return parseRgb(text.data() + 4, text.data() + text.size(), rgb);
  return parseName(text, rgb);
}

}  // namespace svg
