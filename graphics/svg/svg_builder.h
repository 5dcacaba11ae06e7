#pragma once
// Builds parsed-SVG images in memory with the allocation nsvgDelete frees. The SVG reader
// fills images through it; tests use it to make images by hand.
#include <memory>
#include <vector>

#include "graphics/svg/nanosvg.h"

namespace svg {

struct Point {
  float x = 0.f;
  float y = 0.f;
};

// R | G << 8 | B << 16 | A << 24, each channel taken modulo 256.
unsigned PackColor(int r, int g, int b, int a = 255);

// The bounds of npts > 0 interleaved (x, y) pairs: minx, miny, maxx, maxy (of equal
// values, +0 and -0, the first stays).
void PointBounds(const float* xy, int npts, float bounds[4]);

class ImageBuilder {
public:
  ImageBuilder(float width, float height);
  // Frees an image that was not released.
  ~ImageBuilder();
  ImageBuilder(const ImageBuilder&) = delete;
  ImageBuilder& operator=(const ImageBuilder&) = delete;

  // Appends a visible shape that paints nothing yet: opacity 1, stroke width 1, miter
  // limit 4, butt caps, miter joins, no dashes.
  NSVGshape* AddShape();
  // Appends a path: the start point, then (control 1, control 2, end) per cubic. Any
  // number of points is stored as given (none gives a null point array); the bounds are
  // those of the points.
  NSVGpath* AddPath(NSVGshape* shape, const std::vector<Point>& points, bool closed);
  // The same from npts interleaved (x, y) pairs.
  NSVGpath* AddPath(NSVGshape* shape, const float* xy, int npts, bool closed);
  // The same taking over an array of npts (x, y) pairs (npts > 0) whose bounds the caller
  // has computed (minx, miny, maxx, maxy).
  NSVGpath* AddPath(NSVGshape* shape, std::unique_ptr<float[]> xy, int npts, bool closed, const float bounds[4]);
  // Straight segments through the corners, each a cubic with its controls at 1/3 and 2/3;
  // a closed polyline ends with the segment back to its first corner.
  NSVGpath* AddPolyline(NSVGshape* shape, const std::vector<Point>& corners, bool closed);
  // A closed rectangle starting at its top-left corner and running clockwise on screen.
  NSVGpath* AddRect(NSVGshape* shape, float x, float y, float w, float h);

  // A solid paint (a gradient the paint held is freed).
  static void SetColor(NSVGpaint& paint, unsigned color);
  static void SetNone(NSVGpaint& paint);
  // A gradient paint owning a copy of the stops; type is NSVG_PAINT_LINEAR_GRADIENT or
  // NSVG_PAINT_RADIAL_GRADIENT.
  static NSVGgradient* SetGradient(NSVGpaint& paint, signed char type, const float xform[6], signed char spread,
                                   const std::vector<NSVGgradientStop>& stops);

  NSVGimage* Get() const { return mImage; }
  // Hands the image over; the caller frees it with nsvgDelete.
  NSVGimage* Release();

private:
  // Appends the path after the shape's last one.
  void link(NSVGshape* shape, NSVGpath* path);

  NSVGimage* mImage;
  NSVGshape* mLastShape = nullptr;
  // The last path added and its shape: the next path of that shape goes after it.
  NSVGshape* mLastPathShape = nullptr;
  NSVGpath* mLastPath = nullptr;
};

}  // namespace svg
