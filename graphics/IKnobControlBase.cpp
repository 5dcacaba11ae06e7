#include "graphics/IKnobControlBase.h"

#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

bool isStepped(const IParam* param) { return param != nullptr && param->GetStepped() && param->GetStep() > 0.0; }

}  // namespace

IKnobControlBase::IKnobControlBase(const IRECT& bounds, int paramIdx, EDirection direction, double gearing)
    : IControl(bounds, paramIdx), mDirection(direction), mGearing(gearing) {}

double IKnobControlBase::stepped(double value) const {
  const IParam* param = GetParam(0);
  if (!isStepped(param)) return value;
  return param->ToNormalized(param->FromNormalized(value));
}

void IKnobControlBase::OnMouseDown(float x, float y, const IMouseMod& mod) {
  mMouseDown = true;
  mMouseDragValue = GetValue(0);
  if (mHideCursorOnDrag && GetGraphics() != nullptr) GetGraphics()->HideMouseCursor(true, true);
  if (mod.R) PromptUserInput(GetValIdxForPos(x, y));
}

void IKnobControlBase::OnMouseUp(float x, float y, const IMouseMod& mod) {
  if (mHideCursorOnDrag && GetGraphics() != nullptr) GetGraphics()->HideMouseCursor(false);
  mMouseDown = false;
  SetDirty(false);
}

void IKnobControlBase::OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) {
  double gearing = mGearing;
  if (IsFineControl(mod, false)) gearing *= 10.0;
  const IRECT bounds = GetKnobDragBounds();
  const bool vertical = mDirection == EDirection::Vertical;
  // Moving up raises the value.
  const double extent = vertical ? static_cast<double>(bounds.T) - bounds.B : static_cast<double>(bounds.R) - bounds.L;
  const double change = (vertical ? dY : dX) / extent / gearing;
  // A drag area or gearing of zero gives no defined change: the drag is ignored.
  if (!std::isfinite(change)) return;
  const double dragged = mMouseDragValue + change;
  if (!std::isfinite(dragged)) return;
  // The unstepped drag value is kept, so small moves add up until the next step.
  mMouseDragValue = std::clamp(dragged, 0.0, 1.0);
  const double v = stepped(mMouseDragValue);
  if (!std::isfinite(v)) return;
  SetValue(v, 0);
  SetDirty(true);
}

void IKnobControlBase::OnMouseWheel(float x, float y, const IMouseMod& mod, float d) {
  if (!std::isfinite(d)) return;
  const double step = IsFineControl(mod, true) ? 0.001 : 0.01;
  double v = GetValue(0);
  const IParam* param = GetParam(0);
  if (isStepped(param)) {
    if (d != 0.f) {
      const double value = param->FromNormalized(v) + (d > 0.f ? param->GetStep() : -param->GetStep());
      v = param->ToNormalized(value);
    }
  } else {
    v += step * d;  // SetDirty limits it to 0..1
  }
  if (!std::isfinite(v)) return;
  SetValue(v, 0);
  SetDirty(true);
}

}  // namespace plugkit::canvas
