#pragma once
// The spectrum panel: over 20 Hz .. 20 kHz on the 180-band grid it draws the target band
// (curve plus and minus its spread), the slow input as an area, where the fast input leaves
// the target band, the fast input as a line, the output as a dashed line and, while a
// correction is wanted, the correction response around a zero line. Three crossover
// handles (low, mid, high: the control's value slots 0, 1, 2) are dragged, double-clicked
// back to their defaults and hovered.
//
// Main thread only. The snapshot comes from a getter on every draw; an empty getter draws
// nothing. Levels that are not finite are drawn at the window's edges (not a number and
// minus infinity at the bottom margin, plus infinity at the top margin).
#include <functional>
#include <string>

#include "engine/dsp/engine_types.h"
#include "graphics/IControl.h"
#include "ui/palette.h"

namespace balance_panel {

class SpectrumControl : public plugkit::canvas::IControl {
public:
  using ViewGetter = std::function<const spectrapoise::dsp::SpectrumView&()>;

  // The window spans 48 dB; a level may leave it by half its height (72 below the top,
  // 24 above), and the clip cuts the rest.
  static constexpr double kWindowDb = 48.0;
  // A handle is hit closer than this many panel units.
  static constexpr float kHitDistance = 10.f;

  SpectrumControl(const IRECT& bounds, int lowParamIdx, int midParamIdx, int highParamIdx, const Palette& palette,
                  const IText& text, ViewGetter view);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void Draw(ICanvas& g) override;
  // The handle at x (the vertical position does not matter), or -1.
  int GetValIdxForPos(float x, float y) const override;

  // The level at the top edge of the picture, kept between draws.
  double windowTop() const { return mTop; }
  int draggedHandle() const { return mDragged; }
  int hoveredHandle() const { return mHovered; }
  // A handle's label: "200", "1000" (999.6 Hz), "1k", "1.2k", "10k" (from 9950 Hz).
  static std::string handleLabel(double hz);

private:
  float xOfFrequency(double hz) const;
  float xOfBand(int k) const;
  float yOfLevel(double level) const;
  // The value in Hz of the parameter at slot, or NaN without one.
  double handleValue(int slot) const;
  int handleAt(float x) const;
  void autoRange(const spectrapoise::dsp::SpectrumView& view);
  void drawGrid(ICanvas& g);
  void drawTargetBand(ICanvas& g, const spectrapoise::dsp::SpectrumView& view, int n);
  void drawInput(ICanvas& g, const spectrapoise::dsp::SpectrumView& view, int n);
  void drawOutput(ICanvas& g, const spectrapoise::dsp::SpectrumView& view, int n);
  void drawCorrection(ICanvas& g, const spectrapoise::dsp::SpectrumView& view, int n);
  void drawHandle(ICanvas& g, int slot);

  Palette mPalette;
  IText mLabelText;
  ViewGetter mView;
  int mDragged = -1;
  int mHovered = -1;
  double mTop = 24.0;
};

}  // namespace balance_panel
