#pragma once
// Test scenes drawn through NanoVG alone, so that any back end can draw them: the gallery
// program, the renderer's pixel tests (against NanoVG's GL back end) and the benchmarks share
// them. Each scene draws inside nvgBeginFrame/nvgEndFrame of a w x h frame on a cleared target.
// Thread: the caller's drawing thread. Failures: loadAssets answers false with a reason.
#include <string>
#include <vector>

struct NVGcontext;

namespace gallery {

// Fonts and images the scenes use, made once per NanoVG context.
struct Assets {
  int font = -1;      // "Roboto-Regular"
  int images[5] = {};  // one 16 x 16 image per NanoVG texture type (ALPHA, BGR, BGRA, RGB, RGBA)
  int checker = 0;     // 8 x 8 RGBA checker, repeat in x and y, nearest filtering
};
bool loadAssets(NVGcontext* vg, Assets& assets, std::string* error);
// The Roboto-Regular font file of the build.
std::string robotoPath();

struct Scene {
  const char* name;
  void (*draw)(NVGcontext* vg, float w, float h, const Assets& assets);
};
// Every scene of the gallery, in order.
const std::vector<Scene>& scenes();

// Single scenes (also in the list): the benchmark's busy scene (300 gradient rounded rects,
// 50 antialiased strokes, 20 lines of text) and its floor, one opaque fill of the frame.
void drawBusy(NVGcontext* vg, float w, float h, const Assets& assets);
void drawPlainFill(NVGcontext* vg, float w, float h, const Assets& assets);

}  // namespace gallery
