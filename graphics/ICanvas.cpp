// The graphics context: construction, settings, the control list, pointer captures and
// the record of host edit gestures.
#include "graphics/ICanvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/IContainerBase.h"
#include "graphics/IPanelControl.h"

namespace plugkit::canvas {

StaticStorage<APIBitmap> ICanvas::sBitmapCache;
StaticStorage<SVGHolder> ICanvas::sSVGCache;

ICanvas::ICanvas(ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale)
    : mWidth(w), mHeight(h), mFPS(fps), mDrawScale(scale), mPromptPopupMenu(""), mDelegate(&dlg) {
  // Bitmap cache first, then the SVG cache; released in the reverse order.
  StaticStorage<APIBitmap>::Accessor bitmaps(sBitmapCache);
  sBitmapCache.Retain();
  StaticStorage<SVGHolder>::Accessor svgs(sSVGCache);
  sSVGCache.Retain();
}

ICanvas::~ICanvas() {
  // Queued platform jobs see this context as gone from here on.
  mAlive.reset();
  // No virtual call may happen here: with the flag clear, releasing the captures has no
  // cursor to show.
  mCursorHidden = false;
  RemoveAllControls();
  StaticStorage<APIBitmap>::Accessor bitmaps(sBitmapCache);
  sBitmapCache.Release();
  StaticStorage<SVGHolder>::Accessor svgs(sSVGCache);
  sSVGCache.Release();
}

// ---------------------------------------------------------------------------------------
// Settings

int ICanvas::WindowWidth() const {
  const float w = static_cast<float>(mWidth) * mDrawScale;
  return std::isfinite(w) ? static_cast<int>(std::clamp(w, -2e9f, 2e9f)) : 0;
}

int ICanvas::WindowHeight() const {
  const float h = static_cast<float>(mHeight) * mDrawScale;
  return std::isfinite(h) ? static_cast<int>(std::clamp(h, -2e9f, 2e9f)) : 0;
}

void ICanvas::SetStrictDrawing(bool strict) {
  mStrict = strict;
  SetAllControlsDirty();
}

void ICanvas::SetScaleConstraints(float lo, float hi) {
  mMinScale = std::min(lo, hi);
  mMaxScale = std::max(lo, hi);
}

void ICanvas::EnableTooltips(bool enable) {
  mEnableTooltips = enable;
  if (enable) mEnableMouseOver = true;
}

void ICanvas::OnAppearanceChanged(EUIAppearance appearance) {
  if (mAppearanceChangedFunc) mAppearanceChangedFunc(appearance);
}

void ICanvas::OnGUIIdle() {
  ForAllControlsFunc([](IControl* c) { c->OnGUIIdle(); });
}

ECursor ICanvas::SetMouseCursor(ECursor cursor) {
  const ECursor previous = mCursorType;
  mCursorType = cursor;
  return previous;
}

void ICanvas::AttachGestureRecognizer(EGestureType type) {
  if (std::find(mRegisteredGestures.begin(), mRegisteredGestures.end(), type) == mRegisteredGestures.end())
    mRegisteredGestures.push_back(type);
}

// ---------------------------------------------------------------------------------------
// Attaching and finding

void ICanvas::attachCommon(IControl* control) {
  control->SetDelegate(mDelegate);
  control->SetGraphics(this);
}

IControl* ICanvas::AttachControl(IControl* control, int tag, const char* group) {
  if (control == nullptr) return nullptr;
  if (tag >= 0 && mTagMap.count(tag) != 0) return nullptr;
  if (tag >= 0) mTagMap[tag] = control;
  attachCommon(control);
  control->OnInit();
  control->OnResize();
  control->OnRescale();
  control->SetGroup(group);
  mControls.push_back(control);
  control->OnAttached();
  return control;
}

IControl* ICanvas::AttachBackgroundControl(IControl* control) {
  if (control == nullptr) return nullptr;
  attachCommon(control);
  control->OnInit();
  control->OnResize();
  control->OnRescale();
  mControls.insert(mControls.begin(), control);
  if (mMouseOverIdx >= 0) ++mMouseOverIdx;
  return control;
}

IControl* ICanvas::AttachPanelBackground(const IPattern& pattern) {
  return AttachBackgroundControl(new IPanelControl(GetBounds(), pattern, false));
}

IControl* ICanvas::GetControl(int idx) const {
  return idx >= 0 && idx < NControls() ? mControls[static_cast<size_t>(idx)] : nullptr;
}

int ICanvas::GetControlIdx(const IControl* control) const {
  for (int i = 0; i < NControls(); ++i)
    if (mControls[static_cast<size_t>(i)] == control) return i;
  return -1;
}

IControl* ICanvas::GetControlWithTag(int tag) const {
  auto it = mTagMap.find(tag);
  return it != mTagMap.end() ? it->second : nullptr;
}

int ICanvas::GetControlTag(const IControl* control) const {
  for (const auto& [tag, c] : mTagMap)
    if (c == control) return tag;
  return kNoTag;
}

IControl* ICanvas::GetControlWithParamIdx(int paramIdx) const {
  for (IControl* c : mControls)
    if (c->LinkedToParam(paramIdx) >= 0) return c;
  return nullptr;
}

// Callbacks may attach or remove controls: the list is walked by index and its size read
// again after every call.
void ICanvas::ForStandardControlsFunc(const ControlFunc& func) {
  for (int i = 0; i < NControls(); ++i) func(mControls[static_cast<size_t>(i)]);
}

void ICanvas::ForAllControlsFunc(const ControlFunc& func) { forAllControlsWhileAlive(func); }

bool ICanvas::forAllControlsWhileAlive(const ControlFunc& func) {
  const std::weak_ptr<const int> alive = mAlive;
  auto visit = [&](IControl* c) {
    func(c);
    return !alive.expired();
  };
  for (int i = 0; i < NControls(); ++i)
    if (!visit(mControls[static_cast<size_t>(i)])) return false;
  for (IControl* special : {static_cast<IControl*>(mFPSDisplay), mCornerResizer,
                            static_cast<IControl*>(mTextEntryControl), static_cast<IControl*>(mPopupControl)})
    if (special != nullptr && !visit(special)) return false;
  for (size_t i = 0; i < mBubbleControls.size(); ++i)
    if (!visit(mBubbleControls[i])) return false;
  return true;
}

void ICanvas::ForControlWithParam(int paramIdx, const ControlFunc& func) {
  for (int i = 0; i < NControls(); ++i) {
    IControl* c = mControls[static_cast<size_t>(i)];
    if (c->LinkedToParam(paramIdx) >= 0) func(c);
  }
}

void ICanvas::ForControlWithParam(std::initializer_list<int> params, const ControlFunc& func) {
  for (int i = 0; i < NControls(); ++i) {
    IControl* c = mControls[static_cast<size_t>(i)];
    for (int paramIdx : params) {
      if (c->LinkedToParam(paramIdx) >= 0) func(c);
      if (GetControl(i) != c) break;  // the callback removed it
    }
  }
}

void ICanvas::ForControlInGroup(const char* group, const ControlFunc& func) {
  if (group == nullptr || group[0] == '\0') return;
  for (int i = 0; i < NControls(); ++i) {
    IControl* c = mControls[static_cast<size_t>(i)];
    if (c->GetGroup()[0] != '\0' && std::strcmp(c->GetGroup(), group) == 0) func(c);
  }
}

void ICanvas::HideControl(int paramIdx, bool hide) { ForMatchingControls(&IControl::Hide, paramIdx, hide); }

void ICanvas::DisableControl(int paramIdx, bool disable) {
  ForMatchingControls(&IControl::SetDisabled, paramIdx, disable);
}

void ICanvas::SetAllControlsDirty() {
  ForAllControlsFunc([](IControl* c) { c->SetDirty(false, kEveryValIdx); });
}

void ICanvas::SetAllControlsClean() {
  ForAllControlsFunc([](IControl* c) { c->SetClean(); });
}

void ICanvas::AssignParamNameToolTips() {
  ForStandardControlsFunc([](IControl* c) {
    if (const IParam* param = c->GetParam(0)) c->SetTooltip(param->GetName());
  });
}

void ICanvas::SetPTParameterHighlight(int paramIdx, bool highlighted, int color) {
  ForMatchingControls(&IControl::SetPTParameterHighlight, paramIdx, highlighted, color);
}

void ICanvas::UpdatePeers(IControl* caller, int valIdx) {
  if (caller == nullptr) return;
  const int paramIdx = caller->GetParamIdx(valIdx);
  if (paramIdx < 0) return;
  const double value = caller->GetValue(valIdx);
  for (int i = 0; i < NControls(); ++i) {
    IControl* c = mControls[static_cast<size_t>(i)];
    if (c == caller) continue;
    const int peerValIdx = c->LinkedToParam(paramIdx);
    if (peerValIdx >= 0) c->SetValueFromDelegate(value, peerValIdx);
  }
}

void ICanvas::SetControlPosition(IControl* control, float x, float y) {
  if (control == nullptr) return;
  control->SetPosition(x, y);
  if (!control->IsHidden()) SetAllControlsDirty();
}

void ICanvas::SetControlSize(IControl* control, float w, float h) {
  if (control == nullptr) return;
  control->SetSize(w, h);
  if (!control->IsHidden()) SetAllControlsDirty();
}

void ICanvas::SetControlBounds(IControl* control, const IRECT& r) {
  if (control == nullptr) return;
  control->SetBothRects(r);
  if (!control->IsHidden()) SetAllControlsDirty();
}

// ---------------------------------------------------------------------------------------
// Special controls

template <class Slot>
void ICanvas::deleteSpecial(Slot*& slot) {
  IControl* c = slot;
  if (c == nullptr) return;
  slot = nullptr;
  // It may be removed from its own handler while it holds the pointer.
  if (ControlIsCaptured(c)) releaseCaptures(true);
  forgetControl(c);
  delete c;
}

void ICanvas::initSpecial(IControl* control) {
  attachCommon(control);
  control->OnInit();
  control->OnResize();
  control->OnRescale();
}

void ICanvas::AttachCornerResizer(IControl* control, EUIResizerMode mode, bool layoutOnResize) {
  if (control == nullptr) return;
  if (mCornerResizer != nullptr) {
    delete control;
    return;
  }
  mCornerResizer = control;
  mResizerMode = mode;
  mLayoutOnResize = layoutOnResize;
  initSpecial(control);
}

void ICanvas::AttachBubbleControl(IBubbleControlBase* control) {
  if (control == nullptr) return;
  initSpecial(control);
  mBubbleControls.push_back(control);
}

IBubbleControlBase* ICanvas::GetBubbleControl(int idx) const {
  return idx >= 0 && idx < NBubbleControls() ? mBubbleControls[static_cast<size_t>(idx)] : nullptr;
}

void ICanvas::AttachPopupMenuControl(IPopupMenuControlBase* control) {
  if (control == nullptr) return;
  if (mPopupControl != nullptr) {
    delete control;
    return;
  }
  mPopupControl = control;
  initSpecial(control);
}

void ICanvas::RemovePopupMenuControl() {
  if (mPopupControl == nullptr) return;
  // A menu still shown goes with the control: its requester hears it was dismissed.
  const bool pending = mPopupControl->IsExpanded() && mInPopupMenu != nullptr;
  deleteSpecial(mPopupControl);
  if (pending) SetControlValueAfterPopupMenu(nullptr);
}

void ICanvas::AttachTextEntryControl(ITextEntryControlBase* control) {
  if (control == nullptr) return;
  if (mTextEntryControl != nullptr) {
    delete control;
    return;
  }
  mTextEntryControl = control;
  initSpecial(control);
}

void ICanvas::RemoveTextEntryControl() {
  if (mTextEntryControl == nullptr) return;
  // A box still open closes uncommitted: its requester is forgotten.
  const bool open = mTextEntryControl->IsEditing();
  deleteSpecial(mTextEntryControl);
  if (open) ClearInTextEntryControl();
}

void ICanvas::AttachFPSDisplay(IFPSDisplayControlBase* control) {
  if (control == nullptr) return;
  if (mFPSDisplay != nullptr) {
    delete control;
  } else {
    mFPSDisplay = control;
    mPrevTimestampKnown = false;  // the first frame after this has no previous one
    initSpecial(control);
  }
  SetAllControlsDirty();
}

void ICanvas::RemoveFPSDisplay() {
  if (mFPSDisplay != nullptr) {
    deleteSpecial(mFPSDisplay);
    mMouseOver = nullptr;
    mMouseOverIdx = -1;
  }
  SetAllControlsDirty();
}

void ICanvas::ShowBubbleControl(IControl* caller, float x, float y, const char* str, EDirection dir,
                                IRECT minimumContentBounds) {
  if (mBubbleControls.empty() || caller == nullptr) return;
  if (!mEnableMultiTouch) {
    mBubbleControls[0]->ShowBubble(caller, x, y, str, dir, minimumContentBounds, 0);
    return;
  }
  // One bubble per touch: the caller's single captured touch picks it.
  std::vector<uint64_t> touches;
  for (const auto& [id, c] : mCapturedMap)
    if (c == caller) touches.push_back(id);
  if (touches.size() != 1) return;
  for (IBubbleControlBase* bubble : mBubbleControls) {
    if (bubble->GetTouchID() == touches[0]) {
      bubble->ShowBubble(caller, x, y, str, dir, minimumContentBounds, touches[0]);
      return;
    }
  }
  static size_t sNextBubble = 0;  // taken in turn, process-wide
  IBubbleControlBase* bubble = mBubbleControls[sNextBubble++ % mBubbleControls.size()];
  bubble->ShowBubble(caller, x, y, str, dir, minimumContentBounds, touches[0]);
}

// ---------------------------------------------------------------------------------------
// Removing

void ICanvas::forgetControl(IControl* control) {
  if (mMouseOver == control) {
    mMouseOver = nullptr;
    mMouseOverIdx = -1;
  }
  if (mInTextEntry == control) {
    mInTextEntry = nullptr;
    ++mTextEntryGeneration;  // a queued commit of this control's box delivers nothing
    // A drawn box open for it closes uncommitted.
    if (mTextEntryControl != nullptr && mTextEntryControl != control && mTextEntryControl->IsEditing())
      mTextEntryControl->DismissEdit();
  }
  if (mInColorPrompt == control) {
    mInColorPrompt = nullptr;
    ++mColorGeneration;  // later colours of its chooser go nowhere
  }
  if (mInPopupMenu == control) {
    mInPopupMenu = nullptr;
    ++mPopupGeneration;  // a queued menu of this control answers no one
    // A drawn menu showing its request (whose menu it may own) closes with it, silently.
    if (mPopupControl != nullptr && mPopupControl != control && mPopupControl->IsBusy()) mPopupControl->CloseNow();
  }
  for (IBubbleControlBase* bubble : mBubbleControls)
    if (bubble != control) bubble->ForgetCaller(control);
  if (mDragDispatch == control) mDragDispatch = nullptr;
  for (std::vector<IControl*>* list : {&mDelivering, &mReportedInScan, &mMarkedInScan})
    std::replace(list->begin(), list->end(), control, static_cast<IControl*>(nullptr));
  EndParamGesturesOf(control);
  // No pointer between a container and its child outlives either.
  if (IContainerBase* parent = control->GetParent()) parent->DetachChild(control);
}

void ICanvas::removeAt(int idx) {
  IControl* c = GetControl(idx);
  if (c == nullptr) return;
  if (ControlIsCaptured(c)) releaseCaptures(true);
  if (mMouseOverIdx > idx) --mMouseOverIdx;
  for (auto it = mTagMap.begin(); it != mTagMap.end(); ++it) {
    if (it->second == c) {
      mTagMap.erase(it);
      break;
    }
  }
  forgetControl(c);
  // Out of the list before it is deleted, so its destructor never finds itself there.
  idx = GetControlIdx(c);
  if (idx >= 0) mControls.erase(mControls.begin() + idx);
  delete c;
}

void ICanvas::RemoveControl(IControl* control) {
  const int idx = GetControlIdx(control);
  if (idx < 0) return;  // not in the list: nothing to remove
  removeAt(idx);
  SetAllControlsDirty();
}

void ICanvas::RemoveControl(int idx) {
  if (GetControl(idx) == nullptr) return;
  removeAt(idx);
  SetAllControlsDirty();
}

void ICanvas::RemoveControls(int fromIdx) {
  for (int idx = NControls() - 1; idx >= std::max(fromIdx, 0); --idx) {
    removeAt(idx);
    idx = std::min(idx, NControls());
  }
  SetAllControlsDirty();
}

void ICanvas::RemoveControlWithTag(int tag) {
  if (IControl* c = GetControlWithTag(tag)) removeAt(GetControlIdx(c));
  SetAllControlsDirty();
}


void ICanvas::RemoveAllControls() {
  releaseCaptures(true);
  mMouseOver = nullptr;
  mMouseOverIdx = -1;
  deleteSpecial(mPopupControl);
  deleteSpecial(mTextEntryControl);
  deleteSpecial(mCornerResizer);
  deleteSpecial(mFPSDisplay);
  while (!mBubbleControls.empty()) {
    IControl* c = mBubbleControls.back();
    mBubbleControls.pop_back();
    forgetControl(c);
    delete c;
  }
  mTagMap.clear();
  while (!mControls.empty()) {
    IControl* c = mControls.back();
    mControls.pop_back();
    forgetControl(c);
    delete c;
  }
  if (mInTextEntry != nullptr) ++mTextEntryGeneration;
  mInTextEntry = nullptr;
  if (mInPopupMenu != nullptr) ++mPopupGeneration;
  mInPopupMenu = nullptr;
  if (mInColorPrompt != nullptr) ++mColorGeneration;
  mInColorPrompt = nullptr;
  mDragDispatch = nullptr;
}

// ---------------------------------------------------------------------------------------
// Captures and gestures

bool ICanvas::ControlIsCaptured(const IControl* control) const {
  for (const auto& [id, c] : mCapturedMap)
    if (c == control) return true;
  return false;
}

IControl* ICanvas::GetCapturedControl(uint64_t touchID) const {
  auto it = mCapturedMap.find(touchID);
  return it != mCapturedMap.end() ? it->second : nullptr;
}

void ICanvas::releaseCaptures(bool endGestures, IControl* keep) {
  std::vector<IControl*> released;
  for (auto it = mCapturedMap.begin(); it != mCapturedMap.end();) {
    if (keep != nullptr && it->second == keep) {
      ++it;
      continue;
    }
    if (std::find(released.begin(), released.end(), it->second) == released.end()) released.push_back(it->second);
    it = mCapturedMap.erase(it);
  }
  // A cursor hidden by a drag comes back once no drag is left.
  if (mCapturedMap.empty() && mCursorHidden) HideMouseCursor(false, true);
  if (endGestures)
    for (IControl* c : released) EndParamGesturesOf(c);
}

void ICanvas::ReleaseMouseCapture() { releaseCaptures(true); }

void ICanvas::BeginParamGesture(IControl* control, int paramIdx) {
  mOpenGestures.push_back({control, paramIdx, 0});
  mDelegate->BeginInformHostOfParamChangeFromUI(paramIdx);
}

void ICanvas::endGestures(const std::function<bool(const OpenGesture&)>& which) {
  // Out of the record before the host hears of it, so a re-entrant call finds it closed.
  std::vector<int> ended;
  for (auto it = mOpenGestures.begin(); it != mOpenGestures.end();) {
    if (which(*it)) {
      ended.push_back(it->paramIdx);
      it = mOpenGestures.erase(it);
    } else {
      ++it;
    }
  }
  for (int paramIdx : ended) mDelegate->EndInformHostOfParamChangeFromUI(paramIdx);
}

void ICanvas::EndParamGesture(IControl* control, int paramIdx) {
  for (auto it = mOpenGestures.begin(); it != mOpenGestures.end(); ++it) {
    if (it->control == control && it->paramIdx == paramIdx) {
      mOpenGestures.erase(it);
      mDelegate->EndInformHostOfParamChangeFromUI(paramIdx);
      return;
    }
  }
}

void ICanvas::EndParamGesturesOf(IControl* control) {
  endGestures([control](const OpenGesture& g) { return g.control == control; });
}

bool ICanvas::HasOpenGesture(const IControl* control, int paramIdx) const {
  for (const OpenGesture& g : mOpenGestures)
    if (g.control == control && g.paramIdx == paramIdx) return true;
  return false;
}

void ICanvas::SendParameterValueFromControl(IControl* control, int paramIdx, double normalizedValue) {
  if (!std::isfinite(normalizedValue)) return;  // a value that is not a number never reaches the host
  if (mGestureScope != 0 && !HasOpenGesture(control, paramIdx)) {
    mOpenGestures.push_back({control, paramIdx, mGestureScope});
    mDelegate->BeginInformHostOfParamChangeFromUI(paramIdx);
  }
  mDelegate->SendParameterValueFromUI(paramIdx, normalizedValue);
}

void ICanvas::withOwnGestures(const std::function<void()>& f) {
  const std::weak_ptr<const int> alive = mAlive;
  const int outer = mGestureScope;
  const int scope = ++mNextGestureScope;
  mGestureScope = scope;
  f();
  if (alive.expired()) return;  // the callback closed the editor
  mGestureScope = outer;
  endGestures([scope](const OpenGesture& g) { return g.scope == scope; });
}

}  // namespace plugkit::canvas
