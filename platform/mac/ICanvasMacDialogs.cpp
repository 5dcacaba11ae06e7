// The Mac graphics class's dialogs and desktop services: message boxes, file and folder
// choosers, the colour panel, the clipboard, dragging a file out, opening URLs and
// revealing files.
#include <memory>

#include "framework/Paths.h"
#include "platform/mac/ICanvasMac.h"
#include "platform/mac/ICanvasView.h"
#include "platform/mac/PromptRules.h"
#include "platform/mac/ViewRules.h"

namespace plugkit::canvas {

namespace {

NSURL* folderURL(const std::string& folder) { return folder.empty() ? nullptr : NSURL::fileURLWithPath(folder); }

}  // namespace

EMsgBoxResult ICanvasMac::ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                                         MsgBoxCompletion completion) {
  ReleaseMouseCapture();
  auto alert = NSPtr<NSAlert>::adopt(new NSAlert());
  alert->setMessageText(caption != nullptr ? caption : "");
  alert->setInformativeText(str != nullptr ? str : "");
  for (const char* button : MessageBoxButtons(type)) alert->addButtonWithTitle(button);
  const std::weak_ptr<const int> alive = GetLivenessToken();
  NSInteger response = NSAlertFirstButtonReturn;
  {
    const ModalScope modal(*this);
    response = alert->runModal();
  }
  const EMsgBoxResult result = MessageBoxResult(type, response);
  // A box the host closed the editor under answers its caller, not a completion whose
  // controls are gone.
  if (completion && !alive.expired()) completion(result);
  return result;
}

void ICanvasMac::PromptForFile(StringBuf& fileName, StringBuf& path, EFileAction action, const char* ext,
                               FileCompletion completion) {
  if (mView == nullptr) {
    fileName.Set("");
    return;
  }
  const std::string initialFile = fileName.Get(), initialFolder = path.Get();
  fileName.Set("");
  const std::vector<std::string> types = AllowedFileTypes(ext);

  NSPtr<NSSavePanel> panel;
  if (action == EFileAction::Open) {
    NSPtr<NSOpenPanel> open = NSOpenPanel::openPanel();
    open->setCanChooseFiles(true);
    open->setCanChooseDirectories(false);
    open->setResolvesAliases(true);
    panel = NSPtr<NSSavePanel>::retain(open.get());
  } else {
    panel = NSSavePanel::savePanel();
    panel->setNameFieldStringValue(initialFile);
    panel->setAllowsOtherFileTypes(false);
  }
  panel->setAllowedFileTypes(types);
  panel->setDirectoryURL(NSPtr<NSURL>::adopt(folderURL(initialFolder)).get());
  panel->setLevel(NSFloatingWindowLevel);

  if (completion) {
    // A sheet: the answer comes later, and only while this context and its view are the
    // ones the sheet was shown for.
    const std::weak_ptr<const int> alive = GetLivenessToken();
    const ICanvasView_vSpectraPoise_vst3* view = mView;
    panel->beginSheetModalForWindow(mView->window(), [this, alive, view, panel, completion](NSInteger response) {
      if (alive.expired() || mView != view) return;
      StringBuf chosenFile(""), chosenFolder("");
      if (response == NSModalResponseOK && panel->URL() != nullptr) {
        chosenFile.Set(panel->URL()->path().c_str());
        chosenFolder.Set(FolderOf(panel->URL()->path()).c_str());
      }
      completion(chosenFile, chosenFolder);
    });
    return;
  }
  NSInteger response = NSModalResponseCancel;
  {
    const ModalScope modal(*this);
    response = panel->runModal();
  }
  if (response == NSModalResponseOK && panel->URL() != nullptr) {
    fileName.Set(panel->URL()->path().c_str());
    path.Set(FolderOf(panel->URL()->path()).c_str());
  }
}

void ICanvasMac::PromptForDirectory(StringBuf& dir, FileCompletion completion) {
  if (dir.Empty()) dir.Set("~/Desktop");
  StringBuf home;
  UserHomePath(home);
  NSPtr<NSOpenPanel> panel = NSOpenPanel::openPanel();
  panel->setTitle("Choose a Directory");
  panel->setCanChooseFiles(false);
  panel->setCanChooseDirectories(true);
  panel->setResolvesAliases(true);
  panel->setCanCreateDirectories(true);
  panel->setLevel(NSFloatingWindowLevel);
  // "~" is expanded for the panel only; dir keeps what the caller gave.
  panel->setDirectoryURL(NSPtr<NSURL>::adopt(folderURL(ExpandTilde(dir.Get(), home.Get()))).get());

  auto chosenFolder = [](NSSavePanel& p, NSInteger response) {
    return response == NSModalResponseOK && p.URL() != nullptr ? WithTrailingSlash(p.URL()->path()) : std::string();
  };
  if (completion && mView != nullptr) {
    const std::weak_ptr<const int> alive = GetLivenessToken();
    const ICanvasView_vSpectraPoise_vst3* view = mView;
    panel->beginSheetModalForWindow(mView->window(), [this, alive, view, panel, completion, chosenFolder](NSInteger r) {
      if (alive.expired() || mView != view) return;
      completion(StringBuf(""), StringBuf(chosenFolder(*panel, r).c_str()));
    });
    return;
  }
  // Without a view there is no window for a sheet: the panel runs modally.
  NSInteger response = NSModalResponseCancel;
  const std::weak_ptr<const int> alive = GetLivenessToken();
  {
    const ModalScope modal(*this);
    response = panel->runModal();
  }
  const std::string folder = chosenFolder(*panel, response);
  if (completion) {
    if (!alive.expired()) completion(StringBuf(""), StringBuf(folder.c_str()));
    return;
  }
  dir.Set(folder.c_str());
}

bool ICanvasMac::PromptForColor(IColor& color, const char*, ColorCompletion completion) {
  if (mView == nullptr) return false;
  return mView->promptForColor(color, std::move(completion));
}

bool ICanvasMac::GetTextFromClipboard(StringBuf& str) {
  const std::optional<std::string> text = NSPasteboard::generalPasteboard()->stringForType(NSStringPboardType);
  str.Set(text ? text->c_str() : "");
  return text.has_value();
}

bool ICanvasMac::SetTextInClipboard(const char* str) {
  NSPasteboard* board = NSPasteboard::generalPasteboard();
  board->clearContents();
  return board->setString(str != nullptr ? str : "", NSStringPboardType);
}

bool ICanvasMac::SetFilePathInClipboard(const char* path) {
  NSPasteboard* board = NSPasteboard::generalPasteboard();
  board->clearContents();
  NSPtr<NSURL> url = NSPtr<NSURL>::adopt(NSURL::fileURLWithPath(path != nullptr ? path : ""));
  return url && board->writeObjects({url});
}

bool ICanvasMac::InitiateExternalFileDragDrop(const char* path, const IRECT& iconBounds) {
  if (mView == nullptr || path == nullptr || path[0] == '\0') return false;
  NSPtr<NSURL> url = NSPtr<NSURL>::adopt(NSURL::fileURLWithPath(path));
  NSPtr<NSImage> icon = NSWorkspace::sharedWorkspace()->iconForFile(path);
  icon->setSize({64, 64});
  const ViewRect frame = FrameRule(iconBounds, GetDrawScale());
  NSDraggingItem item{NSPasteboardTypeFileURL, url->absoluteString(), NSMakeRect(frame.x, frame.y, frame.w, frame.h),
                      icon->file(), icon->size()};
  NSDraggingSession* session = mView->beginDraggingSession({item}, NSApp->currentEvent, mView);
  session->animatesToStartingPositionsOnCancelOrFail = true;
  session->draggingFormation = NSDraggingFormationNone;
  ReleaseMouseCapture();
  return true;
}

bool ICanvasMac::OpenURL(const char* url, const char*, const char*, const char*) {
  if (url == nullptr) return false;
  NSPtr<NSURL> target = NSPtr<NSURL>::adopt(IsWebURL(url) ? NSURL::URLWithString(url) : NSURL::fileURLWithPath(url));
  // No URL forms from the text: nothing was opened.
  if (!target) return false;
  return NSWorkspace::sharedWorkspace()->openURL(target.get());
}

bool ICanvasMac::RevealPathInExplorerOrFinder(StringBuf& path, bool select) {
  NSAutoreleasePool pool;
  if (path.Empty() || !NSFileManager::defaultManager()->fileExistsAtPath(path.Get())) return false;
  NSWorkspace* workspace = NSWorkspace::sharedWorkspace();
  if (!select) return workspace->openFile(path.Get());
  std::string folder = FolderOf(path.Get());
  if (folder.size() > 1) folder.pop_back();  // the containing folder, without its "/"
  if (!workspace->openFile(folder)) return false;
  return workspace->selectFile(path.Get(), folder);
}

}  // namespace plugkit::canvas
