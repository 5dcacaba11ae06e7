// The headless desktop's prompts, answered by the script and recorded in it: alerts by
// button title, menus by index path (actions to targets; items that cannot be chosen are
// failures), text fields typed through their formatter and committed on the next turn
// (not once the field is gone), the focus moving away ending an edit, panels modal and as
// sheets (type rules of save and open panels), colour picks reaching only the target the
// panel was shown for; pasteboards, the workspace, URLs and timers of the main loop.
#include <filesystem>

#include "shims/apple/corefoundation/CFRunLoopTesting.h"
#include "tests/shims/apple/appkit/appkit_fixture.h"

namespace {

using namespace appkittest;

using Prompts = DesktopTest;

TEST_F(Prompts, AlertsAnswerByButtonTitle) {
  auto alert = NSPtr<NSAlert>::adopt(new NSAlert());
  alert->setMessageText("Save preset");
  alert->setInformativeText("Replace it?");
  alert->addButtonWithTitle("Yes");
  alert->addButtonWithTitle("No");
  alert->addButtonWithTitle("Cancel");
  int depthInside = -1;
  script.answerMessageBox("No", [&] { depthInside = NSApp->modalDepth; });
  EXPECT_EQ(alert->runModal(), NSAlertSecondButtonReturn);
  EXPECT_EQ(depthInside, 1);
  ASSERT_EQ(script.messageBoxes.size(), 1u);
  EXPECT_EQ(script.messageBoxes[0].caption, "Save preset");
  EXPECT_EQ(script.messageBoxes[0].text, "Replace it?");
  EXPECT_EQ(script.messageBoxes[0].type, plugkit::canvas::EMsgBoxType::YesNoCancel);
  EXPECT_EQ(script.messageBoxes[0].result, plugkit::canvas::EMsgBoxResult::No);

  // An alert without buttons shows "OK"; unscripted and unknown answers are failures.
  auto plain = NSPtr<NSAlert>::adopt(new NSAlert());
  script.answerMessageBox("OK");
  EXPECT_EQ(plain->runModal(), NSAlertFirstButtonReturn);
  EXPECT_EQ(script.messageBoxes[1].result, plugkit::canvas::EMsgBoxResult::Cancel);
  EXPECT_EQ(alert->runModal(), NSAlertThirdButtonReturn);
  script.answerMessageBox("Retry");
  EXPECT_EQ(alert->runModal(), NSAlertThirdButtonReturn);
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_NE(failures[0].find("unscripted message box \"Save preset\""), std::string::npos);
  EXPECT_NE(failures[1].find("has no button \"Retry\""), std::string::npos);
}

class Receiver : public NSObject {
public:
  bool performAction(const SEL& sel, NSObject* sender) override {
    log.push_back(sel + " " + static_cast<NSMenuItem*>(sender)->title());
    return true;
  }
  std::vector<std::string> log;
};

TEST_F(Prompts, MenusAnswerByIndexPathAndSendTheItemsAction) {
  Receiver receiver;
  auto menu = NSPtr<NSMenu>::adopt(new NSMenu(""));
  NSMenuItem* first = menu->addItemWithTitle("01: Title", "", "");
  first->setIndentationLevel(1);
  first->setState(NSControlStateValueOn);
  menu->addItem(NSMenuItem::separatorItem().get());
  NSMenuItem* parent = menu->addItemWithTitle("More", "", "");
  auto sub = NSPtr<NSMenu>::adopt(new NSMenu(""));
  NSMenuItem* leaf = sub->addItemWithTitle("Leaf", "onMenuSelection:", "");
  leaf->setTarget(&receiver);
  NSMenuItem* off = sub->addItemWithTitle("Off", "onMenuSelection:", "");
  off->setEnabled(false);
  menu->setSubmenu(sub.get(), parent);

  auto* view = new RecordingView(NSMakeRect(0, 0, 100, 100));
  window->contentView()->addSubview(view);
  view->release();
  script.chooseMenuItem({2, 0});
  EXPECT_TRUE(menu->popUpMenuPositioningItem(first, {5, 6}, view));
  EXPECT_EQ(receiver.log, (std::vector<std::string>{"onMenuSelection: Leaf"}));
  ASSERT_EQ(script.menus.size(), 1u);
  const uiscript::ShownMenu& shown = script.menus[0];
  EXPECT_EQ(shown.positioningItem, 0);
  EXPECT_EQ(shown.locationX, 5.f);
  ASSERT_EQ(shown.menu.items.size(), 3u);
  EXPECT_EQ(shown.menu.items[0].text, "01: Title");
  EXPECT_EQ(shown.menu.items[0].flags, 2 | 4);
  EXPECT_EQ(shown.menu.items[1].flags, 8);
  EXPECT_TRUE(shown.menu.items[2].hasSubmenu);
  EXPECT_EQ(shown.menu.items[2].submenu[1].flags, 1);

  script.chooseMenuItem({2, 1});  // disabled
  EXPECT_FALSE(menu->popUpMenuPositioningItem(nullptr, {0, 0}, view));
  script.chooseMenuItem({1});     // separator
  EXPECT_FALSE(menu->popUpMenuPositioningItem(nullptr, {0, 0}, view));
  script.dismissMenu();
  EXPECT_FALSE(menu->popUpMenuPositioningItem(nullptr, {0, 0}, view));
  EXPECT_EQ(failures.size(), 2u);
  EXPECT_EQ(receiver.log.size(), 1u);
  EXPECT_EQ(NSApp->modalDepth, 0);
}

// A formatter that takes digits only, up to three.
class Digits : public NSFormatter {
public:
  bool isPartialStringValid(const std::u16string& s, std::u16string*, std::string*) override {
    if (s.size() > 3) return false;
    for (char16_t c : s)
      if (c < u'0' || c > u'9') return false;
    return true;
  }
};

class FieldDelegate : public NSTextFieldDelegate {
public:
  void controlTextDidEndEditing(const NSNotification& n) override {
    ended.push_back(static_cast<NSTextField*>(n.object)->stringValue());
    if (onEnd) onEnd();
  }
  std::vector<std::string> ended;
  std::function<void()> onEnd;
};

TEST_F(Prompts, TextFieldsTypeThroughTheirFormatterAndCommitOnTheNextTurn) {
  FieldDelegate delegate;
  auto* field = new NSTextField(NSMakeRect(10, 10, 80, 20));
  auto formatter = NSPtr<Digits>::adopt(new Digits());
  field->setFormatter(formatter.get());
  field->setDelegate(&delegate);
  field->setStringValue("7");
  window->contentView()->addSubview(field);
  field->release();

  script.commitText("1a2345");
  ASSERT_TRUE(window->makeFirstResponder(field));
  EXPECT_TRUE(field->isEditing());
  EXPECT_NE(field->currentEditor(), nullptr);
  EXPECT_TRUE(delegate.ended.empty());  // typed on the next turn
  cfshim::DrainMainQueue();
  // The field opens with its text selected: the typing replaces "7".
  EXPECT_EQ(delegate.ended, (std::vector<std::string>{"123"}));
  ASSERT_EQ(script.textEntries.size(), 1u);
  EXPECT_EQ(script.textEntries[0].initial, "7");
  EXPECT_EQ(script.textEntries[0].delivered, "123");
  EXPECT_TRUE(script.textEntries[0].committed);
  EXPECT_FALSE(field->isEditing());

  // A field removed before its turn commits nothing.
  window->makeFirstResponder(nullptr);
  script.commitText("9");
  window->makeFirstResponder(field);
  NSPtr<NSTextField> keep = NSPtr<NSTextField>::retain(field);
  delegate.onEnd = nullptr;
  field->setDelegate(nullptr);
  field->removeFromSuperview();
  cfshim::DrainMainQueue();
  EXPECT_EQ(field->stringValue(), "123");
  EXPECT_EQ(delegate.ended.size(), 1u);
}

TEST_F(Prompts, FocusMovingToAnotherViewEndsTheEdit) {
  FieldDelegate delegate;
  auto* field = new NSTextField(NSMakeRect(10, 10, 80, 20));
  field->setDelegate(&delegate);
  auto* other = new RecordingView(NSMakeRect(200, 10, 80, 80));
  window->contentView()->addSubview(field);
  window->contentView()->addSubview(other);
  field->release();
  other->release();
  script.leaveTextOpen();
  window->makeFirstResponder(field);
  EXPECT_EQ(field->typeText(std::string("ab\xC3\xA9")), 3);
  EventScript(other).click({5, 5});
  EXPECT_EQ(delegate.ended, (std::vector<std::string>{"ab\xC3\xA9"}));
  EXPECT_EQ(other->log, (std::vector<std::string>{"joined", "backing", "down", "up"}));
}

TEST_F(Prompts, PanelsModalAndAsSheetsWithTheirTypeRules) {
  auto save = NSSavePanel::savePanel();
  save->setAllowedFileTypes({"sppreset"});
  save->setAllowsOtherFileTypes(false);
  save->setNameFieldStringValue("Mine");
  save->setDirectoryURL(NSPtr<NSURL>::adopt(NSURL::fileURLWithPath("/presets")).get());
  script.chooseFile("/presets/Mine.txt");
  EXPECT_EQ(save->runModal(), NSModalResponseOK);
  EXPECT_EQ(save->URL()->path(), "/presets/Mine.txt.sppreset");
  ASSERT_EQ(script.filePrompts.size(), 1u);
  EXPECT_EQ(script.filePrompts[0].action, plugkit::canvas::EFileAction::Save);
  EXPECT_EQ(script.filePrompts[0].extensions, "sppreset");
  EXPECT_EQ(script.filePrompts[0].initialFileName, "Mine");
  EXPECT_EQ(script.filePrompts[0].initialPath, "/presets");

  auto open = NSOpenPanel::openPanel();
  open->setAllowedFileTypes({"wav", "flac"});
  script.chooseFile("/music/a.mp3");
  EXPECT_EQ(open->runModal(), NSModalResponseCancel);
  ASSERT_EQ(failures.size(), 1u);

  NSInteger sheetAnswer = -1;
  script.chooseFile("/music/a.flac");
  open->beginSheetModalForWindow(window, [&](NSInteger r) { sheetAnswer = r; });
  EXPECT_EQ(sheetAnswer, -1);
  cfshim::DrainMainQueue();
  EXPECT_EQ(sheetAnswer, NSModalResponseOK);
  EXPECT_EQ(open->URL()->path(), "/music/a.flac");
  EXPECT_TRUE(script.filePrompts.back().withCompletion);

  auto folders = NSOpenPanel::openPanel();
  folders->setCanChooseFiles(false);
  folders->setCanChooseDirectories(true);
  script.cancelDirectoryPrompt();
  EXPECT_EQ(folders->runModal(), NSModalResponseCancel);
  ASSERT_EQ(script.directoryPrompts.size(), 1u);
}

class ColourTarget : public NSObject {
public:
  bool performAction(const SEL& sel, NSObject* sender) override {
    NSColor* c = static_cast<NSColorPanel*>(sender)->color();
    picks.push_back(c->redComponent());
    return true;
  }
  std::vector<double> picks;
};

TEST_F(Prompts, ColourPicksReachOnlyTheTargetThePanelWasShownFor) {
  ColourTarget first, second;
  EXPECT_FALSE(NSColorPanel::sharedColorPanelExists());
  NSColorPanel* panel = NSColorPanel::sharedColorPanel();
  panel->setTarget(&first);
  panel->setAction("onColorPicked:");
  script.pickColor(plugkit::canvas::IColor(255, 255, 0, 0));
  panel->orderFront();
  cfshim::DrainMainQueue();
  EXPECT_EQ(first.picks, (std::vector<double>{1.0}));

  script.pickColor(plugkit::canvas::IColor(255, 51, 0, 0));
  panel->orderFront();
  panel->setTarget(&second);  // another target before the pick arrives
  cfshim::DrainMainQueue();
  EXPECT_EQ(first.picks.size(), 1u);
  EXPECT_TRUE(second.picks.empty());

  script.pickColor(plugkit::canvas::IColor(255, 51, 0, 0));
  panel->orderFront();
  panel->close();
  cfshim::DrainMainQueue();
  EXPECT_TRUE(second.picks.empty());
  EXPECT_EQ(panel->target(), nullptr);
}

TEST_F(Prompts, PasteboardWorkspaceAndUrls) {
  NSPasteboard* board = NSPasteboard::generalPasteboard();
  board->clearContents();
  EXPECT_TRUE(board->setString("hello", NSStringPboardType));
  EXPECT_EQ(board->stringForType(NSStringPboardType), "hello");
  board->clearContents();
  EXPECT_FALSE(board->stringForType(NSStringPboardType));
  EXPECT_TRUE(board->writeObjects({NSPtr<NSURL>::adopt(NSURL::fileURLWithPath("/a b/c.wav"))}));
  EXPECT_EQ(board->propertyListForType(NSPasteboardTypeFileURL)->front(), "file:///a%20b/c.wav");

  EXPECT_EQ(NSURL::URLWithString(""), nullptr);
  EXPECT_EQ(NSURL::URLWithString("https://x y"), nullptr);
  EXPECT_EQ(NSURL::URLWithString("https://x/%zz"), nullptr);
  EXPECT_EQ(NSURL::URLWithString("caf\xC3\xA9"), nullptr);
  auto web = NSPtr<NSURL>::adopt(NSURL::URLWithString("https://x/?a=1%20"));
  ASSERT_TRUE(web);
  EXPECT_FALSE(web->isFileURL());
  EXPECT_TRUE(NSWorkspace::sharedWorkspace()->openURL(web.get()));
  NSApp->workspaceSucceeds = false;
  EXPECT_FALSE(NSWorkspace::sharedWorkspace()->openFile("/tmp"));
  EXPECT_EQ(NSApp->workspaceLog, (std::vector<std::string>{"open https://x/?a=1%20", "open file /tmp"}));

  bool isDir = false;
  EXPECT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath(std::filesystem::temp_directory_path(), &isDir));
  EXPECT_TRUE(isDir);
  EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath("/no/such/file"));
}

TEST_F(Prompts, TimersRunOnTheSteppedMainLoop) {
  cfshim::ManualRunLoop loop(1000.0);
  int ticks = 0;
  auto timer = NSPtr<NSTimer>::adopt(NSTimer::timerWithTimeInterval(1.0 / 60.0, true, [&](NSTimer*) { ++ticks; }));
  NSRunLoop::currentRunLoop()->addTimer(timer.get(), kCFRunLoopCommonModes);
  loop.advance(101);
  EXPECT_EQ(ticks, 6);
  timer->invalidate();
  loop.advance(100);
  EXPECT_EQ(ticks, 6);
}

}  // namespace
