#pragma once
// One blocking HTTPS GET of a small JSON document, and whether the process may use the
// network at all. Blocks its caller: never call it on the host's main or audio thread.
#include <atomic>
#include <string>
#include <string_view>

namespace brightloom::net {

// Bodies longer than this are refused whole.
inline constexpr std::size_t kMaxBodyBytes = 65536;

struct HttpResult {
  int status = 0;    // HTTP status of an accepted answer; 0 when none was accepted
  std::string body;  // its body (at most kMaxBodyBytes), else empty
};

// How one request is carried out beyond the address and time-out.
struct SendOptions {
  // PEM file of the certificate authorities to trust; empty: the system's trust store.
  std::string caFile;
  // Raised by another thread: the request is abandoned within about 50 ms with status 0.
  const std::atomic<bool>* cancel = nullptr;
};

// GET with "Accept: application/json". Status 0 and an empty body for a bad or non-https
// address, a transport or certificate failure, a time-out (`timeoutSeconds`, at least 1),
// a redirect, a body above kMaxBodyBytes, or cancellation. Any other status is returned with
// its body (a 404 too).
HttpResult send(std::string_view address, int timeoutSeconds, const SendOptions& options);
HttpResult send(std::string_view address, int timeoutSeconds);
HttpResult getJson(std::string_view address, int timeoutSeconds);

// True unless the process is sandboxed without the network-client entitlement. Worked out
// once per process.
bool mayUseNetwork();
// One boolean entitlement of the running process (false when absent or not a boolean).
bool entitled(std::string_view name);

namespace detail {
// mayUseNetwork's rule, worked out anew on each call.
bool computeMayUseNetwork();
}  // namespace detail

}  // namespace brightloom::net
