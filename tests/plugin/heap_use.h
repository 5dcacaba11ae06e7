#pragma once
// What the calling thread asks of the heap and of mutexes while a piece of work runs: the
// operator new calls with their bytes, and the pthread mutex locks. A program that compiles
// heap_use.cpp gets its operator new and pthread_mutex_lock replaced by counting ones.
namespace sp::test::heapuse {

struct Use {
  long allocations = 0;
  long long bytes = 0;
  long locks = 0;
};

// Counts the calling thread's requests from now until stop.
void start();
Use stop();

template <typename Work>
Use during(Work&& work) {
  start();
  work();
  return stop();
}

}  // namespace sp::test::heapuse
