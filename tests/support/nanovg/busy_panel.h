#pragma once
// A control-heavy 640 x 400 panel for the drawing class's benchmark and its picture test: a
// background, a spectrum-like control (grid, a filled and a stroked curve of 180 points, a
// dotted line), 24 knob-like controls (gradient plate, arcs, cap, pointer, two texts) and a
// footer text. The layout loads "Roboto-Regular" and "Condensed" (RobotoCondensed-Bold).
// Thread: the main thread, inside a layout function.
namespace plugkit::canvas {
class ICanvas;
}

namespace sp::test {

void attachBusyPanel(plugkit::canvas::ICanvas* g);

}  // namespace sp::test
