#pragma once
// The test side of the stuck resolver (stuck_resolver.cpp, preloaded by CTest): its control
// functions, found in the running process, and the process's thread count, to see the
// resolver's helper threads finish. Main test thread only.
#include <dlfcn.h>

#include <fstream>
#include <string>

namespace sp::test {

struct StuckResolver {
  int (*waiting)() = nullptr;   // lookups of stuck.test names blocked right now
  int (*finished)() = nullptr;  // such lookups that have returned
  void (*release)() = nullptr;  // lets the blocked lookups return

  bool loaded() const { return waiting != nullptr && finished != nullptr && release != nullptr; }
};

inline StuckResolver stuckResolver() {
  StuckResolver r;
  r.waiting = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "sp_stuck_resolver_waiting"));
  r.finished = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "sp_stuck_resolver_finished"));
  r.release = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "sp_stuck_resolver_release"));
  return r;
}

// Threads of this process (the "Threads:" line of /proc/self/status); -1 when unreadable.
inline int processThreads() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == "Threads:") {
      int n = -1;
      status >> n;
      return n;
    }
  }
  return -1;
}

}  // namespace sp::test
