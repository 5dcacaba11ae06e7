#pragma once
// The panel's colour set, and the framework types every panel control names by their short
// names. The layout builds one Palette per run; every panel control keeps its own copy,
// taken at construction. Plain values.
#include "graphics/Events.h"
#include "graphics/Geometry.h"
#include "graphics/Style.h"

namespace plugkit::canvas {
class ICanvas;
}

namespace balance_panel {

using plugkit::canvas::ICanvas;
using plugkit::canvas::IColor;
using plugkit::canvas::IMouseMod;
using plugkit::canvas::IRECT;
using plugkit::canvas::IText;

struct Palette {
  IColor text;
  IColor textMuted;
  IColor textFaint;
  IColor hairline;
  IColor warning;
  IColor danger;
  IColor accent;
  IColor panel;
  IColor contrast;  // the hue opposite the accent
};

}  // namespace balance_panel
