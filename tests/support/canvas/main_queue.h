#pragma once
// Stand-in for the platform's main queue: jobs posted by the test platform (menus shown on
// the next turn, sheet completions, scripted text commits) run when the test drains it.
#include <deque>
#include <functional>

namespace sp::test {

class MainQueue {
public:
  void post(std::function<void()> job) { mJobs.push_back(std::move(job)); }
  // Runs the queued jobs in order, including jobs posted while draining. Answers how many ran.
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

private:
  std::deque<std::function<void()>> mJobs;
};

}  // namespace sp::test
