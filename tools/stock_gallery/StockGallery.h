#pragma once
// The stock gallery: one of every stock control, laid out on a grid over a graphics
// context, each under a tag of its own. The product's panel places none of them; the
// suites of the stock controls drive them here, and a picture of the gallery can be drawn
// once a drawing backend exists. Main thread only; attaching fails only as attaching any
// control does (a tag already taken leaves that control out).
#include "graphics/ICanvas.h"

namespace stock_gallery {

// The parameters the controls bind; kNoLinkedParam leaves a control unlinked.
struct Params {
  int toggle = plugkit::canvas::kNoLinkedParam;  // a bool parameter (switch, toggles)
  int choice = plugkit::canvas::kNoLinkedParam;  // an enum parameter (caption, tabs, radio, menu button)
  int steps = plugkit::canvas::kNoLinkedParam;   // a stepped int parameter (slide switch, horizontal slider)
  int level = plugkit::canvas::kNoLinkedParam;   // a continuous parameter (vertical slider, step bank)
  int x = plugkit::canvas::kNoLinkedParam;       // two continuous parameters (XY pad, range slider)
  int y = plugkit::canvas::kNoLinkedParam;
};

enum Tag : int {
  kLink = 1000,
  kTextToggle,
  kCaption,
  kPlaceHolder,
  kLabel,
  kButton,
  kSwitch,
  kToggle,
  kSlideSwitch,
  kTabs,
  kRadio,
  kMenuButton,
  kVerticalSlider,
  kHorizontalSlider,
  kStepBank,
  kRangeSlider,
  kXYPad,
  kPlot,
  kGroup,
  kSwatch,
  kEndTag,
};

// The group the group frame surrounds (the label and the button).
inline constexpr const char* kGroupName = "stock-gallery";

// A 4 x 6 grid over the context's bounds; the group frame is attached last.
void attach(plugkit::canvas::ICanvas& g, const Params& params);

}  // namespace stock_gallery
