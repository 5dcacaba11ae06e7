#pragma once
// A queue of jobs run in order when its owner drains it: the body of the main dispatch
// queue (Dispatch.h) and of the scripted platforms' main queues (the test canvas, the
// AppKit stand-in's script). Not thread-safe: the owner's thread posts and drains.
#include <deque>
#include <functional>

namespace cfshim {

class JobQueue {
public:
  void post(std::function<void()> job) { mJobs.push_back(std::move(job)); }
  // Runs the queued jobs in order, including jobs posted while draining. A job may drain
  // the queue again (a nested run loop); each job runs once. Answers how many ran here.
  int drain() {
    int ran = 0;
    while (!mJobs.empty()) {
      std::function<void()> job = std::move(mJobs.front());
      mJobs.pop_front();
      job();
      ++ran;
    }
    return ran;
  }
  int pending() const { return static_cast<int>(mJobs.size()); }
  // Drops every queued job unrun.
  void clear() { mJobs.clear(); }

private:
  std::deque<std::function<void()>> mJobs;
};

}  // namespace cfshim
