#pragma once
// The row of five correction readouts under the spectrum: "TILT" in dB per octave and
// "LOW", "LO-MID", "HI-MID", "HIGH" in dB, each with a small centred bar; a dash while no
// correction is measured; a "HELD" badge in place of the bar for a region whose value is
// held. It takes no mouse input. Its drawn area (GetRECT) reaches below the rectangle it
// is built with (its target rectangle, from whose top it lays out) far enough to hold the
// badge.
//
// Main thread only. The layout fills the public fields after construction. The readouts
// come from a getter on every draw; an empty getter draws nothing. A value that is not
// finite prints "−inf" and draws no bar.
#include <array>
#include <functional>

#include "engine/dsp/engine_types.h"
#include "graphics/IControl.h"
#include "ui/palette.h"

namespace balance_panel {

class ReadoutsControl : public plugkit::canvas::IControl {
public:
  using ReadoutsGetter = std::function<spectrapoise::dsp::Readouts()>;

  explicit ReadoutsControl(const IRECT& bounds);

  void Draw(ICanvas& g) override;

  // The x of each column's centre, tilt first.
  std::array<float, 5> columnCentres{};
  Palette palette{};
  IText labelText;
  IText valueText;
  IText unitText;
  ReadoutsGetter readouts;
};

}  // namespace balance_panel
