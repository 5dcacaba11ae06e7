#pragma once
// The gradients of one SVG document: their definitions as written, collected with their
// stops while the reader walks the document, and the paint a reference to one gives a
// shape. Used by the SVG reader on one thread; nothing throws but std::bad_alloc. The definitions point into
// the parsed document's text, which must outlive them.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "graphics/svg/nanosvg.h"
#include "graphics/svg/svg_lex.h"
#include "graphics/svg/svg_matrix.h"
#include "graphics/svg/svg_style.h"

namespace pugi {
class xml_node;
}

namespace svg {

// What a gradient is painted onto.
struct PaintTarget {
  Matrix ctm;                  // the shape's user space to image space
  const double* box = nullptr; // the shape's bounds in its user space (minx, miny, maxx, maxy), or null
  double opacity = 1.0;        // the fill- or stroke-opacity
  Viewport viewport;           // for percentages of userSpaceOnUse gradients
};

class Gradients {
public:
  // Reads a linearGradient or radialGradient element with its first NSVG_MAX_STOPS stop
  // children. One without an id is left out; of two with the same id the first counts.
  void Collect(const pugi::xml_node& element, bool radial);

  bool Has(std::string_view id) const { return mById.count(id) != 0; }

  // The paint a reference to the gradient id gives (Has(id) must hold). Attributes and
  // stops it lacks come from the gradients its href chain names (16 steps at most, so a
  // cycle ends). No stops: none. One stop, a zero-length vector or a radius of 0: the last
  // stop's colour. A bounding-box gradient on a shape of no area, or a transform that
  // cannot be inverted: none. Otherwise a gradient whose xform maps image space to the
  // gradient's unit space, with its stops' alpha times the paint opacity.
  void Resolve(std::string_view id, const PaintTarget& target, NSVGpaint& paint) const;

private:
  struct Stop {
    uint32_t rgb;
    double opacity;
    float offset;
  };
  enum Coord { kX1, kY1, kX2, kY2, kCx, kCy, kR, kCoords };
  struct Def {
    bool radial = false;
    std::string_view href;
    Length coords[kCoords];
    unsigned hasCoord = 0;  // bit per Coord
    bool hasUnits = false, userSpace = false;
    bool hasTransform = false;
    Matrix transform;
    bool hasSpread = false;
    signed char spread = NSVG_SPREAD_PAD;
    size_t firstStop = 0, stopCount = 0;
  };

  std::vector<Def> mDefs;
  std::vector<Stop> mStops;
  std::unordered_map<std::string_view, size_t> mById;
};

}  // namespace svg
