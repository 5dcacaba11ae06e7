// Test-only stand-in for the system's name resolver, preloaded (LD_PRELOAD) into the suites
// that need a host name that never resolves. Names in the reserved domain "stuck.test" block
// inside getaddrinfo until the test releases them (or kHold passes), then fail with EAI_AGAIN;
// every other name goes on to the next getaddrinfo (the system's).
//
// The test program finds the control functions below with dlsym; they may be called from any
// thread. After the wait the stand-in reads and writes the caller's storage, as a real resolver
// would, so a caller that freed it in the meantime shows up under the sanitizers.
#include <dlfcn.h>
#include <netdb.h>
#include <strings.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace {

constexpr auto kHold = std::chrono::seconds(20);
constexpr const char* kDomain = "stuck.test";

std::mutex gMutex;
std::condition_variable gWake;
int gWaiting = 0;           // calls blocked right now
int gFinished = 0;          // stuck calls that have returned
unsigned gGeneration = 0;   // raised by each release

// "stuck.test" itself or any name below it, in any letter case.
bool isStuckName(const char* node) {
  if (node == nullptr) return false;
  const std::size_t n = std::strlen(node);
  const std::size_t d = std::strlen(kDomain);
  if (n < d || strcasecmp(node + (n - d), kDomain) != 0) return false;
  return n == d || node[n - d - 1] == '.';
}

using GetAddrInfo = int (*)(const char*, const char*, const addrinfo*, addrinfo**);

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int getaddrinfo(const char* node, const char* service,
                                                       const addrinfo* hints, addrinfo** result) {
  if (!isStuckName(node)) {
    static const auto next = reinterpret_cast<GetAddrInfo>(dlsym(RTLD_NEXT, "getaddrinfo"));
    return next != nullptr ? next(node, service, hints, result) : EAI_SYSTEM;
  }
  {
    std::unique_lock<std::mutex> lock(gMutex);
    ++gWaiting;
    const unsigned generation = gGeneration;
    gWake.wait_for(lock, kHold, [generation] { return gGeneration != generation; });
    --gWaiting;
  }
  volatile int family = hints != nullptr ? hints->ai_family : AF_UNSPEC;
  (void)family;
  *result = nullptr;
  std::lock_guard<std::mutex> lock(gMutex);
  ++gFinished;
  return EAI_AGAIN;
}

// Stuck calls blocked right now.
__attribute__((visibility("default"))) int sp_stuck_resolver_waiting() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gWaiting;
}

// Stuck calls that have returned since the process started.
__attribute__((visibility("default"))) int sp_stuck_resolver_finished() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gFinished;
}

// Lets every call blocked right now return; later calls block again.
__attribute__((visibility("default"))) void sp_stuck_resolver_release() {
  {
    std::lock_guard<std::mutex> lock(gMutex);
    ++gGeneration;
  }
  gWake.notify_all();
}

}  // extern "C"
