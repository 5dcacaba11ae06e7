#pragma once
// The rotary knob drawn with vectors: a value arc (the track) around a round handle with a
// pointer, a label and a value text that may open a text entry. Angles are in degrees,
// 0 pointing up, growing clockwise: the value 0 sits at the start angle, 1 at the end
// angle, and the track runs from the anchor angle to the value's angle. A derived knob
// may draw its own track (DrawIndicatorTrack). Main thread only.
#include "graphics/IKnobControlBase.h"
#include "graphics/IVectorBase.h"

namespace plugkit::canvas {

class IVKnobControl : public IKnobControlBase, public IVectorBase {
public:
  // Value 0 linked to paramIdx. valueIsEditable: a click on the value text opens a text
  // entry; valueInWidget: the value text sits inside the widget.
  IVKnobControl(const IRECT& bounds, int paramIdx, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                bool valueIsEditable = false, bool valueInWidget = false, float startAngle = -135.f,
                float endAngle = 135.f, float anchorAngle = -135.f, EDirection direction = EDirection::Vertical,
                double gearing = kDefaultGearing, float trackSize = 2.f);
  // One unlinked value; the action function runs on every change sent.
  IVKnobControl(const IRECT& bounds, ActionFunc action, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                bool valueIsEditable = false, bool valueInWidget = false, float startAngle = -135.f,
                float endAngle = 135.f, float anchorAngle = -135.f, EDirection direction = EDirection::Vertical,
                double gearing = kDefaultGearing, float trackSize = 2.f);

  void Draw(ICanvas& g) override;
  void DrawWidget(ICanvas& g) override;
  virtual void DrawHandle(ICanvas& g, const IRECT& bounds);
  // The value arc from the anchor to angle, in the Extra1 colour, track size thick.
  // Nothing for a track size or radius of 0 or less.
  virtual void DrawIndicatorTrack(ICanvas& g, float angle, float cx, float cy, float radius);
  // A radial line at angle from the inner to the outer pointer fraction of radius.
  virtual void DrawPointer(ICanvas& g, float angle, float cx, float cy, float radius);

  // Centred in the widget: half as wide as tall when the widget is wider than tall, else
  // half as tall as wide. A full turn takes its height (vertical drags) or width.
  IRECT GetKnobDragBounds() override;
  // The track's radius: half the widget's shorter side less half the track size (may be
  // 0 or less for a widget narrower than the track: no track is drawn then).
  float GetRadius() const;
  // The square around the track, at least 1 wide.
  IRECT GetTrackBounds() const;

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // The final value is sent once more.
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnResize() override;
  void OnInit() override;
  // The widget, and the value text while it can be edited.
  bool IsHit(float x, float y) const override;
  // Always for every value; refreshes the value text from the linked parameter.
  void SetDirty(bool triggerAction = true, int valIdx = kEveryValIdx) override;

  float GetStartAngle() const { return mAngle1; }
  float GetEndAngle() const { return mAngle2; }
  float GetAnchorAngle() const { return mAnchorAngle; }
  bool GetValueMouseOver() const { return mValueMouseOver; }

protected:
  float mTrackToHandleDistance = 4.f;
  float mInnerPointerFrac = 0.1f;
  float mOuterPointerFrac = 1.f;
  float mPointerThickness = 2.5f;
  float mAngle1;
  float mAngle2;
  float mAnchorAngle;
  bool mValueMouseOver = false;

private:
  void refreshValueStr();
};

}  // namespace plugkit::canvas
