#include "graphics/stock/VectorPadsAndFrames.h"

#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

// ---------------------------------------------------------------------------------------
// XY pad

IVXYPadControl::IVXYPadControl(const IRECT& bounds, std::initializer_list<int> params, const char* label,
                               const IVStyle& style, float handleRadius, bool edgeReachingHandle, bool drawCross)
    : IControl(bounds, {kNoLinkedParam, kNoLinkedParam}),
      IVectorBase(style),
      mHandleRadius(handleRadius),
      mEdgeReachingHandle(edgeReachingHandle),
      mDrawCross(drawCross) {
  // Always two values; parameters beyond the second are not used.
  int valIdx = 0;
  for (int paramIdx : params) {
    if (valIdx >= 2) break;
    SetParamIdx(paramIdx, valIdx++);
  }
  mShape = EVShape::Ellipse;
  AttachIControl(this, label);
}

IRECT IVXYPadControl::GetPadBounds() const {
  return mEdgeReachingHandle ? mWidgetBounds : mWidgetBounds.GetPadded(-mHandleRadius);
}

void IVXYPadControl::Draw(ICanvas& g) {
  DrawBackground(g, mRECT);
  DrawLabel(g);
  if (mStyle.drawFrame) g.DrawRect(GetColor(kFrame), mWidgetBounds, &mBlend, mStyle.frameThickness);
  DrawWidget(g);
}

void IVXYPadControl::DrawWidget(ICanvas& g) {
  DrawTrack(g);
  const IRECT pad = GetPadBounds();
  const float x = pad.L + pad.Width() * static_cast<float>(GetValue(0));
  const float y = pad.B - pad.Height() * static_cast<float>(GetValue(1));
  const float r = mHandleRadius;
  DrawHandle(g, pad, IRECT(x - r, y - r, x + r, y + r));
}

void IVXYPadControl::DrawHandle(ICanvas& g, const IRECT& pad, const IRECT& handle) {
  if (mEdgeReachingHandle) g.PathClipRegion(pad.GetPadded(-0.5f * mStyle.frameThickness));
  DrawPressableShape(g, mShape, handle, mMouseDown, mMouseIsOver, IsDisabled());
  if (mEdgeReachingHandle) g.PathClipRegion();
}

void IVXYPadControl::DrawTrack(ICanvas& g) {
  if (!mDrawCross) return;
  g.DrawVerticalLine(GetColor(kShadow), mWidgetBounds, 0.5f, nullptr, 1.f);
  g.DrawHorizontalLine(GetColor(kShadow), mWidgetBounds, 0.5f, nullptr, 1.f);
}

void IVXYPadControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  mMouseDown = true;
  if (mStyle.hideCursor && GetGraphics() != nullptr) GetGraphics()->HideMouseCursor(true, false);
  OnMouseDrag(x, y, 0.f, 0.f, mod);
}

void IVXYPadControl::OnMouseUp(float, float, const IMouseMod&) {
  if (mStyle.hideCursor && GetGraphics() != nullptr) GetGraphics()->HideMouseCursor(false, true);
  mMouseDown = false;
  SetDirty(true);
}

void IVXYPadControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&) {
  // Mapped over the area the handle's centre moves on, so the handle sits under the pointer.
  const IRECT pad = GetPadBounds();
  pad.Constrain(x, y);
  if (pad.Width() > 0.f) SetValue((x - pad.L) / pad.Width(), 0);
  if (pad.Height() > 0.f) SetValue(1.0 - (y - pad.T) / pad.Height(), 1);
  SetDirty(true);
}

void IVXYPadControl::OnResize() {
  SetTargetRECT(MakeRects(mRECT, false));
  mMouseIsOver = false;
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------
// Plot

IVPlotControl::IVPlotControl(const IRECT& bounds, const std::vector<Plot>& plots, int numPoints, const char* label,
                             const IVStyle& style, float min, float max, bool useLayer)
    : IControl(bounds), IVectorBase(style), mMin(min), mMax(max), mUseLayer(useLayer) {
  // x = j / (N - 1) needs two points at least.
  mPoints.resize(static_cast<size_t>(std::max(numPoints, 2)), 0.f);
  AttachIControl(this, label);
  for (const Plot& plot : plots) AddPlotFunc(plot.color, plot.func);
}

void IVPlotControl::AddPlotFunc(const IColor& color, std::function<double(double)> func) {
  mPlots.push_back({color, std::move(func)});
  invalidateLayer();
  SetDirty(false);
}

void IVPlotControl::invalidateLayer() {
  if (mLayer) mLayer->Invalidate();
}

void IVPlotControl::OnAppearanceChanged() { invalidateLayer(); }

void IVPlotControl::OnResize() {
  SetTargetRECT(MakeRects(mRECT, false));
  mMouseIsOver = false;
  SetDirty(false);
}

void IVPlotControl::Draw(ICanvas& g) {
  DrawBackground(g, mRECT);
  DrawLabel(g);
  // The layer holds the body with what its strokes spill over the widget's edges.
  const IRECT layerBounds = mWidgetBounds.GetPadded(std::max(mStyle.frameThickness, mTrackSize));
  if (!mUseLayer || !(mWidgetBounds.Width() > 0.f && mWidgetBounds.Height() > 0.f)) {
    drawBody(g, &mBlend);
    return;
  }
  if (!g.CheckLayer(mLayer)) {
    g.StartLayer(this, layerBounds);
    drawBody(g, nullptr);
    mLayer = g.EndLayer();
    // A backend that could make no layer bitmap: the body is drawn directly.
    if (!mLayer || mLayer->GetAPIBitmap() == nullptr) {
      drawBody(g, &mBlend);
      return;
    }
  }
  g.DrawLayer(mLayer, &mBlend);
}

void IVPlotControl::drawBody(ICanvas& g, const IBlend* blend) {
  const IRECT& w = mWidgetBounds;
  const float xStep = w.Width() / static_cast<float>(mHorizontalDivisions);
  const float yStep = w.Height() / static_cast<float>(mVerticalDivisions + 2);
  g.DrawGrid(GetColor(kShadow), w, xStep, yStep, blend, 1.f);

  const IRECT area = w.GetReducedFromTop(yStep).GetReducedFromBottom(yStep);
  const int n = NPoints();
  const double range = static_cast<double>(mMax) - mMin;
  for (const Plot& plot : mPlots) {
    for (int j = 0; j < n; ++j) {
      const double x = static_cast<double>(j) / static_cast<double>(n - 1);
      const double y = plot.func ? plot.func(x) : 0.0;
      mPoints[static_cast<size_t>(j)] = range != 0.0 ? static_cast<float>((y - mMin) / range) : 0.5f;
    }
    g.DrawData(plot.color, area, mPoints.data(), n, nullptr, blend, mTrackSize);
  }
  if (mStyle.drawFrame) g.DrawRect(GetColor(kFrame), w, blend, mStyle.frameThickness);
}

// ---------------------------------------------------------------------------------------
// Group frame

IVGroupControl::IVGroupControl(const IRECT& bounds, const char* label, float captionIndent, const IVStyle& style,
                               AttachFunc attachFunc, ResizeFunc resizeFunc)
    : IContainerBase(bounds, std::move(attachFunc), std::move(resizeFunc)),
      IVectorBase(style),
      mLabelOffset(captionIndent) {
  AttachIControl(this, label);
  mIgnoreMouse = true;
}

IVGroupControl::IVGroupControl(const char* label, const char* groupName, float padL, float padT, float padR,
                               float padB, const IVStyle& style)
    : IContainerBase(IRECT()),
      IVectorBase(style),
      mGroupName(groupName != nullptr ? groupName : ""),
      mPadL(padL),
      mPadT(padT),
      mPadR(padR),
      mPadB(padB),
      mLabelOffset(10.f) {
  AttachIControl(this, label);
  mIgnoreMouse = true;
}

void IVGroupControl::OnInit() {
  if (!mGroupName.empty()) SetBoundsBasedOnGroup(mGroupName.c_str(), mPadL, mPadT, mPadR, mPadB);
}

void IVGroupControl::SetBoundsBasedOnGroup(const char* groupName, float padL, float padT, float padR, float padB) {
  mGroupName = groupName != nullptr ? groupName : "";
  IRECT united;
  if (ICanvas* g = GetGraphics()) {
    g->ForControlInGroup(mGroupName.c_str(), [this, &united](IControl* c) {
      if (c != this) united = united.Union(c->GetRECT());
    });
  }
  SetRECT(IRECT(united.L - padL, united.T - padT, united.R + padR, united.B + padB));
  OnResize();
}

void IVGroupControl::OnResize() {
  SetTargetRECT(MakeRects(mRECT, false));
  mMouseIsOver = false;
  // The frame's top line runs through the middle of the caption.
  mWidgetBounds.T -= 0.5f * mLabelBounds.Height() + 0.5f * mStyle.frameThickness;
  if (!mLabelBounds.IsEmpty()) {
    const IRECT& w = mWidgetBounds;
    const float left = mRECT.L + mStyle.frameThickness + mLabelOffset +
                       std::min(w.Width(), w.Height()) / 2.f * mStyle.roundness;
    const float width = mLabelBounds.Width();
    mLabelBounds.L = left - mLabelPadding;
    mLabelBounds.R = left + width + mLabelPadding;
  }
  SetDirty(false);
  IContainerBase::OnResize();
}

void IVGroupControl::Draw(ICanvas& g) {
  DrawLabel(g);
  DrawWidget(g);
}

void IVGroupControl::DrawWidget(ICanvas& g) {
  const IRECT& w = mWidgetBounds;
  const float h = 0.5f * mStyle.frameThickness;
  const float cr = mStyle.roundness * std::min(w.Width(), w.Height()) / 2.f;
  const bool caption = !mLabelBounds.IsEmpty();
  const float gapLeft = caption ? mLabelBounds.L : mRECT.CentreX();
  const float gapRight = caption ? mLabelBounds.R : mRECT.CentreX();
  g.PathClear();
  g.PathMoveTo(gapRight, w.T + h);
  g.PathArc(w.R - cr - h, w.T + cr + h, cr, 0.f, 90.f);
  g.PathArc(w.R - cr - h, w.B - cr - h, cr, 90.f, 180.f);
  g.PathArc(w.L + cr + h, w.B - cr - h, cr, 180.f, 270.f);
  g.PathArc(w.L + cr + h, w.T + cr + h, cr, 270.f, 360.f);
  g.PathLineTo(gapLeft, w.T + h);
  g.PathStroke(IPattern(GetColor(mStyle.drawShadows ? kShadow : kFrame)), mStyle.frameThickness);
}

// ---------------------------------------------------------------------------------------
// Colour swatch

IVColorSwatchControl::IVColorSwatchControl(const IRECT& bounds, const char* label, ColorChosenFunc func,
                                           const IVStyle& style, ECellLayout layout,
                                           std::initializer_list<EVColor> colorRoles,
                                           std::initializer_list<const char*> cellLabels)
    : IControl(bounds), IVectorBase(style), mColorChosenFunc(std::move(func)), mLayout(layout), mColorRoles(colorRoles) {
  AttachIControl(this, label);
  mText = style.valueText;
  mStyle.valueText.align = mText.align = ETextHAlign::Right;
  for (const char* cellLabel : cellLabels) mLabels.emplace_back(cellLabel != nullptr ? cellLabel : "");
}

void IVColorSwatchControl::OnResize() {
  SetTargetRECT(MakeRects(mRECT, true));
  mMouseIsOver = false;
  mCellRects.clear();
  const int n = static_cast<int>(mColorRoles.size());
  if (n > 0) {
    int columns = 1, rows = 1;
    switch (mLayout) {
      // More than nine roles add rows, so every cell stays inside the widget.
      case ECellLayout::Block: columns = 3, rows = std::max(3, (n + 2) / 3); break;
      case ECellLayout::Row: columns = n; break;
      case ECellLayout::Column: rows = n; break;
    }
    const IRECT& w = mWidgetBounds;
    const float cw = w.Width() / static_cast<float>(columns), ch = w.Height() / static_cast<float>(rows);
    for (int i = 0; i < n; ++i) {
      const float col = static_cast<float>(i % columns), row = static_cast<float>(i / columns);
      mCellRects.push_back(IRECT(w.L + col * cw, w.T + row * ch, w.L + col * cw + cw, w.T + row * ch + ch).GetPadded(-2.f));
    }
  }
  SetDirty(false);
}

void IVColorSwatchControl::Draw(ICanvas& g) {
  DrawWidget(g);
  DrawLabel(g);
}

void IVColorSwatchControl::DrawWidget(ICanvas& g) {
  for (size_t i = 0; i < mCellRects.size(); ++i) {
    const IRECT& c = mCellRects[i];
    const bool labelled = i < mLabels.size() && !mLabels[i].empty();
    const IRECT swatch = labelled ? IRECT(c.R - 0.25f * c.Width(), c.T, c.R, c.B) : c;
    g.FillRect(GetColor(mColorRoles[i]), swatch, &mBlend);
    g.DrawRect(static_cast<int>(i) == mCellOver ? COLOR_GRAY : COLOR_DARK_GRAY, swatch.GetPadded(0.5f), &mBlend, 1.f);
    if (labelled)
      g.DrawText(mStyle.valueText, mLabels[i].c_str(), IRECT(c.L, c.T, c.L + 0.7f * c.Width(), c.B), &mBlend);
  }
}

int IVColorSwatchControl::GetCellForPoint(float x, float y) const {
  for (size_t i = 0; i < mCellRects.size(); ++i)
    if (mCellRects[i].ContainsPoint(x, y)) return static_cast<int>(i);
  return -1;
}

void IVColorSwatchControl::OnMouseOver(float x, float y, const IMouseMod&) {
  mCellOver = GetCellForPoint(x, y);
  SetDirty(false);  // hovering runs no action
}

void IVColorSwatchControl::OnMouseOut() {
  mCellOver = -1;
  SetDirty(false);
}

void IVColorSwatchControl::OnMouseDown(float x, float y, const IMouseMod&) {
  const int cell = GetCellForPoint(x, y);
  ICanvas* g = GetGraphics();
  if (cell < 0 || g == nullptr) return;
  const EVColor role = mColorRoles[static_cast<size_t>(cell)];
  IColor color = GetColor(role);
  // The graphics context delivers each answer only while this control is its requester,
  // so the completion may hold this control.
  g->PromptForColor(*this, color, "Choose a color", [this, cell, role](const IColor& chosen) {
    SetColor(role, chosen);
    SetDirty(false);
    if (mColorChosenFunc) mColorChosenFunc(cell, chosen);
  });
}

}  // namespace plugkit::canvas
