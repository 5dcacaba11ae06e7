#pragma once
// The stock vector sliders: IVSliderControl (one value on a track with a round handle and
// an optionally editable value text), IVTrackControlBase (one track per value: banks of
// meters or steps, with step cells, a fill origin for two-sided fills and a peak strip) and
// IVRangeSliderControl (several values on one track, each with a triangular handle that
// never passes its neighbours). Dragging, fine control and the wheel of the slider come
// from ISliderControlBase (StockBases.h); the look from IVectorBase and IVStyle.
//
// Main thread only. Nothing here fails: the track lists are rebuilt on every resize, and
// drawing before the first one draws no tracks.
#include <initializer_list>
#include <string>
#include <vector>

#include "graphics/IVectorBase.h"
#include "graphics/stock/StockBases.h"

namespace plugkit::canvas {

class IVSliderControl : public ISliderControlBase, public IVectorBase {
public:
  IVSliderControl(const IRECT& bounds, int paramIdx = kNoLinkedParam, const char* label = "",
                  const IVStyle& style = DEFAULT_STYLE, bool valueIsEditable = false,
                  EDirection direction = EDirection::Vertical, double gearing = kDefaultGearing,
                  float handleSize = 8.f, float trackSize = 2.f, bool trackUnderHandle = false,
                  float handleXOffset = 0.f, float handleYOffset = 0.f);
  IVSliderControl(const IRECT& bounds, ActionFunc action, const char* label = "",
                  const IVStyle& style = DEFAULT_STYLE, bool valueIsEditable = false,
                  EDirection direction = EDirection::Vertical, double gearing = kDefaultGearing,
                  float handleSize = 8.f, float trackSize = 2.f, bool trackUnderHandle = false,
                  float handleXOffset = 0.f, float handleYOffset = 0.f);

  void Draw(ICanvas& g) override;
  void DrawWidget(ICanvas& g) override;
  // The whole track in the shadow colour, the filled part in extra 1, a frame on request.
  virtual void DrawTrack(ICanvas& g, const IRECT& filledArea);
  virtual void DrawHandle(ICanvas& g, const IRECT& bounds);

  // The track runs down the middle of the widget, inset by the handle size at its ends; a
  // widget shorter than two handles has a track of no length at its centre (drags then
  // change nothing).
  void OnResize() override;
  // A click on the shown value opens its text box; elsewhere the slider base takes it.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // Sends the value once more on release.
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  // The widget, and the value text when it is editable.
  bool IsHit(float x, float y) const override;
  // Redraws, and takes the value text (with unit) from the linked parameter.
  void SetDirty(bool triggerAction = true, int valIdx = kEveryValIdx) override;
  void OnInit() override;

  bool GetValueMouseOver() const { return mValueMouseOver; }

private:
  void updateValueStr();

  bool mTrackUnderHandle;
  bool mValueMouseOver = false;
  float mHandleXOffset;
  float mHandleYOffset;
};

class IVTrackControlBase : public IControl, public IVectorBase {
public:
  // Value i is linked to the i-th listed parameter (kNoLinkedParam for none). numSteps 0
  // makes continuous tracks.
  IVTrackControlBase(const IRECT& bounds, const char* label, const IVStyle& style, std::initializer_list<int> params,
                     int numSteps = 0, EDirection direction = EDirection::Vertical,
                     std::initializer_list<const char*> trackNames = {});

  void DrawWidget(ICanvas& g) override;
  // The background; a fill origin above 0 is marked by a line in the shadow colour.
  void DrawBackground(ICanvas& g, const IRECT& r) override;
  virtual void DrawTrack(ICanvas& g, const IRECT& r, int chIdx);
  virtual void DrawTrackBackground(ICanvas& g, const IRECT& r, int chIdx);
  virtual void DrawTrackName(ICanvas& g, const IRECT& r, int chIdx);
  virtual void DrawTrackHandle(ICanvas& g, const IRECT& r, int chIdx, bool aboveBaseValue);
  virtual void DrawPeak(ICanvas& g, const IRECT& r, int chIdx, bool aboveBaseValue);
  virtual void MakeTrackRects(const IRECT& bounds);
  // Equal cells along the direction, stored from the far end (entry 0 is the right-most or
  // bottom-most cell); one more than numSteps with the extra lowest step.
  virtual void MakeStepRects(const IRECT& bounds, int numSteps);

  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnResize() override;
  // The track holding the point, or -1.
  int GetValIdxForPos(float x, float y) const override;

  // The step cell the fill of value v shows (counted from the start edge: the bottom or the
  // left), or -1 when none is drawn. Without step cells, -1.
  int StepCellForValue(double v) const;
  const std::vector<IRECT>& GetTrackRects() const { return mTrackBounds; }
  const std::vector<IRECT>& GetStepRects() const { return mStepBounds; }
  EDirection GetDirection() const { return mDirection; }
  void SetTrackGap(float gap) { mTrackPadding = gap; }
  void SetPeakSize(float size) { mPeakSize = size; }
  void SetHighlightedTrack(int chIdx) { mHighlightedTrack = chIdx; SetDirty(false); }
  void SetBaseValue(double value) { mBaseValue = value; SetDirty(false); }
  void SetFrameEachTrack(bool frame) { mFrameEachTrack = frame; }
  void SetExtraLowestStep(bool extra) { mZeroValueStepHasBounds = extra; }
  int GetMouseOverTrack() const { return mMouseOverTrack; }

protected:
  // The cell k counted from the start edge.
  IRECT stepCell(int k) const;

  EDirection mDirection;
  std::vector<IRECT> mTrackBounds;
  std::vector<IRECT> mStepBounds;
  std::vector<std::string> mTrackNames;
  int mNSteps;
  float mTrackPadding = 0.f;
  float mPeakSize = 1.f;
  int mHighlightedTrack = -1;
  int mMouseOverTrack = -1;
  double mBaseValue = 0.0;
  bool mFrameEachTrack = true;
  bool mZeroValueStepHasBounds = true;
};

class IVRangeSliderControl : public IVTrackControlBase {
public:
  // onlyHandle is accepted for compatibility and has no effect.
  IVRangeSliderControl(const IRECT& bounds, std::initializer_list<int> params, const char* label = "",
                       const IVStyle& style = DEFAULT_STYLE, EDirection direction = EDirection::Vertical,
                       bool onlyHandle = false, float handleSize = 8.f, float trackSize = 2.f);

  void Draw(ICanvas& g) override;
  // The span between each pair of neighbouring values filled in extra 1, then one
  // triangular handle per value.
  void DrawWidget(ICanvas& g) override;
  void DrawTrack(ICanvas& g, const IRECT& r, int chIdx) override;
  // Every value shares one track down the middle, inset by the handle size (no length in
  // a widget shorter than two handles).
  void MakeTrackRects(const IRECT& bounds) override;

  // The press picks the handle under the pointer itself (hover may never have happened).
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  // Moves the picked handle along the track, between its neighbours' values.
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;

  IRECT GetHandleBounds(int chIdx) const;
  int GetMouseOverHandle() const { return mMouseOverHandle; }

private:
  int handleAt(float x, float y) const;

  float mHandleSize;
  int mMouseOverHandle = -1;
  bool mMouseDown = false;
};

}  // namespace plugkit::canvas
