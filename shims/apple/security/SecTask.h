#pragma once
// Stand-in for reading the running process's code-signing entitlements. A Linux process is never
// sandboxed and carries no entitlements, so every lookup finds nothing unless a test has given
// the process entitlements to pretend with.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace security {

struct EntitlementValue {
  enum class Type { kBoolean, kString, kOther };
  Type type = Type::kOther;
  bool boolean = false;  // meaningful for kBoolean
};

using Entitlements = std::map<std::string, EntitlementValue, std::less<>>;

// A reference to the running process, from which entitlement values are copied.
class SecTask {
public:
  // Null when the process cannot be inspected.
  static std::unique_ptr<SecTask> createFromSelf();
  // The value of one entitlement; nothing when the process does not carry it.
  std::optional<EntitlementValue> copyValueForEntitlement(std::string_view name) const;

private:
  explicit SecTask(Entitlements entitlements) : entitlements_(std::move(entitlements)) {}
  Entitlements entitlements_;
};

// Test hooks. `entitlements`: what the process pretends to carry (nothing: the real, empty set).
// `failCreation`: createFromSelf answers null.
void setEntitlementsForTesting(std::optional<Entitlements> entitlements, bool failCreation = false);

}  // namespace security
