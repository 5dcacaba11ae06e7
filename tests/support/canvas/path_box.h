#pragma once
// The bounding box of a recorded path, in UI units: each point through the transform it was
// added under, an arc as its whole circle (radius scaled by the transform), a curve as its
// points. Exact for rectangles, rounded rectangles and unrotated ellipses. For suites that
// assert on where a control painted; the test thread only. An empty path has the empty box.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/support/canvas/test_canvas.h"

namespace sp::test {

class PathBox {
public:
  // Grows the box by a path command (move, line, arc or curve); other calls are ignored.
  void add(const DrawOp& op) {
    const std::vector<float>& a = op.args;
    const IMatrix& m = op.matrix;
    switch (op.kind) {
      case DrawOp::PathMoveTo:
      case DrawOp::PathLineTo: addPoint(m, a[0], a[1], 0.0, 0.0); break;
      case DrawOp::PathQuadraticBezierTo:
      case DrawOp::PathCubicBezierTo:
        for (size_t i = 0; i + 1 < a.size(); i += 2) addPoint(m, a[i], a[i + 1], 0.0, 0.0);
        break;
      case DrawOp::PathArc:
        addPoint(m, a[0], a[1], a[2] * std::hypot(m.xx, m.yx), a[2] * std::hypot(m.xy, m.yy));
        break;
      default: break;
    }
  }
  void clear() { mAny = false; }
  bool empty() const { return !mAny; }
  IRECT rect() const {
    if (!mAny) return IRECT();
    return IRECT(static_cast<float>(mL), static_cast<float>(mT), static_cast<float>(mR), static_cast<float>(mB));
  }

private:
  // The point (x, y) through m, widened by rx and ry on either side.
  void addPoint(const IMatrix& m, double x, double y, double rx, double ry) {
    m.TransformPoint(x, y);
    if (!mAny) {
      mL = x - rx, mT = y - ry, mR = x + rx, mB = y + ry;
      mAny = true;
      return;
    }
    mL = std::min(mL, x - rx), mT = std::min(mT, y - ry);
    mR = std::max(mR, x + rx), mB = std::max(mB, y + ry);
  }

  bool mAny = false;
  double mL = 0, mT = 0, mR = 0, mB = 0;
};

// The box of a list of path commands.
inline IRECT pathBox(const std::vector<DrawOp>& path) {
  PathBox box;
  for (const DrawOp& op : path) box.add(op);
  return box.rect();
}

}  // namespace sp::test
