#pragma once
// An open editor on the NanoVG drawing class for the suites: one control over the whole
// window (the first, at the back) clears it and draws the scene a test sets; draw() redraws
// everything and reads the main framebuffer's pixels (premultiplied RGBA) back for probes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "graphics/Constants.h"
#include "graphics/nanovg/ICanvasNanoVG.h"
#include "tests/support/render/metal_target.h"
#include "tests/support/nanovg/nanovg_canvas.h"

namespace nanovgtest {

using namespace plugkit::canvas;
using sp::test::NanoVGTestCanvas;
using sp::test::Rgba;

inline void expectNear(const Rgba& got, const Rgba& want, int tolerance, const std::string& where) {
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(got[c], want[c], tolerance) << where << " channel " << c;
}

struct Editor {
  using Scene = std::function<void(ICanvas&)>;

  explicit Editor(int w = 200, int h = 100, float scale = 1.f, float screenScale = 1.f,
                  std::function<void(ICanvas*)> layout = nullptr) {
    dlg.SetMakeGraphicsFunc(NanoVGTestCanvas::factory(dlg, w, h, scale, screenScale));
    dlg.SetLayoutFunc([this, layout](ICanvas* c) {
      c->AttachControl(new sp::test::DrawControl(c->GetBounds(), [this](ICanvas& gr, const IRECT& r) {
        const IBlend clear(EBlend::DstOut, 1.f);
        gr.FillRect(COLOR_BLACK, r, &clear);
        if (scene) scene(gr);
      }));
      if (layout) layout(c);
    });
    dlg.OpenWindow(nullptr);
    g = static_cast<NanoVGTestCanvas*>(dlg.GetGraphics());
  }
  ~Editor() {
    if (dlg.GetGraphics() != nullptr) dlg.CloseWindow();
  }
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  NVGcontext* vg() const { return g->GetContext(); }

  // Draws the scene in a full redraw and reads the main framebuffer back.
  const std::vector<uint8_t>& draw(Scene s) {
    scene = std::move(s);
    g->redrawAll();
    pixels = g->mainPixels(&w, &h);
    return pixels;
  }
  Rgba at(int x, int y) const { return sp::test::pixelAt(pixels, w, x, y); }
  std::string save(const std::string& name) const { return sp::test::savePng(name, w, h, pixels); }

  sp::test::EditorDelegate dlg;
  NanoVGTestCanvas* g = nullptr;
  Scene scene;
  std::vector<uint8_t> pixels;
  int w = 0, h = 0;
};

}  // namespace nanovgtest
