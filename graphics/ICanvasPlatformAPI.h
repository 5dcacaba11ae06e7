#pragma once
// The platform's seam of the graphics context: the editor window, the cursor, dialogs and
// desktop services, the native menu and text field behind the value prompts, the view's
// size, and fonts found by the platform. The platform class implements it; ICanvas
// inherits this interface and calls it on behalf of controls.
//
// Main thread only. Dialogs, menus and text fields answer as each operation says (at once,
// or later through a completion on the main thread); a platform without a view shows
// nothing (see each operation). A modal run (message box, menu tracking, modal panel) is
// entered inside an ICanvas::ModalScope, so work that would delete controls waits for it.
// A queued text-entry commit checks ICanvas::IsTextEntryLive with the generation it was
// opened with before it delivers.
#include <functional>

#include "framework/StringBuf.h"
#include "graphics/Fonts.h"
#include "graphics/Geometry.h"
#include "graphics/IPopupMenu.h"
#include "graphics/PlatformTypes.h"
#include "graphics/Style.h"

namespace plugkit::canvas {

class ICanvasPlatformAPI {
public:
  using MsgBoxCompletion = std::function<void(EMsgBoxResult)>;
  using FileCompletion = std::function<void(const StringBuf& fileName, const StringBuf& path)>;
  using ColorCompletion = std::function<void(const IColor&)>;

  virtual ~ICanvasPlatformAPI() = default;

  // The window.
  virtual void* OpenWindow(void* parent) = 0;
  virtual void CloseWindow() = 0;
  virtual void* GetWindow() = 0;
  // The view follows the editor's size (parentHasResized: the host's window already did).
  virtual void PlatformResize(bool parentHasResized) = 0;
  virtual void UpdateTooltips() = 0;

  // The cursor (logical units).
  virtual void GetMouseLocation(float& x, float& y) const = 0;
  virtual void HideMouseCursor(bool hide = true, bool lock = true) = 0;
  virtual void MoveMouseCursor(float x, float y) = 0;

  // Dialogs and desktop services.
  virtual EMsgBoxResult ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                                       MsgBoxCompletion completion = nullptr) = 0;
  virtual void PromptForFile(StringBuf& fileName, StringBuf& path, EFileAction action = EFileAction::Open,
                             const char* ext = "", FileCompletion completion = nullptr) = 0;
  virtual void PromptForDirectory(StringBuf& dir, FileCompletion completion = nullptr) = 0;
  // The colour chooser; the completion runs for every colour the user picks. False when
  // nothing could be shown. Controls ask through ICanvas::PromptForColor(control, ...),
  // which keeps the requester.
  virtual bool PromptForColor(IColor& color, const char* str = "", ColorCompletion completion = nullptr) = 0;
  virtual bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
                       const char* errMsgOnFailure = nullptr) = 0;
  virtual bool RevealPathInExplorerOrFinder(StringBuf& path, bool select = false) = 0;
  virtual bool GetTextFromClipboard(StringBuf& str) = 0;
  virtual bool SetTextInClipboard(const char* str) = 0;
  virtual bool SetFilePathInClipboard(const char* path) = 0;

  // The value prompts behind ICanvas::CreateTextEntry and ICanvas::DoCreatePopupMenu.
  // The committed text goes to ICanvas::SetControlValueAfterTextEdit; a field closed
  // without a commit calls ICanvas::ClearInTextEntryControl.
  virtual void CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                                       const char* str) = 0;
  // Closes an open text field without committing it.
  virtual void ForceEndUserEdit() = 0;
  // Shows the menu, or queues it: isAsync true means the answer comes later through
  // ICanvas::SetControlValueAfterPopupMenu.
  virtual IPopupMenu* CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds, bool& isAsync) = 0;

  // Fonts found by file or resource name, by family and style, or from memory (null when
  // not found), and remembered once the backend took them.
  virtual PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fileNameOrResID) = 0;
  virtual PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fontName, ETextStyle style) = 0;
  virtual PlatformFontPtr LoadPlatformFont(const char* fontID, void* data, int size) = 0;
  virtual void CachePlatformFont(const char* fontID, const PlatformFontPtr& font) = 0;
};

}  // namespace plugkit::canvas
