#include "services/net.h"

#include "shims/apple/foundation/URLSession.h"
#include "shims/apple/security/SecTask.h"

namespace brightloom::net {

HttpResult send(std::string_view address, int timeoutSeconds, const SendOptions& options) {
  HttpResult result;
  const int t = std::max(1, timeoutSeconds);

  foundation::URLSessionConfiguration configuration;
  configuration.timeoutIntervalForRequest = t;
  configuration.timeoutIntervalForResource = t;
  configuration.maximumBodyBytes = kMaxBodyBytes;
  configuration.certificateAuthorityFile = options.caFile;
  configuration.cancel = options.cancel;

  foundation::URLRequest request;
  request.url = std::string(address);
  request.headers.emplace_back("Accept", "application/json");

  foundation::DataTaskResult answer = foundation::runDataTask(configuration, request);
  // An answer counts only when complete, not redirected and within the size limit.
  if (answer.error != foundation::URLError::kNone || !answer.response) return result;
  if (!answer.response->redirectURL.empty()) return result;
  if (answer.body.size() > kMaxBodyBytes) return result;
  result.status = static_cast<int>(answer.response->statusCode);
  result.body = std::move(answer.body);
  return result;
}

HttpResult send(std::string_view address, int timeoutSeconds) {
  return send(address, timeoutSeconds, SendOptions{});
}

HttpResult getJson(std::string_view address, int timeoutSeconds) { return send(address, timeoutSeconds); }

bool entitled(std::string_view name) {
  const auto task = security::SecTask::createFromSelf();
  if (!task) return false;
  const auto value = task->copyValueForEntitlement(name);
  if (!value || value->type != security::EntitlementValue::Type::kBoolean) return false;
  return value->boolean;
}

namespace detail {
bool computeMayUseNetwork() {
  if (!entitled("com.apple.security.app-sandbox")) return true;
  return entitled("com.apple.security.network.client");
}
}  // namespace detail

bool mayUseNetwork() {
  static const bool answer = detail::computeMayUseNetwork();
  return answer;
}

}  // namespace brightloom::net
