#include "ui/corner_scale.h"

#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"

namespace balance_panel {

CornerScaleControl::CornerScaleControl(const IRECT& bounds, float baseWidth, float minScale, float maxScale,
                                       const IColor& colour, const IColor& hoverColour)
    : IControl(bounds),
      mBaseWidth(baseWidth),
      mMinScale(minScale),
      mMaxScale(maxScale),
      mColour(colour),
      mHoverColour(hoverColour) {}

void CornerScaleControl::OnMouseDown(float x, float y, const IMouseMod&) {
  ICanvas* g = GetUI();
  if (g == nullptr) return;
  const double scale = g->GetDrawScale();
  mPressed = true;
  mStartWidth = static_cast<float>(g->WindowWidth());
  mPressX = x * scale;
  mPressY = y * scale;
}

void CornerScaleControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&) {
  ICanvas* g = GetUI();
  if (g == nullptr || !mPressed || !(mBaseWidth > 0.f)) return;
  const double scale = g->GetDrawScale();
  const double moved = std::max(x * scale - mPressX, y * scale - mPressY);
  if (!std::isfinite(moved)) return;
  float s = static_cast<float>((mStartWidth + moved) / mBaseWidth);
  s = s > mMaxScale ? mMaxScale : (s < mMinScale ? mMinScale : s);
  if (s == g->GetDrawScale()) return;
  g->Resize(g->Width(), g->Height(), s, true);
}

void CornerScaleControl::OnMouseDblClick(float, float, const IMouseMod&) {
  mPressed = false;
  if (ICanvas* g = GetUI()) g->Resize(g->Width(), g->Height(), 1.f, true);
}

void CornerScaleControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  if (!mHovered)
    if (ICanvas* g = GetUI()) mPreviousCursor = g->SetMouseCursor(plugkit::canvas::ECursor::SizeNWSE);
  mHovered = true;
  IControl::OnMouseOver(x, y, mod);
}

void CornerScaleControl::OnMouseOut() {
  if (mHovered)
    if (ICanvas* g = GetUI()) g->SetMouseCursor(mPreviousCursor);
  mHovered = false;
  IControl::OnMouseOut();
}

void CornerScaleControl::Draw(ICanvas& g) {
  const IRECT& r = mRECT;
  g.FillTriangle(GetMouseIsOver() ? mHoverColour : mColour, r.L, r.B, r.R, r.T, r.R, r.B, nullptr);
}

}  // namespace balance_panel
