// libFuzzer target: font bytes through the drawing class into NanoVG's font stash. Each input
// is registered with LoadFont in a fresh headless editor; a font the check lets through is
// then measured and drawn with text that reaches its character map, metrics, kerning and
// outlines: measured at the largest glyph size and drawn at a small one.
#include <cstddef>
#include <cstdint>

#include "graphics/Constants.h"
#include "tests/support/nanovg/nanovg_canvas.h"

using namespace plugkit::canvas;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (size_t{1} << 20)) return 0;
  sp::test::EditorDelegate dlg;
  dlg.SetMakeGraphicsFunc(sp::test::NanoVGTestCanvas::factory(dlg, 64, 32, 1.f, 1.f));
  static const char kText[] = "AVWa fi\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF\xF0\x9F\x98\x80 Ty.";
  dlg.SetLayoutFunc([&](ICanvas* c) {
    if (!c->LoadFont("fuzz", const_cast<uint8_t*>(data), static_cast<int>(size))) return;
    c->AttachControl(new sp::test::DrawControl(c->GetBounds(), [](ICanvas& g, const IRECT& r) {
      // Measured at the largest glyph size (metrics only), drawn at a small one.
      for (float textSize : {1e6f, 12.f}) {
        const IText text(textSize, COLOR_BLACK, "fuzz");
        IRECT bounds = r;
        g.MeasureText(text, kText, bounds);
      }
      g.DrawText(IText(12.f, COLOR_BLACK, "fuzz"), kText, r);
    }));
  });
  dlg.OpenWindow(nullptr);
  if (auto* g = static_cast<sp::test::NanoVGTestCanvas*>(dlg.GetGraphics())) g->redrawAll();
  dlg.CloseWindow();
  return 0;
}
