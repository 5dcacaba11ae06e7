#include "shims/apple/foundation/URLSession.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>

namespace foundation {

namespace {

void initialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
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

}  // namespace

DataTaskResult runDataTask(const URLSessionConfiguration& configuration, const URLRequest& request) {
  DataTaskResult result;
  if (!isHttpsUrl(request.url)) return result;  // kBadURL
  initialiseCurlOnce();

  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  result.error = URLError::kCannotConnect;
  if (!easy || !multi) return result;

  std::unique_ptr<curl_slist, SlistDeleter> headers;
  for (const auto& [name, value] : request.headers) {
    curl_slist* next = curl_slist_append(headers.get(), (name + ": " + value).c_str());
    if (next == nullptr) return result;
    headers.release();
    headers.reset(next);
  }

  const long requestTimeout = std::max(1, configuration.timeoutIntervalForRequest);
  const long resourceTimeout = std::max(1, configuration.timeoutIntervalForResource);
  BodySink sink;
  sink.limit = configuration.maximumBodyBytes;
  CURL* h = easy.get();
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
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  if (headers) curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  if (!configuration.certificateAuthorityFile.empty()) {
    curl_easy_setopt(h, CURLOPT_CAINFO, configuration.certificateAuthorityFile.c_str());
  }
  // Ephemeral: no connection, session or cookie state outlives this task.
  curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_SESSIONID_CACHE, 0L);

  if (curl_multi_add_handle(multi.get(), h) != CURLM_OK) return result;

  // A wall-clock bound on top of libcurl's own, so the call always returns.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(resourceTimeout + 5);
  int running = 1;
  bool stopped = false;
  bool timedOut = false;
  while (running > 0) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
    if (running == 0) break;
    if (cancelled(configuration)) {
      stopped = true;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      timedOut = true;
      break;
    }
    // Short waits keep a cancel request answered quickly without any cross-thread curl call.
    if (curl_multi_poll(multi.get(), nullptr, 0, 50, nullptr) != CURLM_OK) break;
  }

  CURLcode code = CURLE_FAILED_INIT;
  bool finished = false;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == h) {
      code = message->data.result;
      finished = true;
    }
  }
  curl_multi_remove_handle(multi.get(), h);

  if (stopped && !finished) {
    result.error = URLError::kCancelled;
  } else if (timedOut && !finished) {
    result.error = URLError::kTimedOut;
  } else if (sink.tooLarge) {
    result.error = URLError::kBodyTooLarge;
  } else if (!finished) {
    result.error = URLError::kCannotConnect;
  } else if (code == CURLE_OPERATION_TIMEDOUT) {
    result.error = URLError::kTimedOut;
  } else if (code != CURLE_OK) {
    result.error = URLError::kCannotConnect;
  } else {
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
    result.body = std::move(sink.body);
  }
  return result;
}

}  // namespace foundation
