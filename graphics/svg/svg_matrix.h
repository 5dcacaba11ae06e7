#pragma once
// A 2-D affine transform in double precision, as the SVG reader composes element, group,
// viewport and gradient transforms. Plain value type; any thread.
//
// (a, b, c, d, e, f) maps x' = a x + c y + e, y' = b x + d y + f. A * B applies B first.
#include <cmath>

namespace svg {

struct Matrix {
  double a = 1.0, b = 0.0, c = 0.0, d = 1.0, e = 0.0, f = 0.0;

  static Matrix Translate(double x, double y) { return {1.0, 0.0, 0.0, 1.0, x, y}; }
  static Matrix Scale(double sx, double sy) { return {sx, 0.0, 0.0, sy, 0.0, 0.0}; }

  friend Matrix operator*(const Matrix& l, const Matrix& r) {
    return {l.a * r.a + l.c * r.b, l.b * r.a + l.d * r.b, l.a * r.c + l.c * r.d,
            l.b * r.c + l.d * r.d, l.a * r.e + l.c * r.f + l.e, l.b * r.e + l.d * r.f + l.f};
  }

  double X(double x, double y) const { return a * x + c * y + e; }
  double Y(double x, double y) const { return b * x + d * y + f; }

  // The mean of the lengths the unit x and y vectors get: the factor applied to stroke
  // widths and dash lengths.
  double MeanScale() const { return (std::hypot(a, b) + std::hypot(c, d)) / 2.0; }

  bool IsFinite() const {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) && std::isfinite(e) &&
           std::isfinite(f);
  }

  // The inverse; false (out untouched) when the transform is singular or not finite.
  bool Invert(Matrix& out) const {
    const double det = a * d - b * c;
    if (!(det != 0.0) || !std::isfinite(det) || !IsFinite()) return false;
    const Matrix inv{d / det, -b / det, -c / det, a / det, (c * f - d * e) / det, (b * e - a * f) / det};
    if (!inv.IsFinite()) return false;
    out = inv;
    return true;
  }
};

}  // namespace svg
