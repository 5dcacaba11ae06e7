// Gesture regions and the restyling of every vector control.
#include "graphics/ICanvas.h"
#include "graphics/IVectorBase.h"

namespace plugkit::canvas {

void ICanvas::AttachGestureRecognizerToRegion(const IRECT& bounds, EGestureType type, IControl::GestureFunc func) {
  mGestureRegions.Add(bounds);
  AttachGestureRecognizer(type);
  mGestureRegionFuncs.emplace(mGestureRegions.Size() - 1, std::move(func));
}

void ICanvas::ClearGestureRegions() {
  mGestureRegions.Clear();
  mGestureRegionFuncs.clear();
}

bool ICanvas::RespondsToGesture(float x, float y) {
  IControl* control = GetMouseControl(x, y, false);
  if (control != nullptr && control->GetWantsGestures()) return true;
  for (int i = 0; i < mGestureRegions.Size(); ++i)
    if (mGestureRegions.Get(i).ContainsPoint(x, y)) return true;
  return false;
}

void ICanvas::OnGestureRecognized(const IGestureInfo& info) {
  IControl* control = GetMouseControl(info.x, info.y, false);
  if (control != nullptr && control->GetWantsGestures()) {
    control->OnGesture(info);
    return;
  }
  for (int i = 0; i < mGestureRegions.Size(); ++i) {
    if (!mGestureRegions.Get(i).ContainsPoint(info.x, info.y)) continue;
    auto it = mGestureRegionFuncs.find(i);
    if (it != mGestureRegionFuncs.end() && it->second) {
      const IControl::GestureFunc func = it->second;  // the function may clear the regions
      func(nullptr, info);
    }
    return;
  }
}

void ICanvas::StyleAllVectorControls(const IVStyle& style) {
  ForStandardControlsFunc([&style](IControl* control) {
    if (auto* vector = dynamic_cast<IVectorBase*>(control)) vector->SetStyle(style);
  });
}

}  // namespace plugkit::canvas
