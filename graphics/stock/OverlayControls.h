#pragma once
// Three special controls the graphics context holds above its control list:
// IBubbleControl (a control's value beside the pointer while the control is dragged),
// ICornerResizerControl (a triangle in the bottom-right corner that resizes the editor) and
// IFPSDisplayControl (a plot of the last 100 frame times with a reading, its texts in the
// style's text colour so they read over the plot). Each comes with an attach function; this
// product's panel attaches none of them.
//
// The bubble fades in over 200 ms, then checks every 1000 ms whether its caller is still
// held by a drag; once it is not, it fades out over 200 ms and hides. A caller removed from
// the editor counts as released.
//
// Main thread only. Nothing here fails; frame readings are formatted the same whatever the
// process locale.
#include <array>

#include "framework/StringBuf.h"
#include "graphics/Constants.h"
#include "graphics/ICanvas.h"
#include "graphics/IVectorBase.h"
#include "graphics/SpecialControls.h"

namespace plugkit::canvas {

class IBubbleControl : public IBubbleControlBase {
public:
  enum EState : int { kHidden = 0, kFadingIn = 1, kShown = 2, kFadingOut = 3 };

  IBubbleControl(const IText& text = DEFAULT_TEXT, const IColor& fillColor = COLOR_WHITE,
                 const IColor& strokeColor = COLOR_BLACK, float cornerRadius = 5.f);

  // Places the bubble for the point: beside it (horizontal) or above it (vertical), turned
  // to the other side of the caller when it would leave the maximum bounds.
  void ShowBubble(IControl* caller, float x, float y, const char* str, EDirection dir, IRECT minimumContentBounds,
                  uint64_t touchID) override;
  uint64_t GetTouchID() const override { return mTouchId; }
  void ForgetCaller(const IControl* control) override;

  void Draw(ICanvas& g) override;
  // The text inside the bubble.
  virtual void DrawContent(ICanvas& g, const IRECT& r);
  // The rounded body with its arrow, filled and outlined.
  virtual void DrawBubble(ICanvas& g, const IRECT& r);
  virtual void MeasureText(const char* str, IRECT& bounds) const;

  // The area the bubble must fit. Empty (the default): the editor's bounds at each showing.
  void SetMaxBounds(const IRECT& bounds) { mMaxBounds = bounds; }
  EState GetState() const { return mState; }
  const IRECT& GetBubbleBounds() const { return mBubbleBounds; }
  int GetArrowDirection() const { return mArrowDir; }
  IControl* GetCaller() const { return mCaller; }
  const char* GetStr() const { return mStr.Get(); }

private:
  void animate();

  uint64_t mTouchId = 0;
  EDirection mDirection = EDirection::Horizontal;
  IRECT mMaxBounds;
  IRECT mBubbleBounds;
  IControl* mCaller = nullptr;
  int mArrowDir = 3;
  StringBuf mStr;
  float mRoundness;
  float mDropShadowSize = 10.f;
  float mArrowSize = 10.f;
  float mOpacity = 0.95f;
  float mStrokeWidth = 2.f;
  float mHorizontalPadding = 5.f;
  IColor mFillColor;
  IColor mStrokeColor;
  EState mState = kHidden;
};

class ICornerResizerControl : public IControl {
public:
  // A square of side size in the bottom-right corner of the editor bounds; the bounds are
  // kept as the size a double click returns to.
  ICornerResizerControl(const IRECT& editorBounds, float size, const IColor& color = COLOR_TRANSLUCENT,
                        const IColor& mouseOverColour = COLOR_BLACK, const IColor& dragColor = COLOR_BLACK);

  // Starts the graphics context's corner drag.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // Back to the initial size at scale 1.
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  // The square follows the editor's corner, size points on screen whatever the draw scale.
  void OnRescale() override;
  void Draw(ICanvas& g) override;

  const IRECT& GetInitialBounds() const { return mInitialGraphicsBounds; }

private:
  float mSize;
  bool mMouseOver = false;
  ECursor mPrevCursorType = ECursor::Arrow;
  IRECT mInitialGraphicsBounds;
  IColor mColor;
  IColor mMouseOverColor;
  IColor mDragColor;
};

class IFPSDisplayControl : public IFPSDisplayControlBase, public IVectorBase {
public:
  enum class EStyle : int { Fps = 0, Ms = 1, Percentage = 2 };
  static constexpr int kNumSamples = 100;

  IFPSDisplayControl(const IRECT& bounds, EStyle style = EStyle::Fps, const char* label = "");

  // The newest frame time goes in after the others; the oldest of 100 is dropped.
  void Update(float frameTimeSeconds) override;
  // Cycles the reading: frames per second, frame time, share of the frame budget. The plot
  // follows the reading: up to 80 frames per second, 20 ms, or 100 % of the budget (one
  // frame at the context's frame rate).
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void Draw(ICanvas& g) override;
  bool IsDirty() override { return true; }

  EStyle GetStyle() const { return mStyle; }
  // The mean of the frame times received (at most the last 100), in seconds; 0 before any.
  float GetAverage() const;

private:
  EStyle mStyle;
  StringBuf mLabel;
  std::array<float, kNumSamples> mSamples{};
  int mWriteIndex = 0;  // where the newest sample is
  int mFilled = 0;      // samples received, up to 100
  IText mAPIText;
  IText mMainText;
  IText mSecondText;
  IColor mBackground = COLOR_WHITE;
};

// Attach functions, each taking no second one of a slot that holds one.
void AttachBubbleControl(ICanvas& g, const IText& text = DEFAULT_TEXT);
void AttachCornerResizer(ICanvas& g, EUIResizerMode mode = EUIResizerMode::Scale, bool layoutOnResize = false,
                         const IColor& color = COLOR_TRANSLUCENT, const IColor& mouseOverColor = COLOR_BLACK,
                         const IColor& dragColor = COLOR_BLACK, float size = 20.f);
// Shows the frame-rate display (in bounds, or at (10, 10, 210, 60) when they are empty),
// labelled "Frame Time", or removes it.
void ShowFPSDisplay(ICanvas& g, bool enable, const IRECT& bounds = IRECT());

}  // namespace plugkit::canvas
