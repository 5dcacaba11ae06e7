// The reference-file learning run: its thread, its result and leaving a run that does not
// end (see file_learning.h).
#include "plugin/file_learning.h"

#include <dlfcn.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <thread>

namespace spectrapoise::plugin {

namespace {

// Keeps the shared object that holds this code loaded until the process ends: a thread
// left running in it must not find its code unmapped when the host unloads the module.
void keepThisModuleLoaded() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&keepThisModuleLoaded), &info) == 0 || info.dli_fname == nullptr) return;
  if (void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(handle);
}

}  // namespace

void FileLearning::start(const std::string& path, FileLearner learner, double maxSeconds) {
  auto run = std::make_shared<Run>();
  // The thread gets copies of its own: nothing of the caller's is used after this call.
  std::thread(&FileLearning::body, run, path, std::move(learner), maxSeconds).detach();
  if (run_) {
    // The earlier run's result waits, unless the new run has ended already.
    std::scoped_lock lock(run_->mutex, run->mutex);
    if (!run->result) run->result = std::move(run_->result);
  }
  run_ = std::move(run);
}

bool FileLearning::busy() const {
  if (!run_) return false;
  std::lock_guard<std::mutex> lock(run_->mutex);
  return run_->running;
}

std::optional<FileLearning::Result> FileLearning::takeResult() {
  if (!run_) return std::nullopt;
  std::lock_guard<std::mutex> lock(run_->mutex);
  std::optional<Result> result = std::move(run_->result);
  run_->result.reset();
  return result;
}

void FileLearning::stop() {
  if (!run_) return;
  run_->cancel.store(true);
  bool ended = false;
  {
    std::unique_lock<std::mutex> lock(run_->mutex);
    ended = run_->ended.wait_for(lock, std::chrono::milliseconds(kCancelWaitMs), [this] { return !run_->running; });
  }
  if (!ended) keepThisModuleLoaded();
  run_.reset();
}

void FileLearning::body(const std::shared_ptr<Run>& run, const std::string& path, const FileLearner& learner,
                        double maxSeconds) {
  Result result;
  result.source = path;
  try {
    result.success = learner(path, result.learned, result.error, maxSeconds, &run->cancel);
    result.source = std::filesystem::path(path).filename().string();
  } catch (const std::exception& e) {
    result.success = false;
    result.error = e.what();
  } catch (...) {
    result.success = false;
    result.error = "unknown error";
  }
  {
    std::lock_guard<std::mutex> lock(run->mutex);
    run->result = std::move(result);
    run->running = false;
  }
  run->ended.notify_all();
}

}  // namespace spectrapoise::plugin
