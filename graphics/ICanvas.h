#pragma once
// The editor's graphics context: one object per open editor window. It owns every
// control, keeps the logical size and the two scales, turns dirty controls into redraws,
// routes mouse and key events to controls, resizes the editor, opens value prompts and
// keeps the record of the host edit gestures it opened.
//
// Abstract: it inherits its two seams, the drawing primitives (ICanvasDrawingAPI.h, done by
// the drawing class) and the platform operations (ICanvasPlatformAPI.h, done by the
// platform class). Everything runs on the main thread.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/IPlugStructs.h"
#include "framework/StringBuf.h"
#include "graphics/Events.h"
#include "graphics/Fonts.h"
#include "graphics/Geometry.h"
#include "graphics/ICanvasDrawingAPI.h"
#include "graphics/ICanvasPlatformAPI.h"
#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "graphics/IRECTList.h"
#include "graphics/Layer.h"
#include "graphics/PlatformTypes.h"
#include "graphics/Resources.h"
#include "graphics/SpecialControls.h"
#include "graphics/StaticStorage.h"
#include "graphics/Style.h"
#include "graphics/VectorStyle.h"

namespace plugkit::canvas {

class ICanvasEditorDelegate;

class ICanvas : public ICanvasDrawingAPI, public ICanvasPlatformAPI {
public:
  using KeyHandlerFunc = std::function<bool(const IKeyPress& key, bool isUp)>;
  using ControlFunc = std::function<void(IControl*)>;

  ICanvas(ICanvasEditorDelegate& dlg, int w, int h, int fps = 60, float scale = 1.f);
  // Makes no virtual call. A concrete class calls RemoveAllControls in its own destructor,
  // while its overrides still exist.
  virtual ~ICanvas();
  ICanvas(const ICanvas&) = delete;
  ICanvas& operator=(const ICanvas&) = delete;

  // ---------------------------------------------------------------------------------
  // Size, scales and settings

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  // The window in points: the logical size times the draw scale, truncated.
  int WindowWidth() const;
  int WindowHeight() const;
  int FPS() const { return mFPS; }
  float GetDrawScale() const { return mDrawScale; }
  float GetScreenScale() const { return mScreenScale; }
  IRECT GetBounds() const { return IRECT(0.f, 0.f, static_cast<float>(mWidth), static_cast<float>(mHeight)); }
  ICanvasEditorDelegate* GetDelegate() const { return mDelegate; }
  float GetMinScale() const { return mMinScale; }
  float GetMaxScale() const { return mMaxScale; }

  void SetStrictDrawing(bool strict);
  bool GetStrictDrawing() const { return mStrict; }
  void SetLayoutOnResize(bool layout) { mLayoutOnResize = layout; }
  bool GetLayoutOnResize() const { return mLayoutOnResize; }
  // Stores the two scales in ascending order.
  void SetScaleConstraints(float lo, float hi);
  void EnableTooltips(bool enable);
  bool TooltipsEnabled() const { return mEnableTooltips; }
  void EnableMouseOver(bool enable) { mEnableMouseOver = enable; }
  bool MouseOverEnabled() const { return mEnableMouseOver; }
  void EnableLiveEdit(bool) {}
  void EnableMultiTouch(bool enable) { mEnableMultiTouch = enable; }
  bool MultiTouchEnabled() const { return mEnableMultiTouch; }
  void SetKeyHandlerFunc(KeyHandlerFunc func) { mKeyHandlerFunc = std::move(func); }
  // Installs a key handler that plays notes from letter keys (see ICanvasHostMenu.cpp).
  void SetQwertyMidiKeyHandlerFunc(std::function<void(const IMidiMsg&)> func = nullptr);
  void SetDisplayTickFunc(std::function<void()> func) { mDisplayTickFunc = std::move(func); }
  void SetUIAppearanceChangedFunc(std::function<void(EUIAppearance)> func) { mAppearanceChangedFunc = std::move(func); }
  void OnAppearanceChanged(EUIAppearance appearance);
  // Calls OnGUIIdle on every control and special control.
  void OnGUIIdle();
  void SetSharedResourcesSubPath(const char* path) { mSharedResourcesSubPath = path != nullptr ? path : ""; }
  const char* GetSharedResourcesSubPath() const { return mSharedResourcesSubPath.c_str(); }
  ECursor GetCursorKind() const { return mCursorType; }
  bool CursorIsHidden() const { return mCursorHidden; }
  bool CursorIsLocked() const { return mCursorLock; }
  bool GetTabletInput() const { return mTabletInput; }
  void SetTabletInput(bool tablet) { mTabletInput = tablet; }
  void SetPlatformContext(void* context) { mPlatformContext = context; }
  void* GetPlatformContext() const { return mPlatformContext; }

  // ---------------------------------------------------------------------------------
  // Control list

  // Attaches and takes ownership. A tag >= 0 that is already used gives null: the control
  // is not attached and stays the caller's.
  IControl* AttachControl(IControl* control, int tag = kNoTag, const char* group = "");
  // A background: inserted at index 0, with no tag, no group and no OnAttached.
  IControl* AttachBackgroundControl(IControl* control);
  // A background panel over the whole editor filled with the pattern, without a frame.
  IControl* AttachPanelBackground(const IPattern& pattern);

  int NControls() const { return static_cast<int>(mControls.size()); }
  IControl* GetControl(int idx) const;
  int GetControlIdx(const IControl* control) const;
  IControl* GetControlWithTag(int tag) const;
  // The tag a control was attached with, or kNoTag.
  int GetControlTag(const IControl* control) const;
  IControl* GetControlWithParamIdx(int paramIdx) const;

  // The control list from index 0 up.
  void ForStandardControlsFunc(const ControlFunc& func);
  // The control list, then the frame-rate display, the corner resizer, the text-entry
  // control, the popup-menu control and the bubble controls (each when present).
  void ForAllControlsFunc(const ControlFunc& func);
  template <class Method, class... Args>
  void ForAllControls(Method method, Args... args) {
    ForAllControlsFunc([&](IControl* c) { (c->*method)(args...); });
  }
  void ForControlWithParam(int paramIdx, const ControlFunc& func);
  // For each list control, once per listed parameter it is linked to.
  void ForControlWithParam(std::initializer_list<int> params, const ControlFunc& func);
  // Every list control whose non-empty group equals group.
  void ForControlInGroup(const char* group, const ControlFunc& func);
  template <class Method, class... Args>
  void ForMatchingControls(Method method, int paramIdx, Args... args) {
    ForControlWithParam(paramIdx, [&](IControl* c) { (c->*method)(args...); });
  }

  void HideControl(int paramIdx, bool hide);
  void DisableControl(int paramIdx, bool disable);
  void SetAllControlsDirty();
  void SetAllControlsClean();
  void AssignParamNameToolTips();
  void SetPTParameterHighlight(int paramIdx, bool highlighted, int color);
  // Brings every other list control linked to the caller's parameter at valIdx up to date.
  void UpdatePeers(IControl* caller, int valIdx);

  void SetControlPosition(IControl* control, float x, float y);
  void SetControlSize(IControl* control, float w, float h);
  void SetControlBounds(IControl* control, const IRECT& r);

  // Removing deletes the control. Its open host gestures are ended first.
  void RemoveControl(IControl* control);
  void RemoveControl(int idx);
  void RemoveControls(int fromIdx);
  void RemoveControlWithTag(int tag);
  void RemoveAllControls();

  // Shows the value bubble for the caller: without multi-touch the first bubble, with it
  // the bubble of the caller's one captured touch (none for no touch or several). Nothing
  // while no bubble control is attached.
  void ShowBubbleControl(IControl* caller, float x, float y, const char* str, EDirection dir,
                         IRECT minimumContentBounds = IRECT());

  // Special controls (drawn menu, drawn text entry, corner resizer, frame-rate display,
  // bubbles) live in slots of their own and are owned there; none is attached in this
  // product. Each attach takes ownership: a control the slot already holds one of is
  // deleted at once (bubbles are a list). Each gets its back-pointers, OnInit, OnResize and
  // OnRescale.
  // The corner resizer; mode and flag become the resize mode and layout-on-resize.
  void AttachCornerResizer(IControl* control, EUIResizerMode mode, bool layoutOnResize);
  void AttachBubbleControl(IBubbleControlBase* control);
  // From here on menus are drawn by this control instead of the platform.
  void AttachPopupMenuControl(IPopupMenuControlBase* control);
  // A menu it shows goes with it, answered as dismissed.
  void RemovePopupMenuControl();
  // From here on text boxes are drawn by this control instead of the platform.
  void AttachTextEntryControl(ITextEntryControlBase* control);
  // A text box it shows closes with it, uncommitted.
  void RemoveTextEntryControl();
  // The frame-rate display; BeginFrame feeds it the time between frames.
  void AttachFPSDisplay(IFPSDisplayControlBase* control);
  void RemoveFPSDisplay();
  IControl* GetCornerResizer() const { return mCornerResizer; }
  IPopupMenuControlBase* GetPopupMenuControl() const { return mPopupControl; }
  ITextEntryControlBase* GetTextEntryControl() const { return mTextEntryControl; }
  IFPSDisplayControlBase* GetFPSDisplay() const { return mFPSDisplay; }
  int NBubbleControls() const { return static_cast<int>(mBubbleControls.size()); }
  IBubbleControlBase* GetBubbleControl(int idx) const;

  // ---------------------------------------------------------------------------------
  // Pointer captures and host edit gestures

  bool ControlIsCaptured() const { return !mCapturedMap.empty(); }
  bool ControlIsCaptured(const IControl* control) const;
  IControl* GetCapturedControl(uint64_t touchID = 0) const;
  // Releases every capture, shows a cursor hidden by a drag, and ends the open host
  // gestures of the released controls.
  void ReleaseMouseCapture();

  // The record of host edit gestures this context opened, as (control, parameter).
  void BeginParamGesture(IControl* control, int paramIdx);
  // Ends the gesture when it is open; a gesture that is not open sends nothing.
  void EndParamGesture(IControl* control, int paramIdx);
  void EndParamGesturesOf(IControl* control);
  bool HasOpenGesture(const IControl* control, int paramIdx) const;
  int NOpenGestures() const { return static_cast<int>(mOpenGestures.size()); }
  // The road of a value from SetDirty to the plug-in. Inside a delivery that needs its
  // own gesture (wheel, double click, keys, a menu choice or a committed text), a value
  // whose gesture is not open opens it first; the delivery ends it.
  void SendParameterValueFromControl(IControl* control, int paramIdx, double normalizedValue);

  // ---------------------------------------------------------------------------------
  // Redraw

  // Runs the display tick, animates, and appends the rectangle of every dirty control,
  // including controls marked dirty during the scan itself (by another control's IsDirty).
  bool IsDirty(IRECTList& rects);
  // Told by IControl::SetDirty: a mark made while IsDirty scans is kept for this frame.
  void NoteDirtyMark(IControl* control) {
    if (mInDirtyScan) mMarkedInScan.push_back(control);
  }
  // Draws the dirty rectangles: aligned, optimised, every control clipped to each.
  void Draw(IRECTList& rects);
  void Draw(const IRECT& bounds, float scale);
  void DrawControl(IControl* control, const IRECT& bounds, float scale);
  // Identity transform, empty path, clip = r.
  void PrepareRegion(const IRECT& r);
  virtual void BeginFrame();
  virtual void EndFrame() {}
  virtual void EndRegion(const IRECT& r) {}
  // The region being drawn.
  const IRECT& GetClipRect() const { return mClipRECT; }
  const IMatrix& GetTransform() const { return mTransform; }
  double GetPrevFrameTime() const { return mPrevTimestamp; }

  // ---------------------------------------------------------------------------------
  // Events (logical editor coordinates). A control's handler may close the editor (delete
  // this context); the dispatch then stops at once and touches nothing more.

  int GetMouseControlIdx(float x, float y, bool mouseOver = false);
  IControl* GetMouseControl(float x, float y, bool capture, bool mouseOver = false, uint64_t touchID = 0);
  void OnMouseDown(const std::vector<IMouseInfo>& points);
  void OnMouseUp(const std::vector<IMouseInfo>& points);
  void OnMouseDrag(const std::vector<IMouseInfo>& points);
  bool OnMouseDblClick(float x, float y, const IMouseMod& mod);
  bool OnMouseWheel(float x, float y, const IMouseMod& mod, float d);
  bool OnMouseOver(float x, float y, const IMouseMod& mod);
  void OnMouseOut();
  void OnTouchCancelled(const std::vector<IMouseInfo>& points);
  bool OnKeyDown(float x, float y, const IKeyPress& key);
  bool OnKeyUp(float x, float y, const IKeyPress& key);
  void OnDrop(const char* str, float x, float y);
  void OnDropMultiple(const std::vector<const char*>& paths, float x, float y);
  int GetParamIdxForPTAutomation(float x, float y);
  int GetLastClickedParamForPTAutomation();
  void PopupHostContextMenuForParam(IControl* control, int paramIdx, float x, float y);
  void PopupHostContextMenuForParam(int controlIdx, int paramIdx, float x, float y);

  IControl* GetMouseOverControl() const { return mMouseOver; }
  int GetMouseOverIdx() const { return mMouseOverIdx; }
  void GetMouseDownPoint(float& x, float& y) const {
    x = mMouseDownX;
    y = mMouseDownY;
  }
  void GetCursorPosition(float& x, float& y) const {
    x = mCursorX;
    y = mCursorY;
  }
  void SetCursorPosition(float x, float y) {
    mCursorX = x;
    mCursorY = y;
  }

  // ---------------------------------------------------------------------------------
  // Resize and scale

  void Resize(int w, int h, float scale, bool needsPlatformResize = true);
  void SetScreenScale(float scale);
  // The corner resizer's drag (resizing in progress while it is set).
  void StartDragResize() { mResizingInProcess = true; }
  bool IsResizingInProcess() const { return mResizingInProcess; }
  void OnDragResize(float x, float y);
  void EndDragResize();
  EUIResizerMode GetResizerMode() const { return mResizerMode; }
  void SetResizerMode(EUIResizerMode mode) { mResizerMode = mode; }
  // The window's backing scale; 1.0 on this platform.
  virtual float GetPlatformWindowScale() const { return 1.f; }
  virtual float GetBackingPixelScale() const { return mScreenScale * mDrawScale; }

  // ---------------------------------------------------------------------------------
  // Prompts

  // A menu of the display texts (enum parameters, bool parameters with texts) or a text
  // box holding the display value, for the parameter linked at valIdx.
  void PromptUserInput(IControl& control, const IRECT& bounds, int valIdx = 0);
  // Opens a text box for the control. Refused while a text box is open: the open one keeps
  // its control and value index.
  void CreateTextEntry(IControl& control, const IText& text, const IRECT& bounds, const char* str = "",
                       int valIdx = 0);
  void CreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& bounds, int valIdx = 0);
  void DoCreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& bounds, int valIdx, bool isContext);
  // The answer of a menu: the menu chosen from (a submenu for a submenu's item), or null.
  void SetControlValueAfterPopupMenu(IPopupMenu* menu);
  void DeleteFromPopupMenu(IPopupMenu* menu, int itemIdx);
  // The committed text of the open text box.
  void SetControlValueAfterTextEdit(const char* str);
  // A text box closed without a commit: the control is forgotten.
  void ClearInTextEntryControl() { mInTextEntry = nullptr; }
  // The colour chooser for a control: the answers go to completion, each inside its own
  // host gestures, while the control is still there and no later colour request replaced
  // this one. False when the platform showed nothing (the request is then forgotten).
  using ICanvasPlatformAPI::PromptForColor;
  bool PromptForColor(IControl& control, IColor& color, const char* str, ColorCompletion completion);
  IControl* GetControlInColorPrompt() const { return mInColorPrompt; }

  IControl* GetControlInTextEntry() const { return mInTextEntry; }
  IControl* GetControlInPopupMenu() const { return mInPopupMenu; }
  int GetTextEntryValIdx() const { return mTextEntryValIdx; }
  int GetPopupMenuValIdx() const { return mPopupMenuValIdx; }
  // A platform text box is open: a control is in text entry and no drawn entry is attached.
  bool PlatformTextEntryInProgress() const { return mInTextEntry != nullptr && mTextEntryControl == nullptr; }
  IPopupMenu& GetPromptMenu() { return mPromptPopupMenu; }

  // How many prompt answers are being delivered right now (a control's menu, text, colour
  // or context callback). Work that would delete controls waits while it is not 0.
  int PromptCallbacksRunning() const { return mPromptCallbacks; }

  // A modal run of the platform (a message box, menu tracking, a modal panel): the
  // platform class enters one for the run's whole length. A control whose handler opened
  // the run is still on the stack, so work that would delete controls waits while
  // ModalRunDepth() is not 0. Runs nest; the scope outlives the context safely (a host
  // may close the editor inside the run).
  class ModalScope {
  public:
    explicit ModalScope(ICanvas& canvas);
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

  private:
    ICanvas& mCanvas;
    std::weak_ptr<const int> mAlive;
  };
  int ModalRunDepth() const { return mModalRuns; }

  // Alive exactly as long as this context: a queued platform job keeps a copy and does
  // nothing once it has expired.
  std::weak_ptr<const int> GetLivenessToken() const { return mAlive; }
  // Moves with every menu request and with the removal of the control that asked.
  uint64_t GetPopupGeneration() const { return mPopupGeneration; }
  // True while the menu request of that generation is the one pending.
  bool IsPopupRequestLive(uint64_t generation) const {
    return generation == mPopupGeneration && mInPopupMenu != nullptr;
  }
  // Moves with every text box opened and with the removal of its control. A commit queued
  // by the platform checks that its box is still the open one before it delivers.
  uint64_t GetTextEntryGeneration() const { return mTextEntryGeneration; }
  bool IsTextEntryLive(uint64_t generation) const {
    return generation == mTextEntryGeneration && mInTextEntry != nullptr;
  }

  // The drawing primitives are ICanvasDrawingAPI's; the bitmap primitive shares its name
  // with the frame-drawing convenience below.
  using ICanvasDrawingAPI::DrawBitmap;

  // ---------------------------------------------------------------------------------
  // Paths built from the primitives; each appends to the current path.

  void PathRect(const IRECT& r);
  void PathTriangle(float x1, float y1, float x2, float y2, float x3, float y3);
  void PathRoundRect(const IRECT& r, float radius);
  // Corner radii top-left, top-right, bottom-left, bottom-right, each limited to
  // 0..min(|W|, |H|) / 2; all 0 builds the plain rectangle.
  void PathRoundRect(const IRECT& r, float tl, float tr, float bl, float br);
  // Nothing for n < 1 or missing arrays.
  void PathConvexPolygon(const float* x, const float* y, int n);
  void PathCircle(float cx, float cy, float r);
  void PathEllipse(const IRECT& r);
  // Nothing unless both radii are above 0; the transform stack is left as it was.
  void PathEllipse(float x, float y, float r1, float r2, float angle = 0.f);
  void PathRadialLine(float cx, float cy, float angle, float rMin, float rMax);

  // ---------------------------------------------------------------------------------
  // Shapes: each clears the path, builds its shape and strokes it (Draw...) with the
  // colour, or fills it (Fill...).

  virtual void DrawPoint(const IColor& color, float x, float y, const IBlend* blend = nullptr);
  virtual void DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend = nullptr,
                        float thickness = 1.f);
  // Nothing for a dash length that is not above 0.
  virtual void DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2,
                              const IBlend* blend = nullptr, float thickness = 1.f, float dashLen = 2.f);
  virtual void DrawTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                            const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawRect(const IColor& color, const IRECT& r, const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawRoundRect(const IColor& color, const IRECT& r, float radius = 5.f, const IBlend* blend = nullptr,
                             float thickness = 1.f);
  virtual void DrawRoundRect(const IColor& color, const IRECT& r, float tl, float tr, float bl, float br,
                             const IBlend* blend = nullptr, float thickness = 1.f);
  // The arc alone: no move to its start, no close.
  virtual void DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                       const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend = nullptr,
                          float thickness = 1.f);
  virtual void DrawEllipse(const IColor& color, const IRECT& r, const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawEllipse(const IColor& color, float x, float y, float r1, float r2, float angle = 0.f,
                           const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawConvexPolygon(const IColor& color, const float* x, const float* y, int n,
                                 const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawDottedRect(const IColor& color, const IRECT& r, const IBlend* blend = nullptr,
                              float thickness = 1.f, float dashLen = 2.f);
  virtual void FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                            const IBlend* blend = nullptr);
  virtual void FillRect(const IColor& color, const IRECT& r, const IBlend* blend = nullptr);
  virtual void FillRoundRect(const IColor& color, const IRECT& r, float radius = 5.f, const IBlend* blend = nullptr);
  virtual void FillRoundRect(const IColor& color, const IRECT& r, float tl, float tr, float bl, float br,
                             const IBlend* blend = nullptr);
  virtual void FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend = nullptr);
  virtual void FillEllipse(const IColor& color, const IRECT& r, const IBlend* blend = nullptr);
  virtual void FillEllipse(const IColor& color, float x, float y, float r1, float r2, float angle = 0.f,
                           const IBlend* blend = nullptr);
  // A pie slice: the centre, the arc, closed.
  virtual void FillArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                       const IBlend* blend = nullptr);
  virtual void FillConvexPolygon(const IColor& color, const float* x, const float* y, int n,
                                 const IBlend* blend = nullptr);
  // Inner grid lines every xStep and yStep (a step of 1 or less draws none in that
  // direction); the outer edges are not drawn.
  virtual void DrawGrid(const IColor& color, const IRECT& r, float xStep, float yStep, const IBlend* blend = nullptr,
                        float thickness = 1.f);
  // A polyline of n normalised points (0 at the bottom, 1 at the top), spread evenly or
  // placed by normX; the first point always sits at r.L. With fillColor the area under
  // the open polyline is filled first.
  virtual void DrawData(const IColor& color, const IRECT& r, const float* normY, int n, const float* normX = nullptr,
                        const IBlend* blend = nullptr, float thickness = 1.f, const IColor* fillColor = nullptr);

  // ---------------------------------------------------------------------------------
  // Conveniences

  // Text entry points: nothing for a null or empty string.
  virtual float MeasureText(const IText& text, const char* str, IRECT& bounds) const;
  // How far the pen moves over the string (a caret steps by this; a space has an
  // advance though it has no ink): DoMeasureText's width here, the glyph advances in a
  // backend that has them. 0 for a null or empty string.
  virtual float MeasureTextAdvance(const IText& text, const char* str) const;
  void DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend = nullptr);
  void DrawText(const IText& text, const char* str, float x, float y, const IBlend* blend = nullptr);
  // Backend without multi-line text: draws "Unsupported".
  virtual void DrawMultiLineText(const IText& text, const char* str, const IRECT& bounds,
                                 const IBlend* blend = nullptr);
  // One frame (1-based, limited to 1..N) of a multi-frame bitmap. Nothing for an empty bitmap.
  void DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int frame = 1, const IBlend* blend = nullptr);
  // The bitmap stretched over r.
  virtual void DrawFittedBitmap(const IBitmap& bitmap, const IRECT& r, const IBlend* blend = nullptr);
  // The bitmap at its natural size, centred on (cx, cy) and rotated by angle degrees.
  virtual void DrawRotatedBitmap(const IBitmap& bitmap, float cx, float cy, double angle,
                                 const IBlend* blend = nullptr);
  // A string drawn with a bitmap font whose frames are the characters from code 32 up.
  // Nothing for an empty bitmap or string, or a character or box size that is not above 0.
  void DrawBitmapedText(const IBitmap& bitmap, const IRECT& bounds, const IText& text, const IBlend* blend,
                        const char* str, bool verticallyCentred = true, bool multiline = false, int charWidth = 6,
                        int charHeight = 12, int charOffset = 0);
  void DrawLineAcross(const IColor& color, const IRECT& bounds, EDirection dir, float pos,
                      const IBlend* blend = nullptr, float thickness = 1.f);
  // At a normalised height: 0 is the bottom edge, 1 the top.
  void DrawHorizontalLine(const IColor& color, const IRECT& bounds, float y, const IBlend* blend = nullptr,
                          float thickness = 1.f);
  // At a normalised width, the offset truncated to a whole unit.
  void DrawVerticalLine(const IColor& color, const IRECT& bounds, float x, const IBlend* blend = nullptr,
                        float thickness = 1.f);
  void DrawHorizontalLine(const IColor& color, float yi, float xLo, float xHi, const IBlend* blend = nullptr,
                          float thickness = 1.f);
  void DrawVerticalLine(const IColor& color, float xi, float yLo, float yHi, const IBlend* blend = nullptr,
                        float thickness = 1.f);
  // From rMin to rMax along angle (0 up, clockwise).
  void DrawRadialLine(const IColor& color, float cx, float cy, float angle, float rMin, float rMax,
                      const IBlend* blend = nullptr, float thickness = 1.f);

  // ---------------------------------------------------------------------------------
  // Path transform (M = M * X: the transform given last acts first on a point) and clip.
  // Every change is handed to the backend; a call with a non-finite argument changes
  // nothing.

  void PathTransformSave();
  // Pops the saved transform; an empty stack leaves everything as it is.
  void PathTransformRestore();
  void PathTransformReset(bool clearStates = false);
  void PathTransformTranslate(float x, float y);
  void PathTransformScale(float x, float y);
  void PathTransformScale(float s);
  // Clockwise on screen.
  void PathTransformRotate(float angle);
  // Angles in degrees: K = (1, tan yAngle, tan xAngle, 1, 0, 0).
  void PathTransformSkew(float xAngle, float yAngle);
  void PathTransformMatrix(const IMatrix& m);
  int TransformStackDepth() const { return static_cast<int>(mTransformStack.size()); }
  // Clips what follows to r within the drawable area (the top layer, else the region
  // being drawn); an empty r clips to the whole drawable area.
  void PathClipRegion(const IRECT& r = IRECT());
  // The top layer's bounds while a layer is active, else the region being drawn.
  IRECT GetDrawableArea() const;
  int NLayers() const { return static_cast<int>(mLayers.size()); }

  // ---------------------------------------------------------------------------------
  // Fonts, rotated text and SVG

  // Registers a font under fontID: found by the platform, handed to the backend, and on
  // success remembered by the platform. False when either step fails.
  virtual bool LoadFont(const char* fontID, const char* fileNameOrResID);
  virtual bool LoadFont(const char* fontID, void* data, int size);
  bool LoadFont(const char* fontID, const char* fontName, ETextStyle style);

  // rect enters as the measured, unrotated text box and leaves as the bounding box of it
  // rotated by the text's angle; (tx, ty) is the offset that aligns that box inside
  // bounds. An angle of 0 changes nothing.
  void CalculateTextRotation(const IText& text, const IRECT& bounds, IRECT& rect, double& tx, double& ty) const;
  // The rotated box, placed.
  void DoMeasureTextRotation(const IText& text, const IRECT& bounds, IRECT& rect) const;

  // The image at the top-left of bounds, scaled uniformly to fit; a given colour replaces
  // every stroke or fill paint. Nothing for a missing or empty image or bounds.
  virtual void DrawSVG(const ISVG& svg, const IRECT& bounds, const IBlend* blend = nullptr,
                       const IColor* strokeColor = nullptr, const IColor* fillColor = nullptr);
  virtual void DrawRotatedSVG(const ISVG& svg, float cx, float cy, float width, float height, double angle,
                              const IBlend* blend = nullptr);
  // The image's shapes in image units under the current transform.
  void DoDrawSVG(const ISVG& svg, const IBlend* blend = nullptr, const IColor* strokeColor = nullptr,
                 const IColor* fillColor = nullptr);
  static IPattern GetSVGPattern(const NSVGpaint& paint, float opacity);

  // ---------------------------------------------------------------------------------
  // Resources: bitmaps in scale variants and SVG images, found by name among the bundle's
  // resources (or at a full path) and kept in the process-wide caches, which own them; a
  // handle given out stays valid until the last graphics context of the process goes.
  // Bitmap variants are named "<stem>@<scale>x<.ext>" ("knob@2x.png"). Failures give an
  // empty IBitmap or a null ISVG and cache nothing.

  // The bitmap for the screen scale targetScale (0: the screen's scale rounded up): the
  // cached one, else the best variant file (scale order below), else any cached variant;
  // a variant of another scale is decoded, cached under its own scale and drawn into a
  // new bitmap of the target scale, which is cached too. Empty for an extension the
  // backend cannot decode, no file and no cached variant, or a file that does not decode.
  virtual IBitmap LoadBitmap(const char* name, int nStates = 1, bool framesAreHorizontal = false, int targetScale = 0);
  // The same for a file held in memory (decoded as made for scale 1), cached under name.
  virtual IBitmap LoadBitmap(const char* name, const void* data, int dataSize, int nStates = 1,
                             bool framesAreHorizontal = false, int targetScale = 0);
  // The SVG image cached under name, else the resource file "name" parsed in units at
  // dpi. A cached image is returned whatever units and dpi it was parsed with. Empty, with
  // nothing cached, when there is no such file, it is no usable SVG or memory runs out.
  virtual ISVG LoadSVG(const char* name, const char* units = "px", float dpi = 72.f);
  // The same for SVG text in memory: dataSize bytes up to the first zero byte (all of a
  // zero-terminated text when dataSize <= 0).
  virtual ISVG LoadSVG(const char* name, const void* data, int dataSize, const char* units = "px", float dpi = 72.f);
  // The whole resource file of that name and type; empty when not found or not read whole.
  virtual std::vector<uint8_t> LoadResource(const char* name, const char* type);
  // A font file among the resources (say "Roboto-Regular.ttf"), read whole: face 0 of it.
  // Null when not found, not readable or not a font file. For platform classes whose
  // fonts are plain files.
  PlatformFontPtr LoadFontResource(const char* fileNameOrResID);

  // The first variant file of name found in the scale order of targetScale; sourceScale
  // gets the scale of the variant. kNotFound when none (or targetScale < 1).
  EResourceLocation SearchImageResource(const char* name, const char* type, StringBuf& result, int targetScale,
                                        int& sourceScale);
  // The first cached variant of name in the scale order of targetScale, with its scale
  // in sourceScale; null (sourceScale 0) when none.
  APIBitmap* SearchBitmapInCache(const char* name, int targetScale, int& sourceScale);
  // in drawn into a new bitmap made for targetScale, cached under (name, targetScale).
  virtual IBitmap ScaleBitmap(const IBitmap& in, const char* name, int targetScale);
  // The bitmap cache takes the bitmap's backend bitmap under (name, its scale). An
  // override must keep the bitmap alive (and free it) itself.
  virtual void RetainBitmap(const IBitmap& bitmap, const char* name);
  // Removes and deletes the bitmap's backend bitmap from the cache; nothing when absent.
  virtual void ReleaseBitmap(const IBitmap& bitmap);
  // src loaded again for the screen's scale (rounded up).
  IBitmap GetScaledBitmap(const IBitmap& src);

  // The scales tried for a target t >= 1: t, then 3 (unless t is 3), then downwards by one,
  // skipping t: 1 -> 1 3 2; 2 -> 2 3 1; 3 -> 3 2 1; 4 -> 4 3 2 1. Empty for t < 1.
  static std::vector<int> ImageScaleOrder(int targetScale);
  // The file name of a scale variant: "a/knob.png" at 2 -> "a/knob@2x.png"; the extension
  // is what follows the last '.' after the last '/' or '\\' ("a/b.c/knob" at 3 ->
  // "a/b.c/knob@3x"); scale 1 is the plain name.
  static std::string ImageVariantName(const char* name, int scale);

  // ---------------------------------------------------------------------------------
  // Layers and drop shadows. A control draws into a layer once and then only draws the
  // layer:  if (!g.CheckLayer(mLayer)) { g.StartLayer(this, r); ...draw...;
  // mLayer = g.EndLayer(); }  g.DrawLayer(mLayer);
  // The stack holds plain pointers: whoever started or resumed a layer gets it back from
  // EndLayer, which every StartLayer and ResumeLayer must be paired with in the same frame
  // (a layer a control leaves started is dropped after its Draw).

  // A layer over r aligned to device pixels, for control (may be null). Pushed even when
  // the backend could make no bitmap for it (such a layer is never valid).
  void StartLayer(IControl* control, const IRECT& r, bool cacheable = false);
  // The top layer, popped, now the caller's (null when no layer is active).
  OwnedLayer EndLayer();
  // Drawing continues on the layer on top of what it holds; the caller's pointer becomes
  // null until EndLayer gives the layer back.
  void ResumeLayer(OwnedLayer& layer);
  void PushLayer(ILayer* layer);
  // Null when no layer is active.
  ILayer* PopLayer();
  // Pops layers until depth are left: deleted when the stack owns them (started or resumed
  // and never ended), else left to whoever pushed them. How a drawing step that failed
  // leaves the stack as it found it.
  void PopLayersTo(int depth, bool deleteThem);
  // Whether the layer can be drawn as it is: it has a bitmap, its control has not moved or
  // changed size since it was made, it was not invalidated, and the screen and draw scales
  // are those it was made at.
  bool CheckLayer(const OwnedLayer& layer);
  // The layer's bitmap at its bounds, untransformed. The draw operations skip a null or
  // bitmap-less layer.
  void DrawLayer(const OwnedLayer& layer, const IBlend* blend = nullptr);
  // The layer stretched over r, under the current transform.
  void DrawFittedLayer(const OwnedLayer& layer, const IRECT& r, const IBlend* blend = nullptr);
  // The layer rotated by angle degrees about its centre.
  void DrawRotatedLayer(const OwnedLayer& layer, double angle);
  // A soft shadow of the layer's alpha behind its content (see ShadowBlur.h). Nothing for
  // a null or bitmap-less layer or when its pixels cannot be read.
  void ApplyLayerDropShadow(OwnedLayer& layer, const IShadow& shadow);

  // ---------------------------------------------------------------------------------
  // Platform hooks with a base answer (the platform operations themselves are
  // ICanvasPlatformAPI's)

  virtual bool WindowIsOpen() { return GetWindow() != nullptr; }
  // Stores the kind and returns the previous one.
  virtual ECursor SetMouseCursor(ECursor cursor = ECursor::Arrow);
  virtual bool InitiateExternalFileDragDrop(const char* path, const IRECT& iconBounds) { return false; }
  virtual const char* GetPlatformAPIStr() { return ""; }
  // The drawing backend's name, as the frame-rate display shows it.
  virtual const char* GetDrawingAPIStr() { return ""; }
  virtual const char* GetBundleID() const { return ""; }
  virtual const char* GetAppGroupID() const { return ""; }
  virtual void AttachPlatformView(const IRECT& r, void* view) {}
  virtual void RemovePlatformView(void* view) {}
  virtual void HidePlatformView(void* view, bool hide) {}
  virtual void ActivateGLContext() {}
  virtual void DeactivateGLContext() {}
  virtual EUIAppearance GetUIAppearance() const { return EUIAppearance::Light; }
  virtual void AfterResize() {}
  // Registers a gesture type (once).
  virtual void AttachGestureRecognizer(EGestureType type);
  const std::vector<EGestureType>& GetRegisteredGestures() const { return mRegisteredGestures; }

  // ---------------------------------------------------------------------------------
  // Gesture regions (touch platforms deliver gestures; nothing does on this one) and
  // restyling

  // Appends the region, registers the type, and keeps func for the new region.
  void AttachGestureRecognizerToRegion(const IRECT& bounds, EGestureType type, IControl::GestureFunc func);
  void ClearGestureRegions();
  int NGestureRegions() const { return mGestureRegions.Size(); }
  // A control under the point that wants gestures, else a region holding the point.
  bool RespondsToGesture(float x, float y);
  // To the control under the point when it wants gestures, else to the first region (in
  // the order attached) that holds the point.
  void OnGestureRecognized(const IGestureInfo& info);
  // SetStyle on every control of the list that is a vector control.
  void StyleAllVectorControls(const IVStyle& style);

  // ---------------------------------------------------------------------------------
  // Process-wide resource caches; their use counts count the live contexts.
  static StaticStorage<APIBitmap> sBitmapCache;
  static StaticStorage<SVGHolder> sSVGCache;

protected:
  // Releases the pointer captures: with endGestures the released controls' open host
  // gestures are ended; keep (when set) keeps its capture (and the cursor as it is).
  void releaseCaptures(bool endGestures, IControl* keep = nullptr);
  // Runs a control callback whose sends get a host gesture of their own.
  void withOwnGestures(const std::function<void()>& f);

  int mWidth;
  int mHeight;
  int mFPS;
  float mScreenScale = 1.f;
  float mDrawScale;
  float mMinScale = 0.5f;
  float mMaxScale = 4.f;
  ECursor mCursorType = ECursor::Arrow;
  bool mCursorHidden = false;
  bool mCursorLock = false;
  bool mTabletInput = false;
  float mCursorX = -1.f;
  float mCursorY = -1.f;
  // Drawing state: the region being drawn, the path transform and its saved copies.
  IRECT mClipRECT;
  IMatrix mTransform;
  std::vector<IMatrix> mTransformStack;
  // Active layers, the top one last (not owned).
  std::vector<ILayer*> mLayers;

private:
  struct OpenGesture {
    IControl* control;
    int paramIdx;
    int scope;  // 0: opened by a press; else the delivery that opened it
  };

  // A bitmap the backend decoded, handed to the cache (RetainBitmap); null, and deleted,
  // when it has no handle or no pixels.
  APIBitmap* adoptDecoded(APIBitmap* decoded, const char* name);
  // The cached source as a bitmap of targetScale: itself, or scaled (ScaleBitmap).
  IBitmap bitmapAtScale(APIBitmap* source, const char* name, int nStates, bool framesAreHorizontal, int targetScale);
  // The device pixels of a layer over bounds at scale s: ceil(s x ceil(width)) by
  // ceil(s x ceil(height)). False when they are not a usable size.
  static bool layerPixelSize(const IRECT& bounds, float s, int& width, int& height);
  void attachCommon(IControl* control);
  // Calls func on every control and special control (ForAllControlsFunc's order); stops
  // as soon as a call deleted this context. Answers whether it is still alive.
  bool forAllControlsWhileAlive(const ControlFunc& func);
  // The pointer is over c now: the old control hears OnMouseOut, c OnMouseOver.
  void moveMouseOverTo(IControl* c, float x, float y, const IMouseMod& mod);
  bool dispatchKey(float x, float y, const IKeyPress& key, bool isUp);
  // M = M * m and hand it to the backend; nothing when m or the result is not finite.
  void multiplyTransform(const IMatrix& m);
  bool registerFont(const char* fontID, const PlatformFontPtr& font);
  void removeAt(int idx);
  void forgetControl(IControl* control);
  template <class Slot>
  void deleteSpecial(Slot*& slot);
  // Gives a special control its back-pointers, OnInit, OnResize and OnRescale.
  void initSpecial(IControl* control);
  // A prompt answered at once as dismissed (null menu, context choice -1), inside its own
  // gestures, with the gestures the requester's press opened ended after it.
  void answerMenuDismissed(IControl& control, int valIdx, bool isContext);
  void endGestures(const std::function<bool(const OpenGesture&)>& which);
  enum class Delivery { ControlPresent, ControlRemoved, ContextGone };
  // Runs a prompt answer's callback on control, counted and inside its own gestures.
  // Answers whether the control, and this context, are still there afterwards.
  Delivery deliverPrompt(IControl* control, const std::function<void()>& callback);

  std::vector<IControl*> mControls;
  std::unordered_map<int, IControl*> mTagMap;
  IControl* mCornerResizer = nullptr;
  std::vector<IBubbleControlBase*> mBubbleControls;
  IPopupMenuControlBase* mPopupControl = nullptr;
  IFPSDisplayControlBase* mFPSDisplay = nullptr;
  ITextEntryControlBase* mTextEntryControl = nullptr;
  IPopupMenu mPromptPopupMenu;
  std::string mSharedResourcesSubPath;

  std::map<uint64_t, IControl*> mCapturedMap;
  IControl* mMouseOver = nullptr;
  IControl* mInTextEntry = nullptr;
  IControl* mInPopupMenu = nullptr;
  IControl* mDragDispatch = nullptr;  // the control whose drag is being delivered
  void* mPlatformContext = nullptr;
  bool mIsContextMenu = false;
  int mTextEntryValIdx = -1;
  int mPopupMenuValIdx = -1;
  int mMouseOverIdx = -1;
  float mMouseDownX = -1.f;
  float mMouseDownY = -1.f;
  int mLastClickedParam = -1;
  bool mEnableMouseOver = false;
  bool mStrict = false;
  bool mEnableTooltips = false;
  bool mResizingInProcess = false;
  bool mLayoutOnResize = false;
  bool mEnableMultiTouch = false;
  EUIResizerMode mResizerMode = EUIResizerMode::Scale;
  double mPrevTimestamp = 0.0;
  bool mPrevTimestampKnown = false;  // a frame was begun since the display was attached
  KeyHandlerFunc mKeyHandlerFunc;
  std::function<void()> mDisplayTickFunc;
  std::function<void(EUIAppearance)> mAppearanceChangedFunc;
  ICanvasEditorDelegate* mDelegate;
  std::vector<EGestureType> mRegisteredGestures;
  IRECTList mGestureRegions;
  std::unordered_map<int, IControl::GestureFunc> mGestureRegionFuncs;

  std::vector<OpenGesture> mOpenGestures;
  int mGestureScope = 0;      // the delivery running now (0: none)
  int mNextGestureScope = 0;
  int mPromptCallbacks = 0;
  int mModalRuns = 0;
  IControl* mInColorPrompt = nullptr;
  uint64_t mColorGeneration = 0;
  // The dirty scan: controls reported dirty, and controls marked during it (null once removed).
  bool mInDirtyScan = false;
  std::vector<IControl*> mReportedInScan;
  std::vector<IControl*> mMarkedInScan;
  std::vector<IControl*> mDelivering;  // controls whose prompt answer runs now (null once removed)
  uint64_t mPopupGeneration = 0;
  uint64_t mTextEntryGeneration = 0;
  std::shared_ptr<const int> mAlive = std::make_shared<const int>(0);
};

}  // namespace plugkit::canvas
