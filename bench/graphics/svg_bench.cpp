// Drawing one SVG shape of 100 closed paths of 16 cubics each (a 10 x 10 grid of circles)
// on a canvas that only counts the primitives: the hole test compares every path with
// every other one. Anchor in the same run: the vector graphics library filling the same
// paths with render callbacks that do nothing (it flattens and tessellates them).
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"
#include "graphics/svg/svg_builder.h"
#include "tests/support/canvas/test_canvas.h"

#include "nanovg.h"

namespace {

using namespace plugkit::canvas;

constexpr int kGrid = 10;
constexpr int kCubics = 16;

// The points of one circle: a start point, then 16 cubics approximating its arcs.
std::vector<svg::Point> circle(float cx, float cy, float r) {
  std::vector<svg::Point> pts;
  const double step = 2.0 * std::numbers::pi / kCubics;
  const double k = 4.0 / 3.0 * std::tan(step / 4.0) * r;
  auto at = [&](double a) { return svg::Point{cx + r * static_cast<float>(std::cos(a)), cy + r * static_cast<float>(std::sin(a))}; };
  pts.push_back(at(0));
  for (int i = 0; i < kCubics; ++i) {
    const double a0 = i * step, a1 = (i + 1) * step;
    const svg::Point p0 = at(a0), p1 = at(a1);
    pts.push_back({p0.x - static_cast<float>(k * std::sin(a0)), p0.y + static_cast<float>(k * std::cos(a0))});
    pts.push_back({p1.x + static_cast<float>(k * std::sin(a1)), p1.y - static_cast<float>(k * std::cos(a1))});
    pts.push_back(p1);
  }
  return pts;
}

NSVGimage* gridImage() {
  svg::ImageBuilder b(200, 200);
  NSVGshape* shape = b.AddShape();
  svg::ImageBuilder::SetColor(shape->fill, svg::PackColor(200, 30, 30));
  for (int row = 0; row < kGrid; ++row)
    for (int col = 0; col < kGrid; ++col) b.AddPath(shape, circle(10.f + 20.f * col, 10.f + 20.f * row, 8.f), true);
  return b.Release();
}

class Delegate : public ICanvasEditorDelegate {
public:
  Delegate() : ICanvasEditorDelegate(0) {}
  void OnUIOpen() override {}
};

// A canvas whose path primitives only count.
class CountingCanvas : public sp::test::TestCanvas {
public:
  using TestCanvas::TestCanvas;
  long calls = 0;
  void PathClear() override { ++calls; }
  void PathClose() override { ++calls; }
  void PathMoveTo(float, float) override { ++calls; }
  void PathLineTo(float, float) override { ++calls; }
  void PathSetWinding(bool) override { ++calls; }
  void PathCubicBezierTo(float, float, float, float, float, float) override { ++calls; }
  void PathFill(const IPattern&, const IFillOptions&, const IBlend*) override { ++calls; }
  void PathStroke(const IPattern&, float, const IStrokeOptions&, const IBlend*) override { ++calls; }
  void PathTransformSetMatrix(const IMatrix&) override { ++calls; }
};

void BM_DoDrawSVG(benchmark::State& state) {
  Delegate dlg;
  sp::test::TestPlatform platform;
  CountingCanvas g(platform, dlg, 200, 200);
  NSVGimage* image = gridImage();
  const ISVG svg(image);
  for (auto _ : state) {
    g.DoDrawSVG(svg);
    benchmark::DoNotOptimize(g.calls);
  }
  nsvgDelete(image);
}
BENCHMARK(BM_DoDrawSVG);

// Render callbacks that do nothing: what is measured is the library's own path work.
int noCreate(void*, void*) { return 1; }
int noCreateTexture(void*, int, int, int, int, const unsigned char*) { return 1; }
int noDeleteTexture(void*, int) { return 1; }
int noUpdateTexture(void*, int, int, int, int, int, const unsigned char*) { return 1; }
int noTextureSize(void*, int, int* w, int* h) {
  *w = *h = 512;
  return 1;
}
void noViewport(void*, float, float, float) {}
void noCancel(void*) {}
void noFlush(void*) {}
void noFill(void*, NVGpaint*, NVGcompositeOperationState, NVGscissor*, float, const float*, const NVGpath*, int) {}
void noStroke(void*, NVGpaint*, NVGcompositeOperationState, NVGscissor*, float, float, const NVGpath*, int) {}
void noTriangles(void*, NVGpaint*, NVGcompositeOperationState, NVGscissor*, const NVGvertex*, int, float) {}
void noDelete(void*) {}

void BM_NanoVGFillSamePaths(benchmark::State& state) {
  NVGparams params{};
  params.edgeAntiAlias = 1;
  params.renderCreate = noCreate;
  params.renderCreateTexture = noCreateTexture;
  params.renderDeleteTexture = noDeleteTexture;
  params.renderUpdateTexture = noUpdateTexture;
  params.renderGetTextureSize = noTextureSize;
  params.renderViewport = noViewport;
  params.renderCancel = noCancel;
  params.renderFlush = noFlush;
  params.renderFill = noFill;
  params.renderStroke = noStroke;
  params.renderTriangles = noTriangles;
  params.renderDelete = noDelete;
  NVGcontext* vg = nvgCreateInternal(&params, nullptr);
  NSVGimage* image = gridImage();
  for (auto _ : state) {
    nvgBeginFrame(vg, 200, 200, 1);
    nvgBeginPath(vg);
    for (const NSVGpath* path = image->shapes->paths; path != nullptr; path = path->next) {
      const float* p = path->pts;
      nvgMoveTo(vg, p[0], p[1]);
      for (int i = 1; i + 2 < path->npts; i += 3)
        nvgBezierTo(vg, p[2 * i], p[2 * i + 1], p[2 * i + 2], p[2 * i + 3], p[2 * i + 4], p[2 * i + 5]);
      nvgClosePath(vg);
      nvgPathWinding(vg, NVG_SOLID);
    }
    nvgFillColor(vg, nvgRGBA(200, 30, 30, 255));
    nvgFill(vg);
    nvgEndFrame(vg);
  }
  nsvgDelete(image);
  nvgDeleteInternal(vg);
}
BENCHMARK(BM_NanoVGFillSamePaths);

}  // namespace
