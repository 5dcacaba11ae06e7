#pragma once
// The script of a headless desktop: the answers a test (or the test host) gives in advance
// to the prompts an editor may show, and the record of what was shown. One vocabulary for
// every scripted platform: the headless test canvas answers its prompts from it, the AppKit
// stand-in answers its alerts, panels, menus, text fields and colour panel from it, and the
// test host installs one for the editor it opens. "Answer the box with Yes" is
// answerMessageBox("Yes") everywhere.
//
// Answers are taken in order, per kind. A prompt shown without an answer, an answer that
// does not fit the prompt, and answers left unused when the script ends are failures,
// reported through the failure handler (a test's handler fails the test; the default
// writes to standard error). The platform decides when an answer is delivered (at once
// for modal prompts, on a later turn of its main queue for sheets, menus, text fields and
// colour picks); MainQueue is the queue type those platforms drain.
//
// It speaks the prompt kinds of the graphics context's platform seam
// (graphics/PlatformTypes.h, Geometry.h, Style.h: header-only records).
//
// Main thread only.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "graphics/Geometry.h"
#include "graphics/PlatformTypes.h"
#include "graphics/Style.h"
#include "shims/apple/corefoundation/JobQueue.h"

namespace uiscript {

using plugkit::canvas::EFileAction;
using plugkit::canvas::EMsgBoxResult;
using plugkit::canvas::EMsgBoxType;
using plugkit::canvas::IColor;
using plugkit::canvas::IRECT;
using plugkit::canvas::IText;

using MainQueue = cfshim::JobQueue;

// The buttons of a message-box type with the result of each, in the order shown (a type
// without buttons of its own shows the default "OK", which answers Cancel).
std::vector<std::pair<std::string, EMsgBoxResult>> ButtonsOf(EMsgBoxType type);
// The type whose buttons these are (NoButtons for any other list).
EMsgBoxType BoxTypeOf(const std::vector<std::string>& buttons);

// A snapshot of a menu as it was shown. Item flags are the menu model's: 1 disabled,
// 2 title (an indented item), 4 checked, 8 separator.
struct MenuSnapshot {
  struct Item {
    std::string text;
    int flags = 0;
    int tag = -1;
    std::vector<Item> submenu;
    bool hasSubmenu = false;
  };
  std::string title;
  int prefix = 0;
  int chosenIndex = -1;
  std::vector<Item> items;
};

struct ShownMessageBox {
  std::string text;
  std::string caption;
  EMsgBoxType type;
  EMsgBoxResult result;  // the answer's result
};

struct ShownFilePrompt {
  EFileAction action;
  std::string extensions;  // separated by single spaces
  std::string initialFileName;
  std::string initialPath;
  bool withCompletion;  // a sheet (the answer comes later)
};

struct ShownDirectoryPrompt {
  std::string initialDir;
  bool withCompletion;
};

struct ShownMenu {
  MenuSnapshot menu;
  IRECT bounds;  // the control's area the menu belongs to
  // Where a native menu popped up (view points) and the item placed there (-1: none).
  float locationX = 0.f;
  float locationY = 0.f;
  int positioningItem = -1;
};

struct ShownTextEntry {
  int paramIdx;  // -1 where the platform does not know it
  IText text;
  IRECT bounds;
  int length;
  std::string initial;
  bool committed = false;
  std::string delivered;  // the text handed to the graphics context on commit
};

class Script {
public:
  using FailureHandler = std::function<void(const std::string& message)>;

  struct BoxAnswer {
    std::string button;
    std::function<void()> whileOpen;
  };
  struct PathAnswer {
    bool cancel = true;
    std::string path;
  };
  struct MenuAnswer {
    bool dismiss = true;
    std::vector<int> path;
  };
  struct TextAnswer {
    enum Kind { Commit, Dismiss, LeaveOpen } kind = Dismiss;
    std::string text;
  };

  Script() = default;
  // Reports answers never used.
  virtual ~Script();
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  void setFailureHandler(FailureHandler handler) { mFail = std::move(handler); }
  void fail(const std::string& message) const;

  // ---- Answers, taken in order per kind ----
  // A message box answered by the button with that label ("OK", "Cancel", "Yes", "No",
  // "Retry"); whileOpen runs before the answer, as timers run inside a modal loop.
  void answerMessageBox(const std::string& button, std::function<void()> whileOpen = nullptr);
  void chooseFile(const std::string& fullPath);
  void cancelFilePrompt();
  // The folder, given without its trailing "/".
  void chooseDirectory(const std::string& dir);
  void cancelDirectoryPrompt();
  // The item at that path: indices from the top menu down through submenus.
  void chooseMenuItem(std::vector<int> path);
  void dismissMenu();
  // The text typed (keystroke by keystroke, through the entry's limits) over the entry's
  // initial text (which an entry opens with selected) and committed on the next turn of the
  // main queue.
  void commitText(const std::string& text);
  // The entry closed without a commit on the next turn of the main queue.
  void dismissText();
  // The entry opens and stays open until the test commits or dismisses it itself.
  void leaveTextOpen();
  // A colour chosen in the colour chooser, delivered on the next turn of the main queue.
  void pickColor(const IColor& color);
  // Forgets every unused answer.
  void clearScript();
  bool scriptEmpty() const;
  // Reports the unused answers as one failure and forgets them.
  void checkAllUsed();

  // ---- Taking answers (the platforms) ----
  // The next answer of the kind, or nothing (the caller reports the unscripted prompt).
  std::optional<BoxAnswer> takeMessageBox();
  std::optional<PathAnswer> takeFile();
  std::optional<PathAnswer> takeDirectory();
  std::optional<MenuAnswer> takeMenu();
  std::optional<TextAnswer> takeText();
  std::optional<IColor> takeColor();

  // ---- What was shown, in order ----
  std::vector<ShownMessageBox> messageBoxes;
  std::vector<ShownFilePrompt> filePrompts;
  std::vector<ShownDirectoryPrompt> directoryPrompts;
  std::vector<ShownMenu> menus;
  std::vector<ShownTextEntry> textEntries;
  std::vector<std::string> openedURLs;

private:
  template <class T>
  struct Answers {
    std::deque<T> items;
    bool empty() const { return items.empty(); }
    std::optional<T> take() {
      if (items.empty()) return std::nullopt;
      T answer = std::move(items.front());
      items.pop_front();
      return answer;
    }
  };

  FailureHandler mFail;
  Answers<BoxAnswer> mBoxes;
  Answers<PathAnswer> mFiles;
  Answers<PathAnswer> mDirectories;
  Answers<MenuAnswer> mMenus;
  Answers<TextAnswer> mTexts;
  Answers<IColor> mColors;
};

}  // namespace uiscript
