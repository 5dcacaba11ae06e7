#pragma once
// The stock gallery: one of every stock control, laid out on two pages (each a grid over a
// graphics context), each under a tag of its own. The product's panel places none of
// them; the suites of the stock controls drive them here, and a picture of the gallery can
// be drawn once a drawing backend exists. Main thread only; attaching fails only as
// attaching any control does (a tag already taken leaves that control out).
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

// Five columns over the context's bounds, in four rows sized to their controls; the group
// frame is attached last.
void attach(plugkit::canvas::ICanvas& g, const Params& params);

// The second page: the controls that draw images, the directory browser, and the special
// controls (drawn menu and text entry, value bubble, corner resizer, frame-rate display),
// which it attaches to the context. Its bitmaps come from the caller (an empty one leaves
// its control empty, drawing nothing); its SVG images are made here.
struct ImageParams {
  plugkit::canvas::IBitmap frames;  // three frames stacked (knob, switch, meter, plain bitmap)
  plugkit::canvas::IBitmap handle;  // one frame (slider handle, button, rotating knob)
  plugkit::canvas::IBitmap font;    // a bitmap font, characters from code 32 up
  const char* folder = "";          // the folder the file menu lists (".txt" files)
  int level = plugkit::canvas::kNoLinkedParam;   // a continuous parameter (knobs, sliders, caption)
  int toggle = plugkit::canvas::kNoLinkedParam;  // a bool parameter (toggles)
  int three = plugkit::canvas::kNoLinkedParam;   // a parameter of three steps (the 3-frame bitmap switch)
};

enum ImageTag : int {
  kFileMenu = 2000,
  kValueCaption,
  kSVGButton,
  kSVGToggle,
  kSVGKnob,
  kSVGSwitch,
  kSVGSlider,
  kBitmap,
  kBitmapMeter,
  kBitmapButton,
  kBitmapSwitch,
  kBitmapSlider,
  kBitmapKnob,
  kBitmapRotater,
  kBitmapText,
  kEndImageTag,
};

// A 5 x 4 grid over the context's bounds; the frame-rate display takes the last two cells.
void attachImagesAndOverlays(plugkit::canvas::ICanvas& g, const ImageParams& params);

}  // namespace stock_gallery
