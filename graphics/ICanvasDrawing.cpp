// The drawing interface above the backend primitives: paths, shapes, bitmaps by frame,
// lines placed by position or angle, the path transform with its stack, and the clip.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

bool finite(float v) { return std::isfinite(v); }

bool finiteRect(const IRECT& r) { return finite(r.L) && finite(r.T) && finite(r.R) && finite(r.B); }

bool finiteMatrix(const IMatrix& m) {
  return std::isfinite(m.xx) && std::isfinite(m.yx) && std::isfinite(m.xy) && std::isfinite(m.yy) &&
         std::isfinite(m.tx) && std::isfinite(m.ty);
}

// A corner radius limited to 0..limit; a radius that is not a number counts as 0.
float cornerRadius(float r, float limit) { return r > 0.f ? std::min(r, limit) : 0.f; }

IStrokeOptions dashed(float dashLen) {
  IStrokeOptions options;
  options.dashArray[0] = dashLen;
  options.dashOffset = 0.f;
  options.dashCount = 1;
  return options;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Path builders

void ICanvas::PathRect(const IRECT& r) {
  PathMoveTo(r.L, r.T);
  PathLineTo(r.R, r.T);
  PathLineTo(r.R, r.B);
  PathLineTo(r.L, r.B);
  PathClose();
}

void ICanvas::PathTriangle(float x1, float y1, float x2, float y2, float x3, float y3) {
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  PathLineTo(x3, y3);
  PathClose();
}

void ICanvas::PathRoundRect(const IRECT& r, float radius) { PathRoundRect(r, radius, radius, radius, radius); }

void ICanvas::PathRoundRect(const IRECT& r, float tl, float tr, float bl, float br) {
  // A radius past half the shorter side would make the outline cross itself; a negative
  // one has no arc.
  const float limit = std::min(std::fabs(r.Width()), std::fabs(r.Height())) / 2.f;
  tl = cornerRadius(tl, limit);
  tr = cornerRadius(tr, limit);
  bl = cornerRadius(bl, limit);
  br = cornerRadius(br, limit);
  if (tl == 0.f && tr == 0.f && bl == 0.f && br == 0.f) {
    PathRect(r);
    return;
  }
  const float y = r.T;
  PathMoveTo(r.L, y + tl);
  PathArc(r.L + tl, y + tl, tl, 270.f, 360.f, EWinding::CW);
  PathArc(r.R - tr, y + tr, tr, 0.f, 90.f, EWinding::CW);
  PathArc(r.R - br, r.B - br, br, 90.f, 180.f, EWinding::CW);
  PathArc(r.L + bl, r.B - bl, bl, 180.f, 270.f, EWinding::CW);
  PathClose();
}

void ICanvas::PathConvexPolygon(const float* x, const float* y, int n) {
  if (x == nullptr || y == nullptr || n < 1) return;
  PathMoveTo(x[0], y[0]);
  for (int i = 1; i < n; ++i) PathLineTo(x[i], y[i]);
  PathClose();
}

void ICanvas::PathCircle(float cx, float cy, float r) {
  PathMoveTo(cx, cy - r);
  PathArc(cx, cy, r, 0.f, 360.f, EWinding::CW);
  PathClose();
}

void ICanvas::PathEllipse(const IRECT& r) { PathEllipse(r.CentreX(), r.CentreY(), r.Width() / 2.f, r.Height() / 2.f); }

void ICanvas::PathEllipse(float x, float y, float r1, float r2, float angle) {
  if (!(r1 > 0.f && r2 > 0.f)) return;
  if (!finite(x) || !finite(y) || !finite(r1) || !finite(r2) || !finite(angle)) return;
  PathTransformSave();
  PathTransformTranslate(x, y);
  PathTransformRotate(angle);
  PathTransformScale(r1, r2);
  PathCircle(0.f, 0.f, 1.f);
  // The points were transformed when added: restoring does not move them.
  PathTransformRestore();
}

void ICanvas::PathRadialLine(float cx, float cy, float angle, float rMin, float rMax) {
  const double a = (static_cast<double>(angle) - 90.0) * kDegToRad;
  const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  PathMoveTo(cx + rMin * c, cy + rMin * s);
  PathLineTo(cx + rMax * c, cy + rMax * s);
}

// ---------------------------------------------------------------------------------------
// Shapes

void ICanvas::DrawPoint(const IColor& color, float x, float y, const IBlend* blend) {
  FillRect(color, IRECT(x, y, x + 1.f, y + 1.f), blend);
}

void ICanvas::DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend,
                       float thickness) {
  PathClear();
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend,
                             float thickness, float dashLen) {
  if (!(dashLen > 0.f)) return;
  PathClear();
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  PathStroke(color, thickness, dashed(dashLen), blend);
}

void ICanvas::DrawTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                           const IBlend* blend, float thickness) {
  PathClear();
  PathTriangle(x1, y1, x2, y2, x3, y3);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawRect(const IColor& color, const IRECT& r, const IBlend* blend, float thickness) {
  PathClear();
  PathRect(r);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawRoundRect(const IColor& color, const IRECT& r, float radius, const IBlend* blend, float thickness) {
  PathClear();
  PathRoundRect(r, radius);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawRoundRect(const IColor& color, const IRECT& r, float tl, float tr, float bl, float br,
                            const IBlend* blend, float thickness) {
  PathClear();
  PathRoundRect(r, tl, tr, bl, br);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2, const IBlend* blend,
                      float thickness) {
  PathClear();
  PathArc(cx, cy, r, a1, a2, EWinding::CW);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend, float thickness) {
  PathClear();
  PathCircle(cx, cy, r);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawEllipse(const IColor& color, const IRECT& r, const IBlend* blend, float thickness) {
  PathClear();
  PathEllipse(r);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawEllipse(const IColor& color, float x, float y, float r1, float r2, float angle,
                          const IBlend* blend, float thickness) {
  PathClear();
  PathEllipse(x, y, r1, r2, angle);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawConvexPolygon(const IColor& color, const float* x, const float* y, int n, const IBlend* blend,
                                float thickness) {
  if (x == nullptr || y == nullptr || n < 1) return;
  PathClear();
  PathConvexPolygon(x, y, n);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawDottedRect(const IColor& color, const IRECT& r, const IBlend* blend, float thickness,
                             float dashLen) {
  if (!(dashLen > 0.f)) return;
  PathClear();
  PathRect(r);
  PathStroke(color, thickness, dashed(dashLen), blend);
}

void ICanvas::FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                           const IBlend* blend) {
  PathClear();
  PathTriangle(x1, y1, x2, y2, x3, y3);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillRect(const IColor& color, const IRECT& r, const IBlend* blend) {
  PathClear();
  PathRect(r);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillRoundRect(const IColor& color, const IRECT& r, float radius, const IBlend* blend) {
  PathClear();
  PathRoundRect(r, radius);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillRoundRect(const IColor& color, const IRECT& r, float tl, float tr, float bl, float br,
                            const IBlend* blend) {
  PathClear();
  PathRoundRect(r, tl, tr, bl, br);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend) {
  PathClear();
  PathCircle(cx, cy, r);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillEllipse(const IColor& color, const IRECT& r, const IBlend* blend) {
  PathClear();
  PathEllipse(r);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillEllipse(const IColor& color, float x, float y, float r1, float r2, float angle,
                          const IBlend* blend) {
  PathClear();
  PathEllipse(x, y, r1, r2, angle);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillArc(const IColor& color, float cx, float cy, float r, float a1, float a2, const IBlend* blend) {
  PathClear();
  PathMoveTo(cx, cy);
  PathArc(cx, cy, r, a1, a2, EWinding::CW);
  PathClose();
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillConvexPolygon(const IColor& color, const float* x, const float* y, int n, const IBlend* blend) {
  if (x == nullptr || y == nullptr || n < 1) return;
  PathClear();
  PathConvexPolygon(x, y, n);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::DrawGrid(const IColor& color, const IRECT& r, float xStep, float yStep, const IBlend* blend,
                       float thickness) {
  if (!finiteRect(r)) return;  // an endless edge would never be reached
  PathClear();
  // The position is computed from a whole-number counter: adding a small step to a large
  // float stops moving it.
  if (xStep > 1.f && finite(xStep)) {
    for (long k = 1;; ++k) {
      const float x = r.L + static_cast<float>(static_cast<double>(k) * xStep);
      if (!(x < r.R)) break;
      PathMoveTo(x, r.T);
      PathLineTo(x, r.B);
    }
  }
  if (yStep > 1.f && finite(yStep)) {
    for (long k = 1;; ++k) {
      const float y = r.T + static_cast<float>(static_cast<double>(k) * yStep);
      if (!(y < r.B)) break;
      PathMoveTo(r.L, y);
      PathLineTo(r.R, y);
    }
  }
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawData(const IColor& color, const IRECT& r, const float* normY, int n, const float* normX,
                       const IBlend* blend, float thickness, const IColor* fillColor) {
  if (normY == nullptr || n < 1) return;
  const float w = r.Width(), h = r.Height();
  PathClear();
  PathMoveTo(r.L, r.B - h * normY[0]);
  for (int i = 1; i < n; ++i) {
    const float x = normX != nullptr ? r.L + w * normX[i]
                                     : r.L + static_cast<float>(i) * w / static_cast<float>(n - 1);
    PathLineTo(x, r.B - h * normY[i]);
  }
  if (fillColor != nullptr) {
    IFillOptions fill;
    fill.fillRule = EFillRule::Winding;
    fill.preserve = true;
    PathFill(*fillColor, fill, blend);
  }
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

// ---------------------------------------------------------------------------------------
// Bitmaps

void ICanvas::DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int frame, const IBlend* blend) {
  if (!bitmap.IsValid()) return;
  const int n = bitmap.N();
  const int f = std::min(std::max(frame, 1), n);
  int srcX = 0, srcY = 0;
  if (f >= 2) {  // only reached with n >= 2
    if (bitmap.GetFramesAreHorizontal())
      srcX = static_cast<int>(static_cast<long long>(f - 1) * bitmap.W() / n);
    else
      srcY = static_cast<int>(static_cast<long long>(f - 1) * bitmap.H() / n);
  }
  DrawBitmap(bitmap, bounds, srcX, srcY, blend);
}

void ICanvas::DrawFittedBitmap(const IBitmap& bitmap, const IRECT& r, const IBlend* blend) {
  const float drawScale = bitmap.GetDrawScale();
  if (!bitmap.IsValid() || !(drawScale > 0.f)) return;
  const float w = static_cast<float>(bitmap.W()) / drawScale, h = static_cast<float>(bitmap.H()) / drawScale;
  if (!(w > 0.f && h > 0.f)) return;
  PathTransformSave();
  PathTransformTranslate(r.L, r.T);
  PathTransformScale(r.Width() / w, r.Height() / h);
  DrawBitmap(bitmap, IRECT(0.f, 0.f, w, h), 0, 0, blend);
  PathTransformRestore();
}

void ICanvas::DrawRotatedBitmap(const IBitmap& bitmap, float cx, float cy, double angle, const IBlend* blend) {
  const float drawScale = bitmap.GetDrawScale();
  if (!bitmap.IsValid() || !(drawScale > 0.f)) return;
  const float w = static_cast<float>(bitmap.W()) / drawScale, h = static_cast<float>(bitmap.H()) / drawScale;
  PathTransformSave();
  PathTransformTranslate(cx, cy);
  PathTransformRotate(static_cast<float>(angle));
  DrawBitmap(bitmap, IRECT(-w / 2.f, -h / 2.f, w / 2.f, h / 2.f), 0, 0, blend);
  PathTransformRestore();
}

void ICanvas::DrawBitmapedText(const IBitmap& bitmap, const IRECT& bounds, const IText& text, const IBlend* blend,
                               const char* str, bool verticallyCentred, bool multiline, int charWidth,
                               int charHeight, int charOffset) {
  if (!bitmap.IsValid() || str == nullptr || str[0] == '\0') return;
  const float w = bounds.Width();
  if (charWidth <= 0 || charHeight <= 0 || !(w > 0.f) || !finiteRect(bounds)) return;

  const size_t length = std::strlen(str);
  const double textWidth = static_cast<double>(charWidth) * static_cast<double>(length);
  const float y0 = verticallyCentred ? bounds.T + (bounds.Height() - static_cast<float>(charHeight)) / 2.f : bounds.T;
  float x0 = bounds.L;
  if (text.align == ETextHAlign::Centre)
    x0 = bounds.L + static_cast<float>((w - textWidth) / 2.0);
  else if (text.align == ETextHAlign::Right)
    x0 = bounds.R - static_cast<float>(textWidth);

  double lines = 1.0;
  double perLine = 0.0;
  if (multiline && textWidth > w) {
    lines = std::floor(textWidth / w) + 1.0;
    perLine = std::floor(w / static_cast<double>(charWidth));
  } else {
    perLine = multiline ? static_cast<double>(length) : std::floor(w / static_cast<double>(charWidth));
  }
  if (perLine < 1.0) return;

  size_t idx = 0;
  for (double line = 0.0; line < lines && idx < length; line += 1.0) {
    for (double k = 0.0; k < perLine && idx < length; k += 1.0, ++idx) {
      const float x = x0 + static_cast<float>(k * (charWidth + charOffset));
      const float y = y0 + static_cast<float>(line * charHeight);
      // Frames start at code 32; codes below it and bytes above 127 (negative as signed
      // char) take the first frame.
      const int code = static_cast<signed char>(str[idx]);
      const int frame = std::min(bitmap.N(), std::max(code, 32) - 31);
      DrawBitmap(bitmap, IRECT(x, y, x + static_cast<float>(charWidth), y + static_cast<float>(charHeight)), frame,
                 blend);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Lines

void ICanvas::DrawLineAcross(const IColor& color, const IRECT& bounds, EDirection dir, float pos,
                             const IBlend* blend, float thickness) {
  if (dir == EDirection::Horizontal)
    DrawHorizontalLine(color, bounds, pos, blend, thickness);
  else
    DrawVerticalLine(color, bounds, pos, blend, thickness);
}

void ICanvas::DrawHorizontalLine(const IColor& color, const IRECT& bounds, float y, const IBlend* blend,
                                 float thickness) {
  if (std::isnan(y)) return;
  y = std::clamp(y, 0.f, 1.f);
  const float yi = bounds.B - y * bounds.Height();
  DrawLine(color, bounds.L, yi, bounds.R, yi, blend, thickness);
}

void ICanvas::DrawVerticalLine(const IColor& color, const IRECT& bounds, float x, const IBlend* blend,
                               float thickness) {
  if (std::isnan(x) || !finiteRect(bounds)) return;
  x = std::clamp(x, 0.f, 1.f);
  const float xi = bounds.L + std::trunc(bounds.Width() * x);
  DrawLine(color, xi, bounds.T, xi, bounds.B, blend, thickness);
}

void ICanvas::DrawHorizontalLine(const IColor& color, float yi, float xLo, float xHi, const IBlend* blend,
                                 float thickness) {
  DrawLine(color, xLo, yi, xHi, yi, blend, thickness);
}

void ICanvas::DrawVerticalLine(const IColor& color, float xi, float yLo, float yHi, const IBlend* blend,
                               float thickness) {
  DrawLine(color, xi, yLo, xi, yHi, blend, thickness);
}

void ICanvas::DrawRadialLine(const IColor& color, float cx, float cy, float angle, float rMin, float rMax,
                             const IBlend* blend, float thickness) {
  const double a = (static_cast<double>(angle) - 90.0) * kDegToRad;
  const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  DrawLine(color, cx + rMin * c, cy + rMin * s, cx + rMax * c, cy + rMax * s, blend, thickness);
}

// ---------------------------------------------------------------------------------------
// Text entry points

float ICanvas::MeasureText(const IText& text, const char* str, IRECT& bounds) const {
  if (str == nullptr || str[0] == '\0') return 0.f;
  return DoMeasureText(text, str, bounds);
}

float ICanvas::MeasureTextAdvance(const IText& text, const char* str) const {
  if (str == nullptr || str[0] == '\0') return 0.f;
  IRECT bounds;
  return DoMeasureText(text, str, bounds);
}

void ICanvas::DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) {
  if (str == nullptr || str[0] == '\0') return;
  DoDrawText(text, str, bounds, blend);
}

void ICanvas::DrawText(const IText& text, const char* str, float x, float y, const IBlend* blend) {
  DrawText(text, str, IRECT(x, y, x, y), blend);
}

void ICanvas::DrawMultiLineText(const IText& text, const char*, const IRECT& bounds, const IBlend* blend) {
  DoDrawText(text, "Unsupported", bounds, blend);
}

// ---------------------------------------------------------------------------------------
// Transform and clip

void ICanvas::multiplyTransform(const IMatrix& m) {
  if (!finiteMatrix(m)) return;
  IMatrix product = mTransform;
  product.Transform(m);
  if (!finiteMatrix(product)) return;
  mTransform = product;
  PathTransformSetMatrix(mTransform);
}

void ICanvas::PathTransformSave() { mTransformStack.push_back(mTransform); }

void ICanvas::PathTransformRestore() {
  if (mTransformStack.empty()) return;
  mTransform = mTransformStack.back();
  mTransformStack.pop_back();
  PathTransformSetMatrix(mTransform);
}

void ICanvas::PathTransformReset(bool clearStates) {
  if (clearStates) mTransformStack.clear();
  mTransform = IMatrix();
  PathTransformSetMatrix(mTransform);
}

void ICanvas::PathTransformTranslate(float x, float y) { multiplyTransform(IMatrix(1, 0, 0, 1, x, y)); }

void ICanvas::PathTransformScale(float x, float y) { multiplyTransform(IMatrix(x, 0, 0, y, 0, 0)); }

void ICanvas::PathTransformScale(float s) { PathTransformScale(s, s); }

void ICanvas::PathTransformRotate(float angle) {
  const double a = static_cast<double>(angle) * kDegToRad;
  const double c = std::cos(a), s = std::sin(a);
  multiplyTransform(IMatrix(c, s, -s, c, 0, 0));
}

void ICanvas::PathTransformSkew(float xAngle, float yAngle) {
  multiplyTransform(IMatrix(1, std::tan(static_cast<double>(yAngle) * kDegToRad),
                            std::tan(static_cast<double>(xAngle) * kDegToRad), 1, 0, 0));
}

void ICanvas::PathTransformMatrix(const IMatrix& m) { multiplyTransform(m); }

IRECT ICanvas::GetDrawableArea() const { return mLayers.empty() ? mClipRECT : mLayers.back()->Bounds(); }

void ICanvas::PathClipRegion(const IRECT& r) {
  const IRECT drawable = GetDrawableArea();
  const IRECT clip = r.IsEmpty() ? drawable : r.Intersect(drawable);
  // The clip is given in untransformed UI units.
  PathTransformSetMatrix(IMatrix());
  SetClipRegion(clip);
  PathTransformSetMatrix(mTransform);
}

}  // namespace plugkit::canvas
