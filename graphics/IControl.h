#pragma once
// The base of every element on the editor: its rectangles, text style and blend, its
// values (each optionally linked to a plug-in parameter), its dirty flag, animation and
// callbacks, and the virtual interface through which the graphics context draws it and
// hands it events. SetDirty is the one road by which an edit reaches the plug-in.
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "framework/IParam.h"
#include "graphics/Events.h"
#include "graphics/Geometry.h"
#include "graphics/IPopupMenu.h"
#include "graphics/Style.h"
#include "shims/vst3sdk/vst3_includes.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"

namespace plugkit::canvas {

class ICanvas;
class ICanvasEditorDelegate;
class IContainerBase;

inline constexpr int kNoLinkedParam = -1;  // a value linked to no parameter
inline constexpr int kEveryValIdx = -1;    // all values of a control
inline constexpr int kNoTag = -1;          // a control without a tag

class IControl : public Steinberg::Vst::IContextMenuTarget, public Steinberg::FObject {
public:
  using ActionFunc = std::function<void(IControl*)>;
  using AnimationFunc = std::function<void(IControl*)>;
  using GestureFunc = std::function<void(IControl*, const IGestureInfo&)>;

  // One value linked to paramIdx (kNoLinkedParam for none).
  explicit IControl(const IRECT& bounds, int paramIdx = kNoLinkedParam, ActionFunc action = nullptr);
  // One value per listed parameter, in list order.
  IControl(const IRECT& bounds, std::initializer_list<int> params, ActionFunc action = nullptr);
  // One unlinked value.
  IControl(const IRECT& bounds, ActionFunc action);
  ~IControl() override;

  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // Reference counting and the host context-menu callback.
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;
  Steinberg::tresult PLUGIN_API executeMenuItem(Steinberg::int32 tag) override;

  static Steinberg::FClassID getFClassID() { return "IControl"; }
  Steinberg::FClassID isA() const override { return getFClassID(); }
  bool isA(Steinberg::FClassID name) const override { return isTypeOf(name, true); }
  bool isTypeOf(Steinberg::FClassID name, bool askBaseClass = true) const override;

  // Events. Coordinates are logical editor units.
  virtual void OnMouseDown(float x, float y, const IMouseMod& mod);
  virtual void OnMouseUp(float x, float y, const IMouseMod& mod) {}
  virtual void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) {}
  virtual void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  virtual void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) {}
  virtual bool OnKeyDown(float x, float y, const IKeyPress& key) { return false; }
  virtual bool OnKeyUp(float x, float y, const IKeyPress& key) { return false; }
  virtual void OnMouseOver(float x, float y, const IMouseMod& mod);
  virtual void OnMouseOut();
  virtual void OnTouchCancelled(float x, float y, const IMouseMod& mod) {}
  virtual void OnDrop(const char* path) {}
  virtual void OnDropMultiple(const std::vector<const char*>& paths);
  virtual void OnRescale() {}
  virtual void OnResize() {}
  virtual void OnInit() {}
  virtual void OnAttached() {}
  virtual void OnMsgFromDelegate(int msgTag, int dataSize, const void* data) {}
  virtual void OnMidi(const IMidiMsg& msg) {}
  virtual bool OnGesture(const IGestureInfo& info);
  virtual void CreateContextMenu(IPopupMenu& menu) {}
  virtual void OnPopupMenuSelection(IPopupMenu* menu, int valIdx);
  virtual void OnDeleteFromPopupMenu(IPopupMenu* menu, int itemIdx) {}
  virtual void OnTextEntryCompletion(const char* str, int valIdx) {}
  virtual void OnContextSelection(int itemSelected) {}
  virtual void OnGUIIdle() {}

  virtual void Draw(ICanvas& g) = 0;
  virtual void DrawPTHighlight(ICanvas& g);

  // Values. A value index of kEveryValIdx means all values.
  virtual void SetParamIdx(int paramIdx, int valIdx = 0);
  virtual int GetValIdxForPos(float x, float y) const;
  virtual void SetValueFromDelegate(double value, int valIdx = 0);
  virtual void SetValueFromUserInput(double value, int valIdx = 0);
  virtual void SetValueToDefault(int valIdx = kEveryValIdx);
  // Stores the value as it is (no clamping, no redraw).
  virtual void SetValue(double value, int valIdx = 0);

  virtual void SetText(const IText& text) { mText = text; }
  virtual void SetPosition(float x, float y);
  virtual void SetSize(float w, float h);
  virtual void Hide(bool hide);
  virtual void SetDisabled(bool disable);
  virtual void SetIgnoreMouse(bool ignore) { mIgnoreMouse = ignore; }
  virtual bool IsHit(float x, float y) const { return mTargetRECT.ContainsPoint(x, y); }
  // Clamps the values concerned to 0..1 and marks the control dirty; with triggerAction
  // also sends each linked value to the plug-in, updates the controls linked to the same
  // parameter and runs the action function.
  virtual void SetDirty(bool triggerAction = true, int valIdx = kEveryValIdx);
  virtual void SetClean() { mDirty = false; }
  virtual bool IsDirty();
  virtual bool GetWantsGestures() const;
  // Sets the value from a pointer position inside bounds (rounded to 0.001, limited to
  // scalarMin..scalarMax) and sends it. A bounds of zero extent along the direction does nothing.
  virtual void SnapToMouse(float x, float y, EDirection direction, const IRECT& bounds, int valIdx = kEveryValIdx,
                           double scalarMin = 0.0, double scalarMax = 1.0);
  virtual void OnEndAnimation();

  // Parameter links.
  int NVals() const { return static_cast<int>(mVals.size()); }
  int GetParamIdx(int valIdx = 0) const;
  // The parameter linked at valIdx, or null (unlinked, outside the delegate's list, or unattached).
  IParam* GetParam(int valIdx = 0) const;
  // The first value index linked to paramIdx, or -1.
  int LinkedToParam(int paramIdx) const;
  double GetValue(int valIdx = 0) const;

  void PromptUserInput(int valIdx = 0);
  void PromptUserInput(const IRECT& bounds, int valIdx = 0);

  // Rectangles.
  const IRECT& GetRECT() const { return mRECT; }
  void SetRECT(const IRECT& bounds) { mRECT = bounds; }
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  void SetTargetRECT(const IRECT& bounds) { mTargetRECT = bounds; }
  // Sets both rectangles, clears mouse-over and calls OnResize.
  void SetBothRects(const IRECT& bounds);

  // Flags and plain fields.
  const char* GetGroup() const { return mGroup.c_str(); }
  void SetGroup(const char* group) { mGroup = group != nullptr ? group : ""; }
  const IText& GetText() const { return mText; }
  const IBlend& GetBlend() const { return mBlend; }
  void SetBlend(const IBlend& blend) { mBlend = blend; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int length) { mTextEntryLength = length; }
  bool IsHidden() const { return mHide; }
  bool IsDisabled() const { return mDisabled; }
  bool GetPromptDisabled() const { return mPromptDisabled; }
  void SetPromptDisabled(bool disabled) { mPromptDisabled = disabled; }
  bool GetDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetDblAsSingleClick(bool single) { mDblAsSingleClick = single; }
  // Whether a press begins the host's edit of each linked parameter (ended on release).
  // Off for a control whose press only asks for a value: the answer brings its own edit.
  bool GetPressBeginsEdit() const { return mPressBeginsEdit; }
  void SetPressBeginsEdit(bool begins) { mPressBeginsEdit = begins; }
  bool GetMouseOverWhenDisabled() const { return mMouseOverWhenDisabled; }
  void SetMouseOverWhenDisabled(bool allow) { mMouseOverWhenDisabled = allow; }
  bool GetMouseEventsWhenDisabled() const { return mMouseEventsWhenDisabled; }
  void SetMouseEventsWhenDisabled(bool allow) { mMouseEventsWhenDisabled = allow; }
  bool GetIgnoreMouse() const { return mIgnoreMouse; }
  bool GetWantsMidi() const { return mWantsMidi; }
  void SetWantsMidi(bool want) { mWantsMidi = want; }
  bool GetWantsMultiTouch() const { return mWantsMultiTouch; }
  void SetWantsMultiTouch(bool want) { mWantsMultiTouch = want; }
  bool GetPromptShowsParamLabel() const { return mPromptShowsParamLabel; }
  void SetPromptShowsParamLabel(bool show) { mPromptShowsParamLabel = show; }
  bool GetMouseIsOver() const { return mMouseIsOver; }
  const char* GetTooltip() const { return mTooltip.c_str(); }
  void SetTooltip(const char* tooltip) { mTooltip = tooltip != nullptr ? tooltip : ""; }
  const IColor& GetHighlightColor() const { return mPTHighlightColor; }
  bool GetPTHighlight() const { return mPTisHighlighted; }
  // Colour 0 red, 1 blue, 2 green, 3 yellow; any other keeps the current colour.
  void SetPTParameterHighlight(bool highlighted, int color);

  // Back-pointers, set by the graphics context (and a container for its children).
  IContainerBase* GetParent() const { return mParent; }
  void SetParent(IContainerBase* parent) { mParent = parent; }
  ICanvasEditorDelegate* GetDelegate() const { return mDelegate; }
  void SetDelegate(ICanvasEditorDelegate* delegate) { mDelegate = delegate; }
  ICanvas* GetGraphics() const { return mGraphics; }
  ICanvas* GetUI() const { return mGraphics; }
  void SetGraphics(ICanvas* graphics) { mGraphics = graphics; }

  // Action and animation.
  const ActionFunc& GetActionFunction() const { return mActionFunc; }
  void SetActionFunction(ActionFunc func) { mActionFunc = std::move(func); }
  const ActionFunc& GetAnimationEndActionFunction() const { return mAnimationEndActionFunc; }
  void SetAnimationEndActionFunction(ActionFunc func) { mAnimationEndActionFunc = std::move(func); }
  const AnimationFunc& GetAnimationFunction() const { return mAnimationFunc; }
  // Stores the animation function and starts the animation: it runs for duration
  // milliseconds from now (StartAnimation), called once per display tick.
  void SetAnimationFunction(AnimationFunc func, double duration);
  // Restarts the clock of the animation: start = now, for duration milliseconds.
  void StartAnimation(double duration);
  // (now - start) / duration; 0 while no animation runs. May exceed 1.
  double GetAnimationProgress() const;
  double GetAnimationDuration() const { return mAnimationDuration; }
  // Called once per display tick by the graphics context.
  void Animate();

  // Gestures (touch platforms). Keeps an existing function for the type.
  IControl* AttachGestureRecognizer(EGestureType type, GestureFunc func);
  EGestureType GetLastGesture() const { return mLastGesture; }

protected:
  IRECT mRECT;
  IRECT mTargetRECT;
  std::string mGroup;
  IText mText;
  IBlend mBlend;
  int mTextEntryLength = 7;
  bool mDirty = true;
  bool mHide = false;
  bool mDisabled = false;
  bool mPromptDisabled = true;
  bool mDblAsSingleClick = false;
  bool mPressBeginsEdit = true;
  bool mMouseOverWhenDisabled = false;
  bool mMouseEventsWhenDisabled = false;
  bool mIgnoreMouse = false;
  bool mWantsMidi = false;
  bool mWantsMultiTouch = false;
  bool mPromptShowsParamLabel = false;
  bool mMouseIsOver = false;
  std::string mTooltip;
  IColor mPTHighlightColor{255, 255, 0, 0};
  bool mPTisHighlighted = false;

private:
  struct Val {
    int paramIdx = kNoLinkedParam;
    double value = 0.0;
  };

  // The values a value index stands for: all for kEveryValIdx, else the one (none when out of range).
  bool validValIdx(int valIdx) const { return valIdx >= 0 && valIdx < NVals(); }

  IContainerBase* mParent = nullptr;
  ICanvasEditorDelegate* mDelegate = nullptr;
  ICanvas* mGraphics = nullptr;
  ActionFunc mActionFunc;
  ActionFunc mAnimationEndActionFunc;
  AnimationFunc mAnimationFunc;
  double mAnimationStartTime = 0.0;
  double mAnimationDuration = 0.0;
  std::vector<Val> mVals;
  std::map<EGestureType, GestureFunc> mGestureFuncs;
  EGestureType mLastGesture = EGestureType::Unknown;
};

// Stock action and animation functions, handed to controls as action functions.
void DefaultAnimationFunc(IControl* control);
void EmptyClickActionFunc(IControl* control);
void DefaultClickActionFunc(IControl* control);
// Show the graphics context's value bubble with the display text of the parameter at
// value 0; nothing when that value is unlinked or no bubble control is attached.
void ShowBubbleHorizontalActionFunc(IControl* control);
void ShowBubbleVerticalActionFunc(IControl* control);

// The normalised value of a value in a parameter's own units: rounded to the step when
// stepped, clamped to the range, mapped through the shape and limited to 0..1.
double NormalizedFromParamValue(const IParam& param, double value);

}  // namespace plugkit::canvas
