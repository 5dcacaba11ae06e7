#pragma once
// The mix-in of vector controls (drawn with paths): a control inherits it beside IControl
// and gets the shared look of IVStyle: label, widget and value rectangles laid out from its
// bounds, and the background, label, value and pressable shapes (ellipse, rectangle,
// triangle) with shadow, pressed, hover, disabled and splash states.
#include "framework/StringBuf.h"
#include "graphics/Constants.h"
#include "graphics/IControl.h"
#include "graphics/VectorStyle.h"

namespace plugkit::canvas {

class ICanvas;

class IVectorBase {
public:
  explicit IVectorBase(const IVStyle& style, bool labelInWidget = false, bool valueInWidget = false);
  virtual ~IVectorBase() = default;

  // Called after a style change and after each splash change.
  virtual void OnAppearanceChanged() {}
  // Replaces the whole style, colours included.
  virtual void SetStyle(const IVStyle& style);
  virtual void DrawBackground(ICanvas& g, const IRECT& r);
  // The control draws its own widget.
  virtual void DrawWidget(ICanvas& g) {}
  virtual void DrawLabel(ICanvas& g);
  virtual void DrawValue(ICanvas& g, bool mouseOver);
  // Rectangle and all-rounded rectangle: all four corners rounded; half-rounded: the top
  // two; ellipse; triangle at the style's angle. Other shapes draw nothing.
  virtual void DrawPressableShape(ICanvas& g, EVShape shape, const IRECT& bounds, bool pressed, bool mouseOver,
                                  bool disabled);

  // Each returns the handle it drew.
  IRECT DrawPressableEllipse(ICanvas& g, const IRECT& bounds, bool pressed, bool mouseOver, bool disabled);
  // The corner flags, in the order top-left, top-right, bottom-left, bottom-right, round
  // their corner by roundness x half the handle's shorter side.
  IRECT DrawPressableRectangle(ICanvas& g, const IRECT& bounds, bool pressed, bool mouseOver, bool disabled,
                               bool roundTopLeft = true, bool roundTopRight = true, bool roundBottomLeft = true,
                               bool roundBottomRight = true);
  IRECT DrawPressableTriangle(ICanvas& g, const IRECT& bounds, bool pressed, bool mouseOver, float angle,
                              bool disabled);
  // The splash circle in the highlight colour, clipped to clip (within the drawable area);
  // the clip is then the whole drawable area again.
  void DrawSplash(ICanvas& g, const IRECT& clip = IRECT());

  // Lays the parent bounds out into label, value and widget rectangles, stores them and
  // returns the widget rectangle. With a handle, the widget leaves room for the frame and
  // the shadow.
  IRECT MakeRects(const IRECT& parentBounds, bool hasHandle = false);

  // The control this mix-in belongs to, and its label (null keeps the label empty).
  void AttachIControl(IControl* control, const char* label = "");
  IControl* GetControl() const { return mControl; }

  const IVStyle& GetStyle() const { return mStyle; }
  const IColor& GetColor(EVColor role) const { return mStyle.colorSpec.GetColor(role); }
  void SetColor(EVColor role, const IColor& color);
  void SetColors(const IVColorSpec& spec);
  void SetLabelStr(const char* str);
  const char* GetLabelStr() const { return mLabelStr.Get(); }
  void SetValueStr(const char* str);
  const char* GetValueStr() const { return mValueStr.Get(); }
  void SetSplashPoint(float x, float y) { mSplashPoint = IPointF{x, y}; }
  const IPointF& GetSplashPoint() const { return mSplashPoint; }
  // The radius as a fraction of the maximum splash radius.
  void SetSplashRadius(float fraction) { mSplashRadius = fraction * mMaxSplashRadius; }
  float GetSplashRadius() const { return mSplashRadius; }
  float GetMaxSplashRadius() const { return mMaxSplashRadius; }
  float GetTrackSize() const { return mTrackSize; }
  void SetTrackSize(float size) { mTrackSize = size; }
  float GetValueDisplayFrac() const { return mValueDisplayFrac; }
  EVShape GetShape() const { return mShape; }
  void SetShape(EVShape shape) { mShape = shape; }
  const IRECT& GetWidgetBounds() const { return mWidgetBounds; }
  const IRECT& GetLabelBounds() const { return mLabelBounds; }
  const IRECT& GetValueBounds() const { return mValueBounds; }
  bool GetLabelInWidget() const { return mLabelInWidget; }
  bool GetValueInWidget() const { return mValueInWidget; }

  // Style fields, one by one; each ends like SetStyle.
  void SetHideCursor(bool hide);
  void SetShowLabel(bool show);
  void SetShowValue(bool show);
  void SetDrawFrame(bool draw);
  void SetDrawShadows(bool draw);
  void SetEmboss(bool emboss);
  void SetRoundness(float roundness);
  void SetFrameThickness(float thickness);
  void SetShadowOffset(float offset);
  void SetWidgetFrac(float frac);
  void SetAngle(float angle);
  void SetLabelText(const IText& text);
  void SetValueText(const IText& text);
  void SetLabelSide(EVLabelSide side);

  // Corner radius of a rounded rectangle: roundness x half the shorter side.
  float GetRoundedCornerRadius(const IRECT& bounds) const;
  // A colour as a disabled shape shows it: R, G and B each 63 darker (limited to 0..255),
  // alpha kept. Unchanged when not disabled.
  static IColor Disabled(const IColor& color, bool disabled);

protected:
  const IBlend* controlBlend() const { return mControl != nullptr ? &mControl->GetBlend() : nullptr; }
  bool controlAnimating() const { return mControl != nullptr && static_cast<bool>(mControl->GetAnimationFunction()); }
  // The handle of a rectangle or triangle: inside half the frame, and with room for the
  // shadow to its right and below.
  IRECT handleBounds(const IRECT& bounds) const;
  void styleChanged();

  IControl* mControl = nullptr;
  IVStyle mStyle;
  bool mLabelInWidget;
  bool mValueInWidget;
  float mSplashRadius = 0.f;
  IPointF mSplashPoint;
  float mMaxSplashRadius = 50.f;
  float mTrackSize = 2.f;
  float mValueDisplayFrac = 0.66f;
  IRECT mWidgetBounds;
  IRECT mLabelBounds;
  IRECT mValueBounds;
  StringBuf mLabelStr;
  StringBuf mValueStr;
  EVShape mShape = EVShape::Rectangle;
};

// Stock animation and click action of vector controls. Both leave a control without the
// vector mix-in alone (the animation then only ends when its time is up).
void SplashAnimationFunc(IControl* control);
void SplashClickActionFunc(IControl* control);

}  // namespace plugkit::canvas
