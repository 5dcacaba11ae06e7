#pragma once
// Stock controls that draw frames of a multi-frame bitmap (loaded by the graphics context
// and owned by its cache) instead of vectors: the mix-in IBitmapBase and a plain bitmap,
// a level meter fed by messages, a button, a switch, a slider, a knob that shows the frame
// of its value, a knob that turns one image, and a bitmap-font text. Mouse behaviour is
// their bases'.
//
// A bitmap of n frames (side by side or stacked) shows frame round((n - 1) x value) + 1 of
// 1..n, at its own size, centred in the control. Every bitmap control loads its bitmap
// again for the screen's scale (rounded up) when the scale changes.
//
// Main thread only. Nothing here fails: an empty bitmap draws nothing; a meter message
// that is short, names channels the record or the meter does not have, or carries values
// that are not numbers changes nothing it cannot read (a value that is not a number reads
// as 0).
#include "graphics/IKnobControlBase.h"
#include "graphics/ITextControl.h"
#include "graphics/Resources.h"
#include "graphics/stock/StockBases.h"

namespace plugkit::canvas {

class IBitmapBase {
public:
  explicit IBitmapBase(const IBitmap& bitmap) : mBitmap(bitmap) {}
  virtual ~IBitmapBase() = default;

  // The frame of the control's value 0, at its own size, centred in the control.
  void DrawBitmap(ICanvas& g);
  // The bitmap loaded again for the screen's scale.
  void OnRescale();
  // The frame (1..n) a value shows.
  static int FrameFor(const IBitmap& bitmap, double value);

  void AttachIControl(IControl* control) { mControl = control; }
  const IBitmap& GetBitmap() const { return mBitmap; }

protected:
  IBitmap mBitmap;
  IControl* mControl = nullptr;
};

class IBitmapControl : public IControl, public IBitmapBase {
public:
  // At (x, y), one frame in size; the blend of that type at full weight.
  IBitmapControl(float x, float y, const IBitmap& bitmap, int paramIdx = kNoLinkedParam,
                 EBlend blend = EBlend::Default);
  IBitmapControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx = kNoLinkedParam,
                 EBlend blend = EBlend::Default);

  void Draw(ICanvas& g) override { DrawBitmap(g); }
  void OnRescale() override { IBitmapBase::OnRescale(); }
};

class IBMeterControl : public IBitmapControl {
public:
  // Levels in decibels map lowDb..highDb onto 0..1; else linear values are taken as they
  // come (limited to 0..1).
  IBMeterControl(float x, float y, const IBitmap& bitmap, float lowDb = -60.f, float highDb = 0.f,
                 bool decibels = true, EBlend blend = EBlend::Default);

  // Message 0 carries {control tag, channel count, first channel (int32 each), then one
  // float per channel from the first on}; channel c sets value c. Nothing while disabled.
  void OnMsgFromDelegate(int msgTag, int dataSize, const void* data) override;

private:
  float mHighDb;
  float mLowDb;
  bool mDecibels;
};

class IBButtonControl : public IButtonControlBase, public IBitmapBase {
public:
  IBButtonControl(float x, float y, const IBitmap& bitmap, ActionFunc action = DefaultClickActionFunc);
  IBButtonControl(const IRECT& bounds, const IBitmap& bitmap, ActionFunc action = DefaultClickActionFunc);

  void Draw(ICanvas& g) override { DrawBitmap(g); }
  void OnRescale() override { IBitmapBase::OnRescale(); }
};

class IBSwitchControl : public ISwitchControlBase, public IBitmapBase {
public:
  IBSwitchControl(float x, float y, const IBitmap& bitmap, int paramIdx = kNoLinkedParam);
  IBSwitchControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx = kNoLinkedParam);

  void Draw(ICanvas& g) override { DrawBitmap(g); }
  void OnRescale() override { IBitmapBase::OnRescale(); }
  // One frame further, back to the first after the last.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
};

class IBSliderControl : public ISliderControlBase, public IBitmapBase {
public:
  // The handle bitmap in the mix-in; the track bitmap may be empty.
  IBSliderControl(float x, float y, float trackLength, const IBitmap& handleBitmap, const IBitmap& trackBitmap = IBitmap(),
                  int paramIdx = kNoLinkedParam, EDirection direction = EDirection::Vertical,
                  double gearing = kDefaultGearing);
  IBSliderControl(const IRECT& bounds, const IBitmap& handleBitmap, const IBitmap& trackBitmap = IBitmap(),
                  int paramIdx = kNoLinkedParam, EDirection direction = EDirection::Vertical,
                  double gearing = kDefaultGearing);

  void Draw(ICanvas& g) override;
  // The track: the track bitmap's frame centred in the bounds, else a band through the
  // middle as wide (vertical) or as high (horizontal) as the handle. The pointer maps onto
  // the handle's travel: the track less one handle.
  void OnResize() override;
  void OnRescale() override;
  // The handle's frame at value v (negative: the current value).
  IRECT GetHandleBounds(double value = -1.0) const;
  const IRECT& GetTrackBounds() const { return mTrackBounds; }

private:
  IBitmap mTrackBitmap;
  IRECT mTrackBounds;
};

class IBKnobControl : public IKnobControlBase, public IBitmapBase {
public:
  IBKnobControl(float x, float y, const IBitmap& bitmap, int paramIdx = kNoLinkedParam,
                EDirection direction = EDirection::Vertical, double gearing = kDefaultGearing);
  IBKnobControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx = kNoLinkedParam,
                EDirection direction = EDirection::Vertical, double gearing = kDefaultGearing);

  // The frame of the value.
  void Draw(ICanvas& g) override { DrawBitmap(g); }
  void OnRescale() override { IBitmapBase::OnRescale(); }
};

class IBKnobRotaterControl : public IBKnobControl {
public:
  using IBKnobControl::IBKnobControl;

  // The bitmap turned from -130 degrees (value 0) to 130 (value 1) about the centre.
  void Draw(ICanvas& g) override;
};

class IBTextControl : public ITextControl, public IBitmapBase {
public:
  IBTextControl(const IRECT& bounds, const IBitmap& bitmap, const IText& text = DEFAULT_TEXT, const char* str = "",
                int charWidth = 6, int charHeight = 12, int charOffset = 0, bool multiLine = false,
                bool vCentre = true, EBlend blend = EBlend::Default);

  void Draw(ICanvas& g) override;
  void OnRescale() override { IBitmapBase::OnRescale(); }

private:
  int mCharWidth;
  int mCharHeight;
  int mCharOffset;
  bool mMultiLine;
  bool mVCentre;
};

}  // namespace plugkit::canvas
