// libFuzzer target: the SVG reader on arbitrary bytes. An image it returns must be whole:
// a finite size above 0, paths of 1 + 3k finite points with their bounds, gradients of 2 to
// NSVG_MAX_STOPS stops with a finite transform, finite stroke widths and dashes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "graphics/svg/nanosvg.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void checkPaint(const NSVGpaint& paint) {
  if (paint.type != NSVG_PAINT_LINEAR_GRADIENT && paint.type != NSVG_PAINT_RADIAL_GRADIENT) return;
  const NSVGgradient* g = paint.gradient;
  check(g != nullptr && g->nstops >= 2 && g->nstops <= NSVG_MAX_STOPS && g->stops != nullptr);
  for (float v : g->xform) check(std::isfinite(v));
  float last = 0.f;
  for (int i = 0; i < g->nstops; ++i) {
    check(g->stops[i].offset >= last && g->stops[i].offset <= 1.f);
    last = g->stops[i].offset;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  // The last byte picks the output units, so that conversions are reached too.
  static const char* const kUnits[] = {"px", "pt", "mm", "in"};
  const char* units = kUnits[size == 0 ? 0 : data[size - 1] % 4];
  NSVGimage* image = nsvgParse(text.data(), units, 96.f);
  if (image == nullptr) return 0;
  check(std::isfinite(image->width) && image->width > 0.f);
  check(std::isfinite(image->height) && image->height > 0.f);
  for (const NSVGshape* s = image->shapes; s != nullptr; s = s->next) {
    check(s->paths != nullptr);
    check(std::isfinite(s->strokeWidth) && s->strokeWidth >= 0.f);
    check(s->opacity >= 0.f && s->opacity <= 1.f);
    check(s->strokeDashCount >= 0 && s->strokeDashCount <= 8);
    for (int i = 0; i < s->strokeDashCount; ++i) check(std::isfinite(s->strokeDashArray[i]));
    checkPaint(s->fill);
    checkPaint(s->stroke);
    for (const NSVGpath* p = s->paths; p != nullptr; p = p->next) {
      check(p->npts >= 4 && (p->npts - 1) % 3 == 0);
      for (int i = 0; i < p->npts; ++i) {
        const float x = p->pts[2 * i], y = p->pts[2 * i + 1];
        check(std::isfinite(x) && std::isfinite(y));
        check(x >= p->bounds[0] && x <= p->bounds[2] && y >= p->bounds[1] && y <= p->bounds[3]);
      }
    }
  }
  nsvgDelete(image);
  return 0;
}
