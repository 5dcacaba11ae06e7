// Event dispatch: hit testing from the topmost control down, pointer captures, mouse-over,
// double clicks, wheel, keys and drops, with the host's edit gestures around each edit.
#include <algorithm>
#include <cmath>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"

namespace plugkit::canvas {

namespace {

bool finite(const IMouseInfo& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.dX) && std::isfinite(p.dY);
}

}  // namespace

int ICanvas::GetMouseControlIdx(float x, float y, bool mouseOver) {
  if (mouseOver && !mEnableMouseOver) return -1;
  // Index 0, the background, never gets mouse-over.
  const int last = mouseOver ? 1 : 0;
  for (int i = NControls() - 1; i >= last; --i) {
    const IControl* c = mControls[static_cast<size_t>(i)];
    if (c->IsHidden() || c->GetIgnoreMouse()) continue;
    if (c->IsDisabled() && !(mouseOver ? c->GetMouseOverWhenDisabled() : c->GetMouseEventsWhenDisabled())) continue;
    if (c->IsHit(x, y)) return i;
  }
  return -1;
}

IControl* ICanvas::GetMouseControl(float x, float y, bool capture, bool mouseOver, uint64_t touchID) {
  if (IControl* captured = GetCapturedControl(touchID)) return captured;

  IControl* control = nullptr;
  int idx = -1;
  // An expanded drawn menu, else an open drawn text box, takes every event.
  if (mPopupControl != nullptr && mPopupControl->IsExpanded()) {
    control = mPopupControl;
  } else if (mTextEntryControl != nullptr && mTextEntryControl->IsEditing()) {
    control = mTextEntryControl;
  } else if (mCornerResizer != nullptr && mCornerResizer->GetRECT().ContainsPoint(x, y)) {
    control = mCornerResizer;
  } else if (mFPSDisplay != nullptr && mFPSDisplay->GetRECT().ContainsPoint(x, y)) {
    control = mFPSDisplay;
  } else {
    idx = GetMouseControlIdx(x, y, mouseOver);
    control = GetControl(idx);
  }

  if (capture && control != nullptr) {
    if (mEnableMultiTouch && ControlIsCaptured(control) && !control->GetWantsMultiTouch()) return nullptr;
    mCapturedMap.emplace(touchID, control);
  }
  if (mouseOver) mMouseOverIdx = idx;
  return control;
}

// Every dispatch function keeps the liveness token from its entry: a control's handler may
// close the editor (a host does so while a modal box of that handler is open), and then
// nothing of this object may be touched after the call returns.

void ICanvas::OnMouseDown(const std::vector<IMouseInfo>& points) {
  const std::weak_ptr<const int> alive = mAlive;
  if (points.size() == 1) {
    mMouseDownX = points[0].x;
    mMouseDownY = points[0].y;
  }
  for (const IMouseInfo& p : points) {
    if (!finite(p)) continue;
    // A capture left over from a lost release is ended and dropped first, so the press
    // goes where it lands and opens its gestures once.
    if (IControl* stale = GetCapturedControl(p.mod.touchID)) {
      mCapturedMap.erase(p.mod.touchID);
      EndParamGesturesOf(stale);
      if (alive.expired()) return;
    }
    IControl* c = GetMouseControl(p.x, p.y, true, false, p.mod.touchID);
    if (c == nullptr) continue;

    const int paramIdx = c->GetParamIdx(std::max(c->GetValIdxForPos(p.x, p.y), 0));
    if (p.mod.R && paramIdx >= 0) {
      ReleaseMouseCapture();
      if (alive.expired()) return;
      PopupHostContextMenuForParam(c, paramIdx, p.x, p.y);
      return;
    }
    const int editsToBegin = c->GetPressBeginsEdit() ? c->NVals() : 0;
    for (int v = 0; v < editsToBegin; ++v) {
      const int linked = c->GetParamIdx(v);
      if (linked >= 0) BeginParamGesture(c, linked);
      if (alive.expired()) return;
    }
    c->OnMouseDown(p.x, p.y, p.mod);
    if (alive.expired()) return;
  }
}

void ICanvas::OnMouseUp(const std::vector<IMouseInfo>& points) {
  const std::weak_ptr<const int> alive = mAlive;
  for (const IMouseInfo& p : points) {
    IControl* c = GetCapturedControl(p.mod.touchID);
    if (c == nullptr) continue;
    c->OnMouseUp(p.x, p.y, p.mod);
    if (alive.expired()) return;
    // The handler may have removed the control (its gestures ended with it).
    if (GetCapturedControl(p.mod.touchID) == c) {
      mCapturedMap.erase(p.mod.touchID);
      EndParamGesturesOf(c);
      if (alive.expired()) return;
    }
  }

  if (mResizingInProcess) {
    EndDragResize();
    if (alive.expired()) return;
  }

  if (points.size() == 1 && points[0].mod.touchID == 0) {
    const IMouseInfo& p = points[0];
    moveMouseOverTo(GetMouseControl(p.x, p.y, false, true), p.x, p.y, p.mod);
  }
}

void ICanvas::OnMouseDrag(const std::vector<IMouseInfo>& points) {
  if (mResizingInProcess && points.size() == 1) {
    OnDragResize(points[0].x, points[0].y);
    return;
  }
  if (mCapturedMap.empty()) return;
  // A platform text box takes the keyboard; drags behind it are dropped.
  if (mInTextEntry != nullptr && mTextEntryControl == nullptr) return;

  const std::weak_ptr<const int> alive = mAlive;
  for (const IMouseInfo& p : points) {
    if (!finite(p) || (p.dX == 0.f && p.dY == 0.f)) continue;
    IControl* c = GetCapturedControl(p.mod.touchID);
    if (c == nullptr) continue;
    if (mInTextEntry != nullptr && c != mTextEntryControl) continue;
    IControl* outer = mDragDispatch;
    mDragDispatch = c;  // a resize from inside this drag keeps this capture
    c->OnMouseDrag(p.x, p.y, p.dX, p.dY, p.mod);
    if (alive.expired()) return;
    mDragDispatch = outer;
  }
}

bool ICanvas::OnMouseDblClick(float x, float y, const IMouseMod& mod) {
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  IControl* c = GetMouseControl(x, y, true, false, mod.touchID);
  if (c == nullptr) return false;
  if (c->GetDblAsSingleClick()) {
    IMouseInfo info;
    info.x = x;
    info.y = y;
    info.mod = mod;
    OnMouseDown({info});  // the capture stays for the coming release
  } else {
    // A reset sent here gets a host gesture of its own.
    const std::weak_ptr<const int> alive = mAlive;
    withOwnGestures([&] { c->OnMouseDblClick(x, y, mod); });
    if (!alive.expired()) ReleaseMouseCapture();
  }
  return true;
}

bool ICanvas::OnMouseWheel(float x, float y, const IMouseMod& mod, float d) {
  IControl* c = GetMouseControl(x, y, false);
  if (c == nullptr) return false;
  // Nothing of this object is touched after the call.
  if (std::isfinite(d)) withOwnGestures([&] { c->OnMouseWheel(x, y, mod, d); });
  return true;
}

bool ICanvas::OnMouseOver(float x, float y, const IMouseMod& mod) {
  IControl* c = GetMouseControl(x, y, false, true);
  moveMouseOverTo(c, x, y, mod);
  return c != nullptr;
}

void ICanvas::moveMouseOverTo(IControl* c, float x, float y, const IMouseMod& mod) {
  const std::weak_ptr<const int> alive = mAlive;
  if (c != mMouseOver) {
    if (mMouseOver != nullptr) {
      mMouseOver->OnMouseOut();
      if (alive.expired()) return;
    }
    mMouseOver = c;
  }
  if (mMouseOver != nullptr) mMouseOver->OnMouseOver(x, y, mod);
}

void ICanvas::OnMouseOut() {
  // The kind kept is the one active before leaving, re-applied when the pointer enters.
  mCursorType = SetMouseCursor(ECursor::Arrow);
  if (!forAllControlsWhileAlive([](IControl* c) { c->OnMouseOut(); })) return;
  mMouseOver = nullptr;
  mMouseOverIdx = -1;
}

void ICanvas::OnTouchCancelled(const std::vector<IMouseInfo>& points) {
  const std::weak_ptr<const int> alive = mAlive;
  for (const IMouseInfo& p : points) {
    IControl* c = GetCapturedControl(p.mod.touchID);
    if (c == nullptr) continue;
    c->OnTouchCancelled(p.x, p.y, p.mod);
    if (alive.expired()) return;
    if (GetCapturedControl(p.mod.touchID) == c) {
      mCapturedMap.erase(p.mod.touchID);
      EndParamGesturesOf(c);  // a cancelled touch leaves no host gesture open
      if (alive.expired()) return;
    }
  }
}

bool ICanvas::OnKeyDown(float x, float y, const IKeyPress& key) { return dispatchKey(x, y, key, false); }

bool ICanvas::OnKeyUp(float x, float y, const IKeyPress& key) { return dispatchKey(x, y, key, true); }

bool ICanvas::dispatchKey(float x, float y, const IKeyPress& key, bool isUp) {
  const std::weak_ptr<const int> alive = mAlive;
  IControl* c = GetMouseControl(x, y, false);
  if (c != nullptr && c != GetControl(0)) {
    bool handled = false;
    withOwnGestures([&] { handled = isUp ? c->OnKeyUp(x, y, key) : c->OnKeyDown(x, y, key); });
    if (handled || alive.expired()) return handled;
  }
  if (!mKeyHandlerFunc) return false;
  const KeyHandlerFunc handler = mKeyHandlerFunc;  // the handler may replace itself
  return handler(key, isUp);
}

void ICanvas::OnDrop(const char* str, float x, float y) {
  if (IControl* c = GetMouseControl(x, y, false)) c->OnDrop(str);
}

void ICanvas::OnDropMultiple(const std::vector<const char*>& paths, float x, float y) {
  if (IControl* c = GetMouseControl(x, y, false)) c->OnDropMultiple(paths);
}

int ICanvas::GetParamIdxForPTAutomation(float x, float y) {
  IControl* c = GetMouseControl(x, y, false);
  mLastClickedParam = c != nullptr ? c->GetParamIdx(0) : -1;
  return mLastClickedParam;
}

int ICanvas::GetLastClickedParamForPTAutomation() {
  const int last = mLastClickedParam;
  mLastClickedParam = -1;
  return last;
}

}  // namespace plugkit::canvas
