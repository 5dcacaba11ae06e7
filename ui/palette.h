#pragma once
// The panel's colour set. The layout builds one per run; every panel control keeps its own
// copy, taken at construction. Plain values.
#include "graphics/Style.h"

namespace balance_panel {

using plugkit::canvas::IColor;

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
