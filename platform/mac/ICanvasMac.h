#pragma once
// The editor's graphics context on macOS: the NanoVG drawing class on the Metal renderer,
// with the Cocoa view it owns and every platform operation of the graphics context (window
// open and close, cursor hiding, locking and warping, clipboard, drag out, tooltips, native
// text entry and popup menus, dialogs and desktop services, platform fonts). One per open
// editor, made by MakeGraphics.
//
// Main thread only. Nothing reports an error: without a view the window operations answer
// null or false and show nothing (a queued menu reports that nothing was chosen). Modal
// runs (alerts, modal panels, menu tracking) are entered inside an ICanvas::ModalScope;
// queued work (a menu, a sheet's answer) keeps the context's liveness token and does
// nothing once the context, the view or the request it belongs to is gone.
#include <cstdint>

#include "framework/ICanvasEditorDelegate.h"
#include "framework/StringBuf.h"
#include "graphics/nanovg/ICanvasNanoVG.h"
#include "platform/mac/CoreTextHelpers.h"
#include "shims/apple/appkit/AppKitTypes.h"

class ICanvasView_vSpectraPoise_vst3;

namespace plugkit::canvas {

class ICanvasMac final : public ICanvasNanoVG {
public:
  ICanvasMac(ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale);
  ~ICanvasMac() override;

  void SetBundleID(const char* id) { mBundleID.Set(id != nullptr ? id : ""); }
  void SetAppGroupID(const char* id) { mAppGroupID.Set(id != nullptr ? id : ""); }

  // ---- The window ----
  // Builds the view (replacing an open one), the NanoVG context on its layer, applies the
  // screen's scale, lays the editor out, and adds the view to parent (when given).
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void* GetWindow() override;
  bool WindowIsOpen() override { return mView != nullptr; }
  void PlatformResize(bool parentHasResized) override;
  void UpdateTooltips() override;
  void AttachPlatformView(const IRECT& r, void* view) override;
  void RemovePlatformView(void* view) override;
  void HidePlatformView(void* view, bool hide) override;
  EUIAppearance GetUIAppearance() const override;
  const char* GetPlatformAPIStr() override { return "Cocoa"; }
  const char* GetBundleID() const override { return mBundleID.Get(); }
  const char* GetAppGroupID() const override { return mAppGroupID.Get(); }
  void ActivateGLContext() override;
  void DeactivateGLContext() override;

  // ---- The cursor ----
  void GetMouseLocation(float& x, float& y) const override;
  void HideMouseCursor(bool hide = true, bool lock = true) override;
  void MoveMouseCursor(float x, float y) override;
  ECursor SetMouseCursor(ECursor cursor = ECursor::Arrow) override;

  // ---- Dialogs and desktop services (ICanvasMacDialogs.cpp) ----
  EMsgBoxResult ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                               MsgBoxCompletion completion = nullptr) override;
  void PromptForFile(StringBuf& fileName, StringBuf& path, EFileAction action = EFileAction::Open,
                     const char* ext = "", FileCompletion completion = nullptr) override;
  void PromptForDirectory(StringBuf& dir, FileCompletion completion = nullptr) override;
  bool PromptForColor(IColor& color, const char* str = "", ColorCompletion completion = nullptr) override;
  using ICanvas::PromptForColor;
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsgOnFailure = nullptr) override;
  bool RevealPathInExplorerOrFinder(StringBuf& path, bool select = false) override;
  bool GetTextFromClipboard(StringBuf& str) override;
  bool SetTextInClipboard(const char* str) override;
  bool SetFilePathInClipboard(const char* path) override;
  bool InitiateExternalFileDragDrop(const char* path, const IRECT& iconBounds) override;

  // ---- Native text entry and menus ----
  void CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                               const char* str) override;
  void ForceEndUserEdit() override;
  // Answers asynchronously: the menu shows on the next turn of the main queue.
  IPopupMenu* CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds, bool& isAsync) override;

  // ---- Platform fonts ----
  PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fileNameOrResID) override;
  PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fontName, ETextStyle style) override;
  PlatformFontPtr LoadPlatformFont(const char* fontID, void* data, int size) override;
  void CachePlatformFont(const char* fontID, const PlatformFontPtr& font) override;

  // ---- Cursor positions (screen points, Cocoa's: origin at the bottom left) ----
  // A view point (framework units) as a screen point, and back.
  void PointToScreen(float& x, float& y) const;
  void ScreenToPoint(float& x, float& y) const;
  // Reads the pointer, stores it rounded, and keeps it (in framework units) as the
  // context's cursor position.
  void StoreCursorPosition();
  // Each mouse event's position through the lock: a hidden, locked cursor (without tablet
  // input) goes back to where it was hidden and the previous position stays there;
  // otherwise the previous position and the context's cursor become (x, y).
  void DoCursorLock(float x, float y, float& prevX, float& prevY);
  // Warps the pointer to a screen point.
  void RepositionCursor(CGPoint screenPoint);
  static int GetUserOSVersion();

  ICanvasView_vSpectraPoise_vst3* GetView() const { return mView; }
  void GetStoredCursorPosition(double& x, double& y) const {
    x = mStoredCursorX;
    y = mStoredCursorY;
  }

  // Descriptors of the fonts this process registered; counts the live graphics classes.
  static StaticStorage<CoreTextFontDescriptor> sFontDescriptorCache;

private:
  // Ends the text entry, stops the timer, detaches and removes the view, lets go of it and
  // of the NanoVG context. Nothing without a view.
  void tearDownView();

  ICanvasView_vSpectraPoise_vst3* mView = nullptr;
  double mStoredCursorX = 0.0;
  double mStoredCursorY = 0.0;
  StringBuf mBundleID;
  StringBuf mAppGroupID;
};

// The graphics factory of a product: the Mac graphics class with the product's bundle and
// app-group identifiers and the sub-path of its shared resources.
ICanvas* MakeGraphics(ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale, const char* bundleID,
                      const char* appGroupID, const char* sharedResourcesSubPath);

}  // namespace plugkit::canvas
