#include "graphics/svg/svg_gradient.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "graphics/svg/svg_builder.h"

namespace svg {

namespace {

constexpr int kMaxHrefSteps = 16;

uint32_t withAlpha(uint32_t rgb, double opacity) {
  const double a = std::clamp(opacity, 0.0, 1.0) * 255.0;
  return (rgb & 0xFFFFFFu) | (static_cast<uint32_t>(std::lround(a)) << 24);
}

bool isHref(std::string_view name) { return name == "href" || (name.size() > 5 && name.substr(name.size() - 5) == ":href"); }

}  // namespace

void Gradients::Collect(const pugi::xml_node& element, bool radial) {
  Def def;
  def.radial = radial;
  std::string_view id;
  for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view name = a.name();
    const std::string_view value = a.value();
    int coord = -1;
    if (name == "id") id = value;
    else if (isHref(name)) {
      const std::string_view ref = Trim(value);
      if (!ref.empty() && ref.front() == '#') def.href = ref.substr(1);
    } else if (name == "gradientUnits") {
      const std::string_view v = Trim(value);
      if (v == "userSpaceOnUse" || v == "objectBoundingBox") {
        def.hasUnits = true;
        def.userSpace = v == "userSpaceOnUse";
      }
    } else if (name == "gradientTransform") {
      def.hasTransform = ParseTransform(value, def.transform);
    } else if (name == "spreadMethod") {
      const std::string_view v = Trim(value);
      def.hasSpread = true;
      if (v == "reflect") def.spread = NSVG_SPREAD_REFLECT;
      else if (v == "repeat") def.spread = NSVG_SPREAD_REPEAT;
      else if (v == "pad") def.spread = NSVG_SPREAD_PAD;
      else def.hasSpread = false;
    } else if (!radial) {
      if (name == "x1") coord = kX1;
      else if (name == "y1") coord = kY1;
      else if (name == "x2") coord = kX2;
      else if (name == "y2") coord = kY2;
    } else {
      if (name == "cx") coord = kCx;
      else if (name == "cy") coord = kCy;
      else if (name == "r") coord = kR;
    }
    if (coord >= 0 && ParseLength(value, def.coords[coord])) def.hasCoord |= 1u << coord;
  }
  if (id.empty() || mById.count(id) != 0) return;

  // Stops: offsets clamped to 0..1 and never below the one before; the first
  // NSVG_MAX_STOPS, which is all that drawing reads.
  def.firstStop = mStops.size();
  float last = 0.f;
  for (pugi::xml_node child = element.first_child(); child && mStops.size() - def.firstStop < NSVG_MAX_STOPS;
       child = child.next_sibling()) {
    if (child.type() != pugi::node_element || LocalName(child.name()) != "stop") continue;
    Stop stop{0, 1.0, last};
    double offset = 0.0;
    auto apply = [&](std::string_view name, std::string_view value) {
      if (name == "offset") {
        Length l;
        if (ParseLength(value, l) && (l.unit == Unit::None || l.unit == Unit::Percent))
          offset = l.unit == Unit::Percent ? l.value / 100.0 : l.value;
      } else if (name == "stop-color") {
        uint32_t rgb;
        if (ParseColor(value, rgb)) stop.rgb = rgb;
      } else if (name == "stop-opacity") {
        ParseOpacity(value, stop.opacity);
      }
    };
    std::string_view style;
    for (pugi::xml_attribute a = child.first_attribute(); a; a = a.next_attribute()) {
      if (std::string_view(a.name()) == "style") style = a.value();
      else apply(a.name(), a.value());
    }
    ForEachDeclaration(style, apply);
    stop.offset = std::max(last, static_cast<float>(std::clamp(offset, 0.0, 1.0)));
    last = stop.offset;
    mStops.push_back(stop);
  }
  def.stopCount = mStops.size() - def.firstStop;
  mById.emplace(id, mDefs.size());
  mDefs.push_back(def);
}

void Gradients::Resolve(std::string_view id, const PaintTarget& target, NSVGpaint& paint) const {
  const Def& first = mDefs[mById.at(id)];
  // The attributes and stops the gradient lacks, from the chain of gradients it names.
  Def g = first;
  const Def* cur = &first;
  for (int step = 0; step < kMaxHrefSteps && !cur->href.empty(); ++step) {
    const auto it = mById.find(cur->href);
    if (it == mById.end()) break;
    cur = &mDefs[it->second];
    if (cur->radial == g.radial) {
      for (int c = 0; c < kCoords; ++c)
        if ((g.hasCoord & (1u << c)) == 0 && (cur->hasCoord & (1u << c)) != 0) {
          g.coords[c] = cur->coords[c];
          g.hasCoord |= 1u << c;
        }
    }
    if (!g.hasUnits && cur->hasUnits) {
      g.hasUnits = true;
      g.userSpace = cur->userSpace;
    }
    if (!g.hasTransform && cur->hasTransform) {
      g.hasTransform = true;
      g.transform = cur->transform;
    }
    if (!g.hasSpread && cur->hasSpread) {
      g.hasSpread = true;
      g.spread = cur->spread;
    }
    if (g.stopCount == 0 && cur->stopCount != 0) {
      g.firstStop = cur->firstStop;
      g.stopCount = cur->stopCount;
    }
  }

  if (g.stopCount == 0) {
    ImageBuilder::SetNone(paint);
    return;
  }
  const Stop* stops = mStops.data() + g.firstStop;
  const Stop& lastStop = stops[g.stopCount - 1];
  const uint32_t lastColor = withAlpha(lastStop.rgb, lastStop.opacity * target.opacity);

  // B: the unit square onto the shape's bounds, or nothing for user-space coordinates,
  // whose percentages are of the viewport.
  Matrix box;
  double baseX = 1.0, baseY = 1.0, baseR = 1.0;
  if (g.userSpace) {
    baseX = target.viewport.width;
    baseY = target.viewport.height;
    baseR = target.viewport.diagonal;
  } else {
    const double* b = target.box;
    if (b == nullptr || !(b[2] - b[0] > 0.0) || !(b[3] - b[1] > 0.0)) {
      ImageBuilder::SetNone(paint);
      return;
    }
    box = {b[2] - b[0], 0.0, 0.0, b[3] - b[1], b[0], b[1]};
  }
  const double dpi = target.viewport.dpi;
  auto coord = [&](int c, Length fallback, double base) {
    return ToUserUnits((g.hasCoord & (1u << c)) != 0 ? g.coords[c] : fallback, dpi, base);
  };

  // F: the gradient's unit space onto its vector (linear: (0, 0) to (0, 1) runs from the
  // start to the end) or its circle (radial).
  Matrix unit;
  if (g.stopCount == 1) {
    ImageBuilder::SetColor(paint, lastColor);
    return;
  }
  if (!g.radial) {
    const double x1 = coord(kX1, {0.0, Unit::Percent}, baseX), y1 = coord(kY1, {0.0, Unit::Percent}, baseY);
    const double x2 = coord(kX2, {100.0, Unit::Percent}, baseX), y2 = coord(kY2, {0.0, Unit::Percent}, baseY);
    const double dx = x2 - x1, dy = y2 - y1;
    if (dx == 0.0 && dy == 0.0) {
      ImageBuilder::SetColor(paint, lastColor);
      return;
    }
    unit = {dy, -dx, dx, dy, x1, y1};
  } else {
    const double cx = coord(kCx, {50.0, Unit::Percent}, baseX), cy = coord(kCy, {50.0, Unit::Percent}, baseY);
    const double r = coord(kR, {50.0, Unit::Percent}, baseR);
    if (!(r > 0.0)) {
      ImageBuilder::SetColor(paint, lastColor);
      return;
    }
    unit = {r, 0.0, 0.0, r, cx, cy};
  }

  const Matrix forward = target.ctm * box * (g.hasTransform ? g.transform : Matrix()) * unit;
  Matrix inverse;
  if (!forward.Invert(inverse)) {
    ImageBuilder::SetNone(paint);
    return;
  }
  const double m[6] = {inverse.a, inverse.b, inverse.c, inverse.d, inverse.e, inverse.f};
  float xform[6];
  for (int i = 0; i < 6; ++i) {
    if (!(std::fabs(m[i]) <= FLT_MAX)) {
      ImageBuilder::SetNone(paint);
      return;
    }
    xform[i] = static_cast<float>(m[i]);
  }
  std::vector<NSVGgradientStop> out(g.stopCount);
  for (size_t i = 0; i < g.stopCount; ++i) out[i] = {withAlpha(stops[i].rgb, stops[i].opacity * target.opacity), stops[i].offset};
  ImageBuilder::SetGradient(paint, g.radial ? NSVG_PAINT_RADIAL_GRADIENT : NSVG_PAINT_LINEAR_GRADIENT, xform, g.spread,
                            out);
}

}  // namespace svg
