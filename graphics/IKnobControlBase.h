#pragma once
// The mouse behaviour of every rotary control: drag gearing along one axis, fine control
// with shift or control held, wheel steps, and whole steps for stepped parameters.
#include "graphics/IControl.h"

namespace plugkit::canvas {

class IKnobControlBase : public IControl {
public:
  static constexpr double kDefaultGearing = 4.0;

  IKnobControlBase(const IRECT& bounds, int paramIdx = kNoLinkedParam, EDirection direction = EDirection::Vertical,
                   double gearing = kDefaultGearing);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  // Moves the value by the drag over the drag bounds divided by the gearing (ten times
  // finer with shift or control). A drag that gives no finite change is ignored.
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  // 0.01 per wheel unit (0.001 fine); a stepped parameter moves by one step per event.
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;

  // The area whose height (or width) a full turn takes; the target rectangle by default.
  virtual IRECT GetKnobDragBounds() { return mTargetRECT; }
  virtual bool IsFineControl(const IMouseMod& mod, bool wheel) const { return mod.S || mod.C; }

  EDirection GetDirection() const { return mDirection; }
  void SetDirection(EDirection direction) { mDirection = direction; }
  double GetGearing() const { return mGearing; }
  void SetGearing(double gearing) { mGearing = gearing; }
  bool GetHideCursorOnDrag() const { return mHideCursorOnDrag; }
  void SetHideCursorOnDrag(bool hide) { mHideCursorOnDrag = hide; }
  bool GetMouseDown() const { return mMouseDown; }

protected:
  // A normalised value moved to the nearest step of the stepped parameter at value 0.
  double stepped(double value) const;

  bool mHideCursorOnDrag = true;
  EDirection mDirection;
  double mGearing;
  bool mMouseDown = false;
  double mMouseDragValue = 0.0;
};

}  // namespace plugkit::canvas
