// Paths, paints, blend modes, the path transform and clip, dotted shapes and the quick drop
// shadow on NanoVG.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>

#include "graphics/Constants.h"
#include "graphics/nanovg/ICanvasNanoVG.h"

namespace plugkit::canvas {

namespace {

constexpr float kDegToRad = std::numbers::pi_v<float> / 180.f;
// More dashes than this on one dotted shape draw nothing: such a shape is a bad number, not
// a picture (and would build an enormous path).
constexpr double kMaxDottedSegments = 1 << 16;

// The inverse of m; the identity when m is (nearly) singular or not finite.
IMatrix invertOrIdentity(const IMatrix& m) {
  const double d = m.xx * m.yy - m.yx * m.xy;
  if (!std::isfinite(d) || std::fabs(d) < 1e-6) return {};
  const IMatrix inv = m.Invert();
  const double parts[6] = {inv.xx, inv.yx, inv.xy, inv.yy, inv.tx, inv.ty};
  for (double p : parts)
    if (!std::isfinite(p)) return {};
  return inv;
}

// Clamp that tolerates lo > hi (an inverted rectangle) without undefined behaviour.
float clampTo(float v, float lo, float hi) { return std::max(lo, std::min(v, hi)); }

// Beyond this many device pixels NanoVG's stroke and join arithmetic can overflow to
// infinity and NaN, which it then converts to integers: points further out are dropped.
constexpr float kMaxDeviceCoordinate = 1e9f;

bool finite(std::initializer_list<float> values) {
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// The point lands at a finite, bounded device position under the current transform.
bool drawablePoint(NVGcontext* vg, float x, float y) {
  if (!finite({x, y})) return false;
  float t[6];
  nvgCurrentTransform(vg, t);
  float dx = 0.f, dy = 0.f;
  nvgTransformPoint(&dx, &dy, t, x, y);
  return std::fabs(dx) <= kMaxDeviceCoordinate && std::fabs(dy) <= kMaxDeviceCoordinate;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Conversions

NVGcolor NanoVGColor(const IColor& color, const IBlend* blend) {
  NVGcolor c;
  c.r = static_cast<float>(color.R) / 255.f;
  c.g = static_cast<float>(color.G) / 255.f;
  c.b = static_cast<float>(color.B) / 255.f;
  c.a = static_cast<float>(color.A) * BlendWeight(blend) / 255.f;
  return c;
}

void NanoVGRect(NVGcontext* vg, const IRECT& r) { nvgRect(vg, r.L, r.T, r.Width(), r.Height()); }

void NanoVGSetBlendMode(NVGcontext* vg, const IBlend* blend) {
  if (blend == nullptr) {
    nvgGlobalCompositeOperation(vg, NVG_SOURCE_OVER);
    return;
  }
  switch (blend->method) {
    case EBlend::Default: nvgGlobalCompositeOperation(vg, NVG_SOURCE_OVER); break;
    case EBlend::SrcIn: nvgGlobalCompositeOperation(vg, NVG_SOURCE_IN); break;
    case EBlend::SrcOut: nvgGlobalCompositeOperation(vg, NVG_SOURCE_OUT); break;
    case EBlend::SrcAtop: nvgGlobalCompositeOperation(vg, NVG_ATOP); break;
    case EBlend::DstOver: nvgGlobalCompositeOperation(vg, NVG_DESTINATION_OVER); break;
    case EBlend::DstIn: nvgGlobalCompositeOperation(vg, NVG_DESTINATION_IN); break;
    case EBlend::DstOut: nvgGlobalCompositeOperation(vg, NVG_DESTINATION_OUT); break;
    case EBlend::DstAtop: nvgGlobalCompositeOperation(vg, NVG_DESTINATION_ATOP); break;
    case EBlend::Add: nvgGlobalCompositeBlendFunc(vg, NVG_SRC_ALPHA, NVG_DST_ALPHA); break;
    case EBlend::XOR: nvgGlobalCompositeOperation(vg, NVG_XOR); break;
    default: break;  // an unknown method keeps the current state
  }
}

NVGpaint NanoVGPaint(NVGcontext* vg, const IPattern& pattern, const IBlend* blend) {
  const NVGcolor inner = NanoVGColor(pattern.GetStop(0).color, blend);
  const NVGcolor outer = NanoVGColor(pattern.GetStop(pattern.NStops() - 1).color, blend);
  const IMatrix inv = invertOrIdentity(pattern.transform);
  const float sx = static_cast<float>(inv.tx), sy = static_cast<float>(inv.ty);
  if (pattern.type == EPatternType::Radial) {
    const float outerRadius = static_cast<float>(inv.xx);
    return nvgRadialGradient(vg, sx, sy, outerRadius * pattern.GetStop(0).offset, outerRadius, inner, outer);
  }
  const float ex = static_cast<float>(inv.xy + inv.tx), ey = static_cast<float>(inv.yy + inv.ty);
  return nvgLinearGradient(vg, sx, sy, ex, ey, inner, outer);
}

// ---------------------------------------------------------------------------------------
// Path primitives

void ICanvasNanoVG::PathClear() { nvgBeginPath(mVG); }

void ICanvasNanoVG::PathClose() { nvgClosePath(mVG); }

void ICanvasNanoVG::PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding) {
  if (!finite({r, a1, a2}) || std::fabs(r) > kMaxDeviceCoordinate || !drawablePoint(mVG, cx, cy)) return;
  if (!drawablePoint(mVG, cx + std::fabs(r), cy + std::fabs(r)) || !drawablePoint(mVG, cx - std::fabs(r), cy - std::fabs(r)))
    return;
  nvgArc(mVG, cx, cy, r, (a1 - 90.f) * kDegToRad, (a2 - 90.f) * kDegToRad,
         winding == EWinding::CW ? NVG_CW : NVG_CCW);
}

void ICanvasNanoVG::PathMoveTo(float x, float y) {
  if (drawablePoint(mVG, x, y)) nvgMoveTo(mVG, x, y);
}

void ICanvasNanoVG::PathLineTo(float x, float y) {
  if (drawablePoint(mVG, x, y)) nvgLineTo(mVG, x, y);
}

void ICanvasNanoVG::PathSetWinding(bool clockwise) { nvgPathWinding(mVG, clockwise ? NVG_HOLE : NVG_SOLID); }

void ICanvasNanoVG::PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) {
  if (drawablePoint(mVG, c1x, c1y) && drawablePoint(mVG, c2x, c2y) && drawablePoint(mVG, x2, y2))
    nvgBezierTo(mVG, c1x, c1y, c2x, c2y, x2, y2);
}

void ICanvasNanoVG::PathQuadraticBezierTo(float cx, float cy, float x2, float y2) {
  if (drawablePoint(mVG, cx, cy) && drawablePoint(mVG, x2, y2)) nvgQuadTo(mVG, cx, cy, x2, y2);
}

void ICanvasNanoVG::PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options,
                               const IBlend* blend) {
  if (!std::isfinite(thickness) || !std::isfinite(options.miterLimit)) {
    if (!options.preserve) nvgBeginPath(mVG);
    return;
  }
  switch (options.cap) {
    case ELineCap::Butt: nvgLineCap(mVG, NVG_BUTT); break;
    case ELineCap::Round: nvgLineCap(mVG, NVG_ROUND); break;
    case ELineCap::Square: nvgLineCap(mVG, NVG_SQUARE); break;
    default: break;
  }
  switch (options.join) {
    case ELineJoin::Miter: nvgLineJoin(mVG, NVG_MITER); break;
    case ELineJoin::Round: nvgLineJoin(mVG, NVG_ROUND); break;
    case ELineJoin::Bevel: nvgLineJoin(mVG, NVG_BEVEL); break;
    default: break;
  }
  nvgMiterLimit(mVG, options.miterLimit);
  nvgStrokeWidth(mVG, thickness);
  // Dashes are not applied: NanoVG strokes solid lines (the dotted shapes build segments).
  if (pattern.type == EPatternType::Solid)
    nvgStrokeColor(mVG, NanoVGColor(pattern.GetStop(0).color, blend));
  else
    nvgStrokePaint(mVG, NanoVGPaint(mVG, pattern, blend));
  nvgPathWinding(mVG, NVG_SOLID);
  NanoVGSetBlendMode(mVG, blend);
  nvgStroke(mVG);
  nvgGlobalCompositeOperation(mVG, NVG_SOURCE_OVER);
  if (!options.preserve) nvgBeginPath(mVG);
}

void ICanvasNanoVG::PathFill(const IPattern& pattern, const IFillOptions& options, const IBlend* blend) {
  switch (options.fillRule) {
    case EFillRule::Winding: nvgPathWinding(mVG, NVG_SOLID); break;
    case EFillRule::EvenOdd: nvgPathWinding(mVG, NVG_HOLE); break;
    default: break;  // the windings set per sub-path stay
  }
  if (pattern.type == EPatternType::Solid)
    nvgFillColor(mVG, NanoVGColor(pattern.GetStop(0).color, blend));
  else
    nvgFillPaint(mVG, NanoVGPaint(mVG, pattern, blend));
  NanoVGSetBlendMode(mVG, blend);
  nvgFill(mVG);
  nvgGlobalCompositeOperation(mVG, NVG_SOURCE_OVER);
  if (!options.preserve) nvgBeginPath(mVG);
}

void ICanvasNanoVG::PathTransformSetMatrix(const IMatrix& m) {
  nvgResetTransform(mVG);
  nvgScale(mVG, GetDrawScale(), GetDrawScale());
  if (!mLayers.empty()) {
    const IRECT& bounds = mLayers.back()->Bounds();
    nvgTranslate(mVG, -bounds.L, -bounds.T);
  }
  const float t[6] = {static_cast<float>(m.xx), static_cast<float>(m.yx), static_cast<float>(m.xy),
                      static_cast<float>(m.yy), static_cast<float>(m.tx), static_cast<float>(m.ty)};
  // A matrix that is not finite (as floats) is left out: NanoVG would carry its NaNs into
  // every point and glyph size.
  if (!finite({t[0], t[1], t[2], t[3], t[4], t[5]})) return;
  nvgTransform(mVG, t[0], t[1], t[2], t[3], t[4], t[5]);
}

void ICanvasNanoVG::SetClipRegion(const IRECT& r) { nvgScissor(mVG, r.L, r.T, r.Width(), r.Height()); }

// ---------------------------------------------------------------------------------------
// Shapes NanoVG cannot dash, and the quick shadow

void ICanvasNanoVG::DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend,
                                   float thickness, float dashLen) {
  if (!(dashLen > 0.f)) return;
  const double dx = static_cast<double>(x2) - x1, dy = static_cast<double>(y2) - y1;
  const double segments = std::round(std::hypot(dx, dy) / dashLen);  // half away from zero
  if (!std::isfinite(segments) || segments > kMaxDottedSegments) return;
  const int n = static_cast<int>(segments);
  PathClear();
  PathMoveTo(x1, y1);
  if (n > 0) {
    const double step = 1.0 / n;
    for (int i = 1; i < n; i += 2) {
      const double t = i * step;
      PathLineTo(static_cast<float>(x1 + t * dx), static_cast<float>(y1 + t * dy));
      PathMoveTo(static_cast<float>(x1 + (t + step) * dx), static_cast<float>(y1 + (t + step) * dy));
    }
  }
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvasNanoVG::DrawDottedRect(const IColor& color, const IRECT& r, const IBlend* blend, float thickness,
                                   float dashLen) {
  if (!(dashLen > 0.f)) return;
  const double xs = std::ceil(static_cast<double>(r.Width()) / (2.0 * dashLen));
  const double ys = std::ceil(static_cast<double>(r.Height()) / (2.0 * dashLen));
  if (!std::isfinite(xs) || !std::isfinite(ys) || xs + ys > kMaxDottedSegments) return;
  const int xsegs = static_cast<int>(xs), ysegs = static_cast<int>(ys);
  float x = r.L, y = r.T;
  PathClear();
  PathMoveTo(x, y);
  float d = dashLen;
  for (int pass = 0; pass < 2; ++pass, d = -dashLen) {
    // Along the top and down the right side, then back along the bottom and up the left.
    for (int i = 0; i < xsegs; ++i) {
      const float xEnd = clampTo(x + d, r.L, r.R);
      PathLineTo(xEnd, y);
      x = clampTo(xEnd + d, r.L, r.R);
      PathMoveTo(x, y);
    }
    for (int i = 0; i < ysegs; ++i) {
      const float yEnd = clampTo(y + d, r.T, r.B);
      PathLineTo(x, yEnd);
      y = clampTo(yEnd + d, r.T, r.B);
      PathMoveTo(x, y);
    }
  }
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvasNanoVG::DrawFastDropShadow(const IRECT& inner, const IRECT& outer, float xyDrop, float roundness,
                                       float blur, const IBlend* blend) {
  const NVGpaint paint = nvgBoxGradient(mVG, inner.L + xyDrop, inner.T + xyDrop, inner.Width(), inner.Height(),
                                        roundness, blur, NanoVGColor(COLOR_BLACK_DROP_SHADOW, blend),
                                        NanoVGColor(COLOR_TRANSPARENT));
  nvgBeginPath(mVG);
  NanoVGRect(mVG, outer);
  nvgFillPaint(mVG, paint);
  nvgGlobalCompositeOperation(mVG, NVG_SOURCE_OVER);
  nvgFill(mVG);
  nvgBeginPath(mVG);
}

}  // namespace plugkit::canvas
