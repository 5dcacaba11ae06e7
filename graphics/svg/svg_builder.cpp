#include "graphics/svg/svg_builder.h"

#include <algorithm>
#include <cstring>

namespace {

void freePaint(NSVGpaint& paint) {
  if ((paint.type == NSVG_PAINT_LINEAR_GRADIENT || paint.type == NSVG_PAINT_RADIAL_GRADIENT) &&
      paint.gradient != nullptr) {
    delete[] paint.gradient->stops;
    delete paint.gradient;
  }
  paint.type = NSVG_PAINT_NONE;
  paint.gradient = nullptr;
}

}  // namespace

void nsvgDelete(NSVGimage* image) {
  if (image == nullptr) return;
  NSVGshape* shape = image->shapes;
  while (shape != nullptr) {
    NSVGshape* nextShape = shape->next;
    NSVGpath* path = shape->paths;
    while (path != nullptr) {
      NSVGpath* nextPath = path->next;
      delete[] path->pts;
      delete path;
      path = nextPath;
    }
    freePaint(shape->fill);
    freePaint(shape->stroke);
    delete shape;
    shape = nextShape;
  }
  delete image;
}

namespace svg {

unsigned PackColor(int r, int g, int b, int a) {
  return (static_cast<unsigned>(r) & 0xFFu) | ((static_cast<unsigned>(g) & 0xFFu) << 8) |
         ((static_cast<unsigned>(b) & 0xFFu) << 16) | ((static_cast<unsigned>(a) & 0xFFu) << 24);
}

void PointBounds(const float* xy, int npts, float bounds[4]) {
  float minX = xy[0], minY = xy[1], maxX = minX, maxY = minY;
  for (int i = 1; i < npts; ++i) {
    minX = std::min(minX, xy[2 * i]);
    minY = std::min(minY, xy[2 * i + 1]);
    maxX = std::max(maxX, xy[2 * i]);
    maxY = std::max(maxY, xy[2 * i + 1]);
  }
  bounds[0] = minX;
  bounds[1] = minY;
  bounds[2] = maxX;
  bounds[3] = maxY;
}

ImageBuilder::ImageBuilder(float width, float height) : mImage(new NSVGimage{width, height, nullptr}) {}

ImageBuilder::~ImageBuilder() { nsvgDelete(mImage); }

NSVGimage* ImageBuilder::Release() {
  NSVGimage* image = mImage;
  mImage = nullptr;
  mLastShape = nullptr;
  mLastPathShape = nullptr;
  mLastPath = nullptr;
  return image;
}

NSVGshape* ImageBuilder::AddShape() {
  if (mImage == nullptr) return nullptr;
  auto* shape = new NSVGshape{};
  shape->fill.type = NSVG_PAINT_NONE;
  shape->stroke.type = NSVG_PAINT_NONE;
  shape->opacity = 1.f;
  shape->strokeWidth = 1.f;
  shape->miterLimit = 4.f;
  shape->strokeLineJoin = NSVG_JOIN_MITER;
  shape->strokeLineCap = NSVG_CAP_BUTT;
  shape->flags = NSVG_FLAGS_VISIBLE;
  if (mLastShape == nullptr) {
    NSVGshape** tail = &mImage->shapes;
    while (*tail != nullptr) tail = &(*tail)->next;
    *tail = shape;
  } else {
    mLastShape->next = shape;
  }
  mLastShape = shape;
  return shape;
}

NSVGpath* ImageBuilder::AddPath(NSVGshape* shape, const std::vector<Point>& points, bool closed) {
  std::vector<float> xy;
  xy.reserve(points.size() * 2);
  for (const Point& p : points) {
    xy.push_back(p.x);
    xy.push_back(p.y);
  }
  return AddPath(shape, xy.data(), static_cast<int>(points.size()), closed);
}

NSVGpath* ImageBuilder::AddPath(NSVGshape* shape, const float* xy, int npts, bool closed) {
  if (shape == nullptr) return nullptr;
  auto path = std::make_unique<NSVGpath>();
  path->npts = npts > 0 ? npts : 0;
  path->closed = closed ? 1 : 0;
  if (path->npts > 0) {
    const size_t n = static_cast<size_t>(path->npts);
    path->pts = new float[n * 2];
    std::copy(xy, xy + n * 2, path->pts);
    PointBounds(xy, path->npts, path->bounds);
  }
  link(shape, path.get());
  return path.release();
}

NSVGpath* ImageBuilder::AddPath(NSVGshape* shape, std::unique_ptr<float[]> xy, int npts, bool closed,
                                const float bounds[4]) {
  if (shape == nullptr || npts <= 0) return nullptr;
  auto* path = new NSVGpath{};  // the only allocation: the points are taken over after it
  path->pts = xy.release();
  path->npts = npts;
  path->closed = closed ? 1 : 0;
  std::copy(bounds, bounds + 4, path->bounds);
  link(shape, path);
  return path;
}

void ImageBuilder::link(NSVGshape* shape, NSVGpath* path) {
  if (shape == mLastPathShape && mLastPath != nullptr) {
    mLastPath->next = path;
  } else {
    NSVGpath** tail = &shape->paths;
    while (*tail != nullptr) tail = &(*tail)->next;
    *tail = path;
  }
  mLastPathShape = shape;
  mLastPath = path;
}

NSVGpath* ImageBuilder::AddPolyline(NSVGshape* shape, const std::vector<Point>& corners, bool closed) {
  std::vector<Point> pts;
  if (!corners.empty()) {
    pts.push_back(corners[0]);
    auto segment = [&pts](Point a, Point b) {
      pts.push_back({a.x + (b.x - a.x) / 3.f, a.y + (b.y - a.y) / 3.f});
      pts.push_back({a.x + (b.x - a.x) * 2.f / 3.f, a.y + (b.y - a.y) * 2.f / 3.f});
      pts.push_back(b);
    };
    for (size_t i = 1; i < corners.size(); ++i) segment(corners[i - 1], corners[i]);
    if (closed && corners.size() > 1) segment(corners.back(), corners[0]);
  }
  return AddPath(shape, pts, closed);
}

NSVGpath* ImageBuilder::AddRect(NSVGshape* shape, float x, float y, float w, float h) {
  return AddPolyline(shape, {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}, true);
}

void ImageBuilder::SetColor(NSVGpaint& paint, unsigned color) {
  freePaint(paint);
  paint.type = NSVG_PAINT_COLOR;
  paint.color = color;
}

void ImageBuilder::SetNone(NSVGpaint& paint) { freePaint(paint); }

NSVGgradient* ImageBuilder::SetGradient(NSVGpaint& paint, signed char type, const float xform[6], signed char spread,
                                        const std::vector<NSVGgradientStop>& stops) {
  freePaint(paint);
  auto gradient = std::make_unique<NSVGgradient>();
  std::memcpy(gradient->xform, xform, sizeof gradient->xform);
  gradient->spread = spread;
  gradient->nstops = static_cast<int>(stops.size());
  if (!stops.empty()) {
    gradient->stops = new NSVGgradientStop[stops.size()];
    std::copy(stops.begin(), stops.end(), gradient->stops);
  }
  paint.type = type;
  paint.gradient = gradient.release();
  return paint.gradient;
}

}  // namespace svg
