#include "shims/apple/appkit/UIScript.h"

#include <cstdio>

namespace uiscript {

std::vector<std::pair<std::string, EMsgBoxResult>> ButtonsOf(EMsgBoxType type) {
  switch (type) {
    case EMsgBoxType::OK: return {{"OK", EMsgBoxResult::OK}};
    case EMsgBoxType::OKCancel: return {{"OK", EMsgBoxResult::OK}, {"Cancel", EMsgBoxResult::Cancel}};
    case EMsgBoxType::YesNoCancel:
      return {{"Yes", EMsgBoxResult::Yes}, {"No", EMsgBoxResult::No}, {"Cancel", EMsgBoxResult::Cancel}};
    case EMsgBoxType::YesNo: return {{"Yes", EMsgBoxResult::Yes}, {"No", EMsgBoxResult::No}};
    case EMsgBoxType::RetryCancel: return {{"Retry", EMsgBoxResult::Retry}, {"Cancel", EMsgBoxResult::Cancel}};
    default: return {{"OK", EMsgBoxResult::Cancel}};  // no buttons of its own: the default button
  }
}

EMsgBoxType BoxTypeOf(const std::vector<std::string>& buttons) {
  for (EMsgBoxType type : {EMsgBoxType::OK, EMsgBoxType::OKCancel, EMsgBoxType::YesNoCancel, EMsgBoxType::YesNo,
                           EMsgBoxType::RetryCancel}) {
    const auto labels = ButtonsOf(type);
    if (labels.size() != buttons.size()) continue;
    bool same = true;
    for (size_t i = 0; i < labels.size(); ++i) same = same && labels[i].first == buttons[i];
    if (same) return type;
  }
  return EMsgBoxType::NoButtons;
}

Script::~Script() { checkAllUsed(); }

void Script::fail(const std::string& message) const {
  if (mFail)
    mFail(message);
  else
    std::fprintf(stderr, "ui script: %s\n", message.c_str());
}

void Script::answerMessageBox(const std::string& button, std::function<void()> whileOpen) {
  mBoxes.items.push_back({button, std::move(whileOpen)});
}
void Script::chooseFile(const std::string& fullPath) { mFiles.items.push_back({false, fullPath}); }
void Script::cancelFilePrompt() { mFiles.items.push_back({true, ""}); }
void Script::chooseDirectory(const std::string& dir) { mDirectories.items.push_back({false, dir}); }
void Script::cancelDirectoryPrompt() { mDirectories.items.push_back({true, ""}); }
void Script::chooseMenuItem(std::vector<int> path) { mMenus.items.push_back({false, std::move(path)}); }
void Script::dismissMenu() { mMenus.items.push_back({true, {}}); }
void Script::commitText(const std::string& text) { mTexts.items.push_back({TextAnswer::Commit, text}); }
void Script::dismissText() { mTexts.items.push_back({TextAnswer::Dismiss, ""}); }
void Script::leaveTextOpen() { mTexts.items.push_back({TextAnswer::LeaveOpen, ""}); }
void Script::pickColor(const IColor& color) { mColors.items.push_back(color); }

void Script::clearScript() {
  mBoxes.items.clear();
  mFiles.items.clear();
  mDirectories.items.clear();
  mMenus.items.clear();
  mTexts.items.clear();
  mColors.items.clear();
}

bool Script::scriptEmpty() const {
  return mBoxes.empty() && mFiles.empty() && mDirectories.empty() && mMenus.empty() && mTexts.empty() &&
         mColors.empty();
}

void Script::checkAllUsed() {
  if (scriptEmpty()) return;
  fail("scripted answers never used: " + std::to_string(mBoxes.items.size()) + " message box(es), " +
       std::to_string(mFiles.items.size()) + " file prompt(s), " + std::to_string(mDirectories.items.size()) +
       " folder prompt(s), " + std::to_string(mMenus.items.size()) + " menu(s), " +
       std::to_string(mTexts.items.size()) + " text entr(ies), " + std::to_string(mColors.items.size()) +
       " colour(s)");
  clearScript();
}

std::optional<Script::BoxAnswer> Script::takeMessageBox() { return mBoxes.take(); }
std::optional<Script::PathAnswer> Script::takeFile() { return mFiles.take(); }
std::optional<Script::PathAnswer> Script::takeDirectory() { return mDirectories.take(); }
std::optional<Script::MenuAnswer> Script::takeMenu() { return mMenus.take(); }
std::optional<Script::TextAnswer> Script::takeText() { return mTexts.take(); }
std::optional<IColor> Script::takeColor() { return mColors.take(); }

}  // namespace uiscript
