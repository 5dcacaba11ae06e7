#include "graphics/stock/BitmapControls.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

IRECT frameAt(float x, float y, const IBitmap& bitmap) {
  return IRECT(x, y, x + static_cast<float>(bitmap.FW()), y + static_cast<float>(bitmap.FH()));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The mix-in

int IBitmapBase::FrameFor(const IBitmap& bitmap, double value) {
  const int n = bitmap.N();
  if (n <= 1 || !std::isfinite(value)) return 1;
  return std::clamp(static_cast<int>(std::round((n - 1) * value)) + 1, 1, n);
}

void IBitmapBase::DrawBitmap(ICanvas& g) {
  if (mControl == nullptr || !mBitmap.IsValid()) return;
  const IRECT dest =
      mControl->GetRECT().GetCentredInside(static_cast<float>(mBitmap.FW()), static_cast<float>(mBitmap.FH()));
  g.DrawBitmap(mBitmap, dest, FrameFor(mBitmap, mControl->GetValue(0)), &mControl->GetBlend());
}

void IBitmapBase::OnRescale() {
  ICanvas* g = mControl != nullptr ? mControl->GetGraphics() : nullptr;
  if (g == nullptr || !mBitmap.IsValid()) return;
  const IBitmap scaled = g->GetScaledBitmap(mBitmap);
  if (scaled.IsValid()) mBitmap = scaled;
}

// ---------------------------------------------------------------------------------------
// Plain bitmap and meter

IBitmapControl::IBitmapControl(float x, float y, const IBitmap& bitmap, int paramIdx, EBlend blend)
    : IBitmapControl(frameAt(x, y, bitmap), bitmap, paramIdx, blend) {}

IBitmapControl::IBitmapControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx, EBlend blend)
    : IControl(bounds, paramIdx), IBitmapBase(bitmap) {
  mBlend = IBlend(blend, 1.f);
  AttachIControl(this);
}

IBMeterControl::IBMeterControl(float x, float y, const IBitmap& bitmap, float lowDb, float highDb, bool decibels,
                               EBlend blend)
    : IBitmapControl(x, y, bitmap, kNoLinkedParam, blend), mHighDb(highDb), mLowDb(lowDb), mDecibels(decibels) {}

void IBMeterControl::OnMsgFromDelegate(int msgTag, int dataSize, const void* data) {
  if (msgTag != 0 || IsDisabled()) return;
  constexpr int kHeader = 3 * static_cast<int>(sizeof(int32_t));
  auto level = [this](float x) {
    double v = x;
    if (mDecibels) {
      const double range = std::fabs(static_cast<double>(mHighDb) - mLowDb);
      v = (20.0 * std::log10(std::fabs(v)) + std::fabs(static_cast<double>(mLowDb))) / range;
    }
    return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
  };

  if (data == nullptr || dataSize < 20) {
    SetValue(0.0, 0);
  } else {
    const auto* bytes = static_cast<const uint8_t*>(data);
    int32_t count = 0, offset = 0;
    std::memcpy(&count, bytes + sizeof(int32_t), sizeof count);
    std::memcpy(&offset, bytes + 2 * sizeof(int32_t), sizeof offset);
    // Only channels that both the record and this meter hold; a negative count or first
    // channel names none.
    if (count > 0 && offset >= 0) {
      // The record's values belong to channels offset, offset + 1, ... in turn.
      const int64_t inRecord = (static_cast<int64_t>(dataSize) - kHeader) / static_cast<int64_t>(sizeof(float));
      const int64_t n = std::min<int64_t>({static_cast<int64_t>(count), inRecord, NVals() - static_cast<int64_t>(offset)});
      for (int64_t i = 0; i < n; ++i) {
        float x = 0.f;
        std::memcpy(&x, bytes + kHeader + i * static_cast<int64_t>(sizeof(float)), sizeof x);
        SetValue(level(x), static_cast<int>(offset + i));
      }
    }
  }
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------
// Button and switch

IBButtonControl::IBButtonControl(float x, float y, const IBitmap& bitmap, ActionFunc action)
    : IBButtonControl(frameAt(x, y, bitmap), bitmap, std::move(action)) {}

IBButtonControl::IBButtonControl(const IRECT& bounds, const IBitmap& bitmap, ActionFunc action)
    : IButtonControlBase(bounds, std::move(action)), IBitmapBase(bitmap) {
  AttachIControl(this);
}

IBSwitchControl::IBSwitchControl(float x, float y, const IBitmap& bitmap, int paramIdx)
    : IBSwitchControl(frameAt(x, y, bitmap), bitmap, paramIdx) {}

IBSwitchControl::IBSwitchControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx)
    : ISwitchControlBase(bounds, paramIdx, SplashClickActionFunc, 2), IBitmapBase(bitmap) {
  AttachIControl(this);
}

void IBSwitchControl::OnMouseDown(float, float, const IMouseMod&) {
  const int frames = mBitmap.N();
  double v = GetValue(0) + (frames < 2 ? 1.0 : 1.0 / (frames - 1));
  if (v > 1.001) v = 0.0;
  SetValue(v, 0);
  SetDirty(true);
}

// ---------------------------------------------------------------------------------------
// Slider

IBSliderControl::IBSliderControl(float x, float y, float trackLength, const IBitmap& handleBitmap,
                                 const IBitmap& trackBitmap, int paramIdx, EDirection direction, double gearing)
    : IBSliderControl(direction == EDirection::Horizontal
                          ? IRECT(x, y, x + trackLength, y + static_cast<float>(handleBitmap.H()))
                          : IRECT(x, y, x + static_cast<float>(handleBitmap.W()), y + trackLength),
                      handleBitmap, trackBitmap, paramIdx, direction, gearing) {}

IBSliderControl::IBSliderControl(const IRECT& bounds, const IBitmap& handleBitmap, const IBitmap& trackBitmap,
                                 int paramIdx, EDirection direction, double gearing)
    : ISliderControlBase(bounds, paramIdx, direction, gearing,
                         static_cast<float>(direction == EDirection::Horizontal ? handleBitmap.W() : handleBitmap.H())),
      IBitmapBase(handleBitmap),
      mTrackBitmap(trackBitmap) {
  AttachIControl(this);
}

void IBSliderControl::OnResize() {
  ISliderControlBase::OnResize();
  const float fw = static_cast<float>(mBitmap.FW()), fh = static_cast<float>(mBitmap.FH());
  if (mTrackBitmap.IsValid()) {
    mTrackBounds = mRECT.GetCentredInside(static_cast<float>(mTrackBitmap.FW()), static_cast<float>(mTrackBitmap.FH()));
  } else if (mDirection == EDirection::Vertical) {
    mTrackBounds = IRECT(mRECT.CentreX() - fw / 2.f, mRECT.T, mRECT.CentreX() + fw / 2.f, mRECT.B);
  } else {
    mTrackBounds = IRECT(mRECT.L, mRECT.CentreY() - fh / 2.f, mRECT.R, mRECT.CentreY() + fh / 2.f);
  }
  // The pointer maps onto where the handle's centre can go.
  if (mDirection == EDirection::Vertical)
    mTrack = mTrackBounds.GetPadded(0.f, fh / 2.f, 0.f, -fh / 2.f);
  else
    mTrack = mTrackBounds.GetPadded(fw / 2.f, 0.f, -fw / 2.f, 0.f);
  SetDirty(false);
}

void IBSliderControl::OnRescale() {
  IBitmapBase::OnRescale();
  ICanvas* g = GetGraphics();
  if (g != nullptr && mTrackBitmap.IsValid()) {
    const IBitmap scaled = g->GetScaledBitmap(mTrackBitmap);
    if (scaled.IsValid()) mTrackBitmap = scaled;
  }
}

IRECT IBSliderControl::GetHandleBounds(double value) const {
  if (value < 0.0) value = GetValue(0);
  if (!std::isfinite(value)) value = 0.0;
  const float fw = static_cast<float>(mBitmap.FW()), fh = static_cast<float>(mBitmap.FH());
  const IRECT atStart(mTrackBounds.L, mTrackBounds.T, mTrackBounds.L + fw, mTrackBounds.T + fh);
  if (mDirection == EDirection::Vertical)
    return atStart.GetTranslated(0.f, (mTrackBounds.Height() - fh) * static_cast<float>(1.0 - value));
  return atStart.GetTranslated((mTrackBounds.Width() - fw) * static_cast<float>(value), 0.f);
}

void IBSliderControl::Draw(ICanvas& g) {
  if (mTrackBitmap.IsValid()) g.DrawBitmap(mTrackBitmap, mTrackBounds, 0, 0, &mBlend);
  if (mBitmap.IsValid()) g.DrawBitmap(mBitmap, GetHandleBounds(), 1, &mBlend);
}

// ---------------------------------------------------------------------------------------
// Knobs and text

IBKnobControl::IBKnobControl(float x, float y, const IBitmap& bitmap, int paramIdx, EDirection direction,
                             double gearing)
    : IBKnobControl(frameAt(x, y, bitmap), bitmap, paramIdx, direction, gearing) {}

IBKnobControl::IBKnobControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx, EDirection direction,
                             double gearing)
    : IKnobControlBase(bounds, paramIdx, direction, gearing), IBitmapBase(bitmap) {
  AttachIControl(this);
}

void IBKnobRotaterControl::Draw(ICanvas& g) {
  if (!mBitmap.IsValid()) return;
  const double angle = -130.0 + 260.0 * GetValue(0);
  g.DrawRotatedBitmap(mBitmap, mRECT.CentreX(), mRECT.CentreY(), angle, &mBlend);
}

IBTextControl::IBTextControl(const IRECT& bounds, const IBitmap& bitmap, const IText& text, const char* str,
                             int charWidth, int charHeight, int charOffset, bool multiLine, bool vCentre, EBlend blend)
    : ITextControl(bounds, str, text, DEFAULT_BGCOLOR),
      IBitmapBase(bitmap),
      mCharWidth(charWidth),
      mCharHeight(charHeight),
      mCharOffset(charOffset),
      mMultiLine(multiLine),
      mVCentre(vCentre) {
  mBlend = IBlend(blend, 1.f);
  AttachIControl(this);
}

void IBTextControl::Draw(ICanvas& g) {
  g.DrawBitmapedText(mBitmap, mRECT, mText, &mBlend, mStr.Get(), mVCentre, mMultiLine, mCharWidth, mCharHeight,
                     mCharOffset);
}

}  // namespace plugkit::canvas
