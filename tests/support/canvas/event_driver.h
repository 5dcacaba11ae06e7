#pragma once
// A scripted pointer and keyboard, delivering events to a graphics context the way the
// platform view does: logical coordinates (points / draw scale), movement since the
// previous event, odd click counts as presses and even ones as double clicks, Command
// adding the right button to a left click, a click outside an open platform text box
// committing it first, drags dropped while a platform text box is open, the exit from the
// view during a drag delayed to the release, a wheel turn first closing an open text box,
// keys at the last pointer position.
//
//   sp::test::EventDriver mouse(*canvas);
//   mouse.press(100, 50);        // or mouse.click(100, 50)
//   mouse.dragTo(110, 40);
//   mouse.release();
#include "graphics/ICanvas.h"
#include "tests/support/canvas/test_canvas.h"

namespace sp::test {

struct Mods {
  bool shift = false;
  bool control = false;
  bool alt = false;
  bool command = false;
};

class EventDriver {
public:
  explicit EventDriver(TestCanvas& canvas) : mCanvas(canvas) {}

  // Pointer position (logical units) of the last event.
  float x() const { return mX; }
  float y() const { return mY; }

  // Moves the pointer (mouse-over while no button is held, else a drag).
  void moveTo(float x, float y, Mods mods = {});
  // A left (or right) press; clickCount 2, 4, ... arrive as double clicks.
  void press(float x, float y, Mods mods = {}, int clickCount = 1);
  void rightPress(float x, float y, Mods mods = {}, int clickCount = 1);
  void release(Mods mods = {});
  void releaseAt(float x, float y, Mods mods = {});
  // Drags to a logical position, or by a distance in points (divided by the draw scale).
  void dragTo(float x, float y, Mods mods = {});
  void dragByPoints(float dxPoints, float dyPoints, Mods mods = {});
  void click(float x, float y, Mods mods = {});
  void rightClick(float x, float y, Mods mods = {});
  // Press, release, press with count 2, release.
  void doubleClick(float x, float y, Mods mods = {});
  void wheel(float x, float y, float delta, Mods mods = {});
  // The pointer leaves or enters the view.
  void exitView();
  void enterView();
  // Keys at the last pointer position; true when the editor took the key.
  bool keyDown(int vk, const char* utf8 = "", Mods mods = {});
  bool keyUp(int vk, const char* utf8 = "", Mods mods = {});
  // A lost release: the button is up but the editor never heard of it.
  void loseRelease() { mLeftDown = mRightDown = false; }

private:
  plugkit::canvas::IMouseMod modFor(bool left, Mods mods) const;
  plugkit::canvas::IMouseInfo infoAt(float x, float y, const plugkit::canvas::IMouseMod& mod) const;
  void pressButton(float x, float y, bool left, Mods mods, int clickCount);
  void dragToInternal(float x, float y, Mods mods);

  TestCanvas& mCanvas;
  float mX = 0.f;
  float mY = 0.f;
  bool mLeftDown = false;
  bool mRightDown = false;
  bool mMouseOutDuringDrag = false;
};

}  // namespace sp::test
