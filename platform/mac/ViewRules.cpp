#include "platform/mac/ViewRules.h"

#include <cmath>

#include "platform/mac/KeyMap.h"

namespace plugkit::canvas {

ViewRect FrameRule(const IRECT& r, float drawScale) {
  const double s = drawScale;
  const double l = std::floor(r.L * s), t = std::floor(r.T * s);
  const double rr = std::ceil(r.R * s), b = std::ceil(r.B * s);
  return {l, t, rr - l, b - t};
}

ViewRect ViewFrameFor(int width, int height, float drawScale) {
  return {0.0, 0.0, static_cast<double>(static_cast<int>(static_cast<float>(width) * drawScale)),
          static_cast<double>(static_cast<int>(static_cast<float>(height) * drawScale))};
}

float UsableBackingScale(double candidate, float current) {
  if (!std::isfinite(candidate) || !(candidate > 0.0)) return current;
  return static_cast<float>(candidate);
}

double FrameInterval(int fps) { return 1.0 / static_cast<double>(fps > 0 ? fps : 60); }

IMouseMod MouseModFor(bool leftButtonEvent, unsigned long modifierFlags) {
  IMouseMod mod;
  mod.L = leftButtonEvent;
  mod.R = leftButtonEvent ? (modifierFlags & kEventFlagCommand) != 0 : true;
  mod.S = (modifierFlags & kEventFlagShift) != 0;
  mod.C = (modifierFlags & kEventFlagControl) != 0;
  mod.A = (modifierFlags & kEventFlagOption) != 0;
  return mod;
}

double RoundCursorCoordinate(double v) { return std::round(v); }

CursorChoice CursorFor(int cursor) {
  switch (static_cast<ECursor>(cursor)) {
    case ECursor::IBeam: return {nullptr, "IBeamCursor"};
    case ECursor::Wait:
    case ECursor::AppStarting: return {"busyButClickableCursor", nullptr};
    case ECursor::Cross: return {nullptr, "crosshairCursor"};
    case ECursor::UpArrow: return {"_windowResizeNorthCursor", "resizeUpCursor"};
    case ECursor::SizeNWSE: return {"_windowResizeNorthWestSouthEastCursor", nullptr};
    case ECursor::SizeNESW: return {"_windowResizeNorthEastSouthWestCursor", nullptr};
    case ECursor::SizeWE: return {"_windowResizeEastWestCursor", "resizeLeftRightCursor"};
    case ECursor::SizeNS: return {"_windowResizeNorthSouthCursor", "resizeUpDownCursor"};
    case ECursor::SizeAll: return {nullptr, nullptr, true};
    case ECursor::NotAllowed: return {nullptr, "operationNotAllowedCursor"};
    case ECursor::Hand: return {nullptr, "pointingHandCursor"};
    case ECursor::Help: return {"_helpCursor", nullptr};
    default: return {nullptr, "arrowCursor"};
  }
}

}  // namespace plugkit::canvas
