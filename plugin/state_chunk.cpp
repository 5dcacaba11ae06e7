// The state chunk: writing it, and applying the record a chunk was parsed into. A chunk
// that does not read is refused with -1 before anything changes.
#include "plugin/state_chunk.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/ICanvas.h"
#include "plugin/SpectraPoise.h"
#include "plugin/editor_size.h"

using namespace spectrapoise::plugin;

namespace {

bool putString(plugkit::IByteChunk& chunk, const std::string& text) {
  const std::int32_t length = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), 0x7FFFFFF0u));
  return chunk.Put(&length) && (length == 0 || chunk.PutBytes(text.data(), length));
}

bool putInt(plugkit::IByteChunk& chunk, std::int32_t value) { return chunk.Put(&value); }

}  // namespace

bool SpectraPoise::SerializeState(plugkit::IByteChunk& chunk) const {
  const std::int32_t bypassWord = GetBypassed() ? 1 : 0;

  int width = 0;
  int height = 0;
  if (const plugkit::canvas::ICanvas* ui = GetUI()) {
    width = ui->WindowWidth();
    height = ui->WindowHeight();
  } else {
    const float s = usablePlatformScale(keptPlatformScale_);
    width = roundToInt(static_cast<double>(GetEditorWidth()) / s);
    height = roundToInt(static_cast<double>(GetEditorHeight()) / s);
  }

  bool ok = putInt(chunk, kHeaderTag) && putInt(chunk, kStateVersion) && putInt(chunk, accentIndex_.load()) &&
            putInt(chunk, width) && putInt(chunk, height) && putString(chunk, presetName()) &&
            putInt(chunk, presetModified() ? 1 : 0) && putInt(chunk, kParamCount);
  for (int i = 0; ok && i < kParamCount; ++i) {
    const double value = GetParam(i)->Value();
    ok = chunk.Put(&value);
  }
  ok = ok && putInt(chunk, bypassWord);

  const Target target = currentTarget();
  ok = ok && putInt(chunk, kTargetTag) && putInt(chunk, static_cast<std::int32_t>(target.kind)) &&
       putString(chunk, target.name) &&
       putString(chunk, target.source) && putInt(chunk, static_cast<std::int32_t>(target.curve.size()));
  for (std::size_t k = 0; ok && k < target.curve.size(); ++k) ok = chunk.Put(&target.curve[k]);
  for (std::size_t k = 0; ok && k < target.spread.size(); ++k) ok = chunk.Put(&target.spread[k]);
  ok = ok && putInt(chunk, bypassWord);

  ok = ok && putInt(chunk, kResolutionTag) && putInt(chunk, panel_.resolution) && putInt(chunk, bypassWord);
  ok = ok && putInt(chunk, kLoudnessTag) && putInt(chunk, meters_.integratedDisplay() ? 1 : 0) &&
       putInt(chunk, bypassWord);
  return ok;
}

int SpectraPoise::UnserializeState(const plugkit::IByteChunk& chunk, int startPos) {
  // The parsed strings move into place: a state's bytes are copied once, whatever its size.
  ParsedState s = parseStateChunk(chunk.GetData(), chunk.Size(), startPos);
  if (s.kind == ParsedState::Kind::Refused) return -1;

  if (s.kind == ParsedState::Kind::Plain) {
    for (int i = 0; i < kParamCount; ++i) {
      plugkit::IParam* param = GetParam(i);
      param->Set(s.values[static_cast<std::size_t>(i)].value_or(param->GetDefault()));
    }
    OnParamReset(plugkit::kPresetRecall);
    return static_cast<int>(s.end);
  }

  setAccentIndex(s.accent);

  restoredWidth_ = s.width;
  restoredHeight_ = s.height;
  if (GetUI() == nullptr && s.width >= 1 && s.height >= 1) {
    // Points at scale 1 into host units, then the size rule; the next opening takes its
    // scale from this size, not from the scale kept at the last closing.
    const float scale = usablePlatformScale(keptPlatformScale_);
    int width = roundToInt(static_cast<double>(std::clamp(s.width, 1, 100000)) * scale);
    int height = roundToInt(static_cast<double>(std::clamp(s.height, 1, 100000)) * scale);
    applySizeRule(width, height, scale);
    SetEditorSize(width, height);
    mSavedScale = 0.f;
  }

  for (int i = 0; i < kParamCount; ++i) {
    plugkit::IParam* param = GetParam(i);
    param->Set(s.values[static_cast<std::size_t>(i)].value_or(param->GetDefault()));
  }

  {
    std::lock_guard<std::mutex> lock(presetNameMutex_);
    presetName_ = std::move(s.presetName);
  }
  retakePresetSnapshot(s.modified);

  for (int i = 0; i < kParamCount; ++i) {
    OnParamChange(i, plugkit::kPresetRecall, -1);
    OnParamChangeUI(i, plugkit::kPresetRecall);
  }

  if (s.hasTarget) {
    Target target;
    target.kind = s.targetKind;
    target.name = std::move(s.targetName);
    target.source = std::move(s.targetSource);
    target.curve = s.curve;
    target.spread = s.spread;
    setTarget(std::move(target));
  } else {
    setTarget(Target{});
  }
  setResolutionIndex(s.resolution);
  meters_.setIntegratedDisplay(s.integrated);
  return static_cast<int>(s.end);
}
