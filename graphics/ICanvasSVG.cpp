// Drawing a parsed SVG image: its shapes become paths of cubics, each sub-path wound as a
// hole or a solid by the parity of the outlines around it, filled and stroked with the
// shape's paints.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

bool finitePoints(const NSVGpath& path) {
  for (int i = 0; i < 2 * path.npts; ++i)
    if (!std::isfinite(path.pts[i])) return false;
  return true;
}

bool drawable(const NSVGpath& path) { return path.pts != nullptr && path.npts >= 1 && finitePoints(path); }

// An alpha of 0..255 from an opacity and a packed alpha, rounded half away from zero.
int scaledAlpha(float opacity, unsigned packedAlpha) {
  double a = static_cast<double>(opacity) * static_cast<double>(packedAlpha);
  if (std::isnan(a)) a = 0.0;
  return static_cast<int>(std::lround(std::clamp(a, 0.0, 255.0)));
}

IColor unpack(unsigned color, int alpha) {
  return IColor(alpha, static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
                static_cast<int>((color >> 16) & 0xFFu));
}

// One straight chord of an outline.
struct Chord {
  float x0, y0, x1, y1;
};

// The chords of a path's cubic pieces (end point to end point, controls ignored) and the
// chord from the last end point back to the start; the box around them.
struct Outline {
  std::vector<Chord> chords;
  float minX = 0.f, minY = 0.f, maxX = 0.f, maxY = 0.f;
};

Outline outlineOf(const NSVGpath& path) {
  Outline o;
  const float* p = path.pts;
  float lastX = p[0], lastY = p[1];
  o.minX = o.maxX = lastX;
  o.minY = o.maxY = lastY;
  for (int j = 0; j + 3 < path.npts; j += 3) {
    const float x = p[2 * (j + 3)], y = p[2 * (j + 3) + 1];
    o.chords.push_back({lastX, lastY, x, y});
    lastX = x;
    lastY = y;
    o.minX = std::min(o.minX, x);
    o.maxX = std::max(o.maxX, x);
    o.minY = std::min(o.minY, y);
    o.maxY = std::max(o.maxY, y);
  }
  o.chords.push_back({lastX, lastY, p[0], p[1]});
  return o;
}

// Whether the ray from (x0, y0) along (dx, dy) can reach the box: a crossing with a chord
// lies inside the box of its end points. The box is grown a little, so rounding in the
// exact test below is never cut off.
bool rayMayHitBox(double x0, double y0, double dx, double dy, const Outline& o) {
  const double pad = 1e-3 * (1.0 + std::max(std::fabs(o.maxX - o.minX), std::fabs(o.maxY - o.minY)));
  double sMin = 0.0, sMax = std::numeric_limits<double>::infinity();
  auto slab = [&](double origin, double dir, double lo, double hi) {
    lo -= pad;
    hi += pad;
    if (dir == 0.0) return origin >= lo && origin <= hi;
    double s1 = (lo - origin) / dir, s2 = (hi - origin) / dir;
    if (s1 > s2) std::swap(s1, s2);
    sMin = std::max(sMin, s1);
    sMax = std::min(sMax, s2);
    return sMin <= sMax;
  };
  return slab(x0, dx, o.minX, o.maxX) && slab(y0, dy, o.minY, o.maxY);
}

// How many chords of the outline the ray from p0 through p1 crosses: the crossing must lie
// on the chord (start included, end excluded) and on the ray's side of p0. Nearly parallel
// lines do not cross.
int crossings(double p0x, double p0y, double p1x, double p1y, const Outline& o) {
  const double dx = p1x - p0x, dy = p1y - p0y;
  int count = 0;
  for (const Chord& c : o.chords) {
    const double ex = c.x1 - c.x0, ey = c.y1 - c.y0;
    const double m = dx * ey - dy * ex;
    if (std::fabs(m) < 1e-8) continue;
    // Along the chord: the ray's direction against the offset from p0 to the chord start.
    const double bx = c.x0 - p0x, by = c.y0 - p0y;
    const double onChord = -(dx * by - dy * bx) / m;
    // Along the ray: the chord's direction against the offset from the chord start to p0.
    const double onRay = -(ex * -by - ey * -bx) / -m;
    if (onChord >= 0.0 && onChord < 1.0 && onRay >= 0.0) ++count;
  }
  return count;
}

}  // namespace

void ICanvas::DrawSVG(const ISVG& svg, const IRECT& bounds, const IBlend* blend, const IColor* strokeColor,
                      const IColor* fillColor) {
  const NSVGimage* image = svg.mImage;
  if (image == nullptr) return;
  const float w = image->width, h = image->height;
  if (!(w > 0.f && h > 0.f) || !std::isfinite(w) || !std::isfinite(h)) return;
  if (!std::isfinite(bounds.L) || !std::isfinite(bounds.T)) return;
  const float scale = std::min(bounds.Width() / w, bounds.Height() / h);
  if (!(scale > 0.f) || !std::isfinite(scale)) return;

  PathTransformSave();
  PathTransformTranslate(bounds.L, bounds.T);
  PathTransformScale(scale);
  DoDrawSVG(svg, blend, strokeColor, fillColor);
  PathTransformRestore();
}

void ICanvas::DrawRotatedSVG(const ISVG& svg, float cx, float cy, float width, float height, double angle,
                             const IBlend* blend) {
  if (!svg.IsValid()) return;
  PathTransformSave();
  PathTransformTranslate(cx, cy);
  PathTransformRotate(static_cast<float>(angle));
  DrawSVG(svg, IRECT(-width / 2.f, -height / 2.f, width / 2.f, height / 2.f), blend);
  PathTransformRestore();
}

void ICanvas::DoDrawSVG(const ISVG& svg, const IBlend* blend, const IColor* strokeColor, const IColor* fillColor) {
  const NSVGimage* image = svg.mImage;
  if (image == nullptr) return;

  std::vector<const NSVGpath*> paths;
  std::vector<Outline> outlines;  // of the paths with at least four points, else empty
  for (const NSVGshape* shape = image->shapes; shape != nullptr; shape = shape->next) {
    if ((shape->flags & NSVG_FLAGS_VISIBLE) == 0) continue;

    paths.clear();
    outlines.clear();
    for (const NSVGpath* path = shape->paths; path != nullptr; path = path->next) {
      if (!drawable(*path)) continue;
      paths.push_back(path);
      outlines.push_back(path->npts >= 4 ? outlineOf(*path) : Outline{});
    }

    PathClear();
    for (size_t k = 0; k < paths.size(); ++k) {
      const NSVGpath& path = *paths[k];
      const float* p = path.pts;
      PathMoveTo(p[0], p[1]);
      for (int i = 1; i + 2 < path.npts; i += 3)
        PathCubicBezierTo(p[2 * i], p[2 * i + 1], p[2 * i + 2], p[2 * i + 3], p[2 * i + 4], p[2 * i + 5]);
      if (path.closed) PathClose();

      // A ray from the path's start out past its own box: an odd number of other outlines
      // crossed makes the path a hole. The winding applies to the sub-path just added.
      const double p0x = p[0], p0y = p[1];
      const double p1x = static_cast<double>(path.bounds[0]) - 1.0, p1y = static_cast<double>(path.bounds[1]) - 1.0;
      int count = 0;
      if (std::isfinite(p1x) && std::isfinite(p1y)) {
        for (size_t other = 0; other < paths.size(); ++other) {
          if (other == k || outlines[other].chords.empty()) continue;
          if (!rayMayHitBox(p0x, p0y, p1x - p0x, p1y - p0y, outlines[other])) continue;
          count += crossings(p0x, p0y, p1x, p1y, outlines[other]);
        }
      }
      PathSetWinding(count % 2 == 1);
    }

    const bool hasStroke = shape->stroke.type != NSVG_PAINT_NONE;
    if (shape->fill.type != NSVG_PAINT_NONE) {
      IFillOptions options;
      options.fillRule = EFillRule::Preserve;
      options.preserve = hasStroke;
      PathFill(fillColor != nullptr ? IPattern(*fillColor) : GetSVGPattern(shape->fill, shape->opacity), options,
               blend);
    }
    if (hasStroke) {
      IStrokeOptions options;
      options.miterLimit = shape->miterLimit;
      switch (shape->strokeLineCap) {
        case NSVG_CAP_ROUND: options.cap = ELineCap::Round; break;
        case NSVG_CAP_SQUARE: options.cap = ELineCap::Square; break;
        default: options.cap = ELineCap::Butt; break;
      }
      switch (shape->strokeLineJoin) {
        case NSVG_JOIN_ROUND: options.join = ELineJoin::Round; break;
        case NSVG_JOIN_BEVEL: options.join = ELineJoin::Bevel; break;
        default: options.join = ELineJoin::Miter; break;
      }
      options.dashCount = std::clamp(static_cast<int>(shape->strokeDashCount), 0, 8);
      for (int i = 0; i < options.dashCount; ++i) options.dashArray[i] = shape->strokeDashArray[i];
      options.dashOffset = shape->strokeDashOffset;
      PathStroke(strokeColor != nullptr ? IPattern(*strokeColor) : GetSVGPattern(shape->stroke, shape->opacity),
                 shape->strokeWidth, options, blend);
    }
  }
}

IPattern ICanvas::GetSVGPattern(const NSVGpaint& paint, float opacity) {
  switch (paint.type) {
    case NSVG_PAINT_COLOR: return IPattern(unpack(paint.color, scaledAlpha(opacity, paint.color >> 24)));
    case NSVG_PAINT_LINEAR_GRADIENT:
    case NSVG_PAINT_RADIAL_GRADIENT: {
      IPattern pattern(paint.type == NSVG_PAINT_LINEAR_GRADIENT ? EPatternType::Linear : EPatternType::Radial);
      const NSVGgradient* gradient = paint.gradient;
      pattern.extend = EPatternExtend::Pad;
      if (gradient != nullptr) {
        if (gradient->spread == NSVG_SPREAD_REFLECT) pattern.extend = EPatternExtend::Reflect;
        if (gradient->spread == NSVG_SPREAD_REPEAT) pattern.extend = EPatternExtend::Repeat;
        if (gradient->stops != nullptr) {
          for (int i = 0; i < gradient->nstops && pattern.NStops() < IPattern::kMaxStops; ++i) {
            const NSVGgradientStop& stop = gradient->stops[i];
            pattern.AddStop(unpack(stop.color, scaledAlpha(opacity, stop.color >> 24)),
                            std::isfinite(stop.offset) ? stop.offset : 0.f);
          }
        }
        const float* x = gradient->xform;
        const IMatrix m(x[0], x[1], x[2], x[3], x[4], x[5]);
        if (std::isfinite(m.xx) && std::isfinite(m.yx) && std::isfinite(m.xy) && std::isfinite(m.yy) &&
            std::isfinite(m.tx) && std::isfinite(m.ty))
          pattern.SetTransform(m);
      }
      // The backend reads the first and the last stop: a gradient without stops paints
      // nothing rather than reading past the list.
      if (pattern.NStops() == 0) pattern.AddStop(IColor(0, 0, 0, 0), 0.f);
      return pattern;
    }
    default: return IPattern(IColor(scaledAlpha(opacity, 255), 0, 0, 0));
  }
}

}  // namespace plugkit::canvas
