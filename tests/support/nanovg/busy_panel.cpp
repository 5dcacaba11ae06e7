// The control-heavy panel (see busy_panel.h).
#include "tests/support/nanovg/busy_panel.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "graphics/Constants.h"
#include "tests/support/nanovg/nanovg_canvas.h"

namespace sp::test {

using namespace plugkit::canvas;

namespace {

// Gradient plate, track and value arcs, cap, pointer, label and value text.
void drawKnob(ICanvas& g, const IRECT& r, float value) {
  IPattern plate(EPatternType::Linear);
  plate.AddStop(IColor(255, 60, 64, 72), 0.f);
  plate.AddStop(IColor(255, 30, 32, 36), 1.f);
  plate.SetTransform(IMatrix(1.f / r.Height(), 0, 0, 1.f / r.Height(), 0, -r.T / r.Height()));
  g.PathClear();
  g.PathRoundRect(r.GetPadded(-2.f), 6.f);
  g.PathFill(plate);
  const float cx = r.CentreX(), cy = r.T + 30.f;
  g.DrawArc(IColor(255, 80, 80, 90), cx, cy, 18.f, -135.f, 135.f, nullptr, 3.f);
  g.DrawArc(IColor(255, 21, 232, 121), cx, cy, 18.f, -135.f, -135.f + 270.f * value, nullptr, 3.f);
  g.FillCircle(IColor(255, 200, 200, 205), cx, cy, 11.f);
  g.DrawRadialLine(COLOR_BLACK, cx, cy, -135.f + 270.f * value, 4.f, 10.f, nullptr, 2.f);
  g.DrawText(IText(12.f, IColor(255, 250, 250, 250)), "Low Mid", r.GetFromBottom(28.f).GetFromTop(14.f));
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dB", (value - 0.5f) * 12.f);
  g.DrawText(IText(11.f, IColor(160, 250, 250, 250), "Condensed"), text, r.GetFromBottom(14.f));
}

void drawSpectrum(ICanvas& g, const IRECT& r, const std::vector<float>& a, const std::vector<float>& b) {
  g.FillRect(IColor(255, 20, 22, 26), r);
  g.DrawGrid(IColor(40, 250, 250, 250), r, r.Width() / 10.f, r.Height() / 6.f);
  const IColor fill(60, 21, 232, 121);
  g.DrawData(IColor(255, 21, 232, 121), r, a.data(), int(a.size()), nullptr, nullptr, 1.5f, &fill);
  g.DrawData(IColor(255, 250, 250, 250), r, b.data(), int(b.size()), nullptr, nullptr, 1.f);
  g.DrawDottedLine(IColor(120, 250, 250, 250), r.L, r.CentreY(), r.R, r.CentreY(), nullptr, 1.f, 3.f);
}

}  // namespace

void attachBusyPanel(ICanvas* g) {
  g->LoadFont("Roboto-Regular", "Roboto-Regular.ttf");
  g->LoadFont("Condensed", "RobotoCondensed-Bold.ttf");
  g->AttachPanelBackground(IColor(255, 14, 15, 18));
  auto curves = std::make_shared<std::vector<float>[]>(2);
  for (int i = 0; i < 180; ++i) {
    curves[0].push_back(0.5f + 0.3f * std::sin(float(i) * 0.07f));
    curves[1].push_back(0.45f + 0.2f * std::cos(float(i) * 0.11f));
  }
  g->AttachControl(new DrawControl(IRECT(10, 10, 630, 190), [curves](ICanvas& gr, const IRECT& r) {
    drawSpectrum(gr, r, curves[0], curves[1]);
  }));
  for (int i = 0; i < 24; ++i) {  // two rows of twelve
    const float x = 10.f + float(i % 12) * 51.5f, y = 200.f + float(i / 12) * 95.f;
    const float value = float(i) / 23.f;
    g->AttachControl(new DrawControl(IRECT(x, y, x + 50.f, y + 92.f),
                                     [value](ICanvas& gr, const IRECT& r) { drawKnob(gr, r, value); }));
  }
  g->AttachControl(new DrawControl(IRECT(10, 390, 630, 400), [](ICanvas& gr, const IRECT& r) {
    gr.DrawText(IText(8.f, IColor(120, 250, 250, 250)), "SpectraPoise 1.2.3 · Balanced", r);
  }));
}

}  // namespace sp::test
