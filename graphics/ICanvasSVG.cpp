// Drawing a parsed SVG image: its shapes become paths of cubics, each sub-path wound as a
// hole or a solid by the parity of the outlines around it, filled and stroked with the
// shape's paints.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

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

// A drawable path of the shape being drawn, with its outline for the hole test: the
// chords of its cubic pieces (end point to end point, controls ignored) and the chord from
// the last end point back to the start, kept in one shared list, and the box around them.
// Paths of fewer than four points have no outline.
struct PathEntry {
  const NSVGpath* path;
  size_t firstChord, endChord;
  // The box, grown a little so that rounding in the exact test is never cut off by it:
  // its left edge, centre and half sizes.
  double minX, cx, cy, hw, hh;
};

// Whether a float is infinite or not a number (all exponent bits set), without a branch.
inline uint32_t special(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return static_cast<uint32_t>((bits & 0x7F800000u) == 0x7F800000u);
}

// Makes the entry of a path that has points, all of them finite; paths of four points or
// more get their outline. False (and nothing added) otherwise.
bool addPath(const NSVGpath* path, std::vector<PathEntry>& paths, std::vector<Chord>& chords) {
  if (path->pts == nullptr || path->npts < 1) return false;
  const float* p = path->pts;
  const int n = path->npts;
  uint32_t bad = 0;
  for (int i = 0; i < 2 * n; ++i) bad |= special(p[i]);
  if (bad != 0) return false;

  PathEntry e{path, chords.size(), chords.size(), 0.0, 0.0, 0.0, 0.0, 0.0};
  if (n >= 4) {
    const size_t count = static_cast<size_t>((n - 1) / 3) + 1;
    chords.resize(e.firstChord + count);
    Chord* out = chords.data() + e.firstChord;
    float lastX = p[0], lastY = p[1];
    float minX = lastX, maxX = lastX, minY = lastY, maxY = lastY;
    for (int j = 0; j + 3 < n; j += 3) {
      const float x = p[2 * (j + 3)], y = p[2 * (j + 3) + 1];
      *out++ = {lastX, lastY, x, y};
      lastX = x;
      lastY = y;
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
    }
    *out = {lastX, lastY, p[0], p[1]};
    e.endChord = chords.size();
    const double pad = 1e-3 * (1.0 + std::max(static_cast<double>(maxX) - minX, static_cast<double>(maxY) - minY));
    e.minX = minX - pad;
    e.cx = (static_cast<double>(minX) + maxX) / 2.0;
    e.cy = (static_cast<double>(minY) + maxY) / 2.0;
    e.hw = (static_cast<double>(maxX) - minX) / 2.0 + pad;
    e.hh = (static_cast<double>(maxY) - minY) / 2.0 + pad;
  }
  paths.push_back(e);
  return true;
}

// A ray from (x0, y0) along (dx, dy), with the absolute values its box test needs.
struct Ray {
  Ray(double x, double y, double ddx, double ddy)
      : x0(x), y0(y), dx(ddx), dy(ddy), adx(std::fabs(ddx)), ady(std::fabs(ddy)) {}
  double x0, y0, dx, dy, adx, ady;
};

// Whether the ray may reach the outline's box (a crossing with a chord lies inside the box
// of its end points): the ray's line passes through the box, and the box reaches to p0's
// forward side. Boxes that pass but are missed are left to the exact test.
bool rayMayHitBox(const Ray& ray, const PathEntry& e) {
  const double ox = e.cx - ray.x0, oy = e.cy - ray.y0;
  // Distance from the line along its normal (-dy, dx), against the box's extent along it.
  const double across = ray.dx * oy - ray.dy * ox;
  const double extent = ray.ady * e.hw + ray.adx * e.hh;
  const double ahead = ray.dx * ox + ray.dy * oy + ray.adx * e.hw + ray.ady * e.hh;
  return (std::fabs(across) <= extent) & (ahead >= 0.0);
}

// How many of the chords the ray from p0 through p1 crosses: the crossing must lie on the
// chord (start included, end excluded) and on the ray's side of p0. Nearly parallel lines
// do not cross.
//
// With d the ray's direction, s0 and s1 the cross products of d with the offsets from p0
// to the chord's ends, and m = s1 - s0 (the cross product of d with the chord's direction),
// the crossing lies at -s0 / m along the chord and at tRay / m along the ray. The tests
// compare numerators with m instead of dividing, and the ray's side is worked out only
// for the few chords whose ends lie on both sides of its line.
int crossings(const Ray& ray, const Chord* chord, const Chord* end) {
  int count = 0;
  for (; chord != end; ++chord) {
    const double bx = chord->x0 - ray.x0, by = chord->y0 - ray.y0;
    const double cx = chord->x1 - ray.x0, cy = chord->y1 - ray.y0;
    const double s0 = ray.dx * by - ray.dy * bx;
    const double s1 = ray.dx * cy - ray.dy * cx;
    const double m = s1 - s0;
    // Signs flipped for a negative m, so that every test reads as for a positive one.
    const double sign = m > 0.0 ? 1.0 : -1.0;
    const double am = sign * m, tChord = -sign * s0;
    if (!((am >= 1e-8) & (tChord >= 0.0) & (tChord < am))) continue;
    const double ex = cx - bx, ey = cy - by;
    if (sign * (bx * ey - by * ex) >= 0.0) ++count;
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

  // Scratch lists kept between calls (drawing runs on the main thread only).
  static thread_local std::vector<PathEntry> paths;
  static thread_local std::vector<Chord> chords;
  // The paths with an outline, by the left edge of their box.
  static thread_local std::vector<const PathEntry*> byLeft;
  for (const NSVGshape* shape = image->shapes; shape != nullptr; shape = shape->next) {
    if ((shape->flags & NSVG_FLAGS_VISIBLE) == 0) continue;

    paths.clear();
    chords.clear();
    for (const NSVGpath* path = shape->paths; path != nullptr; path = path->next) addPath(path, paths, chords);
    byLeft.clear();
    for (const PathEntry& e : paths)
      if (e.firstChord != e.endChord) byLeft.push_back(&e);
    std::sort(byLeft.begin(), byLeft.end(), [](const PathEntry* a, const PathEntry* b) { return a->minX < b->minX; });

    PathClear();
    for (size_t k = 0; k < paths.size(); ++k) {
      const NSVGpath& path = *paths[k].path;
      const float* p = path.pts;
      PathMoveTo(p[0], p[1]);
      for (int i = 1; i + 2 < path.npts; i += 3)
        PathCubicBezierTo(p[2 * i], p[2 * i + 1], p[2 * i + 2], p[2 * i + 3], p[2 * i + 4], p[2 * i + 5]);
      if (path.closed) PathClose();

      // A ray from the path's start out past its own box: an odd number of other outlines
      // crossed makes the path a hole. The winding applies to the sub-path just added.
      const double p1x = static_cast<double>(path.bounds[0]) - 1.0, p1y = static_cast<double>(path.bounds[1]) - 1.0;
      int count = 0;
      if (std::isfinite(p1x) && std::isfinite(p1y)) {
        const Ray ray(p[0], p[1], p1x - p[0], p1y - p[1]);
        // A ray that does not run to the right reaches only boxes that start at or left
        // of p0: a prefix of byLeft.
        size_t end = byLeft.size();
        if (ray.dx <= 0.0)
          end = static_cast<size_t>(std::upper_bound(byLeft.begin(), byLeft.end(), ray.x0,
                                                     [](double x, const PathEntry* e) { return x < e->minX; }) -
                                    byLeft.begin());
        for (size_t i = 0; i < end; ++i) {
          const PathEntry& e = *byLeft[i];
          if (!rayMayHitBox(ray, e) || &e == &paths[k]) continue;
          count += crossings(ray, chords.data() + e.firstChord, chords.data() + e.endChord);
        }
      }
      PathSetWinding(count % 2 == 1);
    }

    // A stroke of a width that is not a number is left out.
    const bool hasStroke = shape->stroke.type != NSVG_PAINT_NONE && std::isfinite(shape->strokeWidth);
    if (shape->fill.type != NSVG_PAINT_NONE) {
      IFillOptions options;
      options.fillRule = EFillRule::Preserve;
      options.preserve = hasStroke;
      PathFill(fillColor != nullptr ? IPattern(*fillColor) : GetSVGPattern(shape->fill, shape->opacity), options,
               blend);
    }
    if (hasStroke) {
      IStrokeOptions options;
      if (std::isfinite(shape->miterLimit)) options.miterLimit = shape->miterLimit;
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
      // Dashes that are not all numbers make a solid line.
      options.dashCount = std::clamp(static_cast<int>(shape->strokeDashCount), 0, 8);
      for (int i = 0; i < options.dashCount; ++i) {
        options.dashArray[i] = shape->strokeDashArray[i];
        if (!std::isfinite(options.dashArray[i])) options.dashCount = 0;
      }
      options.dashOffset = std::isfinite(shape->strokeDashOffset) ? shape->strokeDashOffset : 0.f;
      PathStroke(strokeColor != nullptr ? IPattern(*strokeColor) : GetSVGPattern(shape->stroke, shape->opacity),
                 shape->strokeWidth, options, blend);
    }
  }
}

// An image keeps as many stops per gradient as a pattern holds.
static_assert(NSVG_MAX_STOPS == IPattern::kMaxStops);

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
