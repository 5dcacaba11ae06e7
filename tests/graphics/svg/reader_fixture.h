#pragma once
// Parsing SVG texts for the reader suites: the image (freed with it) or the reason it
// was refused, and plain views of its shapes, paths and points.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "graphics/svg/nanosvg.h"
#include "graphics/svg/svg_reader.h"

namespace svgtest {

struct Parsed {
  Parsed(std::string text, const char* units = "px", float dpi = 72.f) {
    image = nsvgParse(text.data(), units, dpi);
    error = svg::LastParseError();
  }
  ~Parsed() { nsvgDelete(image); }
  Parsed(const Parsed&) = delete;
  Parsed& operator=(const Parsed&) = delete;

  NSVGimage* image = nullptr;
  std::string error;
};

// A document of width w and height h (no viewBox) around the body.
inline std::string doc(const std::string& body, int w = 200, int h = 200) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(w) + "\" height=\"" +
         std::to_string(h) + "\">" + body + "</svg>";
}

inline std::vector<const NSVGshape*> shapes(const NSVGimage* image) {
  std::vector<const NSVGshape*> out;
  if (image != nullptr)
    for (const NSVGshape* s = image->shapes; s != nullptr; s = s->next) out.push_back(s);
  return out;
}

inline std::vector<const NSVGpath*> paths(const NSVGshape* shape) {
  std::vector<const NSVGpath*> out;
  for (const NSVGpath* p = shape->paths; p != nullptr; p = p->next) out.push_back(p);
  return out;
}

using Pt = std::pair<float, float>;

inline std::vector<Pt> points(const NSVGpath* path) {
  std::vector<Pt> out;
  for (int i = 0; i < path->npts; ++i) out.emplace_back(path->pts[2 * i], path->pts[2 * i + 1]);
  return out;
}

// The only shape of a parsed image (a failure when there is not exactly one).
inline const NSVGshape* onlyShape(const Parsed& p) {
  const auto all = shapes(p.image);
  EXPECT_EQ(all.size(), 1u) << p.error;
  return all.size() == 1 ? all[0] : nullptr;
}

// The points of the only path of the only shape.
inline std::vector<Pt> onlyPath(const Parsed& p) {
  const NSVGshape* s = onlyShape(p);
  if (s == nullptr) return {};
  const auto ps = paths(s);
  EXPECT_EQ(ps.size(), 1u);
  return ps.empty() ? std::vector<Pt>() : points(ps[0]);
}

inline testing::AssertionResult near(Pt actual, Pt expected, float tolerance = 1e-3f) {
  if (std::abs(actual.first - expected.first) <= tolerance && std::abs(actual.second - expected.second) <= tolerance)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "(" << actual.first << ", " << actual.second << ") is not (" << expected.first
                                     << ", " << expected.second << ")";
}

}  // namespace svgtest
