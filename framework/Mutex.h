#pragma once
// An operating-system mutex (recursive) and its scoped lock.
#include <pthread.h>

class Mutex {
public:
  Mutex() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mutex_, &attr);
    pthread_mutexattr_destroy(&attr);
  }
  ~Mutex() { pthread_mutex_destroy(&mutex_); }
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Enter() { pthread_mutex_lock(&mutex_); }
  void Leave() { pthread_mutex_unlock(&mutex_); }

private:
  pthread_mutex_t mutex_;
};

class MutexLock {
public:
  explicit MutexLock(Mutex* mutex) : mutex_(mutex) {
    if (mutex_ != nullptr) mutex_->Enter();
  }
  ~MutexLock() {
    if (mutex_ != nullptr) mutex_->Leave();
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

private:
  Mutex* mutex_;
};
