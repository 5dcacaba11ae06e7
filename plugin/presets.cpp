// Preset actions: where the presets live, what a load restores and pushes to the host, how a
// save asks before replacing and puts everything back when it fails, deleting, and the
// tracking of whether the current preset was modified since it was loaded or saved.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <span>

#include "framework/Paths.h"
#include "graphics/ICanvas.h"
#include "plugin/SpectraPoise.h"
#include "plugin/file_names.h"
#include "plugin/preset_format.h"
#include "plugin/state_chunk.h"
#include "services/files.h"

using namespace spectrapoise::plugin;
using spectrapoise::offline::kPresetFormat;
namespace presets = brightloom::presets;

namespace {

constexpr const char* kLoadTitle = "Load preset";
constexpr const char* kSaveTitle = "Save preset";
constexpr const char* kDeleteTitle = "Delete preset";

}  // namespace

std::filesystem::path SpectraPoise::presetDirectory() const {
  StringBuf root;
  plugkit::AppSupportPath(root, false);
  return presets::userPresetDirectory(kPresetFormat, root.Get());
}

std::vector<presets::SavedPreset> SpectraPoise::savedPresets() const {
  try {
    return presets::listPresets(kPresetFormat, presetDirectory());
  } catch (const std::exception&) {
    return {};
  }
}

std::string SpectraPoise::presetName() const {
  std::lock_guard<std::mutex> lock(presetNameMutex_);
  return presetName_;
}

bool SpectraPoise::presetNameEmpty() const {
  // Asked on every idle tick: without copying a name of any length.
  std::lock_guard<std::mutex> lock(presetNameMutex_);
  return presetName_.empty();
}

std::vector<double> SpectraPoise::soundSnapshot() const {
  std::vector<double> values(static_cast<std::size_t>(NParams()));
  for (int i = 0; i < NParams(); ++i) values[static_cast<std::size_t>(i)] = GetParam(i)->Value();
  return values;
}

void SpectraPoise::retakePresetSnapshot(bool modified) {
  modifiedCarry_ = modified;
  snapshot_.clear();
  presetModified_ = false;
  snapshotRetake_.store(true);
}

void SpectraPoise::loadPreset(const presets::SavedPreset& preset) {
  try {
    loadPresetFile(preset);
  } catch (const std::exception& e) {
    tell(std::string("Could not load the preset: ") + e.what(), kLoadTitle);
  }
}

void SpectraPoise::savePreset(const std::string& name, bool askBeforeReplacing) {
  try {
    savePresetFile(name, askBeforeReplacing);
  } catch (const std::exception& e) {
    tell(std::string("Could not save the preset: ") + e.what(), kSaveTitle);
  }
}

void SpectraPoise::removePreset(const presets::SavedPreset& preset) {
  try {
    removePresetFile(preset);
  } catch (const std::exception& e) {
    tell(std::string("Could not delete the preset: ") + e.what(), kDeleteTitle);
  }
}

void SpectraPoise::loadPresetFile(const presets::SavedPreset& listed) {
  presets::SavedPreset preset;
  std::string error;
  if (!presets::readPreset(kPresetFormat, listed.path, preset, error)) {
    tell("Could not load the preset: " + error, kLoadTitle);
    return;
  }
  // A preset always holds this plug-in's tagged state, never a plain parameter block.
  std::int32_t tag = 0;
  if (preset.state.size() >= 4) std::memcpy(&tag, preset.state.data(), 4);
  if (tag != kHeaderTag) {
    tell("Could not load the preset: it does not hold an SpectraPoise state.", kLoadTitle);
    return;
  }

  plugkit::IByteChunk chunk;
  if (preset.state.size() > static_cast<std::size_t>(0x7FFFFFFF) ||
      !chunk.PutBytes(preset.state.data(), static_cast<int>(preset.state.size()))) {
    tell("Could not load the preset: its state is damaged.", kLoadTitle);
    return;
  }
  const bool integrated = meters_.integratedDisplay();
  if (UnserializeState(chunk, 0) < 0) {
    tell("Could not load the preset: its state is damaged.", kLoadTitle);
    return;
  }
  // A preset does not change whether the meter shows short-term or integrated loudness.
  meters_.setIntegratedDisplay(integrated);

  // The host and the editor hear the restored values as a host's state restore gives them:
  // only stepped parameters are rounded. Sending a value through its normalised form may
  // move it by a rounding error; the restored value stays.
  const std::vector<double> restored = soundSnapshot();
  const int n = NParams();
  for (int i = 0; i < n; ++i) BeginInformHostOfParamChange(i);
  for (int i = 0; i < n; ++i) {
    plugkit::IParam& param = *GetParam(i);
    const double value = restored[static_cast<std::size_t>(i)];
    SendParameterValueFromUI(i, param.ToNormalized(value));
    param.Set(value);
  }
  for (int i = 0; i < n; ++i) EndInformHostOfParamChange(i);
  for (int i = 0; i < n; ++i)
    SendParameterValueFromDelegate(i, GetParam(i)->ToNormalized(restored[static_cast<std::size_t>(i)]), true);

  if (restoredWidth_ > 0) {
    const float wanted = static_cast<float>(restoredWidth_) / static_cast<float>(kEditorWidth);
    if (GetUI() != nullptr && std::fabs(wanted - editorScale()) > 0.01f) applyEditorScale(wanted);
  }

  {
    std::lock_guard<std::mutex> lock(presetNameMutex_);
    presetName_ = preset.name;
  }
  retakePresetSnapshot(false);
}

void SpectraPoise::savePresetFile(const std::string& typed, bool askBeforeReplacing) {
  const std::string name = cleanedPresetName(typed);
  if (name.empty()) return;
  const std::filesystem::path dir = presetDirectory();

  if (askBeforeReplacing) {
    const std::filesystem::path path = presets::presetPathForName(kPresetFormat, dir, name);
    if (!path.empty() && existsAt(path) &&
        !ask("A preset named \"" + name + "\" already exists. Replace it?", kSaveTitle))
      return;
  }

  std::string oldName;
  {
    std::lock_guard<std::mutex> lock(presetNameMutex_);
    oldName = presetName_;
    presetName_ = name;
  }
  const bool oldModified = presetModified();
  retakePresetSnapshot(false);

  // The chunk written now carries the new name and "not modified".
  std::string error;
  plugkit::IByteChunk chunk;
  bool saved = false;
  try {
    if (SerializeState(chunk)) {
      const std::span<const std::uint8_t> bytes(chunk.GetData(), static_cast<std::size_t>(chunk.Size()));
      saved = presets::writePreset(kPresetFormat, dir, name, bytes, error);
    }
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (saved) return;

  {
    std::lock_guard<std::mutex> lock(presetNameMutex_);
    presetName_ = oldName;
  }
  retakePresetSnapshot(oldModified);
  tell("Could not save the preset: " + (error.empty() ? std::string("the state could not be taken") : error),
       kSaveTitle);
}

void SpectraPoise::removePresetFile(const presets::SavedPreset& preset) {
  std::string error;
  if (!brightloom::files::deleteNamedFile(preset.path, error))
    tell("Could not delete the preset: " + error, kDeleteTitle);
}

void SpectraPoise::trackPresetModified() {
  if (snapshotRetake_.exchange(false)) {
    snapshot_ = soundSnapshot();
    presetModified_ = modifiedCarry_;
    modifiedCarry_ = false;
    return;
  }
  if (presetModified_ || snapshot_.size() != static_cast<std::size_t>(NParams())) return;
  if (presetNameEmpty()) return;
  for (int i = 0; i < NParams(); ++i) {
    const double now = GetParam(i)->Value();
    const double then = snapshot_[static_cast<std::size_t>(i)];
    if (std::fabs(now - then) > 1e-6 * std::max(std::fabs(now), 1.0)) {
      presetModified_ = true;
      if (plugkit::canvas::ICanvas* ui = GetUI()) ui->SetAllControlsDirty();
      return;
    }
  }
}
