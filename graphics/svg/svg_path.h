#pragma once
// The outline of one SVG element as subpaths of cubic Béziers, in the element's own
// coordinates (double precision, before any transform), and the path-data reader that
// fills it. Used by the SVG reader on one thread at a time; nothing throws.
//
// A subpath is its start point followed by (control 1, control 2, end) per cubic piece:
// lines get their controls at 1/3 and 2/3, quadratics are raised to cubics, elliptical
// arcs are split into pieces of at most 90 degrees. Subpaths of fewer than four points
// are dropped when they end.
#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace svg {

class Outline {
public:
  struct Subpath {
    size_t first;  // index of its start point (a point is two doubles in Points())
    int npts;
    bool closed;
  };

  // Empties the outline; at most maxPoints points are kept from now on. Past that the
  // outline is Full() and ignores further drawing.
  void Reset(size_t maxPoints);

  void MoveTo(double x, double y) {
    Finish();
    mX = x;
    mY = y;
    if (reserve(1)) ensureOpen();
  }
  void LineTo(double x, double y) {
    const double dx = x - mX, dy = y - mY;
    CubicTo(mX + dx / 3.0, mY + dy / 3.0, mX + dx * 2.0 / 3.0, mY + dy * 2.0 / 3.0, x, y);
  }
  void CubicTo(double x1, double y1, double x2, double y2, double x, double y) {
    if (!reserve(mOpen == kNone ? 4 : 3)) return;
    ensureOpen();
    push(x1, y1);
    push(x2, y2);
    push(x, y);
    mX = x;
    mY = y;
  }
  // A quadratic with control (qx, qy), as the cubic with the same curve.
  void QuadTo(double qx, double qy, double x, double y) {
    CubicTo(mX + 2.0 / 3.0 * (qx - mX), mY + 2.0 / 3.0 * (qy - mY), x + 2.0 / 3.0 * (qx - x),
            y + 2.0 / 3.0 * (qy - y), x, y);
  }
  // An elliptical arc by SVG's endpoint rules: radii too small for the chord are scaled
  // up; a radius of 0 draws a line; the same end point as the current point draws nothing.
  void ArcTo(double rx, double ry, double angleDegrees, bool largeArc, bool sweep, double x, double y);
  // A line back to the start unless the subpath is already there; the subpath is closed
  // and the current point returns to its start.
  void Close();
  // Ends the open subpath (kept when it has four points or more).
  void Finish();

  bool Full() const { return mFull; }
  double X() const { return mX; }
  double Y() const { return mY; }
  // The kept points, two doubles each.
  const double* Points() const { return mPts.data(); }
  const std::vector<Subpath>& Subpaths() const { return mSubpaths; }

  // A closed rectangle from its top-left corner, clockwise on screen; rounded corners of
  // radii rx, ry (already limited to half a side) when both are above 0.
  void AddRect(double x, double y, double w, double h, double rx, double ry);
  // A closed ellipse of four cubics from (cx + rx, cy), clockwise on screen.
  void AddEllipse(double cx, double cy, double rx, double ry);

  // The tight box of the kept subpaths (curves, not control points): minx, miny, maxx,
  // maxy. False when there are none.
  bool CurveBounds(double box[4]) const;

private:
  // Keeps the open subpath when it has four points or more, else drops it.
  void endSubpath(bool closed);
  void ensureOpen() {
    if (mOpen != kNone) return;
    mOpen = mSize;
    mStartX = mX;
    mStartY = mY;
    push(mX, mY);
  }
  // Room for that many more points within the limit; false (and Full()) past it.
  bool reserve(size_t points) {
    if (mFull) return false;
    if (mSize / 2 + points > mMaxPoints) {
      mFull = true;
      return false;
    }
    if (mSize + 2 * points > mPts.size()) mPts.resize(std::max(2 * mPts.size(), mSize + 2 * points + 64));
    return true;
  }
  // Stores a point; room was reserved.
  void push(double x, double y) {
    mPts[mSize] = x;
    mPts[mSize + 1] = y;
    mSize += 2;
  }

  static constexpr size_t kNone = static_cast<size_t>(-1);
  std::vector<double> mPts;  // grown ahead; mSize doubles are used
  size_t mSize = 0;
  std::vector<Subpath> mSubpaths;
  size_t mOpen = kNone;  // index (in doubles) of the open subpath's start
  double mX = 0.0, mY = 0.0;
  double mStartX = 0.0, mStartY = 0.0;
  size_t mMaxPoints = 0;
  bool mFull = false;
};

// Reads SVG path data (every command, absolute and relative) into the outline. Reading
// stops at the first error, keeping what came before it, and at a full outline.
void AppendPathData(std::string_view data, Outline& outline);

}  // namespace svg
