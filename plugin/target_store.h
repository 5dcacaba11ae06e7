#pragma once
// The target the plug-in measures and corrects against, under its own mutex, and the
// factory targets loaded once with the instance.
//
// Threads: the main thread, the correction worker and (while the host renders offline) the
// audio thread all read the target; every read is a copy under the mutex and every change a
// replacement under it, so no thread sees a half-replaced target. copyCurve allocates
// nothing. The factory list is filled at construction and only read afterwards.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/dsp/engine_types.h"
#include "engine/targets/target_files.h"

namespace spectrapoise::plugin {

// Where the current target came from. The numbers are stored in the state chunk.
enum class TargetKind : std::int32_t {
  Balanced = 0,  // the built-in target "Balanced" (pink noise)
  Factory = 1,   // one of the factory targets
  Saved = 2,     // a user target file
  Learned = 3,   // learned from the input or a reference file, not saved yet
};
inline constexpr std::int32_t kTargetKindCount = 4;

struct Target {
  TargetKind kind = TargetKind::Balanced;
  std::string name = "Balanced";
  std::string source;  // a saved target's stored source, a file-learned target's file name
  dsp::BandCurve curve{};
  dsp::BandCurve spread{};
};

class TargetStore {
public:
  Target current() const;
  void set(Target target);
  // Only the curve, without allocating (the audio thread's offline analysis).
  void copyCurve(dsp::BandCurve& curve) const;
  void copyCurveAndSpread(dsp::BandCurve& curve, dsp::BandCurve& spread) const;
  // The current target was saved under this name.
  void markSaved(std::string name);
  // The saved target of this name was deleted: while it is still the current one, it
  // becomes a learned target that can be saved again.
  void markUnsaved(const std::string& name);

  void loadFactoryTargets();
  const std::vector<offline::SavedTarget>& factoryTargets() const { return factory_; }

private:
  mutable std::mutex mutex_;
  Target target_;
  std::vector<offline::SavedTarget> factory_;
};

}  // namespace spectrapoise::plugin
