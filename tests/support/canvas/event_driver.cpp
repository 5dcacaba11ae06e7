#include "tests/support/canvas/event_driver.h"

namespace sp::test {

using plugkit::canvas::IMouseInfo;
using plugkit::canvas::IMouseMod;

IMouseMod EventDriver::modFor(bool left, Mods mods) const {
  IMouseMod mod;
  mod.L = left;
  mod.R = left ? mods.command : true;  // Command-click counts as a right click too
  mod.S = mods.shift;
  mod.C = mods.control;
  mod.A = mods.alt;
  return mod;
}

IMouseInfo EventDriver::infoAt(float x, float y, const IMouseMod& mod) const {
  IMouseInfo info;
  info.x = x;
  info.y = y;
  info.mod = mod;
  return info;
}

void EventDriver::moveTo(float x, float y, Mods mods) {
  if (mLeftDown || mRightDown) {
    dragToInternal(x, y, mods);
    return;
  }
  mX = x;
  mY = y;
  mCanvas.platform().mouseX = x;
  mCanvas.platform().mouseY = y;
  mCanvas.OnMouseOver(x, y, modFor(true, mods));
}

void EventDriver::pressButton(float x, float y, bool left, Mods mods, int clickCount) {
  // A click outside an open text box takes the focus from it: it commits first.
  const std::weak_ptr<const int> alive = mCanvas.GetLivenessToken();
  mCanvas.commitTextEntryOnClickAt(x, y);
  if (alive.expired()) return;  // the commit closed the editor
  mX = x;
  mY = y;
  mCanvas.platform().mouseX = x;
  mCanvas.platform().mouseY = y;
  (left ? mLeftDown : mRightDown) = true;
  const IMouseMod mod = modFor(left, mods);
  if (clickCount % 2 == 1)
    mCanvas.OnMouseDown({infoAt(x, y, mod)});
  else
    mCanvas.OnMouseDblClick(x, y, mod);
}

void EventDriver::press(float x, float y, Mods mods, int clickCount) { pressButton(x, y, true, mods, clickCount); }

void EventDriver::rightPress(float x, float y, Mods mods, int clickCount) {
  pressButton(x, y, false, mods, clickCount);
}

void EventDriver::release(Mods mods) { releaseAt(mX, mY, mods); }

void EventDriver::releaseAt(float x, float y, Mods mods) {
  const bool left = mLeftDown || !mRightDown;
  mX = x;
  mY = y;
  mCanvas.platform().mouseX = x;
  mCanvas.platform().mouseY = y;
  mLeftDown = mRightDown = false;
  mCanvas.OnMouseUp({infoAt(x, y, modFor(left, mods))});
  if (left && mMouseOutDuringDrag) {
    mMouseOutDuringDrag = false;
    mCanvas.OnMouseOut();
  }
}

void EventDriver::dragToInternal(float x, float y, Mods mods) {
  const float dX = x - mX, dY = y - mY;
  mX = x;
  mY = y;
  mCanvas.platform().mouseX = x;
  mCanvas.platform().mouseY = y;
  // A platform text box open: the view drops drags.
  if (mCanvas.PlatformTextEntryInProgress() || mCanvas.textEntryOpen()) return;
  IMouseInfo info = infoAt(x, y, modFor(mLeftDown || !mRightDown, mods));
  info.dX = dX;
  info.dY = dY;
  mCanvas.OnMouseDrag({info});
}

void EventDriver::dragTo(float x, float y, Mods mods) { dragToInternal(x, y, mods); }

void EventDriver::dragByPoints(float dxPoints, float dyPoints, Mods mods) {
  const float scale = mCanvas.GetDrawScale();
  dragToInternal(mX + dxPoints / scale, mY + dyPoints / scale, mods);
}

void EventDriver::click(float x, float y, Mods mods) {
  press(x, y, mods);
  release(mods);
}

void EventDriver::rightClick(float x, float y, Mods mods) {
  rightPress(x, y, mods);
  release(mods);
}

void EventDriver::doubleClick(float x, float y, Mods mods) {
  press(x, y, mods, 1);
  release(mods);
  press(x, y, mods, 2);
  release(mods);
}

void EventDriver::wheel(float x, float y, float delta, Mods mods) {
  mCanvas.ForceEndUserEdit();  // a wheel turn closes an open text box without committing
  mX = x;
  mY = y;
  mCanvas.platform().mouseX = x;
  mCanvas.platform().mouseY = y;
  mCanvas.OnMouseWheel(x, y, modFor(true, mods), delta);
}

void EventDriver::exitView() {
  if (mCanvas.ControlIsCaptured())
    mMouseOutDuringDrag = true;
  else
    mCanvas.OnMouseOut();
}

void EventDriver::enterView() {
  mMouseOutDuringDrag = false;
  mCanvas.SetMouseCursor(mCanvas.GetCursorKind());
}

bool EventDriver::keyDown(int vk, const char* utf8, Mods mods) {
  return mCanvas.OnKeyDown(mX, mY, plugkit::canvas::IKeyPress(utf8, vk, mods.shift, mods.command, mods.alt));
}

bool EventDriver::keyUp(int vk, const char* utf8, Mods mods) {
  return mCanvas.OnKeyUp(mX, mY, plugkit::canvas::IKeyPress(utf8, vk, mods.shift, mods.command, mods.alt));
}

}  // namespace sp::test
