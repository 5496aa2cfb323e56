#pragma once

#include "engine/EngineLock.h"
#include "session/RecoveryFiles.h"
#include "session/RecoveryInstance.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lw {

// Writes this run's copy on a thread of its own, one write at a time; a newer request
// replaces one still waiting. The interface thread makes the bytes and hands them over.
class RecoveryWriter {
public:
  explicit RecoveryWriter(const RecoveryInstance& instance);
  // Stops the thread: a waiting request is dropped, a write under way is cancelled.
  ~RecoveryWriter();
  RecoveryWriter(const RecoveryWriter&) = delete;
  RecoveryWriter& operator=(const RecoveryWriter&) = delete;

  void Write(std::string bytes, RecoveryInfo info, uint64_t fingerprint);
  // Removes the copy; a write under way is cancelled first.
  void Remove();
  // A request waits or is under way.
  [[nodiscard]] bool Busy() const;
  // Waits until nothing waits or is under way.
  void Wait();
  // Stops as the destructor does; afterwards requests are ignored.
  void Stop();

  struct Done {
    uint64_t fingerprint = 0;
    bool written = false;
    std::string error; // why a write failed
  };
  // The writes ended since the last call.
  [[nodiscard]] std::vector<Done> TakeFinished();

private:
  struct Request {
    bool remove = false;
    std::string bytes;
    RecoveryInfo info;
    uint64_t fingerprint = 0;
  };
  void Run();

  const RecoveryInstance& instance_;
  mutable Mutex mutex_;
  std::condition_variable_any wake_;
  std::condition_variable_any idle_;
  std::optional<Request> pending_ LW_GUARDED_BY(mutex_);
  bool working_ LW_GUARDED_BY(mutex_) = false;
  bool stopping_ LW_GUARDED_BY(mutex_) = false;
  std::atomic<bool> cancel_{false};
  std::vector<Done> finished_ LW_GUARDED_BY(mutex_);
  std::thread thread_;
};

} // namespace lw
