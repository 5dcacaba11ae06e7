#pragma once
// The editor delegate that owns the editor's graphics context. Placeholder: the graphics
// side replaces this with the full class (graphics context, make-graphics and layout
// functions, OpenWindow/CloseWindow, editor-state record). The framework reaches the
// editor only through the virtual hooks of IEditorDelegate.
#include "framework/IEditorDelegate.h"

namespace plugkit::canvas {

class ICanvasEditorDelegate : public plugkit::IEditorDelegate {
public:
  using IEditorDelegate::IEditorDelegate;
};

}  // namespace plugkit::canvas
