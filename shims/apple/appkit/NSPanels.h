#pragma once
// The AppKit stand-in's alerts and panels, each answered by the application's script and
// recorded in it: alerts run modally and answer 1000 + the chosen button's index; open and
// save panels run modally or as a sheet on a window (the answer then arrives on the next
// turn of the main queue); the shared colour panel sends its action to its target on the
// next turn after it is shown, with the scripted colour. A save panel that allows only
// some file types gives the chosen file the first of them when its own is not among them;
// an open panel refuses a file of another type (a failure, answered as cancelled).
// Main thread only.
#include <functional>
#include <string>
#include <vector>

#include "shims/apple/appkit/AppKitFoundation.h"
#include "shims/apple/appkit/NSTextField.h"

enum : NSInteger {
  NSAlertFirstButtonReturn = 1000,
  NSAlertSecondButtonReturn = 1001,
  NSAlertThirdButtonReturn = 1002,
};
enum : NSInteger { NSModalResponseCancel = 0, NSModalResponseOK = 1 };
enum : int { NSNormalWindowLevel = 0, NSFloatingWindowLevel = 3 };

class NSAlert : public NSObject {
public:
  NSAlert() = default;
  void setMessageText(const std::string& text) { mMessage = text; }
  const std::string& messageText() const { return mMessage; }
  void setInformativeText(const std::string& text) { mInformative = text; }
  const std::string& informativeText() const { return mInformative; }
  void addButtonWithTitle(const std::string& title) { mButtons.push_back(title); }
  // The titles added (an alert without any shows the default "OK").
  const std::vector<std::string>& buttons() const { return mButtons; }
  // A modal run: the script's message-box answer names the button (its whileOpen runs in
  // the run); 1000 + its index. Unscripted or without such a button: a failure, answered
  // by the last button.
  virtual NSInteger runModal();

private:
  std::string mMessage;
  std::string mInformative;
  std::vector<std::string> mButtons;
};

class NSSavePanel : public NSObject {
public:
  static NSPtr<NSSavePanel> savePanel();

  void setAllowedFileTypes(const std::vector<std::string>& types) { mTypes = types; }
  const std::vector<std::string>& allowedFileTypes() const { return mTypes; }
  void setDirectoryURL(NSURL* url) { mDirectory = NSPtr<NSURL>::retain(url); }
  NSURL* directoryURL() const { return mDirectory.get(); }
  void setNameFieldStringValue(const std::string& name) { mName = name; }
  const std::string& nameFieldStringValue() const { return mName; }
  void setAllowsOtherFileTypes(bool allows) { mOtherTypes = allows; }
  bool allowsOtherFileTypes() const { return mOtherTypes; }
  void setCanCreateDirectories(bool can) { mCreateDirectories = can; }
  bool canCreateDirectories() const { return mCreateDirectories; }
  void setTitle(const std::string& title) { mTitle = title; }
  const std::string& title() const { return mTitle; }
  void setLevel(int level) { mLevel = level; }
  int level() const { return mLevel; }

  // A modal run; NSModalResponseOK with URL() set, or NSModalResponseCancel.
  virtual NSInteger runModal();
  // A sheet on the window: returns at once; the completion gets the response on the next
  // turn of the main queue (URL() set before it runs).
  virtual void beginSheetModalForWindow(NSWindow* window, std::function<void(NSInteger)> completion);
  // The chosen file or folder (null before an OK).
  NSURL* URL() const { return mChosen.get(); }

protected:
  NSSavePanel() = default;
  virtual bool choosesFolders() const { return false; }
  virtual bool isOpenPanel() const { return false; }

private:
  // Shows the panel to the script and takes its answer; OK or Cancel.
  NSInteger answer(bool sheet);

  std::vector<std::string> mTypes;
  NSPtr<NSURL> mDirectory;
  std::string mName;
  bool mOtherTypes = true;
  bool mCreateDirectories = false;
  std::string mTitle;
  int mLevel = NSNormalWindowLevel;
  NSPtr<NSURL> mChosen;
};

class NSOpenPanel : public NSSavePanel {
public:
  static NSPtr<NSOpenPanel> openPanel();
  void setCanChooseFiles(bool can) { mFiles = can; }
  bool canChooseFiles() const { return mFiles; }
  void setCanChooseDirectories(bool can) { mFolders = can; }
  bool canChooseDirectories() const { return mFolders; }
  void setResolvesAliases(bool resolves) { mResolves = resolves; }
  bool resolvesAliases() const { return mResolves; }
  void setAllowsMultipleSelection(bool allows) { mMultiple = allows; }

protected:
  NSOpenPanel() = default;
  bool choosesFolders() const override { return mFolders && !mFiles; }
  bool isOpenPanel() const override { return true; }

private:
  bool mFiles = true;
  bool mFolders = false;
  bool mResolves = true;
  bool mMultiple = false;
};

class NSColorPanel : public NSObject {
public:
  // The application's panel, made on first use.
  static NSColorPanel* sharedColorPanel();
  static bool sharedColorPanelExists();

  // Not retained.
  void setTarget(NSObject* target);
  NSObject* target() const { return mTarget; }
  void setAction(const SEL& action) { mAction = action; }
  void setShowsAlpha(bool shows) { mShowsAlpha = shows; }
  bool showsAlpha() const { return mShowsAlpha; }
  void setColor(NSColor* color) { mColor = NSPtr<NSColor>::retain(color); }
  NSColor* color() const { return mColor.get(); }
  bool isVisible() const { return mVisible; }

  // Shows the panel: the script's colour answer is picked on the next turn of the main
  // queue (unscripted: a failure). A pick reaches only the target the panel had when it
  // was shown.
  virtual void orderFront();
  // Hides the panel and forgets its target.
  virtual void close();
  // The user picks a colour: it becomes the panel's colour and the action goes to the
  // target.
  virtual void pick(NSColor* color);

private:
  friend class NSApplication;
  NSColorPanel() = default;

  NSObject* mTarget = nullptr;
  SEL mAction;
  bool mShowsAlpha = false;
  bool mVisible = false;
  NSPtr<NSColor> mColor;
  uint64_t mSession = 0;  // moves with every new target and every close
};
