#include "graphics/IControl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/ICanvasEditorDelegate.h"
#include "framework/StringBuf.h"
#include "graphics/Clock.h"
#include "graphics/Constants.h"
#include "graphics/ICanvas.h"

namespace plugkit::canvas {

double NormalizedFromParamValue(const IParam& param, double value) { return param.ToNormalized(value); }

IControl::IControl(const IRECT& bounds, int paramIdx, ActionFunc action)
    : mRECT(bounds), mTargetRECT(bounds), mText(DEFAULT_TEXT), mActionFunc(std::move(action)) {
  mVals.push_back({paramIdx, 0.0});
}

IControl::IControl(const IRECT& bounds, std::initializer_list<int> params, ActionFunc action)
    : mRECT(bounds), mTargetRECT(bounds), mText(DEFAULT_TEXT), mActionFunc(std::move(action)) {
  for (int paramIdx : params) mVals.push_back({paramIdx, 0.0});
}

IControl::IControl(const IRECT& bounds, ActionFunc action)
    : mRECT(bounds), mTargetRECT(bounds), mText(DEFAULT_TEXT), mActionFunc(std::move(action)) {
  mVals.push_back({kNoLinkedParam, 0.0});
}

IControl::~IControl() = default;

Steinberg::tresult PLUGIN_API IControl::queryInterface(const Steinberg::TUID iid, void** obj) {
  if (Steinberg::FUnknownPrivate::iidEqual(iid, Steinberg::Vst::IContextMenuTarget::iid)) {
    addRef();
    *obj = static_cast<Steinberg::Vst::IContextMenuTarget*>(this);
    return Steinberg::kResultOk;
  }
  return FObject::queryInterface(iid, obj);
}

Steinberg::uint32 PLUGIN_API IControl::addRef() { return FObject::addRef(); }

Steinberg::uint32 PLUGIN_API IControl::release() { return FObject::release(); }

Steinberg::tresult PLUGIN_API IControl::executeMenuItem(Steinberg::int32 tag) {
  OnContextSelection(tag);
  return Steinberg::kResultOk;
}

bool IControl::isTypeOf(Steinberg::FClassID name, bool askBaseClass) const {
  if (name == nullptr) return false;
  if (std::strcmp(name, "IControl") == 0) return true;
  return askBaseClass && std::strcmp(name, "FObject") == 0;
}

// ---------------------------------------------------------------------------------------
// Events

void IControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mod.R) PromptUserInput(GetValIdxForPos(x, y));
}

void IControl::OnMouseDblClick(float x, float y, const IMouseMod&) { SetValueToDefault(GetValIdxForPos(x, y)); }

void IControl::OnMouseOver(float, float, const IMouseMod&) {
  const bool was = mMouseIsOver;
  mMouseIsOver = true;
  if (!was) SetDirty(false);
}

void IControl::OnMouseOut() {
  const bool was = mMouseIsOver;
  mMouseIsOver = false;
  if (was) SetDirty(false);
}

void IControl::OnDropMultiple(const std::vector<const char*>& paths) {
  if (!paths.empty()) OnDrop(paths.front());
}

bool IControl::OnGesture(const IGestureInfo& info) {
  auto it = mGestureFuncs.find(info.type);
  if (it == mGestureFuncs.end()) return false;
  mLastGesture = info.type;
  GestureFunc func = it->second;  // the function may replace the map entry
  func(this, info);
  return true;
}

void IControl::OnPopupMenuSelection(IPopupMenu* menu, int valIdx) {
  if (menu == nullptr || !validValIdx(valIdx) || mPromptDisabled) return;
  // The chosen index is a value in the units of the parameter linked at valIdx.
  const IParam* param = GetParam(valIdx);
  if (param == nullptr) return;
  SetValueFromUserInput(param->ToNormalized(static_cast<double>(menu->GetChosenItemIdx())), valIdx);
}

void IControl::DrawPTHighlight(ICanvas& g) {
  if (!mPTisHighlighted) return;
  const float cx = mTargetRECT.R - 5.f, cy = mTargetRECT.T + 5.f, r = 2.f;
  g.PathClear();
  g.PathMoveTo(cx, cy - r);
  g.PathArc(cx, cy, r, 0.f, 360.f, EWinding::CW);
  g.PathClose();
  g.PathFill(IPattern(mPTHighlightColor), IFillOptions(), nullptr);
}

// ---------------------------------------------------------------------------------------
// Values

void IControl::SetParamIdx(int paramIdx, int valIdx) {
  mVals.at(static_cast<size_t>(valIdx)).paramIdx = paramIdx;  // out of range is a programming error
  SetDirty(false);
}

int IControl::GetValIdxForPos(float, float) const { return NVals() == 1 ? 0 : kEveryValIdx; }

int IControl::GetParamIdx(int valIdx) const { return validValIdx(valIdx) ? mVals[valIdx].paramIdx : kNoLinkedParam; }

IParam* IControl::GetParam(int valIdx) const {
  const int paramIdx = GetParamIdx(valIdx);
  if (paramIdx < 0 || mDelegate == nullptr) return nullptr;
  return mDelegate->GetParam(paramIdx);
}

int IControl::LinkedToParam(int paramIdx) const {
  for (int i = 0; i < NVals(); ++i)
    if (mVals[i].paramIdx == paramIdx) return i;
  return -1;
}

double IControl::GetValue(int valIdx) const { return validValIdx(valIdx) ? mVals[valIdx].value : 0.0; }

void IControl::SetValue(double value, int valIdx) {
  if (valIdx == kEveryValIdx) {
    for (Val& v : mVals) v.value = value;
  } else if (validValIdx(valIdx)) {
    mVals[valIdx].value = value;
  }
}

void IControl::SetValueFromDelegate(double value, int valIdx) {
  // The user's hold on the control wins over values from the plug-in.
  if (mGraphics != nullptr && mGraphics->ControlIsCaptured(this)) return;
  if (!validValIdx(valIdx) || GetValue(valIdx) == value) return;
  SetValue(value, valIdx);
  SetDirty(false);
}

void IControl::SetValueFromUserInput(double value, int valIdx) {
  if (valIdx != kEveryValIdx && !validValIdx(valIdx)) return;
  if (valIdx != kEveryValIdx && GetValue(valIdx) == value) return;
  SetValue(value, valIdx);
  SetDirty(true, valIdx);
}

void IControl::SetValueToDefault(int valIdx) {
  if (NVals() == 1) valIdx = 0;
  auto reset = [this](int i) {
    if (const IParam* param = GetParam(i)) SetValue(param->ToNormalized(param->GetDefault()), i);
  };
  if (valIdx == kEveryValIdx) {
    for (int i = 0; i < NVals(); ++i) reset(i);
  } else if (validValIdx(valIdx)) {
    reset(valIdx);
  }
  SetDirty(true, valIdx);
}

void IControl::SetDirty(bool triggerAction, int valIdx) {
  if (NVals() == 1) valIdx = 0;
  const bool all = valIdx == kEveryValIdx;
  if (all) {
    for (int i = 0; i < NVals(); ++i) SetValue(std::clamp(mVals[i].value, 0.0, 1.0), i);
  } else if (validValIdx(valIdx)) {
    SetValue(std::clamp(mVals[valIdx].value, 0.0, 1.0), valIdx);
  } else {
    valIdx = -2;  // an index outside the list concerns no value
  }
  mDirty = true;
  if (mGraphics != nullptr) mGraphics->NoteDirtyMark(this);

  // Nothing reaches the plug-in or the action before the control is attached.
  if (!triggerAction || mGraphics == nullptr || mDelegate == nullptr) return;

  auto send = [this](int i) {
    const int paramIdx = mVals[i].paramIdx;
    if (paramIdx < 0) return;
    mGraphics->SendParameterValueFromControl(this, paramIdx, mVals[i].value);
    mGraphics->UpdatePeers(this, i);
  };
  if (all) {
    for (int i = 0; i < NVals(); ++i) send(i);
  } else if (validValIdx(valIdx)) {
    send(valIdx);
  }
  if (mActionFunc) {
    ActionFunc action = mActionFunc;  // the action may replace itself
    action(this);
  }
}

bool IControl::IsDirty() { return mAnimationFunc ? true : mDirty; }

bool IControl::GetWantsGestures() const { return !mGestureFuncs.empty() && !mAnimationFunc; }

void IControl::SnapToMouse(float x, float y, EDirection direction, const IRECT& bounds, int valIdx,
                           double scalarMin, double scalarMax) {
  const float extent = direction == EDirection::Vertical ? bounds.B - bounds.T : bounds.R - bounds.L;
  if (!(extent != 0.f) || !std::isfinite(extent)) return;  // zero extent: no position to take
  bounds.Constrain(x, y);
  double v = direction == EDirection::Vertical ? 1.0 - (y - bounds.T) / extent : (x - bounds.L) / extent;
  if (!std::isfinite(v)) return;
  v = std::round(v / 0.001) * 0.001;
  v = std::min(scalarMax, std::max(scalarMin, v));
  SetValue(v, valIdx);
  SetDirty(true, valIdx);
}

void IControl::PromptUserInput(int valIdx) {
  if (!validValIdx(valIdx) || GetParamIdx(valIdx) < 0 || mPromptDisabled) return;
  const IParam* param = GetParam(valIdx);
  if (param == nullptr || mGraphics == nullptr) return;
  if (param->NDisplayTexts() > 0) {
    mGraphics->PromptUserInput(*this, mRECT, valIdx);
  } else {
    const float cx = mRECT.CentreX(), cy = mRECT.CentreY();
    mGraphics->PromptUserInput(*this, IRECT(cx - 20.f, cy - 8.f, cx + 20.f, cy + 8.f), valIdx);
  }
  SetDirty(false);
}

void IControl::PromptUserInput(const IRECT& bounds, int valIdx) {
  if (!validValIdx(valIdx) || GetParamIdx(valIdx) < 0 || mPromptDisabled || mGraphics == nullptr) return;
  mGraphics->PromptUserInput(*this, bounds, valIdx);
}

// ---------------------------------------------------------------------------------------
// Geometry and flags

void IControl::SetPosition(float x, float y) {
  x = std::max(x, 0.f);
  y = std::max(y, 0.f);
  const float dx = x - mRECT.L, dy = y - mRECT.T;
  const IRECT oldTarget = mTargetRECT;
  mRECT = IRECT(x, y, x + mRECT.Width(), y + mRECT.Height());
  // The target moves with the drawing before OnResize, which may rebuild it.
  mTargetRECT = oldTarget.GetTranslated(dx, dy);
  mMouseIsOver = false;
  OnResize();
}

void IControl::SetSize(float w, float h) {
  w = std::max(w, 0.f);
  h = std::max(h, 0.f);
  mRECT.R = mRECT.L + w;
  mRECT.B = mRECT.T + h;
  mTargetRECT = mRECT;
  mMouseIsOver = false;
  OnResize();
}

void IControl::SetBothRects(const IRECT& bounds) {
  mRECT = bounds;
  mTargetRECT = bounds;
  mMouseIsOver = false;
  OnResize();
}

void IControl::Hide(bool hide) {
  mHide = hide;
  SetDirty(false);
}

void IControl::SetDisabled(bool disable) {
  mDisabled = disable;
  mBlend.weight = disable ? 0.25f : 1.f;
  SetDirty(false);
}

void IControl::SetPTParameterHighlight(bool highlighted, int color) {
  switch (color) {
    case 0: mPTHighlightColor = COLOR_RED; break;
    case 1: mPTHighlightColor = COLOR_BLUE; break;
    case 2: mPTHighlightColor = COLOR_GREEN; break;
    case 3: mPTHighlightColor = COLOR_YELLOW; break;
    default: break;
  }
  mPTisHighlighted = highlighted;
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------
// Animation and gestures

void IControl::StartAnimation(double duration) {
  mAnimationStartTime = NowMs();
  mAnimationDuration = duration;
}

void IControl::SetAnimationFunction(AnimationFunc func, double duration) {
  mAnimationFunc = std::move(func);
  StartAnimation(duration);
}

double IControl::GetAnimationProgress() const {
  if (!mAnimationFunc) return 0.0;
  if (mAnimationDuration <= 0.0) return std::numeric_limits<double>::infinity();  // over at once
  return (NowMs() - mAnimationStartTime) / mAnimationDuration;
}

void IControl::Animate() {
  if (!mAnimationFunc) return;
  AnimationFunc func = mAnimationFunc;  // OnEndAnimation clears the member while it runs
  func(this);
}

void IControl::OnEndAnimation() {
  mAnimationFunc = nullptr;
  SetDirty(false);
  if (mAnimationEndActionFunc) {
    ActionFunc func = mAnimationEndActionFunc;
    func(this);
  }
}

IControl* IControl::AttachGestureRecognizer(EGestureType type, GestureFunc func) {
  mGestureFuncs.emplace(type, std::move(func));
  if (mGraphics != nullptr) mGraphics->AttachGestureRecognizer(type);
  return this;
}

// ---------------------------------------------------------------------------------------
// Stock functions

void DefaultAnimationFunc(IControl* control) {
  if (control == nullptr || !control->GetAnimationFunction()) return;
  if (control->GetAnimationProgress() > 1.0) control->OnEndAnimation();
}

void EmptyClickActionFunc(IControl*) {}

void DefaultClickActionFunc(IControl* control) {
  if (control != nullptr) control->SetAnimationFunction(DefaultAnimationFunc, 100.0);
}

namespace {

void showBubble(IControl* control, bool horizontal) {
  if (control == nullptr || control->GetGraphics() == nullptr) return;
  const IParam* param = control->GetParam(0);
  if (param == nullptr) return;
  StringBuf display;
  param->GetDisplay(display);
  const char* label = param->GetLabel();
  if (label[0] != '\0') {
    display.Append(" ");
    display.Append(label);
  }
  const IRECT& r = control->GetRECT();
  if (horizontal)
    control->GetGraphics()->ShowBubbleControl(control, r.R, r.CentreY(), display.Get(), EDirection::Horizontal,
                                               IRECT());
  else
    control->GetGraphics()->ShowBubbleControl(control, r.CentreX(), r.T, display.Get(), EDirection::Vertical,
                                               IRECT());
}

}  // namespace

void ShowBubbleHorizontalActionFunc(IControl* control) { showBubble(control, true); }

void ShowBubbleVerticalActionFunc(IControl* control) { showBubble(control, false); }

}  // namespace plugkit::canvas
