#pragma once
// The rules of the Cocoa view and the Mac graphics class that need no Cocoa type: the frame
// rule (framework rectangles to view rectangles), sizes, scales, clicks and mouse
// modifiers, the cursor's rounding and display coordinates, and the cursor table. Pure
// functions; any thread.
#include <cstdint>

#include "graphics/Events.h"
#include "graphics/Geometry.h"
#include "graphics/PlatformTypes.h"

namespace plugkit::canvas {

// A rectangle in view points (origin and size), as Cocoa takes it.
struct ViewRect {
  double x = 0.0;
  double y = 0.0;
  double w = 0.0;
  double h = 0.0;
  bool operator==(const ViewRect&) const = default;
};

// A framework rectangle in view points: every edge times the draw scale, left and top
// rounded down, right and bottom rounded up.
ViewRect FrameRule(const IRECT& r, float drawScale);
// The view's size for the editor: width and height times the draw scale, truncated.
ViewRect ViewFrameFor(int width, int height, float drawScale);

// A backing scale taken from the screen or the window: finite and above 0, else the
// current one is kept.
float UsableBackingScale(double candidate, float current);
// The frame timer's interval in seconds: 1 / fps, with 60 frames for fps <= 0.
double FrameInterval(int fps);

// Mouse modifiers of an event: a left-button event has L, and R when Command is held; a
// right-button event has R only; Shift, Control and Option from the event's flags.
IMouseMod MouseModFor(bool leftButtonEvent, unsigned long modifierFlags);
// Odd click counts are presses, even ones double clicks.
inline bool IsDoubleClick(long clickCount) { return clickCount % 2 == 0; }

// A screen coordinate of the cursor, stored rounded half away from zero.
double RoundCursorCoordinate(double v);
// Cocoa screen y (origin at the bottom) as display y (origin at the top).
inline double DisplayY(double screenY, double displayPixelsHigh) { return displayPixelsHigh - screenY; }

// The system cursor for a cursor kind: the private cursor used where the system offers it
// (null: none), the public one otherwise (null: the arrow). The move cursor is built by
// the view itself (isMove).
struct CursorChoice {
  const char* privateName = nullptr;
  const char* publicName = nullptr;
  bool isMove = false;
};
// Any value outside the table gives the arrow.
CursorChoice CursorFor(int cursor);

}  // namespace plugkit::canvas
