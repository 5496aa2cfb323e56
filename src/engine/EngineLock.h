#pragma once

#include "engine/ThreadSafety.h"

#include <mutex>

namespace lw {

// A std::mutex the thread-safety analysis knows about, so that Clang checks who holds it
// where the fields it guards are touched.
class LW_CAPABILITY("mutex") Mutex {
public:
  void lock() LW_ACQUIRE() { mutex_.lock(); }
  void unlock() LW_RELEASE() { mutex_.unlock(); }
  bool try_lock() LW_TRY_ACQUIRE(true) { return mutex_.try_lock(); }

private:
  std::mutex mutex_;
};

// Holds a Mutex for a scope; Unlock and Relock let it go and take it back in the middle,
// as a render does around its file writes.
class LW_SCOPED_CAPABILITY MutexHold {
public:
  explicit MutexHold(Mutex& mutex) LW_ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexHold() LW_RELEASE() {
    if (held_) {
      mutex_.unlock();
    }
  }
  MutexHold(const MutexHold&) = delete;
  MutexHold& operator=(const MutexHold&) = delete;

  void Unlock() LW_RELEASE() {
    mutex_.unlock();
    held_ = false;
  }
  void Relock() LW_ACQUIRE() {
    mutex_.lock();
    held_ = true;
  }
  // The same under the names a std::condition_variable_any calls while it waits: the
  // analysis sees the mutex held across the wait, as it is whenever the wait returns.
  void unlock() LW_RELEASE() { Unlock(); }
  void lock() LW_ACQUIRE() { Relock(); }

private:
  Mutex& mutex_;
  bool held_ = true;
};

// The engine lock. The render thread holds it for each block it renders; the interface
// thread for each edit.
using EngineMutex = Mutex;
using EngineHold = MutexHold;

} // namespace lw
