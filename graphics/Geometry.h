#pragma once
// Geometry records of the editor: rectangles in UI units (y grows downwards), points,
// directions and the 2-D affine matrix used for paths and patterns.
#include <algorithm>
#include <cmath>

namespace plugkit::canvas {

enum class EDirection : int { Vertical = 0, Horizontal = 1 };

struct IPointF {
  float x = 0.f;
  float y = 0.f;
  bool operator==(const IPointF&) const = default;
};

// An axis-aligned rectangle of four floats. All four edges 0 is the empty rectangle.
// No ordering of the edges is enforced (knob dragging may divide by T - B).
struct IRECT {
  float L = 0.f;
  float T = 0.f;
  float R = 0.f;
  float B = 0.f;

  constexpr IRECT() = default;
  constexpr IRECT(float l, float t, float r, float b) : L(l), T(t), R(r), B(b) {}
  static constexpr IRECT MakeXYWH(float x, float y, float w, float h) { return {x, y, x + w, y + h}; }

  bool operator==(const IRECT&) const = default;

  float Width() const { return R - L; }
  float Height() const { return B - T; }
  float W() const { return R - L; }
  float H() const { return B - T; }
  float CentreX() const { return (L + R) * 0.5f; }
  float CentreY() const { return (T + B) * 0.5f; }
  float Area() const { return Width() * Height(); }
  bool IsEmpty() const { return L == 0.f && T == 0.f && R == 0.f && B == 0.f; }

  // Half-open: the right and bottom edges are outside. The empty rectangle holds nothing.
  bool ContainsPoint(float x, float y) const {
    if (IsEmpty()) return false;
    return x >= L && x < R && y >= T && y < B;
  }
  // Both non-empty and r lies inside this rectangle (edges may coincide).
  bool Contains(const IRECT& r) const {
    if (IsEmpty() || r.IsEmpty()) return false;
    return r.L >= L && r.R <= R && r.T >= T && r.B <= B;
  }
  // The overlap test of the redraw loop, with this rectangle as the first operand.
  bool Intersects(const IRECT& b) const {
    if (IsEmpty() || b.IsEmpty()) return false;
    return b.L <= R && L < b.R && b.T <= B && T < b.B;
  }
  // The overlap, or the empty rectangle when Intersects is false.
  IRECT Intersect(const IRECT& b) const {
    if (!Intersects(b)) return {};
    return {std::max(L, b.L), std::max(T, b.T), std::min(R, b.R), std::min(B, b.B)};
  }
  // The smallest rectangle holding both; an empty rectangle contributes nothing.
  IRECT Union(const IRECT& b) const {
    if (IsEmpty()) return b;
    if (b.IsEmpty()) return *this;
    return {std::min(L, b.L), std::min(T, b.T), std::max(R, b.R), std::max(B, b.B)};
  }

  // A w x h rectangle on the same centre; w is at least 1, and h <= 0 takes w.
  IRECT GetCentredInside(float w, float h = 0.f) const {
    w = std::max(w, 1.f);
    if (h <= 0.f) h = w;
    const float cx = CentreX(), cy = CentreY();
    return {cx - w / 2.f, cy - h / 2.f, cx + w / 2.f, cy + h / 2.f};
  }
  IRECT GetScaledAboutCentre(float f) const {
    const float cx = CentreX(), cy = CentreY();
    const float hw = f * Width() / 2.f, hh = f * Height() / 2.f;
    return {cx - hw, cy - hh, cx + hw, cy + hh};
  }
  // Grown by d on every side; a negative d shrinks.
  IRECT GetPadded(float d) const { return {L - d, T - d, R + d, B + d}; }
  IRECT GetPadded(float l, float t, float r, float b) const { return {L + l, T + t, R + r, B + b}; }
  IRECT GetTranslated(float dx, float dy) const { return {L + dx, T + dy, R + dx, B + dy}; }
  void Translate(float dx, float dy) { *this = GetTranslated(dx, dy); }

  // Strips along one edge, and the rest once a strip is taken away.
  IRECT GetFromTop(float h) const { return {L, T, R, T + h}; }
  IRECT GetFromBottom(float h) const { return {L, B - h, R, B}; }
  IRECT GetFromLeft(float w) const { return {L, T, L + w, B}; }
  IRECT GetFromRight(float w) const { return {R - w, T, R, B}; }
  IRECT GetReducedFromTop(float h) const { return {L, T + h, R, B}; }
  IRECT GetReducedFromBottom(float h) const { return {L, T, R, B - h}; }
  IRECT GetReducedFromLeft(float w) const { return {L + w, T, R, B}; }
  IRECT GetReducedFromRight(float w) const { return {L, T, R - w, B}; }
  // The part between two fractions (0..1) of the width or of the height.
  IRECT GetHSlice(float from, float to) const { return {L + Width() * from, T, L + Width() * to, B}; }
  IRECT GetVSlice(float from, float to) const { return {L, T + Height() * from, R, T + Height() * to}; }

  // Clamps a point into the rectangle (x into [L, R], y into [T, B]).
  void Constrain(float& x, float& y) const {
    x = std::clamp(x, std::min(L, R), std::max(L, R));
    y = std::clamp(y, std::min(T, B), std::max(T, B));
  }

  // Aligned to device pixels at scale s: left and top floored, right and bottom ceiled,
  // each back in UI units by multiplying with 1/s. Never shrinks the rectangle. A scale
  // that is not finite and positive leaves it unchanged.
  IRECT GetPixelAligned(float s) const {
    if (!(s > 0.f) || !std::isfinite(s)) return *this;
    const float inv = 1.f / s;
    return {std::floor(L * s) * inv, std::floor(T * s) * inv, std::ceil(R * s) * inv, std::ceil(B * s) * inv};
  }
  void PixelAlign(float s) { *this = GetPixelAligned(s); }
};

// Affine transform (xx, yx, xy, yy, tx, ty): x' = xx x + xy y + tx, y' = yx x + yy y + ty.
struct IMatrix {
  double xx = 1.0, yx = 0.0, xy = 0.0, yy = 1.0, tx = 0.0, ty = 0.0;

  constexpr IMatrix() = default;
  constexpr IMatrix(double xx_, double yx_, double xy_, double yy_, double tx_, double ty_)
      : xx(xx_), yx(yx_), xy(xy_), yy(yy_), tx(tx_), ty(ty_) {}
  bool operator==(const IMatrix&) const = default;

  bool IsIdentity() const { return *this == IMatrix(); }
  void TransformPoint(double& x, double& y) const {
    const double nx = xx * x + xy * y + tx;
    const double ny = yx * x + yy * y + ty;
    x = nx;
    y = ny;
  }
  // this = this * m: m is applied to a point first, then this.
  IMatrix& Transform(const IMatrix& m) {
    const IMatrix a = *this;
    xx = a.xx * m.xx + a.xy * m.yx;
    yx = a.yx * m.xx + a.yy * m.yx;
    xy = a.xx * m.xy + a.xy * m.yy;
    yy = a.yx * m.xy + a.yy * m.yy;
    tx = a.xx * m.tx + a.xy * m.ty + a.tx;
    ty = a.yx * m.tx + a.yy * m.ty + a.ty;
    return *this;
  }
  // The inverse; a singular matrix gives the identity.
  IMatrix Invert() const {
    const double d = xx * yy - xy * yx;
    if (d == 0.0 || !std::isfinite(d)) return {};
    const double id = 1.0 / d;
    return {yy * id, -yx * id, -xy * id, xx * id, (xy * ty - yy * tx) * id, (yx * tx - xx * ty) * id};
  }
};

}  // namespace plugkit::canvas
