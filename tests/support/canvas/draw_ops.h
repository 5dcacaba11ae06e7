#pragma once
// Recorded drawing calls written as short texts, so a test can compare what a drawing
// operation reduced to with a list: "clear", "M x y", "L x y", "A cx cy r a1 a2",
// "C x1 y1 x2 y2 x y", "Q ...", "Z", "W 0|1", "F" (fill), "S t" (stroke of thickness t),
// "T xx yx xy yy tx ty" (transform), "clip L T R B", "text <str> L T R B", "bitmap L T R B
// sx sy", "create W H scale drawScale" (a bitmap made), "layer L T R B" or "layer frame"
// (drawing switched to a layer or back to the frame), "shadowmask". Numbers print with up to six significant digits; values within 1e-4 of a whole
// number print as that number. For suites that assert on what a control draws.
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/canvas/test_canvas.h"

namespace sp::test {

inline std::string num(double v) {
  const double r = std::round(v);
  if (std::fabs(v - r) < 1e-4) v = r;
  if (v == 0.0) v = 0.0;  // no "-0"
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

inline std::string nums(std::initializer_list<double> values) {
  std::string out;
  for (double v : values) out += " " + num(v);
  return out;
}

inline std::string describe(const DrawOp& op) {
  const std::vector<float>& a = op.args;
  auto args = [&a](size_t n) {
    std::string out;
    for (size_t i = 0; i < n && i < a.size(); ++i) out += " " + num(a[i]);
    return out;
  };
  const IRECT& r = op.rect;
  switch (op.kind) {
    case DrawOp::PathClear: return "clear";
    case DrawOp::PathClose: return "Z";
    case DrawOp::PathMoveTo: return "M" + args(2);
    case DrawOp::PathLineTo: return "L" + args(2);
    case DrawOp::PathArc: return "A" + args(5);
    case DrawOp::PathCubicBezierTo: return "C" + args(6);
    case DrawOp::PathQuadraticBezierTo: return "Q" + args(4);
    case DrawOp::PathSetWinding: return "W" + args(1);
    case DrawOp::PathFill: return "F";
    case DrawOp::PathStroke: return "S" + args(1);
    case DrawOp::SetTransform: {
      const auto& m = op.matrix;
      return "T" + nums({m.xx, m.yx, m.xy, m.yy, m.tx, m.ty});
    }
    case DrawOp::SetClip: return "clip" + nums({r.L, r.T, r.R, r.B});
    case DrawOp::DrawText: return "text " + op.text + nums({r.L, r.T, r.R, r.B});
    case DrawOp::DrawBitmap: return "bitmap" + nums({r.L, r.T, r.R, r.B}) + args(2);
    case DrawOp::DropShadow: return "shadow";
    case DrawOp::BeginFrame: return "begin";
    case DrawOp::EndFrame: return "end";
    case DrawOp::DrawResize: return "resize";
    case DrawOp::CreateBitmap: return "create" + args(4);
    case DrawOp::UpdateLayer:
      return op.args.empty() || op.args[0] == 0.f ? std::string("layer frame") : "layer" + nums({r.L, r.T, r.R, r.B});
    case DrawOp::ShadowMask: return "shadowmask";
  }
  return "?";
}

// Every recorded call, or only the path calls (no transforms or clips).
inline std::vector<std::string> described(const TestCanvas& g, bool withStateCalls = true) {
  std::vector<std::string> out;
  for (const DrawOp& op : g.drawOps()) {
    if (!withStateCalls && (op.kind == DrawOp::SetTransform || op.kind == DrawOp::SetClip)) continue;
    out.push_back(describe(op));
  }
  return out;
}

// The fills and strokes recorded, in order.
inline std::vector<DrawOp> paints(const TestCanvas& g) { return g.opsOf({DrawOp::PathFill, DrawOp::PathStroke}); }

// The first colour of a paint.
inline plugkit::canvas::IColor colorOf(const DrawOp& op) { return op.pattern.GetStop(0).color; }

// Maps a point through a matrix.
inline void mapPoint(const plugkit::canvas::IMatrix& m, double& x, double& y) { m.TransformPoint(x, y); }

}  // namespace sp::test
