#pragma once

#include "engine/EngineLock.h"

#include <atomic>
#include <thread>

namespace lw::test {

// Holds the engine lock on a thread of its own for as long as it lives.
class BusyLock {
public:
  explicit BusyLock(EngineMutex& lock)
      : thread_([this, &lock] {
          lock.lock();
          held_ = true;
          while (!release_) {
            std::this_thread::yield();
          }
          lock.unlock();
        }) {
    while (!held_) {
      std::this_thread::yield();
    }
  }
  ~BusyLock() {
    release_ = true;
    thread_.join();
  }
  BusyLock(const BusyLock&) = delete;
  BusyLock& operator=(const BusyLock&) = delete;

private:
  std::atomic<bool> held_{false};
  std::atomic<bool> release_{false};
  std::thread thread_;
};

} // namespace lw::test
