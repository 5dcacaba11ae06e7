#pragma once
// Stand-in for the platform's URL session: one HTTPS GET data task, run to completion on the
// calling thread. Built on libcurl. Only "https" addresses are fetched; the server's certificate
// and host name are always verified; redirects are reported, never followed.
#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace foundation {

// What an ephemeral session keeps: nothing between tasks (no cache, cookies or credentials).
struct URLSessionConfiguration {
  int timeoutIntervalForRequest = 60;   // seconds, connection included
  int timeoutIntervalForResource = 60;  // seconds for the whole task
  // A body longer than this fails the task with kBodyTooLarge (0: no limit).
  std::size_t maximumBodyBytes = 0;
  // PEM file of the certificate authorities to trust; empty: the system's trust store.
  std::string certificateAuthorityFile;
  // When it becomes true the task stops within about 50 ms and fails with kCancelled, in every
  // phase; a name lookup that hangs is left to finish on a helper thread of its own.
  const std::atomic<bool>* cancel = nullptr;
};

struct URLRequest {
  std::string url;
  // Extra header lines as (name, value); they replace defaults of the same name.
  std::vector<std::pair<std::string, std::string>> headers;
};

struct HTTPURLResponse {
  long statusCode = 0;
  std::string url;          // the address that answered
  std::string redirectURL;  // where a 3xx answer pointed; empty when none
};

enum class URLError {
  kNone,
  kBadURL,            // not a URL, or not an https one
  kCannotConnect,     // connection, TLS or certificate failure, or any other transport error
  kTimedOut,
  kCancelled,
  kBodyTooLarge,
};

struct DataTaskResult {
  URLError error = URLError::kBadURL;
  std::optional<HTTPURLResponse> response;  // set when error is kNone
  std::string body;                         // complete body when error is kNone
};

// Runs one GET. Blocks until the answer is complete, the time is up or `cancel` is raised;
// neither of the last two waits for a name lookup.
// Safe to call from several threads at once.
DataTaskResult runDataTask(const URLSessionConfiguration& configuration, const URLRequest& request);

}  // namespace foundation
