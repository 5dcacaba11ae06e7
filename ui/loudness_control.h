#pragma once
// The loudness column: a caption naming the measurement ("SHORT-TERM", or "INTEGRATED" with
// its elapsed time) with a swap mark, the loudness as a large number over "LUFS", a meter
// over -30..-6 LUFS with the target zone and marker, a status line about the distance to
// the target, "TARGET", a hairline, and the true peak with its caption. A left press on the
// upper part (down to 118 units below the top, inclusive) runs the click callback, a double
// click the double-click callback. It lays out from the rectangle it is built with (its
// target rectangle); its drawn area (GetRECT) starts a little higher, where the hover fill
// does.
//
// Main thread only. The reading comes from a getter on every draw; an empty getter draws
// nothing and empty callbacks are skipped. A level that is not finite counts as nothing
// measured ("−inf"); elapsed seconds are taken within 0..1e9.
#include <functional>
#include <string>

#include "graphics/IControl.h"
#include "ui/palette.h"

namespace balance_panel {

// One reading of the meters, built fresh by the getter. A level of -150 means nothing
// measured.
struct LoudnessReading {
  double shortTerm = -150.0;           // LUFS
  double targetLoudness = -14.0;       // LUFS, the "Loudness Target" parameter
  double truePeakRecent = -150.0;      // dBTP over the last 3 s
  double integrated = -150.0;          // LUFS
  double integratedSeconds = 0.0;      // seconds the integrated value covers
  double truePeakSinceReset = -150.0;  // dBTP
  bool integratedMode = false;         // the meter shows the integrated value
};

class LoudnessControl : public plugkit::canvas::IControl {
public:
  using ReadingGetter = std::function<LoudnessReading()>;

  // The part above this many units below the top answers the mouse.
  static constexpr float kHitHeight = 118.f;

  LoudnessControl(const IRECT& bounds, const Palette& palette, const IText& captionText, const IText& numberText,
                  const IText& statusText, const IText& scaleText, ReadingGetter reading,
                  std::function<void()> onClick, std::function<void()> onDoubleClick);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void Draw(ICanvas& g) override;
  bool IsHit(float x, float y) const override;

  // The caption: "SHORT-TERM", "INTEGRATED · 0:59", "INTEGRATED · 1:02:05".
  static std::string caption(const LoudnessReading& reading);

private:
  // The x of a level on the meter's track (-30 at its left end, -6 at its right).
  float xOnTrack(const IRECT& track, double level) const;

  Palette mPalette;
  IText mCaptionText;
  IText mNumberText;
  IText mStatusText;
  IText mScaleText;
  ReadingGetter mReading;
  std::function<void()> mOnClick;
  std::function<void()> mOnDoubleClick;
};

}  // namespace balance_panel
