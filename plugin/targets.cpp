// The target chip and its menu: choosing the built-in, a factory or a saved target,
// learning from the input (riding on the panel's input analysis), learning from a
// reference file on a thread of its own, saving the current target under a typed name and
// deleting the saved one in use. Also the message boxes every user action reports through.
#include <exception>
#include <system_error>

#include "engine/targets/reference_files.h"
#include "framework/Paths.h"
#include "graphics/ICanvas.h"
#include "plugin/SpectraPoise.h"
#include "plugin/file_names.h"
#include "plugin/panel_roles.h"
#include "services/files.h"

using namespace spectrapoise::plugin;
namespace dsp = spectrapoise::dsp;
namespace offline = spectrapoise::offline;
using plugkit::canvas::IPopupMenu;

namespace {

constexpr const char* kSaveTargetTitle = "Save target";
constexpr const char* kDeleteTargetTitle = "Delete target";
constexpr const char* kLearnFileTitle = "Learn from reference file";
constexpr const char* kLearnInputTitle = "Learn from input";
constexpr double kInputLearnMinimumSeconds = 15.0;
constexpr double kFileLearnMaximumSeconds = 900.0;
constexpr int kNameEntryLength = 16;

constexpr int kChecked = IPopupMenu::Item::kChecked;
constexpr int kDisabled = IPopupMenu::Item::kDisabled;

}  // namespace

// Message boxes --------------------------------------------------------------------------

void SpectraPoise::tell(const std::string& text, const std::string& title) {
  if (plugkit::canvas::ICanvas* ui = GetUI())
    ui->ShowMessageBox(text.c_str(), title.c_str(), plugkit::canvas::EMsgBoxType::OK, nullptr);
}

bool SpectraPoise::ask(const std::string& text, const std::string& title) {
  plugkit::canvas::ICanvas* ui = GetUI();
  if (ui == nullptr) return false;
  return ui->ShowMessageBox(text.c_str(), title.c_str(), plugkit::canvas::EMsgBoxType::YesNo, nullptr) ==
         plugkit::canvas::EMsgBoxResult::Yes;
}

// Chip and menu ---------------------------------------------------------------------------

std::string SpectraPoise::targetChipLabel() const {
  if (inputLearning_) return "Learning " + std::to_string(static_cast<long long>(inputLearner_.totalSeconds())) + " s";
  if (fileLearningBusy()) return "Analysing…";
  return currentTarget().name;
}

std::filesystem::path SpectraPoise::targetDirectory() const {
  StringBuf root;
  plugkit::AppSupportPath(root, false);
  return offline::userTargetDirectory(root.Get());
}

std::vector<offline::SavedTarget> SpectraPoise::savedTargets() const {
  try {
    return offline::listTargets(targetDirectory());
  } catch (const std::exception&) {
    return {};
  }
}

void SpectraPoise::buildTargetMenu(IPopupMenu& menu) {
  targetMenuActions_.clear();
  // Items the menu held already have no action of ours; the indexes stay aligned.
  targetMenuActions_.resize(static_cast<std::size_t>(menu.NItems()));
  const Target current = currentTarget();

  // A disabled item gets no action: picking it can do nothing.
  const auto add = [&](const std::string& text, int flags, std::function<void()> action) {
    menu.AddItem(text.c_str(), -1, flags);
    targetMenuActions_.push_back((flags & kDisabled) != 0 ? std::function<void()>() : std::move(action));
  };
  const auto separator = [&] {
    menu.AddItem(new IPopupMenu::Item("", IPopupMenu::Item::kSeparator, -1), -1);
    targetMenuActions_.emplace_back();
  };

  add("Balanced (pink noise)", current.kind == TargetKind::Balanced ? kChecked : 0, [this] { setTarget(Target{}); });
  for (const offline::SavedTarget& factory : targets_.factoryTargets()) {
    const bool checked = current.kind == TargetKind::Factory && current.name == factory.name;
    add(factory.name, checked ? kChecked : 0, [this, factory] {
      Target t;
      t.kind = TargetKind::Factory;
      t.name = factory.name;
      t.curve = factory.curve;
      t.spread = factory.spread;
      setTarget(std::move(t));
    });
  }
  separator();

  const bool busy = fileLearningBusy();
  const double learned = inputLearner_.totalSeconds();
  const std::string seconds = std::to_string(static_cast<long long>(learned));
  if (!inputLearning_) {
    add("Learn from input", busy ? kDisabled : 0, [this] { startInputLearn(); });
  } else {
    if (learned < kInputLearnMinimumSeconds)
      add("Learning… " + seconds + " of 15 s", kDisabled, nullptr);
    else
      add("Finish learning (" + seconds + " s)", 0, [this] { finishInputLearn(); });
    add("Cancel learning", 0, [this] { cancelInputLearn(); });
  }
  add(busy ? "Analysing a file…" : "Learn from reference file…", busy || inputLearning_ ? kDisabled : 0,
      [this] { promptForReference(); });
  separator();

  const std::vector<offline::SavedTarget> saved = savedTargets();
  if (saved.empty()) add("No saved targets", kDisabled, nullptr);
  for (const offline::SavedTarget& entry : saved) {
    add(entry.name, current.kind == TargetKind::Saved && current.name == entry.name ? kChecked : 0, [this, entry] {
      Target t;
      t.kind = TargetKind::Saved;
      t.name = entry.name;
      t.source = entry.source;
      t.curve = entry.curve;
      t.spread = entry.spread;
      setTarget(std::move(t));
    });
  }
  separator();

  add("Save target…", inputLearning_ ? kDisabled : 0, [this] { openTargetNameEntry(); });
  if (current.kind == TargetKind::Saved) add("Delete “" + current.name + "”…", 0, [this] { deleteSavedTarget(); });
}

void SpectraPoise::runTargetMenuAction(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= targetMenuActions_.size()) return;
  // A copy: the action may rebuild the list.
  const std::function<void()> action = targetMenuActions_[static_cast<std::size_t>(index)];
  if (action) action();
}

void SpectraPoise::openTargetNameEntry() {
  plugkit::canvas::ICanvas* ui = GetUI();
  if (ui == nullptr) return;
  plugkit::canvas::IControl* control = ui->GetControlWithTag(kTargetChipTag);
  const auto* chip = dynamic_cast<const TargetChipRole*>(control);
  if (chip == nullptr || !chip->hasTextHandler() || ui->GetControlInTextEntry() != nullptr) return;

  const Target current = currentTarget();
  const std::string proposed =
      current.kind == TargetKind::Learned && current.source.empty() ? "Learned target" : current.name;
  control->SetTextEntryLength(kNameEntryLength);
  const plugkit::canvas::IText style(11.5f, plugkit::canvas::IColor(255, 250, 250, 250), "Roboto-Regular",
                                     plugkit::canvas::ETextHAlign::Left, plugkit::canvas::ETextVAlign::Middle, 0.f,
                                     plugkit::canvas::IColor(255, 30, 30, 30),
                                     plugkit::canvas::IColor(255, 250, 250, 250));
  ui->CreateTextEntry(*control, style, control->GetRECT(), proposed.c_str(), -1);
}

// Input learning -------------------------------------------------------------------------

void SpectraPoise::startInputLearn() {
  if (inputLearning_ || fileLearningBusy()) return;
  inputLearner_.clear();
  inputLearning_ = true;
  panel_.input.hopCallback = [this](const BandCurve& bands, double meanSquare, double hopSeconds) {
    inputLearner_.add(bands, meanSquare, hopSeconds);
  };
}

void SpectraPoise::finishInputLearn() {
  if (!inputLearning_) return;
  dsp::LearnedTarget learned;
  std::string error;
  if (!inputLearner_.finish(learned, error, kInputLearnMinimumSeconds)) {
    if (GetUI() != nullptr)
      tell("Not finished yet: " + error + ". Learning goes on; finish again later, or cancel.", kLearnInputTitle);
    return;
  }
  panel_.input.hopCallback = nullptr;
  inputLearning_ = false;
  Target t;
  t.kind = TargetKind::Learned;
  t.name = "Learned from input";
  t.curve = learned.curve;
  t.spread = learned.spread;
  setTarget(std::move(t));
}

void SpectraPoise::cancelInputLearn() {
  if (!inputLearning_) return;
  panel_.input.hopCallback = nullptr;
  inputLearning_ = false;
  if (plugkit::canvas::ICanvas* ui = GetUI()) ui->SetAllControlsDirty();
}

// Reference-file learning ----------------------------------------------------------------

void SpectraPoise::promptForReference() {
  plugkit::canvas::ICanvas* ui = GetUI();
  if (ui == nullptr) return;
  StringBuf fileName;
  StringBuf folder;
  // A cancelled dialog answers with an empty path (or not at all): nothing starts.
  ui->PromptForFile(fileName, folder, plugkit::canvas::EFileAction::Open, "wav wave aif aiff aifc mp3 flac",
                    [this](const StringBuf& file, const StringBuf&) {
                      if (!file.Empty()) learnFromFile(file.Get());
                    });
}

void SpectraPoise::learnFromFile(const std::string& path) {
  if (fileLearningBusy() || inputLearning_) return;
  FileLearner learner = options_.fileLearner;
  if (!learner) learner = offline::learnFromFile;
  try {
    if (options_.failLearningThreadStart)
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                              "thread constructor failed");
    fileLearning_.start(path, std::move(learner), kFileLearnMaximumSeconds);
  } catch (const std::exception&) {
    // Nothing runs: the item stays available.
    tell("Could not learn from the file: thread constructor failed.", kLearnFileTitle);
  }
}

void SpectraPoise::installLearningResult() {
  std::optional<FileLearning::Result> result = fileLearning_.takeResult();
  if (!result) return;
  if (!result->success) {
    tell("Could not learn from the file: " + result->error + ".", kLearnFileTitle);
    return;
  }
  Target t;
  t.kind = TargetKind::Learned;
  t.name = std::filesystem::path(result->source).stem().string();
  if (t.name.empty()) t.name = result->source;
  t.source = std::move(result->source);
  t.curve = result->learned.curve;
  t.spread = result->learned.spread;
  setTarget(std::move(t));
}

// Saving and deleting targets -------------------------------------------------------------

void SpectraPoise::saveTarget(const std::string& name) {
  try {
    saveTargetFile(name);
  } catch (const std::exception& e) {
    tell(std::string("Could not save the target: ") + e.what(), kSaveTargetTitle);
  }
}

void SpectraPoise::saveTargetFile(std::string name) {
  name = trimmedName(name);
  if (name.empty()) return;
  if (name == "Balanced") {
    tell("“Balanced” is the built-in target. Choose another name.", kSaveTargetTitle);
    return;
  }
  const std::filesystem::path folder = targetDirectory();
  const std::filesystem::path file = brightloom::files::pathForName(folder, name, offline::kTargetExtension, "Target");
  if (existsAt(file)) {
    // Names that clean to the same file share it: the question names the target that
    // Yes would replace.
    std::string stored = name;
    offline::SavedTarget existing;
    std::string readError;
    if (offline::readTarget(file, existing, readError)) stored = existing.name;
    if (!ask("A target named “" + stored + "” already exists. Replace it?", kSaveTargetTitle)) return;
  }

  const Target current = currentTarget();
  std::string error;
  if (!offline::writeTarget(folder, name, current.source, current.curve, current.spread, error)) {
    tell("Could not save the target: " + error, kSaveTargetTitle);
    return;
  }
  targets_.markSaved(std::move(name));
}

void SpectraPoise::deleteSavedTarget() {
  try {
    deleteSavedTargetFile();
  } catch (const std::exception& e) {
    tell(std::string("Could not delete the target: ") + e.what(), kDeleteTargetTitle);
  }
}

void SpectraPoise::deleteSavedTargetFile() {
  const Target current = currentTarget();
  if (current.kind != TargetKind::Saved) return;
  if (!ask("Delete the saved target “" + current.name + "”? This cannot be undone.", kDeleteTargetTitle)) return;
  for (const offline::SavedTarget& entry : savedTargets()) {
    if (entry.name != current.name) continue;
    std::string error;
    if (!brightloom::files::deleteNamedFile(entry.path, error)) {
      tell("Could not delete the target: " + error, kDeleteTargetTitle);
      return;
    }
  }
  // The correction goes on with the same curve; the menu offers to save it again. (The
  // target may have been replaced while the question was open.)
  targets_.markUnsaved(current.name);
}
