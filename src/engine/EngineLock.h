#pragma once

#include "engine/ThreadSafety.h"

#include <mutex>

namespace lw {

// The engine lock: a std::mutex the thread-safety analysis knows about. The render
// thread holds it for each block it renders; the interface thread for each edit.
class LW_CAPABILITY("mutex") EngineMutex {
public:
  void lock() LW_ACQUIRE() { mutex_.lock(); }
  void unlock() LW_RELEASE() { mutex_.unlock(); }
  bool try_lock() LW_TRY_ACQUIRE(true) { return mutex_.try_lock(); }

private:
  std::mutex mutex_;
};

// Holds the engine lock for a scope; Unlock and Relock let it go and take it back in the
// middle, as a render does around its file writes.
class LW_SCOPED_CAPABILITY EngineHold {
public:
  explicit EngineHold(EngineMutex& mutex) LW_ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~EngineHold() LW_RELEASE() {
    if (held_) {
      mutex_.unlock();
    }
  }
  EngineHold(const EngineHold&) = delete;
  EngineHold& operator=(const EngineHold&) = delete;

  void Unlock() LW_RELEASE() {
    mutex_.unlock();
    held_ = false;
  }
  void Relock() LW_ACQUIRE() {
    mutex_.lock();
    held_ = true;
  }

private:
  EngineMutex& mutex_;
  bool held_ = true;
};

} // namespace lw
