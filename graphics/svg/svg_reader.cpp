// The SVG reader: the XML document is walked with an explicit stack; each drawn shape
// element becomes an outline in its own coordinates, transformed into output units and
// kept with its painting properties; gradients are collected on the way. The image is
// assembled at the end, when every gradient is known and, for an image that gives no
// size, the shapes' bounds are.
#include "graphics/svg/svg_reader.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "graphics/svg/svg_builder.h"
#include "graphics/svg/svg_gradient.h"
#include "graphics/svg/svg_lex.h"
#include "graphics/svg/svg_matrix.h"
#include "graphics/svg/svg_path.h"
#include "graphics/svg/svg_style.h"

namespace svg {

namespace {

thread_local std::string tLastError;

enum class Kind { Ignored, Group, Hidden, Path, Rect, Circle, Ellipse, Line, Polyline, Polygon, Linear, Radial };

Kind classify(std::string_view name) {
  switch (name.empty() ? '\0' : name[0]) {
    case 'c':
      if (name == "circle") return Kind::Circle;
      if (name == "clipPath") return Kind::Hidden;
      break;
    case 'd':
      if (name == "defs") return Kind::Hidden;
      break;
    case 'e':
      if (name == "ellipse") return Kind::Ellipse;
      break;
    case 'g':
      if (name == "g") return Kind::Group;
      break;
    case 'l':
      if (name == "line") return Kind::Line;
      if (name == "linearGradient") return Kind::Linear;
      break;
    case 'm':
      if (name == "mask" || name == "marker") return Kind::Hidden;
      break;
    case 'p':
      if (name == "path") return Kind::Path;
      if (name == "polyline") return Kind::Polyline;
      if (name == "polygon") return Kind::Polygon;
      if (name == "pattern") return Kind::Hidden;
      break;
    case 'r':
      if (name == "rect") return Kind::Rect;
      if (name == "radialGradient") return Kind::Radial;
      break;
    case 's':
      if (name == "symbol") return Kind::Hidden;
      break;
    default: break;
  }
  return Kind::Ignored;
}

// The geometry attributes of a shape element, as written.
struct Geometry {
  std::string_view x, y, width, height, rx, ry, cx, cy, r, x1, y1, x2, y2, points, d;
};

bool takeGeometry(std::string_view name, std::string_view value, Geometry& g) {
  std::string_view* slot = nullptr;
  if (name.size() == 1) {
    switch (name[0]) {
      case 'd': slot = &g.d; break;
      case 'x': slot = &g.x; break;
      case 'y': slot = &g.y; break;
      case 'r': slot = &g.r; break;
      default: break;
    }
  } else if (name.size() == 2) {
    if (name == "rx") slot = &g.rx;
    else if (name == "ry") slot = &g.ry;
    else if (name == "cx") slot = &g.cx;
    else if (name == "cy") slot = &g.cy;
    else if (name == "x1") slot = &g.x1;
    else if (name == "y1") slot = &g.y1;
    else if (name == "x2") slot = &g.x2;
    else if (name == "y2") slot = &g.y2;
  } else if (name == "width") {
    slot = &g.width;
  } else if (name == "height") {
    slot = &g.height;
  } else if (name == "points") {
    slot = &g.points;
  }
  if (slot == nullptr) return false;
  *slot = value;
  return true;
}

bool fitsFloat(double v) { return std::fabs(v) <= FLT_MAX; }

// preserveAspectRatio: where the viewBox sits on each axis (0 start, 0.5 middle, 1 end),
// and whether it is scaled to fit (meet), to cover (slice) or on each axis apart (none).
struct AspectRatio {
  double alignX = 0.5, alignY = 0.5;
  bool none = false, slice = false;
};

AspectRatio parseAspectRatio(std::string_view text) {
  AspectRatio ar;
  text = Trim(text);
  if (text.substr(0, 5) == "defer") text = Trim(text.substr(5));
  const size_t space = text.find_first_of(" \t\r\n");
  const std::string_view align = text.substr(0, space);
  const std::string_view mode = space == std::string_view::npos ? std::string_view() : Trim(text.substr(space));
  auto where = [](std::string_view s, double& out) {
    if (s == "Min") out = 0.0;
    else if (s == "Mid") out = 0.5;
    else if (s == "Max") out = 1.0;
    else return false;
    return true;
  };
  if (align == "none") {
    ar.none = true;
  } else if (align.size() == 8 && align[0] == 'x' && align[4] == 'Y') {
    AspectRatio parsed;
    if (where(align.substr(1, 3), parsed.alignX) && where(align.substr(5, 3), parsed.alignY)) ar = parsed;
  }
  if (mode == "slice") ar.slice = true;
  return ar;
}

class Reader {
public:
  Reader(const char* units, double dpi, std::string& error)
      : mPxPerUnit(PxPerUnitName(units, dpi)), mError(error) {
    mViewport.dpi = dpi;
  }

  NSVGimage* Read(const pugi::xml_node& root) {
    Style style;
    if (!readRoot(root, style) || !walk(root, style)) return nullptr;
    return build();
  }

private:
  // A kept subpath in output units, its points in the array the image takes over.
  struct PathRecord {
    std::unique_ptr<float[]> pts;  // npts (x, y) pairs
    int npts;
    bool closed;
    float bounds[4];
  };
  struct ShapeRecord {
    Style style;
    size_t firstPath, endPath;
    bool hasBox;
    double box[4];
  };

  bool fail(const char* reason) {
    mError = reason;
    return false;
  }

  double length(std::string_view text, double percentBase, double fallback = 0.0) const {
    Length l;
    if (text.empty() || !ParseLength(text, l)) return fallback;
    return ToUserUnits(l, mViewport.dpi, percentBase);
  }

  // Size, viewBox and preserveAspectRatio of the root: the output size where it is known
  // and the transform from the root's user space to output units.
  bool readRoot(const pugi::xml_node& root, Style& style) {
    Length w, h;
    const bool hasW = ParseLength(root.attribute("width").value(), w) && w.unit != Unit::Percent;
    const bool hasH = ParseLength(root.attribute("height").value(), h) && h.unit != Unit::Percent;
    const double wPx = hasW ? ToUserUnits(w, mViewport.dpi, 0.0) : 0.0;
    const double hPx = hasH ? ToUserUnits(h, mViewport.dpi, 0.0) : 0.0;

    double vb[4];
    bool hasViewBox = false;
    if (const char* text = root.attribute("viewBox").value(); *text != '\0') {
      const char* p = text;
      const char* end = text + std::strlen(text);
      int n = 0;
      SkipSpace(p, end);
      while (n < 4 && ReadNumber(p, end, vb[n])) {
        ++n;
        SkipCommaSpace(p, end);
      }
      hasViewBox = n == 4 && p == end && std::isfinite(vb[0]) && std::isfinite(vb[1]) && vb[2] > 0.0 &&
                   vb[3] > 0.0 && std::isfinite(vb[2]) && std::isfinite(vb[3]);
    }

    mWidth = hasW ? wPx / mPxPerUnit : hasViewBox ? vb[2] / mPxPerUnit : 0.0;
    mHeight = hasH ? hPx / mPxPerUnit : hasViewBox ? vb[3] / mPxPerUnit : 0.0;
    mWidthFromBounds = !hasW && !hasViewBox;
    mHeightFromBounds = !hasH && !hasViewBox;
    if ((!mWidthFromBounds && !sizeUsable(mWidth)) || (!mHeightFromBounds && !sizeUsable(mHeight)))
      return fail("the image has no width or height above 0");

    mViewport.width = hasViewBox ? vb[2] : wPx;
    mViewport.height = hasViewBox ? vb[3] : hPx;
    mViewport.diagonal =
        std::sqrt((mViewport.width * mViewport.width + mViewport.height * mViewport.height) / 2.0);

    if (hasViewBox) {
      const AspectRatio ar = parseAspectRatio(root.attribute("preserveAspectRatio").value());
      double sx = mWidth / vb[2], sy = mHeight / vb[3];
      if (!ar.none) sx = sy = ar.slice ? std::max(sx, sy) : std::min(sx, sy);
      const double tx = -vb[0] * sx + (ar.none ? 0.0 : ar.alignX * (mWidth - vb[2] * sx));
      const double ty = -vb[1] * sy + (ar.none ? 0.0 : ar.alignY * (mHeight - vb[3] * sy));
      style.ctm = {sx, 0.0, 0.0, sy, tx, ty};
    } else {
      style.ctm = Matrix::Scale(1.0 / mPxPerUnit, 1.0 / mPxPerUnit);
    }

    ElementFlags flags;
    applyAttributes(root, style, flags, nullptr);
    style.opacity *= flags.ownOpacity;
    style.drawn = !flags.displayNone;
    return true;
  }

  // A size that stays a normal float above 0.
  static bool sizeUsable(double v) { return v >= FLT_MIN && v <= FLT_MAX; }

  // Presentation attributes, then the style attribute's declarations (which win), then
  // the transform. Geometry attributes go to g when given.
  void applyAttributes(const pugi::xml_node& node, Style& style, ElementFlags& flags, Geometry* g) const {
    std::string_view styleText, transform;
    bool hasTransform = false;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      const std::string_view name = a.name();
      const std::string_view value = a.value();
      if (g != nullptr && takeGeometry(name, value, *g)) continue;
      if (name == "style") {
        styleText = value;
      } else if (name == "transform") {
        transform = value;
        hasTransform = true;
      } else {
        ApplyProperty(name, value, mViewport, style, flags);
      }
    }
    ForEachDeclaration(styleText, [&](std::string_view name, std::string_view value) {
      ApplyProperty(name, value, mViewport, style, flags);
    });
    Matrix t;
    if (hasTransform && ParseTransform(transform, t)) style.ctm = style.ctm * t;
  }

  // Every element below the root, depth first, with the style stack of the open
  // containers in place of recursion.
  bool walk(const pugi::xml_node& root, const Style& rootStyle) {
    std::vector<Style> stack;
    stack.reserve(16);
    stack.push_back(rootStyle);
    pugi::xml_node node = root.first_child();
    while (node) {
      bool descend = false;
      if (node.type() == pugi::node_element) {
        if (stack.size() >= static_cast<size_t>(kMaxDepth)) return fail("elements are nested deeper than 256");
        const Kind kind = classify(LocalName(node.name()));
        switch (kind) {
          case Kind::Ignored: break;
          case Kind::Linear:
          case Kind::Radial: mGradients.Collect(node, kind == Kind::Radial); break;
          case Kind::Hidden:
          case Kind::Group: {
            if (!node.first_child()) break;
            Style style = stack.back();
            if (kind == Kind::Hidden) {
              style.drawn = false;
            } else if (style.drawn) {
              ElementFlags flags;
              applyAttributes(node, style, flags, nullptr);
              style.opacity *= flags.ownOpacity;
              style.drawn = !flags.displayNone;
            }
            stack.push_back(style);
            descend = true;
            break;
          }
          default: {
            if (!stack.back().drawn) break;
            Style style = stack.back();
            ElementFlags flags;
            Geometry g;
            applyAttributes(node, style, flags, &g);
            if (flags.displayNone) break;
            style.opacity *= flags.ownOpacity;
            if (!addShape(kind, g, style)) return false;
            break;
          }
        }
      }
      if (descend) {
        node = node.first_child();
        continue;
      }
      // The next sibling, climbing out of finished containers.
      for (;;) {
        if (pugi::xml_node next = node.next_sibling()) {
          node = next;
          break;
        }
        node = node.parent();
        if (node == root) {
          node = pugi::xml_node();
          break;
        }
        stack.pop_back();
      }
    }
    return true;
  }

  void outlinePolyline(std::string_view text, bool closed) {
    const char* p = text.data();
    const char* end = p + text.size();
    SkipSpace(p, end);
    bool first = true;
    double x, y;
    while (p < end && !mOutline.Full()) {
      if (!ReadNumber(p, end, x)) break;
      SkipCommaSpace(p, end);
      if (!ReadNumber(p, end, y)) break;
      SkipCommaSpace(p, end);
      if (first) mOutline.MoveTo(x, y);
      else mOutline.LineTo(x, y);
      first = false;
    }
    if (closed) mOutline.Close();
    mOutline.Finish();
  }

  // The element's outline in its own coordinates.
  void outline(Kind kind, const Geometry& g) {
    const double vw = mViewport.width, vh = mViewport.height;
    switch (kind) {
      case Kind::Path: AppendPathData(g.d, mOutline); break;
      case Kind::Rect: {
        const double w = length(g.width, vw), h = length(g.height, vh);
        if (!(w > 0.0) || !(h > 0.0)) break;
        double rx = length(g.rx, vw, -1.0), ry = length(g.ry, vh, -1.0);
        if (!(rx >= 0.0)) rx = ry;
        if (!(ry >= 0.0)) ry = rx;
        rx = std::clamp(rx, 0.0, w / 2.0);
        ry = std::clamp(ry, 0.0, h / 2.0);
        mOutline.AddRect(length(g.x, vw), length(g.y, vh), w, h, rx, ry);
        break;
      }
      case Kind::Circle: {
        const double r = length(g.r, mViewport.diagonal);
        if (r > 0.0) mOutline.AddEllipse(length(g.cx, vw), length(g.cy, vh), r, r);
        break;
      }
      case Kind::Ellipse: {
        const double rx = length(g.rx, vw), ry = length(g.ry, vh);
        if (rx > 0.0 && ry > 0.0) mOutline.AddEllipse(length(g.cx, vw), length(g.cy, vh), rx, ry);
        break;
      }
      case Kind::Line:
        mOutline.MoveTo(length(g.x1, vw), length(g.y1, vh));
        mOutline.LineTo(length(g.x2, vw), length(g.y2, vh));
        mOutline.Finish();
        break;
      case Kind::Polyline:
      case Kind::Polygon: outlinePolyline(g.points, kind == Kind::Polygon); break;
      default: break;
    }
  }

  // One shape from a drawn element: its subpaths in output units (a subpath with a
  // coordinate that is not a finite float is dropped), kept with its style.
  bool addShape(Kind kind, const Geometry& g, const Style& style) {
    mOutline.Reset(kMaxPoints - mTotalPoints);
    outline(kind, g);
    if (mOutline.Full()) return fail("the image has more than 1000000 points");
    const auto& subpaths = mOutline.Subpaths();
    if (subpaths.empty()) return true;

    const size_t firstPath = mPaths.size();
    for (const Outline::Subpath& s : subpaths) {
      PathRecord path{std::make_unique_for_overwrite<float[]>(2 * static_cast<size_t>(s.npts)), s.npts, s.closed, {}};
      if (transformPoints(style.ctm, mOutline.Points() + 2 * s.first, s.npts, path.pts.get(), path.bounds)) {
        mTotalPoints += static_cast<size_t>(s.npts);
        mPaths.push_back(std::move(path));
      }
    }
    if (mPaths.size() == firstPath) return true;

    ShapeRecord record{style, firstPath, mPaths.size(), false, {}};
    if (style.fill.kind == PaintSpec::kUrl || style.stroke.kind == PaintSpec::kUrl)
      record.hasBox = mOutline.CurveBounds(record.box);
    mShapes.push_back(record);
    return true;
  }

  // Maps n > 0 points through m into floats with their bounds (minx, miny, maxx, maxy);
  // false when a coordinate is not a finite float. Out of line: inlined into the walk, the
  // compiler kept the running bounds in memory.
  [[gnu::noinline]] static bool transformPoints(const Matrix& m, const double* in, int n, float* out,
                                                float bounds[4]) {
    // Without rotation or skew, a x + c y + e is a x + e whenever e is not -0: c y is a
    // zero (or not a number when y is not finite, and then y' is not finite either), and
    // adding a zero to a x changes at most the sign of a zero, which adding e decides.
    const bool axisAligned = m.b == 0.0 && m.c == 0.0 && !std::signbit(m.e) && !std::signbit(m.f);
    bool finite = true;
    float minX = FLT_MAX, minY = FLT_MAX, maxX = -FLT_MAX, maxY = -FLT_MAX;
    for (int i = 0; i < n; ++i) {
      const double x = in[2 * i], y = in[2 * i + 1];
      const double tx = axisAligned ? m.a * x + m.e : m.X(x, y);
      const double ty = axisAligned ? m.d * y + m.f : m.Y(x, y);
      const bool ok = fitsFloat(tx) && fitsFloat(ty);
      finite &= ok;
      const float fx = ok ? static_cast<float>(tx) : 0.f, fy = ok ? static_cast<float>(ty) : 0.f;
      out[2 * i] = fx;
      out[2 * i + 1] = fy;
      // The bounds as PointBounds has them: of equal values (+0 and -0) the first stays.
      minX = i == 0 || fx < minX ? fx : minX;
      minY = i == 0 || fy < minY ? fy : minY;
      maxX = i == 0 || maxX < fx ? fx : maxX;
      maxY = i == 0 || maxY < fy ? fy : maxY;
    }
    bounds[0] = minX;
    bounds[1] = minY;
    bounds[2] = maxX;
    bounds[3] = maxY;
    return finite;
  }

  void resolvePaint(const PaintSpec& spec, double opacity, const ShapeRecord& shape, const Matrix& ctm,
                    NSVGpaint& paint) const {
    auto color = [&](uint32_t rgb) {
      ImageBuilder::SetColor(paint, rgb | static_cast<uint32_t>(std::lround(std::clamp(opacity, 0.0, 1.0) * 255.0))
                                              << 24);
    };
    switch (spec.kind) {
      case PaintSpec::kColor: color(spec.rgb); break;
      case PaintSpec::kUrl:
        if (mGradients.Has(spec.id)) {
          PaintTarget target;
          target.ctm = ctm;
          target.box = shape.hasBox ? shape.box : nullptr;
          target.opacity = opacity;
          target.viewport = mViewport;
          mGradients.Resolve(spec.id, target, paint);
        } else if (spec.fallback == PaintSpec::kColor) {
          color(spec.fallbackRgb);
        } else {
          ImageBuilder::SetNone(paint);
        }
        break;
      default: ImageBuilder::SetNone(paint); break;
    }
  }

  // The image: its size (from the shapes' bounds where the document gave none, the
  // shapes then moved to start at 0), then every kept shape with its paints.
  NSVGimage* build() {
    double shiftX = 0.0, shiftY = 0.0;
    if (mWidthFromBounds || mHeightFromBounds) {
      if (mPaths.empty()) {
        fail("the image has no width or height above 0");
        return nullptr;
      }
      float minX = FLT_MAX, minY = FLT_MAX, maxX = -FLT_MAX, maxY = -FLT_MAX;
      for (const PathRecord& path : mPaths) {
        minX = std::min(minX, path.bounds[0]);
        minY = std::min(minY, path.bounds[1]);
        maxX = std::max(maxX, path.bounds[2]);
        maxY = std::max(maxY, path.bounds[3]);
      }
      if (mWidthFromBounds) {
        mWidth = static_cast<double>(maxX) - minX;
        shiftX = -static_cast<double>(minX);
      }
      if (mHeightFromBounds) {
        mHeight = static_cast<double>(maxY) - minY;
        shiftY = -static_cast<double>(minY);
      }
    }
    if (!sizeUsable(mWidth) || !sizeUsable(mHeight)) {
      fail("the image has no width or height above 0");
      return nullptr;
    }
    if (shiftX != 0.0 || shiftY != 0.0) {
      for (PathRecord& path : mPaths) {
        float* p = path.pts.get();
        bool finite = true;
        for (int i = 0; i < 2 * path.npts; i += 2) {
          const double x = p[i] + shiftX, y = p[i + 1] + shiftY;
          const bool ok = fitsFloat(x) && fitsFloat(y);
          finite &= ok;
          p[i] = ok ? static_cast<float>(x) : 0.f;
          p[i + 1] = ok ? static_cast<float>(y) : 0.f;
        }
        if (finite) PointBounds(p, path.npts, path.bounds);
        else path.npts = 0;
      }
    }

    ImageBuilder builder(static_cast<float>(mWidth), static_cast<float>(mHeight));
    const Matrix shift = Matrix::Translate(shiftX, shiftY);
    for (const ShapeRecord& record : mShapes) {
      bool any = false;
      for (size_t i = record.firstPath; i < record.endPath; ++i) any |= mPaths[i].npts > 0;
      if (!any) continue;
      const Style& s = record.style;
      const Matrix ctm = shift * s.ctm;
      NSVGshape* shape = builder.AddShape();
      resolvePaint(s.fill, s.fillOpacity, record, ctm, shape->fill);
      resolvePaint(s.stroke, s.strokeOpacity, record, ctm, shape->stroke);
      shape->opacity = static_cast<float>(s.opacity);
      const double scale = s.ctm.MeanScale();
      const double width = s.strokeWidth * scale;
      if (width > 0.0 && fitsFloat(width)) {
        shape->strokeWidth = static_cast<float>(width);
      } else {
        shape->strokeWidth = 0.f;
        ImageBuilder::SetNone(shape->stroke);
      }
      bool dashesOk = s.dashCount > 0;
      for (int i = 0; i < s.dashCount; ++i) dashesOk &= fitsFloat(s.dashes[i] * scale);
      if (dashesOk) {
        for (int i = 0; i < s.dashCount; ++i) shape->strokeDashArray[i] = static_cast<float>(s.dashes[i] * scale);
        shape->strokeDashCount = static_cast<signed char>(s.dashCount);
        const double offset = s.dashOffset * scale;
        shape->strokeDashOffset = fitsFloat(offset) ? static_cast<float>(offset) : 0.f;
      }
      shape->strokeLineJoin = s.join;
      shape->strokeLineCap = s.cap;
      shape->miterLimit = static_cast<float>(s.miterLimit);
      shape->flags = s.visible ? NSVG_FLAGS_VISIBLE : 0;
      for (size_t i = record.firstPath; i < record.endPath; ++i) {
        PathRecord& path = mPaths[i];
        if (path.npts > 0) builder.AddPath(shape, std::move(path.pts), path.npts, path.closed, path.bounds);
      }
    }
    return builder.Release();
  }

  const double mPxPerUnit;
  std::string& mError;
  Viewport mViewport;
  double mWidth = 0.0, mHeight = 0.0;
  bool mWidthFromBounds = false, mHeightFromBounds = false;
  Outline mOutline;
  Gradients mGradients;
  std::vector<PathRecord> mPaths;
  std::vector<ShapeRecord> mShapes;
  size_t mTotalPoints = 0;
};

}  // namespace

namespace {

NSVGimage* parse(char* input, const char* units, float dpi, std::string& error) {
  error.clear();
  if (input == nullptr) {
    error = "no SVG text";
    return nullptr;
  }
  if (!(dpi > 0.f) || !std::isfinite(dpi)) {
    error = "the dots per inch must be a number above 0";
    return nullptr;
  }
  const size_t size = strnlen(input, kMaxInputBytes + 1);
  if (size == 0) {
    error = "the SVG text is empty";
    return nullptr;
  }
  if (size > kMaxInputBytes) {
    error = "the SVG text is larger than 16 MiB";
    return nullptr;
  }
  pugi::xml_document doc;
  const pugi::xml_parse_result result = doc.load_buffer_inplace(input, size, pugi::parse_escapes, pugi::encoding_auto);
  if (!result) {
    error = std::string("malformed XML: ") + result.description() + " at byte " + std::to_string(result.offset);
    return nullptr;
  }
  const pugi::xml_node root = doc.document_element();
  if (!root || LocalName(root.name()) != "svg") {
    error = "the root element is not <svg>";
    return nullptr;
  }
  Reader reader(units, dpi, error);
  return reader.Read(root);
}

}  // namespace

NSVGimage* Parse(char* input, const char* units, float dpi, std::string& error) noexcept {
  // Whatever was built is owned by the reader's records and the image builder, which free
  // it on the way out. The reasons fit a string's own storage: setting them allocates nothing.
  try {
    return parse(input, units, dpi, error);
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  } catch (...) {
    error = "internal error";
  }
  return nullptr;
}

const std::string& LastParseError() { return tLastError; }

}  // namespace svg

NSVGimage* nsvgParse(char* input, const char* units, float dpi) noexcept {
  return svg::Parse(input, units, dpi, svg::tLastError);
}
