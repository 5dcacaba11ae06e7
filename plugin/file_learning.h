#pragma once
// Learning a target from a reference file on a thread of its own: one run at a time, its
// result kept until the main thread takes it.
//
// Threads: start, busy, takeResult and the destructor run on the main thread; the reader runs
// on the run's thread. The thread touches only its run, which it owns together with this
// object (the reader and its copy of the path, the cancel flag, the result under the run's
// mutex), never the instance. So destruction need not wait for a read that blocks (a file on
// a stalled mount): it raises the cancel flag and waits a short while for the run to notice;
// a run still reading then is left to end on its own, and the module is kept loaded for the
// rest of the process, since that thread still executes its code.
//
// Failures: a thread the system refuses makes start throw std::system_error and leaves
// nothing running; the reader's failures and exceptions become the result's error text.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/dsp/target_learner.h"

namespace spectrapoise::plugin {

// Learns a target from a reference file (the engine's reader unless a test replaces it).
using FileLearner = std::function<bool(const std::string& path, dsp::LearnedTarget& result, std::string& error,
                                       double maxSeconds, const std::atomic<bool>* cancel)>;

class FileLearning {
public:
  struct Result {
    bool success = false;
    dsp::LearnedTarget learned;
    std::string source;  // the file's name (the whole path when the reader threw early)
    std::string error;
  };

  // How long destruction waits for a run to notice its cancel flag before leaving it.
  static constexpr int kCancelWaitMs = 1000;

  FileLearning() = default;
  ~FileLearning() { stop(); }
  FileLearning(const FileLearning&) = delete;
  FileLearning& operator=(const FileLearning&) = delete;

  // Runs learner(path, ..., maxSeconds, cancel flag) on a new thread. Call only when not
  // busy. A result not yet taken stays until this run's result replaces it.
  void start(const std::string& path, FileLearner learner, double maxSeconds);
  // From start until the run has stored its result.
  bool busy() const;
  // The result of the run that ended, once.
  std::optional<Result> takeResult();
  // Raises the run's cancel flag and waits up to kCancelWaitMs for it to end; a run that does
  // not end in time is left to itself. Afterwards nothing runs on this object's behalf.
  void stop();

private:
  struct Run {
    std::atomic<bool> cancel{false};
    mutable std::mutex mutex;
    std::condition_variable ended;
    bool running = true;            // under mutex
    std::optional<Result> result;   // under mutex
  };
  static void body(const std::shared_ptr<Run>& run, const std::string& path, const FileLearner& learner,
                   double maxSeconds);

  std::shared_ptr<Run> run_;
};

}  // namespace spectrapoise::plugin
