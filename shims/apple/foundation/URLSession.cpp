#include "shims/apple/foundation/URLSession.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

namespace foundation {

namespace {

using Clock = std::chrono::steady_clock;

// How long a running task waits for network events before it looks at its cancel flag and
// deadline again.
constexpr int kPollMs = 50;

void initialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // A task that ends early leaves its name lookup running on libcurl's helper thread (see
    // CURLOPT_QUICK_EXIT). Keep libcurl mapped for the life of the process, so that thread
    // has code to return to even after the host has unloaded the plug-in.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&curl_multi_perform), &info) != 0 && info.dli_fname != nullptr) {
      dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
  });
}

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
  void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct UrlDeleter {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

struct BodySink {
  std::string body;
  std::size_t limit = 0;
  bool tooLarge = false;
};

std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* sink = static_cast<BodySink*>(user);
  const std::size_t n = size * count;
  if (sink->limit != 0 && sink->body.size() + n > sink->limit) {
    sink->tooLarge = true;
    return 0;  // Stops the transfer.
  }
  sink->body.append(data, n);
  return n;
}

bool isHttpsUrl(const std::string& url) {
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return false;
  char* scheme = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return false;
  const bool https = std::string(scheme) == "https";
  curl_free(scheme);
  char* host = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) return false;
  const bool hasHost = host[0] != '\0';
  curl_free(host);
  return https && hasHost;
}

bool cancelled(const URLSessionConfiguration& c) {
  return c.cancel != nullptr && c.cancel->load(std::memory_order_relaxed);
}

// The authorities to trust: the given file; else the system's certificate folder when libcurl
// knows one, whose hashed names let the TLS library read only the certificates a handshake
// needs. (libcurl's default bundle file is parsed whole by every task: tens of milliseconds,
// far more on a loaded machine, in which the task cannot look at its cancel flag.)
void chooseTrustStore(CURL* h, const std::string& caFile) {
  if (!caFile.empty()) {
    curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
    return;
  }
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  if (info != nullptr && info->age >= CURLVERSION_SEVENTH && info->capath != nullptr && info->capath[0] != '\0') {
    curl_easy_setopt(h, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(h, CURLOPT_CAPATH, info->capath);
  }
}

// One GET on a multi handle of its own, with what libcurl writes into while it runs. The
// easy handle leaves the multi handle before either is cleaned up, and both go before the
// sink and the header list they point to.
struct Transfer {
  BodySink sink;
  std::unique_ptr<curl_slist, SlistDeleter> headers;
  std::unique_ptr<CURL, EasyDeleter> easy;
  std::unique_ptr<CURLM, MultiDeleter> multi;
  bool attached = false;
  CURLcode code = CURLE_FAILED_INIT;  // libcurl's verdict once the transfer has finished

  Transfer() = default;
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;
  ~Transfer() {
    if (attached) curl_multi_remove_handle(multi.get(), easy.get());
  }
};

// Prepares the request on a fresh ephemeral handle. False when libcurl refuses.
bool setUpTransfer(Transfer& t, const URLSessionConfiguration& configuration, const URLRequest& request) {
  t.easy.reset(curl_easy_init());
  t.multi.reset(curl_multi_init());
  if (!t.easy || !t.multi) return false;

  for (const auto& [name, value] : request.headers) {
    curl_slist* next = curl_slist_append(t.headers.get(), (name + ": " + value).c_str());
    if (next == nullptr) return false;
    t.headers.release();
    t.headers.reset(next);
  }

  const long requestTimeout = std::max(1, configuration.timeoutIntervalForRequest);
  const long resourceTimeout = std::max(1, configuration.timeoutIntervalForResource);
  t.sink.limit = configuration.maximumBodyBytes;
  CURL* h = t.easy.get();
  curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, requestTimeout);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, std::min(requestTimeout, resourceTimeout));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collectBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &t.sink);
  if (t.headers) curl_easy_setopt(h, CURLOPT_HTTPHEADER, t.headers.get());
  chooseTrustStore(h, configuration.certificateAuthorityFile);
  // Ephemeral: no connection, session or cookie state outlives this task.
  curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_SESSIONID_CACHE, 0L);
  // Ending the task never waits for a name lookup that hangs: libcurl leaves its helper thread
  // to finish on its own.
  curl_easy_setopt(h, CURLOPT_QUICK_EXIT, 1L);

  t.attached = curl_multi_add_handle(t.multi.get(), h) == CURLM_OK;
  return t.attached;
}

enum class PollEnd { kFinished, kCancelled, kTimedOut, kBroken };

// Drives the transfer until it finishes, the cancel flag rises or the deadline passes. Every
// phase (name lookup, connection, TLS set-up, waiting for data) runs in libcurl's non-blocking
// steps, so the flag and the deadline are seen within about kPollMs.
PollEnd pollTransfer(Transfer& t, const URLSessionConfiguration& configuration, Clock::time_point deadline) {
  for (;;) {
    int running = 0;
    if (curl_multi_perform(t.multi.get(), &running) != CURLM_OK) return PollEnd::kBroken;
    if (running == 0) {
      int queued = 0;
      bool finished = false;
      while (CURLMsg* message = curl_multi_info_read(t.multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == t.easy.get()) {
          t.code = message->data.result;
          finished = true;
        }
      }
      return finished ? PollEnd::kFinished : PollEnd::kBroken;
    }
    if (cancelled(configuration)) return PollEnd::kCancelled;
    if (Clock::now() >= deadline) return PollEnd::kTimedOut;
    if (curl_multi_poll(t.multi.get(), nullptr, 0, kPollMs, nullptr) != CURLM_OK) return PollEnd::kBroken;
  }
}

// What the task's caller gets from the way the transfer ended.
DataTaskResult classifyTransfer(Transfer& t, PollEnd end) {
  DataTaskResult result;
  switch (end) {
    case PollEnd::kCancelled:
      result.error = URLError::kCancelled;
      return result;
    case PollEnd::kTimedOut:
      result.error = URLError::kTimedOut;
      return result;
    case PollEnd::kBroken:
      result.error = t.sink.tooLarge ? URLError::kBodyTooLarge : URLError::kCannotConnect;
      return result;
    case PollEnd::kFinished:
      break;
  }
  if (t.sink.tooLarge) {
    result.error = URLError::kBodyTooLarge;
  } else if (t.code == CURLE_OPERATION_TIMEDOUT) {
    result.error = URLError::kTimedOut;
  } else if (t.code != CURLE_OK) {
    result.error = URLError::kCannotConnect;
  } else {
    CURL* h = t.easy.get();
    HTTPURLResponse response;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.statusCode);
    const char* effective = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective != nullptr) {
      response.url = effective;
    }
    const char* redirect = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect != nullptr) {
      response.redirectURL = redirect;
    }
    result.error = URLError::kNone;
    result.response = std::move(response);
    result.body = std::move(t.sink.body);
  }
  return result;
}

}  // namespace

DataTaskResult runDataTask(const URLSessionConfiguration& configuration, const URLRequest& request) {
  DataTaskResult result;
  if (!isHttpsUrl(request.url)) return result;  // kBadURL
  if (cancelled(configuration)) {
    result.error = URLError::kCancelled;
    return result;
  }
  initialiseCurlOnce();

  // A wall-clock bound on top of libcurl's own, so the call always returns.
  const int resourceTimeout = std::max(1, configuration.timeoutIntervalForResource);
  const auto deadline = Clock::now() + std::chrono::seconds(resourceTimeout + 5);
  Transfer transfer;
  if (!setUpTransfer(transfer, configuration, request)) {
    result.error = URLError::kCannotConnect;
    return result;
  }
  return classifyTransfer(transfer, pollTransfer(transfer, configuration, deadline));
}

}  // namespace foundation
