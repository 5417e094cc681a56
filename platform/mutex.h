// A non-recursive mutex of the operating system, usable before static constructors have run.
#pragma once

#include <cstddef>

namespace dul::platform {

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock();
  void Unlock();

 private:
  // Room for the backend's native object (pthread_mutex_t or CRITICAL_SECTION).
  alignas(8) unsigned char storage_[64];
};

class MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~MutexLock() { mutex_.Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace dul::platform
