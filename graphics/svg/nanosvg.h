#pragma once
// The parsed-SVG data model the graphics context draws: an image of shapes, each shape a
// list of paths made of cubic Béziers, with its fill and stroke paints. Our own types, in
// the layout the drawing code reads.
//
// Conventions shared by the builder and the reader:
// - A colour is packed R | G << 8 | B << 16 | A << 24; A is the fill-, stroke- or
//   stop-opacity times 255. An element's own opacity stays in NSVGshape::opacity.
// - pts holds npts (x, y) points in absolute image units with every transform applied:
//   the start point, then (control 1, control 2, end) per cubic, so npts = 1 + 3k. Lines
//   have their controls at 1/3 and 2/3; a closed path ends with a segment back to its
//   start. bounds = minx, miny, maxx, maxy.
// - A gradient's xform maps image space to the gradient's unit space
//   (x' = xform[0] x + xform[2] y + xform[4], y' = xform[1] x + xform[3] y + xform[5]):
//   a linear gradient runs from (0, 0) to (0, 1), a radial one fills the unit circle.
// - Widths and dash lengths are in image units; shapes are in drawing order.
// Everything an image holds is freed by nsvgDelete.

enum NSVGpaintType { NSVG_PAINT_NONE = 0, NSVG_PAINT_COLOR = 1, NSVG_PAINT_LINEAR_GRADIENT = 2, NSVG_PAINT_RADIAL_GRADIENT = 3 };
enum NSVGspreadType { NSVG_SPREAD_PAD = 0, NSVG_SPREAD_REFLECT = 1, NSVG_SPREAD_REPEAT = 2 };
enum NSVGlineJoin { NSVG_JOIN_MITER = 0, NSVG_JOIN_ROUND = 1, NSVG_JOIN_BEVEL = 2 };
enum NSVGlineCap { NSVG_CAP_BUTT = 0, NSVG_CAP_ROUND = 1, NSVG_CAP_SQUARE = 2 };
enum NSVGflags { NSVG_FLAGS_VISIBLE = 0x01 };

// The most stops a gradient holds: the first ones written, as many as drawing reads
// (IPattern::kMaxStops). A document's further stops are left out.
constexpr int NSVG_MAX_STOPS = 16;

struct NSVGgradientStop {
  unsigned int color;
  float offset;
};

struct NSVGgradient {
  float xform[6];
  signed char spread;
  int nstops;
  NSVGgradientStop* stops;
};

struct NSVGpaint {
  signed char type;
  union {
    unsigned int color;
    NSVGgradient* gradient;
  };
};

struct NSVGpath {
  float* pts;
  int npts;
  char closed;
  float bounds[4];
  NSVGpath* next;
};

struct NSVGshape {
  NSVGpaint fill;
  NSVGpaint stroke;
  float opacity;
  float strokeWidth;
  float strokeDashOffset;
  float strokeDashArray[8];
  signed char strokeDashCount;
  signed char strokeLineJoin;
  signed char strokeLineCap;
  float miterLimit;
  unsigned char flags;
  NSVGpath* paths;
  NSVGshape* next;
};

struct NSVGimage {
  float width;
  float height;
  NSVGshape* shapes;
};

// Parses SVG text into an image in `units` ("px", "pt", "pc", "mm", "cm", "in") at `dpi`
// dots per inch. The zero-terminated text is used as scratch space and left changed.
// Null when the text is no usable SVG or memory ran out; svg::LastParseError()
// (svg_reader.h) says why. Never throws.
NSVGimage* nsvgParse(char* input, const char* units, float dpi) noexcept;

// Frees the image with its shapes, paths, point arrays and gradients. Null does nothing.
void nsvgDelete(NSVGimage* image);
