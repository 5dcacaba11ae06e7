#pragma once
// The painting properties the SVG reader carries down the element tree, and how one
// property (a presentation attribute or a declaration of a `style` attribute) changes
// them. Pure functions on text, any thread; a value that does not parse leaves the
// property as it was (as if it had not been given).
#include <cstdint>
#include <string_view>

#include "graphics/svg/nanosvg.h"
#include "graphics/svg/svg_lex.h"
#include "graphics/svg/svg_matrix.h"

namespace svg {

// A paint as written: none, a colour (R | G << 8 | B << 16), or a reference to a gradient
// by id with what to use when the id names none.
struct PaintSpec {
  enum Kind : uint8_t { kNone, kColor, kUrl };
  Kind kind = kNone;
  uint32_t rgb = 0;
  std::string_view id;
  Kind fallback = kNone;  // kNone or kColor
  uint32_t fallbackRgb = 0;
};

// What an element paints with, inherited from its parent and changed by its own
// properties. Lengths are in the element's user units.
struct Style {
  Matrix ctm;  // element space to output units (the image shift for a size taken from the shapes' bounds comes last)
  PaintSpec fill{PaintSpec::kColor, 0, {}, PaintSpec::kNone, 0};
  PaintSpec stroke;
  double fillOpacity = 1.0;
  double strokeOpacity = 1.0;
  double opacity = 1.0;  // the product of the element's and its groups' opacity
  double strokeWidth = 1.0;
  double dashOffset = 0.0;
  double dashes[8] = {};
  int dashCount = 0;  // 0: solid
  signed char join = NSVG_JOIN_MITER;
  signed char cap = NSVG_CAP_BUTT;
  double miterLimit = 4.0;
  bool visible = true;
  bool drawn = true;  // false inside display:none, defs, clipPath, mask, symbol, ...
};

// What else a property of one element says: its own opacity and display.
struct ElementFlags {
  double ownOpacity = 1.0;
  bool displayNone = false;
};

// The lengths percentages are taken of: the viewport's width, height and normalised
// diagonal (sqrt((w^2 + h^2) / 2)), and the dots per inch of absolute units.
struct Viewport {
  double width = 0.0, height = 0.0, diagonal = 0.0;
  double dpi = 96.0;
};

// Applies one painting property by name; other names are ignored.
void ApplyProperty(std::string_view name, std::string_view value, const Viewport& vp, Style& style,
                   ElementFlags& flags);

// Calls fn(name, value) for each "name: value" declaration of a style attribute, the
// text trimmed and a trailing "!important" dropped.
template <class Fn>
void ForEachDeclaration(std::string_view text, Fn&& fn);

// A paint value: "none", a colour, "currentColor" (black) or "url(#id)" with an optional
// fallback of "none" or a colour.
bool ParsePaint(std::string_view value, PaintSpec& paint);
// An opacity: a number or a percentage, clamped to 0..1.
bool ParseOpacity(std::string_view value, double& opacity);

template <class Fn>
void ForEachDeclaration(std::string_view text, Fn&& fn) {
  while (!text.empty()) {
    const size_t semi = text.find(';');
    std::string_view decl = text.substr(0, semi);
    text = semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
    const size_t colon = decl.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = Trim(decl.substr(0, colon));
    std::string_view value = Trim(decl.substr(colon + 1));
    if (const size_t bang = value.find('!'); bang != std::string_view::npos) value = Trim(value.substr(0, bang));
    if (!name.empty()) fn(name, value);
  }
}

}  // namespace svg
