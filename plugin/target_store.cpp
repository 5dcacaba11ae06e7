#include "plugin/target_store.h"

#include <utility>

namespace spectrapoise::plugin {

Target TargetStore::current() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return target_;
}

void TargetStore::set(Target target) {
  std::lock_guard<std::mutex> lock(mutex_);
  target_.kind = target.kind;
  target_.name = std::move(target.name);
  target_.source = std::move(target.source);
  target_.curve = target.curve;
  target_.spread = target.spread;
}

void TargetStore::copyCurve(dsp::BandCurve& curve) const {
  std::lock_guard<std::mutex> lock(mutex_);
  curve = target_.curve;
}

void TargetStore::copyCurveAndSpread(dsp::BandCurve& curve, dsp::BandCurve& spread) const {
  std::lock_guard<std::mutex> lock(mutex_);
  curve = target_.curve;
  spread = target_.spread;
}

void TargetStore::markSaved(std::string name) {
  std::lock_guard<std::mutex> lock(mutex_);
  target_.kind = TargetKind::Saved;
  target_.name = std::move(name);
}

void TargetStore::markUnsaved(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (target_.kind == TargetKind::Saved && target_.name == name) target_.kind = TargetKind::Learned;
}

void TargetStore::loadFactoryTargets() { factory_ = offline::factoryTargets(); }

}  // namespace spectrapoise::plugin
