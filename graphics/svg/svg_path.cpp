#include "graphics/svg/svg_path.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "graphics/svg/svg_lex.h"

namespace svg {

namespace {

// The length of a quarter circle's controls for a unit radius.
constexpr double kKappa = 0.5522847;

}  // namespace

void Outline::Reset(size_t maxPoints) {
  mSize = 0;
  mSubpaths.clear();
  mOpen = kNone;
  mX = mY = mStartX = mStartY = 0.0;
  mMaxPoints = maxPoints;
  mFull = false;
}

void Outline::ArcTo(double rx, double ry, double angleDegrees, bool largeArc, bool sweep, double x, double y) {
  const double x1 = mX, y1 = mY;
  if (x1 == x && y1 == y) return;
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if (!(rx > 0.0) || !(ry > 0.0)) {
    LineTo(x, y);
    return;
  }
  double cosPhi, sinPhi;
  CosSinDegrees(angleDegrees, cosPhi, sinPhi);
  // The end points in the ellipse's frame, halved around their midpoint.
  const double dx2 = (x1 - x) / 2.0, dy2 = (y1 - y) / 2.0;
  const double x1p = cosPhi * dx2 + sinPhi * dy2;
  const double y1p = -sinPhi * dx2 + cosPhi * dy2;
  const double lambda = (x1p * x1p) / (rx * rx) + (y1p * y1p) / (ry * ry);
  if (lambda > 1.0) {
    const double s = std::sqrt(lambda);
    rx *= s;
    ry *= s;
  }
  const double rx2 = rx * rx, ry2 = ry * ry;
  const double num = rx2 * ry2 - rx2 * y1p * y1p - ry2 * x1p * x1p;
  const double den = rx2 * y1p * y1p + ry2 * x1p * x1p;
  double coef = (num > 0.0 && den > 0.0) ? std::sqrt(num / den) : 0.0;
  if (largeArc == sweep) coef = -coef;
  const double cxp = coef * rx * y1p / ry;
  const double cyp = -coef * ry * x1p / rx;
  const double cx = cosPhi * cxp - sinPhi * cyp + (x1 + x) / 2.0;
  const double cy = sinPhi * cxp + cosPhi * cyp + (y1 + y) / 2.0;
  // The start and end directions on the unit circle, and the turn between them.
  double ux = (x1p - cxp) / rx, uy = (y1p - cyp) / ry;
  const double vx = (-x1p - cxp) / rx, vy = (-y1p - cyp) / ry;
  double delta = std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
  if (!sweep && delta > 0.0) delta -= 2.0 * std::numbers::pi;
  else if (sweep && delta < 0.0) delta += 2.0 * std::numbers::pi;
  const double length = std::hypot(ux, uy);
  // Anything not a number (huge or degenerate radii) or no turn at all: a straight line.
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(delta) || !(length > 0.0) ||
      !std::isfinite(length) || std::fabs(delta) < 1e-12) {
    LineTo(x, y);
    return;
  }
  ux /= length;
  uy /= length;
  const int pieces = std::clamp(static_cast<int>(std::ceil(std::fabs(delta) / (std::numbers::pi / 2.0) - 1e-9)), 1, 4);
  const double step = delta / pieces;
  const double k = 4.0 / 3.0 * std::tan(step / 4.0);
  const double cs = std::cos(step), ss = std::sin(step);
  // Walk the unit circle by rotating (c, s) one step at a time; the ellipse point and its
  // derivative at each piece's ends give the controls.
  double c = ux, s = uy;
  double px = x1, py = y1;
  double tx = -cosPhi * rx * s - sinPhi * ry * c, ty = -sinPhi * rx * s + cosPhi * ry * c;
  for (int i = 1; i <= pieces; ++i) {
    const double nc = c * cs - s * ss, ns = s * cs + c * ss;
    c = nc;
    s = ns;
    double qx = cx + cosPhi * rx * c - sinPhi * ry * s, qy = cy + sinPhi * rx * c + cosPhi * ry * s;
    const double sx = -cosPhi * rx * s - sinPhi * ry * c, sy = -sinPhi * rx * s + cosPhi * ry * c;
    if (i == pieces) {
      qx = x;
      qy = y;
    }
    CubicTo(px + k * tx, py + k * ty, qx - k * sx, qy - k * sy, qx, qy);
    px = qx;
    py = qy;
    tx = sx;
    ty = sy;
  }
}

void Outline::Close() {
  if (mOpen == kNone) return;
  if (mX != mStartX || mY != mStartY) LineTo(mStartX, mStartY);
  if (mFull) return;
  endSubpath(true);
  mX = mStartX;
  mY = mStartY;
}

void Outline::Finish() {
  if (mOpen != kNone) endSubpath(false);
}

void Outline::endSubpath(bool closed) {
  const size_t npts = (mSize - mOpen) / 2;
  if (npts >= 4)
    mSubpaths.push_back({mOpen / 2, static_cast<int>(npts), closed});
  else
    mSize = mOpen;
  mOpen = kNone;
}

void Outline::AddRect(double x, double y, double w, double h, double rx, double ry) {
  if (!(rx > 0.0) || !(ry > 0.0)) {
    MoveTo(x, y);
    LineTo(x + w, y);
    LineTo(x + w, y + h);
    LineTo(x, y + h);
    Close();
    return;
  }
  const double kx = rx * (1.0 - kKappa), ky = ry * (1.0 - kKappa);
  const double r = x + w, b = y + h;
  MoveTo(x + rx, y);
  if (x + rx < r - rx) LineTo(r - rx, y);
  CubicTo(r - kx, y, r, y + ky, r, y + ry);
  if (y + ry < b - ry) LineTo(r, b - ry);
  CubicTo(r, b - ky, r - kx, b, r - rx, b);
  if (x + rx < r - rx) LineTo(x + rx, b);
  CubicTo(x + kx, b, x, b - ky, x, b - ry);
  if (y + ry < b - ry) LineTo(x, y + ry);
  CubicTo(x, y + ky, x + kx, y, x + rx, y);
  Close();
}

void Outline::AddEllipse(double cx, double cy, double rx, double ry) {
  const double kx = rx * kKappa, ky = ry * kKappa;
  MoveTo(cx + rx, cy);
  CubicTo(cx + rx, cy + ky, cx + kx, cy + ry, cx, cy + ry);
  CubicTo(cx - kx, cy + ry, cx - rx, cy + ky, cx - rx, cy);
  CubicTo(cx - rx, cy - ky, cx - kx, cy - ry, cx, cy - ry);
  CubicTo(cx + kx, cy - ry, cx + rx, cy - ky, cx + rx, cy);
  Close();
}

namespace {

// Grows [lo, hi] by the cubic's extremes along one axis (the ends are already in).
void growByCubic(double p0, double p1, double p2, double p3, double& lo, double& hi) {
  // The derivative over 3: a (1 - t)^2 + 2 b (1 - t) t + c t^2.
  const double a = p1 - p0, b = p2 - p1, c = p3 - p2;
  const double qa = a - 2.0 * b + c, qb = 2.0 * (b - a), qc = a;
  double roots[2];
  int n = 0;
  if (std::fabs(qa) <= 1e-12 * (std::fabs(a) + std::fabs(b) + std::fabs(c))) {
    if (qb != 0.0) roots[n++] = -qc / qb;
  } else {
    const double disc = qb * qb - 4.0 * qa * qc;
    if (disc >= 0.0) {
      const double s = std::sqrt(disc);
      roots[n++] = (-qb + s) / (2.0 * qa);
      roots[n++] = (-qb - s) / (2.0 * qa);
    }
  }
  for (int i = 0; i < n; ++i) {
    const double t = roots[i];
    if (!(t > 0.0 && t < 1.0)) continue;
    const double u = 1.0 - t;
    const double v = u * u * u * p0 + 3.0 * u * u * t * p1 + 3.0 * u * t * t * p2 + t * t * t * p3;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
}

}  // namespace

bool Outline::CurveBounds(double box[4]) const {
  if (mSubpaths.empty()) return false;
  const double* p = mPts.data() + 2 * mSubpaths.front().first;
  double minX = p[0], minY = p[1], maxX = p[0], maxY = p[1];
  for (const Subpath& s : mSubpaths) {
    p = mPts.data() + 2 * s.first;
    minX = std::min(minX, p[0]);
    maxX = std::max(maxX, p[0]);
    minY = std::min(minY, p[1]);
    maxY = std::max(maxY, p[1]);
    for (int i = 0; i + 3 < s.npts; i += 3) {
      const double* q = p + 2 * i;
      minX = std::min(minX, q[6]);
      maxX = std::max(maxX, q[6]);
      minY = std::min(minY, q[7]);
      maxY = std::max(maxY, q[7]);
      growByCubic(q[0], q[2], q[4], q[6], minX, maxX);
      growByCubic(q[1], q[3], q[5], q[7], minY, maxY);
    }
  }
  box[0] = minX;
  box[1] = minY;
  box[2] = maxX;
  box[3] = maxY;
  return true;
}

namespace {

// The number of arguments of each command letter; -1 for any other character.
constexpr std::array<signed char, 256> kArgumentCount = [] {
  std::array<signed char, 256> count{};
  count.fill(-1);
  const char* const letters = "MLTHVCSQAZ";
  const signed char counts[] = {2, 2, 2, 1, 1, 6, 4, 4, 7, 0};
  for (int i = 0; letters[i] != '\0'; ++i) {
    count[static_cast<unsigned char>(letters[i])] = counts[i];
    count[static_cast<unsigned char>(letters[i] | 0x20)] = counts[i];
  }
  return count;
}();

int argumentCount(char command) { return kArgumentCount[static_cast<unsigned char>(command)]; }

// What follows an argument: white space, at most one comma, white space. Mostly a single
// space or nothing, which takes no branch.
inline void skipSeparator(const char*& p, const char* end) {
  p += p < end && *p == ' ';
  if (p < end && (IsSpace(*p) || *p == ',')) SkipCommaSpace(p, end);
}

template <int N>
bool readNumbers(const char*& p, const char* end, double* a) {
  for (int i = 0; i < N; ++i) {
    if (!ReadNumber(p, end, a[i])) return false;
    skipSeparator(p, end);
  }
  return true;
}

bool readFlag(const char*& p, const char* end, double& flag) {
  if (p == end || (*p != '0' && *p != '1')) return false;
  flag = *p == '1' ? 1.0 : 0.0;
  ++p;
  skipSeparator(p, end);
  return true;
}

// An arc's arguments: radii and angle, the two flags (which may touch what follows),
// the end point.
bool readArc(const char*& p, const char* end, double* a) {
  return readNumbers<3>(p, end, a) && readFlag(p, end, a[3]) && readFlag(p, end, a[4]) &&
         readNumbers<2>(p, end, a + 5);
}

}  // namespace

void AppendPathData(std::string_view data, Outline& o) {
  const char* p = data.data();
  const char* end = p + data.size();
  char command = 0;
  // The last curve's second control (cubic) or control (quadratic), for S and T.
  double lastCx = 0.0, lastCy = 0.0;
  char lastKind = 0;  // 'C' after C or S, 'Q' after Q or T
  double a[7];
  for (;;) {
    SkipSpace(p, end);
    if (p == end || o.Full()) break;
    const int count = argumentCount(*p);
    if (count >= 0) {
      if (command == 0 && (*p | 0x20) != 'm') break;  // data starts with a moveto
      command = *p++;
      if (count == 0) {
        o.Close();
        lastKind = 0;
        continue;
      }
      SkipSpace(p, end);
    } else if (command == 0 || argumentCount(command) == 0) {
      break;  // numbers before any command or after a close
    }

    // Each command reads its own fixed number of arguments.
    const bool relative = command >= 'a';
    const double ox = relative ? o.X() : 0.0, oy = relative ? o.Y() : 0.0;
    char kind = 0;
    switch (command | 0x20) {
      case 'm':
        if (!readNumbers<2>(p, end, a)) return o.Finish();
        o.MoveTo(ox + a[0], oy + a[1]);
        command = relative ? 'l' : 'L';
        break;
      case 'l':
        if (!readNumbers<2>(p, end, a)) return o.Finish();
        o.LineTo(ox + a[0], oy + a[1]);
        break;
      case 'h':
        if (!readNumbers<1>(p, end, a)) return o.Finish();
        o.LineTo(ox + a[0], o.Y());
        break;
      case 'v':
        if (!readNumbers<1>(p, end, a)) return o.Finish();
        o.LineTo(o.X(), oy + a[0]);
        break;
      case 'c':
        if (!readNumbers<6>(p, end, a)) return o.Finish();
        o.CubicTo(ox + a[0], oy + a[1], ox + a[2], oy + a[3], ox + a[4], oy + a[5]);
        lastCx = ox + a[2];
        lastCy = oy + a[3];
        kind = 'C';
        break;
      case 's': {
        if (!readNumbers<4>(p, end, a)) return o.Finish();
        const double x1 = lastKind == 'C' ? 2.0 * o.X() - lastCx : o.X();
        const double y1 = lastKind == 'C' ? 2.0 * o.Y() - lastCy : o.Y();
        o.CubicTo(x1, y1, ox + a[0], oy + a[1], ox + a[2], oy + a[3]);
        lastCx = ox + a[0];
        lastCy = oy + a[1];
        kind = 'C';
        break;
      }
      case 'q':
        if (!readNumbers<4>(p, end, a)) return o.Finish();
        o.QuadTo(ox + a[0], oy + a[1], ox + a[2], oy + a[3]);
        lastCx = ox + a[0];
        lastCy = oy + a[1];
        kind = 'Q';
        break;
      case 't': {
        if (!readNumbers<2>(p, end, a)) return o.Finish();
        const double qx = lastKind == 'Q' ? 2.0 * o.X() - lastCx : o.X();
        const double qy = lastKind == 'Q' ? 2.0 * o.Y() - lastCy : o.Y();
        o.QuadTo(qx, qy, ox + a[0], oy + a[1]);
        lastCx = qx;
        lastCy = qy;
        kind = 'Q';
        break;
      }
      case 'a':
        if (!readArc(p, end, a)) return o.Finish();
        o.ArcTo(a[0], a[1], a[2], a[3] != 0.0, a[4] != 0.0, ox + a[5], oy + a[6]);
        break;
    }
    lastKind = kind;
  }
  o.Finish();
}

}  // namespace svg
