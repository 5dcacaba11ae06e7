#pragma once
// Event records handed from the platform view to the graphics context and its controls.
#include <cstdint>
#include <cstring>

#include "framework/IPlugStructs.h"

namespace plugkit::canvas {

// Mouse state of one event: buttons, modifier keys, touch id (0 for the mouse) and radius.
// A left click with Command held on macOS also sets R.
struct IMouseMod {
  bool L = false;  // left button
  bool R = false;  // right button
  bool S = false;  // shift
  bool C = false;  // control
  bool A = false;  // alt / option
  uint64_t touchID = 0;
  float touchRadius = 0.f;

  constexpr IMouseMod() = default;
  constexpr IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false,
                      uint64_t touch = 0)
      : L(l), R(r), S(s), C(c), A(a), touchID(touch) {}
  bool operator==(const IMouseMod&) const = default;
};

// One pointer of a mouse event: position and movement since the previous event, in
// logical editor coordinates.
struct IMouseInfo {
  float x = 0.f;
  float y = 0.f;
  float dX = 0.f;
  float dY = 0.f;
  IMouseMod mod;
};

// Key presses and MIDI messages are the framework's records.
using plugkit::IKeyPress;
using plugkit::IMidiMsg;

// Virtual key codes (Windows numbering); letters and digits are their ASCII codes.
enum EVirtualKey : int {
  kVK_NONE = 0,
  kVK_BACK = 8,
  kVK_TAB = 9,
  kVK_RETURN = 13,
  kVK_ESCAPE = 27,
  kVK_SPACE = 32,
  kVK_PRIOR = 33,
  kVK_NEXT = 34,
  kVK_END = 35,
  kVK_HOME = 36,
  kVK_LEFT = 37,
  kVK_UP = 38,
  kVK_RIGHT = 39,
  kVK_DOWN = 40,
  kVK_INSERT = 45,
  kVK_DELETE = 46,
  kVK_NUMPAD0 = 96,
  kVK_MULTIPLY = 106,
  kVK_ADD = 107,
  kVK_SEPARATOR = 108,
  kVK_SUBTRACT = 109,
  kVK_DECIMAL = 110,
  kVK_DIVIDE = 111,
  kVK_F1 = 112,
  kVK_NUMLOCK = 144,
  kVK_KEYPAD_ENTER = 0x800D,
};

// Gestures recognised by touch platforms; nothing delivers them on this platform.
enum class EGestureType : int { Unknown = 0, DoubleTap, TripleTap, LongPress1, LongPress2, SwipeLeft, SwipeRight,
                                SwipeUp, SwipeDown, Pinch, Rotate };

struct IGestureInfo {
  float x = 0.f;
  float y = 0.f;
  float scale = 0.f;
  float velocity = 0.f;
  float angle = 0.f;
  EGestureType type = EGestureType::Unknown;
};

}  // namespace plugkit::canvas
