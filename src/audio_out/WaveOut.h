#pragma once

#include "audio_out/AudioDevice.h"
#include "engine/EngineLock.h"
#include "song/UserPrompts.h"

#include <semaphore.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lw {

// The wave-output device: queues blocks of samples in a five-slot queue, plays them
// gaplessly in the order written, and runs a callback once per finished block on a
// notification thread of its own. When the device needs samples and no block is queued
// it plays silence, and the queue carries on afterwards.
//
// The device's real-time thread takes no lock and allocates nothing: it copies samples
// out of blocks that were copied into preallocated slots, publishes how far it got in
// one atomic word, and wakes the notification thread with one semaphore post. Blocks
// are numbered as they are written; block n lives in slot n % 5, so the queue is the
// run of blocks between the read cursor and the write count. WaveOut.cpp says which
// memory order each atomic operation needs and why.
class WaveOut {
public:
  static constexpr int kSlots = 5;
  // Samples each slot holds without allocating: one block of live playback.
  static constexpr std::size_t kSlotCapacity = 6144;

  // Create: closed, no callback, nextSlot 0, deviceId -1.
  WaveOut(std::unique_ptr<AudioDevice> device, UserPrompts& prompts);
  ~WaveOut();
  WaveOut(const WaveOut&) = delete;
  WaveOut& operator=(const WaveOut&) = delete;

  // Opens the default device (-1). A failure is shown in the system's wording and then
  // ignored: the device stays closed and blocks written to it are never played.
  // Interface thread.
  void Open(int32_t deviceId);
  // Stops output and closes the device if it is open. Interface thread.
  void Close();
  // Stops output at once; every queued block is returned as finished, one callback each.
  // Any thread but the device's.
  void Reset();
  // Copies the block into slot nextSlot and queues it behind the blocks already queued.
  // A slot is reused five writes later; a block still queued there is dropped and
  // reported finished. Allocates only for a block longer than kSlotCapacity. Any thread
  // but the device's.
  void Write(const int16_t* data, int32_t byteCount);
  // The procedure run on the notification thread once per finished block. A callback
  // that is running finishes before it is replaced.
  void SetCallback(std::function<void()> callback);

  [[nodiscard]] bool isOpen() const { return isOpen_.load(std::memory_order_relaxed); }
  [[nodiscard]] uint8_t nextSlot() const;
  [[nodiscard]] int32_t deviceId() const { return deviceId_; }
  // Where the device reads: the number of the block (blocks are numbered from 0 as they
  // are written) and the sample in it. Any thread.
  struct ReadPoint {
    uint64_t block = 0;
    uint32_t position = 0;
  };
  [[nodiscard]] ReadPoint readPoint() const;
  // The number the next block written gets. Writers' threads.
  [[nodiscard]] uint64_t blocksWritten() const { return written_.load(std::memory_order_relaxed); }
  // Samples the device takes ahead of what it plays.
  [[nodiscard]] uint32_t deviceFrames() const { return device_->bufferFrames(); }
  // Blocks queued and not yet finished.
  [[nodiscard]] int queuedBlocks() const;
  // Waits until every finished block's callback has run. For tests and shutdown.
  void WaitForCallbacks();

private:
  // The read cursor packs the number of the block being read with the read position in
  // it, so that the device thread and a writer dropping the front block agree on both.
  static constexpr unsigned kPositionBits = 32;
  static constexpr uint64_t kPositionMask = (uint64_t{1} << kPositionBits) - 1;
  static constexpr uint64_t Cursor(uint64_t block, uint64_t position) {
    return block << kPositionBits | position;
  }
  static constexpr uint64_t BlockOf(uint64_t cursor) { return cursor >> kPositionBits; }
  static constexpr int kNoSlot = -1;

  struct Slot {
    std::vector<int16_t> samples; // capacity kSlotCapacity or more
    std::size_t size = 0;         // samples queued in it
  };

  void Pull(int16_t* out, std::size_t frames) noexcept;
  void Finished(uint32_t blocks) noexcept;
  void NotificationLoop();
  // Moves the read cursor past `block` if that block is still being read. Writer lock
  // held.
  bool DropFront(uint64_t block) LW_REQUIRES(writerLock_);

  std::unique_ptr<AudioDevice> device_;
  UserPrompts& prompts_;
  int32_t deviceId_ = -1;
  std::atomic<bool> isOpen_{false};

  std::array<Slot, kSlots> slots_;
  // Writers (the interface thread starting playback, the notification thread) take
  // turns; the device thread never takes this lock.
  Mutex writerLock_;
  std::atomic<uint64_t> written_{0};  // blocks written so far
  std::atomic<uint64_t> cursor_{0};   // block being read, and the read position in it
  std::atomic<int> reading_{kNoSlot}; // the slot the device thread is copying from

  // Finished blocks, counted by whoever finishes them, and the callbacks run for them.
  sem_t wake_{};
  std::atomic<uint64_t> reported_{0};
  std::atomic<bool> stopping_{false};
  Mutex callbackLock_; // held while the callback runs and while it is replaced
  std::function<void()> callback_ LW_GUARDED_BY(callbackLock_);
  Mutex idleLock_;
  std::condition_variable_any idle_;
  uint64_t completed_ LW_GUARDED_BY(idleLock_) = 0;
  std::thread notifier_;
};

} // namespace lw
