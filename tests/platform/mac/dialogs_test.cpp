// Dialogs and desktop services of the Mac graphics class, end to end: message boxes of
// every type answer per button, inside a modal run, releasing the pointer first; file
// choosers modal and as sheets, answered and cancelled, with their types; folder choosers
// with "~/Desktop" written back; the colour panel (channels to components and back); the
// clipboard; opening URLs (web or file, none when no URL forms); revealing files; dragging
// a file out.
#include <filesystem>

#include "tests/platform/mac/mac_editor.h"

namespace {

using namespace mactest;

class Dialogs : public MacEditorTest {
protected:
  void SetUp() override {
    MacEditorTest::SetUp();
    open();
  }
};

TEST_F(Dialogs, MessageBoxesAnswerPerButtonOfTheirType) {
  struct Row {
    EMsgBoxType type;
    std::vector<std::pair<std::string, EMsgBoxResult>> answers;
  };
  using R = EMsgBoxResult;
  const Row rows[] = {
      {EMsgBoxType::OK, {{"OK", R::OK}}},
      {EMsgBoxType::OKCancel, {{"OK", R::OK}, {"Cancel", R::Cancel}}},
      {EMsgBoxType::YesNoCancel, {{"Yes", R::Yes}, {"No", R::No}, {"Cancel", R::Cancel}}},
      {EMsgBoxType::YesNo, {{"Yes", R::Yes}, {"No", R::No}}},
      {EMsgBoxType::RetryCancel, {{"Retry", R::Retry}, {"Cancel", R::Cancel}}},
      {EMsgBoxType::NoButtons, {{"OK", R::Cancel}}},
  };
  for (const Row& row : rows) {
    for (const auto& [button, result] : row.answers) {
      int depth = -1;
      script.answerMessageBox(button, [&] { depth = g->ModalRunDepth(); });
      R completed = R::OK;
      bool called = false;
      EXPECT_EQ(g->ShowMessageBox("text", "Caption", row.type,
                                  [&](R r) {
                                    completed = r;
                                    called = true;
                                  }),
                result)
          << static_cast<int>(row.type) << " " << button;
      EXPECT_TRUE(called);
      EXPECT_EQ(completed, result);
      EXPECT_EQ(depth, 1);
      EXPECT_EQ(script.messageBoxes.back().caption, "Caption");
      EXPECT_EQ(script.messageBoxes.back().type, row.type);
    }
  }
  EXPECT_EQ(g->ModalRunDepth(), 0);

  // The pointer is released before the box shows.
  EventScript e = events();
  e.press({10, 10});
  EXPECT_TRUE(g->ControlIsCaptured());
  script.answerMessageBox("OK");
  g->ShowMessageBox(nullptr, nullptr, EMsgBoxType::OK);
  EXPECT_FALSE(g->ControlIsCaptured());
  EXPECT_EQ(script.messageBoxes.back().text, "");
}

TEST_F(Dialogs, FileChoosersModalAndAsSheets) {
  // Modal, chosen.
  StringBuf file("song.wav"), folder("/music/");
  script.chooseFile("/music/take 2.wav");
  g->PromptForFile(file, folder, EFileAction::Open, "wav wave aif aiff aifc mp3 flac");
  EXPECT_STREQ(file.Get(), "/music/take 2.wav");
  EXPECT_STREQ(folder.Get(), "/music/");
  ASSERT_EQ(script.filePrompts.size(), 1u);
  EXPECT_EQ(script.filePrompts[0].extensions, "wav wave aif aiff aifc mp3 flac");
  EXPECT_EQ(script.filePrompts[0].initialPath, "/music/");
  EXPECT_FALSE(script.filePrompts[0].withCompletion);

  // Modal, cancelled: the file name is emptied, the folder stays.
  script.cancelFilePrompt();
  g->PromptForFile(file, folder, EFileAction::Save, "sppreset");
  EXPECT_STREQ(file.Get(), "");
  EXPECT_STREQ(folder.Get(), "/music/");
  EXPECT_EQ(script.filePrompts[1].action, EFileAction::Save);
  EXPECT_EQ(script.filePrompts[1].initialFileName, "/music/take 2.wav");

  // A save panel refuses other types: the chosen name gets the allowed one.
  file.Set("Mine");
  script.chooseFile("/presets/Mine.txt");
  g->PromptForFile(file, folder, EFileAction::Save, "sppreset");
  EXPECT_STREQ(file.Get(), "/presets/Mine.txt.sppreset");

  // As a sheet: the caller's strings are not touched; the answer comes next turn.
  std::vector<std::pair<std::string, std::string>> answers;
  auto record = [&](const StringBuf& f, const StringBuf& p) { answers.emplace_back(f.Get(), p.Get()); };
  file.Set("a.wav");
  script.chooseFile("/x/b.wav");
  g->PromptForFile(file, folder, EFileAction::Open, "wav", record);
  EXPECT_STREQ(file.Get(), "");
  EXPECT_TRUE(answers.empty());
  cfshim::DrainMainQueue();
  script.cancelFilePrompt();
  g->PromptForFile(file, folder, EFileAction::Open, "wav", record);
  cfshim::DrainMainQueue();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0], (std::pair<std::string, std::string>{"/x/b.wav", "/x/"}));
  EXPECT_EQ(answers[1], (std::pair<std::string, std::string>{"", ""}));
  EXPECT_TRUE(script.filePrompts.back().withCompletion);
}

TEST_F(Dialogs, FolderChoosers) {
  StringBuf dir;
  script.chooseDirectory("/home/u/Music");
  g->PromptForDirectory(dir);
  EXPECT_STREQ(dir.Get(), "/home/u/Music/");
  ASSERT_EQ(script.directoryPrompts.size(), 1u);
  EXPECT_EQ(script.directoryPrompts[0].initialDir.substr(0, 1), "/");  // "~" expanded for the panel

  dir.Set("");
  script.cancelDirectoryPrompt();
  g->PromptForDirectory(dir);
  EXPECT_STREQ(dir.Get(), "");  // a cancelled modal chooser empties it

  std::string answered = "none";
  dir.Set("");
  script.chooseDirectory("/data");
  g->PromptForDirectory(dir, [&](const StringBuf& f, const StringBuf& p) { answered = std::string(f.Get()) + "|" + p.Get(); });
  EXPECT_STREQ(dir.Get(), "~/Desktop");  // written back literally
  cfshim::DrainMainQueue();
  EXPECT_EQ(answered, "|/data/");
}

TEST_F(Dialogs, TheColourPanelConvertsChannelsAndReportsEveryPick) {
  std::vector<IColor> picks;
  IColor start(255, 255, 0, 51);
  script.pickColor(IColor(255, 127, 127, 127));
  ASSERT_TRUE(g->PromptForColor(start, "", [&](const IColor& c) { picks.push_back(c); }));
  NSColorPanel* panel = NSColorPanel::sharedColorPanel();
  EXPECT_TRUE(panel->showsAlpha());
  cfshim::DrainMainQueue();
  ASSERT_EQ(picks.size(), 1u);
  EXPECT_EQ(picks[0], IColor(255, 127, 127, 127));
  // The user picks again: 0.5 of each channel is 127.
  panel->pick(NSColor::colorWithDeviceRed(0.5, 0.5, 0.5, 1.0).get());
  ASSERT_EQ(picks.size(), 2u);
  EXPECT_EQ(picks[1], IColor(255, 127, 127, 127));
}

TEST_F(Dialogs, ClipboardUrlsRevealAndDragOut) {
  StringBuf text;
  EXPECT_TRUE(g->SetTextInClipboard("hello"));
  EXPECT_TRUE(g->GetTextFromClipboard(text));
  EXPECT_STREQ(text.Get(), "hello");
  EXPECT_TRUE(g->SetFilePathInClipboard("/tmp/a b.wav"));
  EXPECT_FALSE(g->GetTextFromClipboard(text));
  EXPECT_STREQ(text.Get(), "");
  NSPasteboard::generalPasteboard()->failWrites = true;
  EXPECT_FALSE(g->SetTextInClipboard("x"));
  NSPasteboard::generalPasteboard()->failWrites = false;

  const std::string folder = std::filesystem::temp_directory_path().string();
  EXPECT_TRUE(g->OpenURL("https://x"));
  EXPECT_TRUE(g->OpenURL(folder.c_str()));
  EXPECT_TRUE(g->OpenURL("mailto:http"));      // any "http" makes it a web URL...
  EXPECT_FALSE(g->OpenURL("https://bad url"));  // ...and no URL forms from this one
  ASSERT_EQ(NSApp->workspaceLog.size(), 3u);
  EXPECT_EQ(NSApp->workspaceLog[0], "open https://x");
  EXPECT_EQ(NSApp->workspaceLog[1], "open file://" + folder);
  NSApp->workspaceSucceeds = false;
  EXPECT_FALSE(g->OpenURL("https://x"));
  NSApp->workspaceSucceeds = true;

  NSApp->workspaceLog.clear();
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "reveal_me.txt";
  std::FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  StringBuf path(file.c_str());
  EXPECT_TRUE(g->RevealPathInExplorerOrFinder(path, true));
  EXPECT_TRUE(g->RevealPathInExplorerOrFinder(path, false));
  EXPECT_EQ(NSApp->workspaceLog,
            (std::vector<std::string>{"open file " + file.parent_path().string(),
                                      "select " + file.string() + " in " + file.parent_path().string(),
                                      "open file " + file.string()}));
  StringBuf missing("/no/such/file");
  EXPECT_FALSE(g->RevealPathInExplorerOrFinder(missing, true));
  StringBuf empty;
  EXPECT_FALSE(g->RevealPathInExplorerOrFinder(empty, false));
  std::filesystem::remove(file);

  EventScript e = events();
  e.press({10, 10});
  EXPECT_TRUE(g->InitiateExternalFileDragDrop("/tmp/a.wav", IRECT(1.5f, 2.5f, 10, 10)));
  ASSERT_EQ(NSApp->drags.size(), 1u);
  const NSDraggingSession& drag = NSApp->drags[0];
  EXPECT_EQ(drag.items[0].value, "file:///tmp/a.wav");
  EXPECT_EQ(drag.items[0].frame, NSMakeRect(1, 2, 9, 8));
  EXPECT_EQ(drag.items[0].imageSize, NSMakeSize(64, 64));
  EXPECT_TRUE(drag.animatesToStartingPositionsOnCancelOrFail);
  EXPECT_EQ(drag.draggingFormation, NSDraggingFormationNone);
  EXPECT_EQ(view->draggingSourceOperationMask(NSDraggingContextOutsideApplication), NSDragOperationCopy);
  EXPECT_FALSE(g->ControlIsCaptured());
}

}  // namespace
