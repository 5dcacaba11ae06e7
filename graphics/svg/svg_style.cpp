#include "graphics/svg/svg_style.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "graphics/svg/svg_lex.h"

namespace svg {

namespace {

bool parseNonNegativeLength(std::string_view value, const Viewport& vp, double base, double& out) {
  Length l;
  if (!ParseLength(value, l)) return false;
  const double v = ToUserUnits(l, vp.dpi, base);
  if (!(v >= 0.0)) return false;
  out = v;
  return true;
}

// A dash list: lengths separated by commas or spaces. A negative length or a list that
// adds up to nothing makes the line solid; an odd list is repeated once; eight are kept.
bool parseDashes(std::string_view value, const Viewport& vp, Style& style) {
  value = Trim(value);
  if (value == "none") {
    style.dashCount = 0;
    return true;
  }
  const char* p = value.data();
  const char* end = p + value.size();
  double first[8];
  size_t n = 0;
  double sum = 0.0;
  bool negative = false;
  while (p < end) {
    Length l;
    if (!ReadLength(p, end, l)) return false;
    const double v = ToUserUnits(l, vp.dpi, vp.diagonal);
    negative |= v < 0.0;
    sum += v;
    if (n < 8) first[n] = v;
    ++n;
    SkipCommaSpace(p, end);
  }
  if (n == 0) return false;
  if (negative || !(sum > 0.0)) {
    style.dashCount = 0;
    return true;
  }
  const size_t total = std::min<size_t>(n % 2 == 1 ? 2 * n : n, 8);
  for (size_t i = 0; i < total; ++i) style.dashes[i] = first[i % n];
  style.dashCount = static_cast<int>(total);
  return true;
}

}  // namespace

bool ParseOpacity(std::string_view value, double& opacity) {
  Length l;
  if (!ParseLength(value, l)) return false;
  double v;
  if (l.unit == Unit::Percent)
    v = l.value / 100.0;
  else if (l.unit == Unit::None)
    v = l.value;
  else
    return false;
  opacity = std::clamp(v, 0.0, 1.0);
  return true;
}

bool ParsePaint(std::string_view value, PaintSpec& paint) {
  value = Trim(value);
  if (value == "none") {
    paint = {};
    return true;
  }
  if (value == "currentColor") {
    paint = {PaintSpec::kColor, 0, {}, PaintSpec::kNone, 0};
    return true;
  }
  if (value.substr(0, 4) == "url(") {
    const size_t close = value.find(')');
    if (close == std::string_view::npos) return false;
    std::string_view ref = Trim(value.substr(4, close - 4));
    if (ref.size() >= 2 && (ref.front() == '\'' || ref.front() == '"') && ref.back() == ref.front())
      ref = Trim(ref.substr(1, ref.size() - 2));
    if (ref.empty() || ref.front() != '#') return false;
    PaintSpec spec;
    spec.kind = PaintSpec::kUrl;
    spec.id = ref.substr(1);
    const std::string_view fallback = Trim(value.substr(close + 1));
    if (!fallback.empty() && fallback != "none") {
      uint32_t rgb;
      if (ParseColor(fallback, rgb)) {
        spec.fallback = PaintSpec::kColor;
        spec.fallbackRgb = rgb;
      }
    }
    paint = spec;
    return true;
  }
  uint32_t rgb;
  if (!ParseColor(value, rgb)) return false;
  paint = {PaintSpec::kColor, rgb, {}, PaintSpec::kNone, 0};
  return true;
}

void ApplyProperty(std::string_view name, std::string_view value, const Viewport& vp, Style& style,
                   ElementFlags& flags) {
  value = Trim(value);
  if (value == "inherit") return;
  double v;
  if (name == "fill") {
    ParsePaint(value, style.fill);
  } else if (name == "stroke") {
    ParsePaint(value, style.stroke);
  } else if (name == "fill-opacity") {
    ParseOpacity(value, style.fillOpacity);
  } else if (name == "stroke-opacity") {
    ParseOpacity(value, style.strokeOpacity);
  } else if (name == "opacity") {
    ParseOpacity(value, flags.ownOpacity);
  } else if (name == "stroke-width") {
    if (parseNonNegativeLength(value, vp, vp.diagonal, v)) style.strokeWidth = v;
  } else if (name == "stroke-dasharray") {
    parseDashes(value, vp, style);
  } else if (name == "stroke-dashoffset") {
    Length l;
    if (ParseLength(value, l)) style.dashOffset = ToUserUnits(l, vp.dpi, vp.diagonal);
  } else if (name == "stroke-linejoin") {
    if (value == "miter" || value == "miter-clip" || value == "arcs") style.join = NSVG_JOIN_MITER;
    else if (value == "round") style.join = NSVG_JOIN_ROUND;
    else if (value == "bevel") style.join = NSVG_JOIN_BEVEL;
  } else if (name == "stroke-linecap") {
    if (value == "butt") style.cap = NSVG_CAP_BUTT;
    else if (value == "round") style.cap = NSVG_CAP_ROUND;
    else if (value == "square") style.cap = NSVG_CAP_SQUARE;
  } else if (name == "stroke-miterlimit") {
    if (ParseNumber(value, v) && v >= 1.0 && v <= FLT_MAX) style.miterLimit = v;
  } else if (name == "display") {
    flags.displayNone = value == "none";
  } else if (name == "visibility") {
    if (value == "visible") style.visible = true;
    else if (value == "hidden" || value == "collapse") style.visible = false;
  }
}

}  // namespace svg
