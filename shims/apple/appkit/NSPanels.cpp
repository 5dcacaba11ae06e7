#include "shims/apple/appkit/NSPanels.h"

#include <algorithm>

#include "shims/apple/appkit/NSApplication.h"
#include "shims/apple/corefoundation/Dispatch.h"

namespace {

std::string joined(const std::vector<std::string>& types) {
  std::string out;
  for (const std::string& t : types) out += (out.empty() ? "" : " ") + t;
  return out;
}

std::string extensionOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return path.substr(dot + 1);
}

}  // namespace

// ---- Alerts ----

NSInteger NSAlert::runModal() {
  NSPtr<NSAlert> hold = NSPtr<NSAlert>::retain(this);
  uiscript::Script& script = NSApp->script();
  const std::vector<std::string> shownButtons = mButtons.empty() ? std::vector<std::string>{"OK"} : mButtons;
  const plugkit::canvas::EMsgBoxType type = uiscript::BoxTypeOf(mButtons);
  const auto results = uiscript::ButtonsOf(type);

  NSInteger index = static_cast<NSInteger>(shownButtons.size()) - 1;
  std::function<void()> whileOpen;
  if (auto answer = script.takeMessageBox()) {
    const auto it = std::find(shownButtons.begin(), shownButtons.end(), answer->button);
    if (it == shownButtons.end())
      script.fail("message box of type " + std::to_string(static_cast<int>(type)) + " has no button \"" +
                  answer->button + "\"");
    else
      index = it - shownButtons.begin();
    whileOpen = std::move(answer->whileOpen);
  } else {
    script.fail("unscripted message box \"" + mMessage + "\": " + mInformative);
  }
  const auto result = static_cast<size_t>(index) < results.size() ? results[static_cast<size_t>(index)].second
                                                                   : plugkit::canvas::EMsgBoxResult::Cancel;
  script.messageBoxes.push_back({mInformative, mMessage, type, result});
  if (whileOpen) {
    ++NSApp->modalDepth;
    whileOpen();
    --NSApp->modalDepth;
  }
  return NSAlertFirstButtonReturn + index;
}

// ---- Open and save panels ----

NSPtr<NSSavePanel> NSSavePanel::savePanel() { return NSPtr<NSSavePanel>::adopt(new NSSavePanel()); }
NSPtr<NSOpenPanel> NSOpenPanel::openPanel() { return NSPtr<NSOpenPanel>::adopt(new NSOpenPanel()); }

NSInteger NSSavePanel::answer(bool sheet) {
  uiscript::Script& script = NSApp->script();
  const std::string folder = mDirectory ? mDirectory->path() : "";
  mChosen.reset();
  std::optional<uiscript::Script::PathAnswer> scripted;
  if (choosesFolders()) {
    script.directoryPrompts.push_back({folder, sheet});
    scripted = script.takeDirectory();
    if (!scripted) script.fail("unscripted folder prompt");
  } else {
    script.filePrompts.push_back({isOpenPanel() ? plugkit::canvas::EFileAction::Open : plugkit::canvas::EFileAction::Save,
                                  joined(mTypes), isOpenPanel() ? "" : mName, folder, sheet});
    scripted = script.takeFile();
    if (!scripted) script.fail("unscripted file prompt (extensions \"" + joined(mTypes) + "\")");
  }
  if (!scripted || scripted->cancel) return NSModalResponseCancel;

  std::string path = scripted->path;
  if (!choosesFolders() && !mTypes.empty()) {
    const std::string ext = extensionOf(path);
    const bool allowed = std::find(mTypes.begin(), mTypes.end(), ext) != mTypes.end();
    if (!allowed && isOpenPanel()) {
      script.fail("the open panel does not offer \"" + path + "\" (types \"" + joined(mTypes) + "\")");
      return NSModalResponseCancel;
    }
    if (!allowed && !mOtherTypes) path += "." + mTypes.front();
  }
  mChosen = NSPtr<NSURL>::adopt(NSURL::fileURLWithPath(path));
  return mChosen ? NSModalResponseOK : NSModalResponseCancel;
}

NSInteger NSSavePanel::runModal() {
  NSPtr<NSSavePanel> hold = NSPtr<NSSavePanel>::retain(this);
  ++NSApp->modalDepth;
  const NSInteger response = answer(false);
  --NSApp->modalDepth;
  return response;
}

void NSSavePanel::beginSheetModalForWindow(NSWindow*, std::function<void(NSInteger)> completion) {
  const NSInteger response = answer(true);
  NSPtr<NSSavePanel> self = NSPtr<NSSavePanel>::retain(this);
  dispatch_async(dispatch_get_main_queue(), [self, response, completion = std::move(completion)] {
    if (completion) completion(response);
  });
}

// ---- The colour panel ----

NSColorPanel* NSColorPanel::sharedColorPanel() { return NSApp->colorPanel(true); }
bool NSColorPanel::sharedColorPanelExists() { return NSApp->colorPanel(false) != nullptr; }

void NSColorPanel::setTarget(NSObject* target) {
  if (target != mTarget) ++mSession;
  mTarget = target;
}

void NSColorPanel::orderFront() {
  mVisible = true;
  uiscript::Script& script = NSApp->script();
  const std::optional<plugkit::canvas::IColor> picked = script.takeColor();
  if (!picked) {
    script.fail("unscripted colour prompt");
    return;
  }
  double r = picked->R / 255.0, g = picked->G / 255.0, b = picked->B / 255.0, a = picked->A / 255.0;
  NSPtr<NSColorPanel> self = NSPtr<NSColorPanel>::retain(this);
  const uint64_t session = mSession;
  dispatch_async(dispatch_get_main_queue(), [self, session, r, g, b, a] {
    if (self->mSession != session || !self->mVisible) return;  // closed or given to another target
    self->pick(NSColor::colorWithDeviceRed(r, g, b, a).get());
  });
}

void NSColorPanel::close() {
  mVisible = false;
  mTarget = nullptr;
  ++mSession;
}

void NSColorPanel::pick(NSColor* color) {
  NSPtr<NSColorPanel> hold = NSPtr<NSColorPanel>::retain(this);
  setColor(color);
  if (NSObject* target = mTarget) target->performAction(mAction, this);
}
