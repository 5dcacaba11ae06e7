// Stand-in for the platform's graphics factory while the platform layer is not part of
// the build: no editor is made, so the host's view gets no window.
#include "framework/ICanvasEditorDelegate.h"

namespace plugkit::canvas {

ICanvas* MakeGraphics(ICanvasEditorDelegate&, int, int, int, float) { return nullptr; }

}  // namespace plugkit::canvas
