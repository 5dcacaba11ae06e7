#include "shims/apple/security/SecTask.h"

#include <mutex>

namespace security {

namespace {

struct TestState {
  std::mutex mutex;
  std::optional<Entitlements> entitlements;
  bool failCreation = false;
};

TestState& testState() {
  static TestState state;
  return state;
}

}  // namespace

std::unique_ptr<SecTask> SecTask::createFromSelf() {
  TestState& state = testState();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.failCreation) return nullptr;
  return std::unique_ptr<SecTask>(new SecTask(state.entitlements.value_or(Entitlements{})));
}

std::optional<EntitlementValue> SecTask::copyValueForEntitlement(std::string_view name) const {
  const auto it = entitlements_.find(name);
  if (it == entitlements_.end()) return std::nullopt;
  return it->second;
}

void setEntitlementsForTesting(std::optional<Entitlements> entitlements, bool failCreation) {
  TestState& state = testState();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.entitlements = std::move(entitlements);
  state.failCreation = failCreation;
}

}  // namespace security
