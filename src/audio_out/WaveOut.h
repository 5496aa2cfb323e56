#pragma once

#include "audio_out/AudioDevice.h"
#include "song/UserPrompts.h"

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
// The device's real-time thread only copies samples out of the queued blocks: it holds
// the queue lock for that copy, and everyone else holds it for a pointer swap at most.
class TWaveOut {
public:
  static constexpr int kSlots = 5;

  // Create: closed, no callback, nextSlot 0, deviceId -1.
  TWaveOut(std::unique_ptr<AudioDevice> device, UserPrompts& prompts);
  ~TWaveOut();
  TWaveOut(const TWaveOut&) = delete;
  TWaveOut& operator=(const TWaveOut&) = delete;

  // Opens the default device (-1). A failure is shown in the system's wording and then
  // ignored: the device stays closed and blocks written to it are never played.
  // Interface thread.
  void Open(int32_t deviceId);
  // Stops output and closes the device if it is open. Interface thread.
  void Close();
  // Stops output at once; every queued block is returned as finished, one callback each.
  void Reset();
  // Copies the block and queues it behind the blocks already queued, in slot nextSlot.
  // A slot is reused five writes later; a block still queued there is dropped and
  // reported finished. Any thread but the device's.
  void Write(const int16_t* data, int32_t byteCount);
  // The procedure run on the notification thread once per finished block. Set it
  // before the first Write.
  void SetCallback(std::function<void()> callback);

  [[nodiscard]] bool isOpen() const { return isOpen_.load(); }
  [[nodiscard]] uint8_t nextSlot();
  [[nodiscard]] int32_t deviceId() const { return deviceId_; }
  // Blocks queued and not yet finished.
  [[nodiscard]] int queuedBlocks();
  // Waits until every finished block's callback has run. For tests and shutdown.
  void WaitForCallbacks();

private:
  struct Slot {
    std::vector<int16_t> block;
  };

  void Pull(int16_t* out, std::size_t frames);
  void Finished(int blocks);
  void NotificationLoop();

  std::unique_ptr<AudioDevice> device_;
  UserPrompts& prompts_;
  int32_t deviceId_ = -1;
  std::atomic<bool> isOpen_{false};
  uint8_t nextSlot_ = 0;

  // The queue: slots in the order written, and the read position in the front block.
  std::mutex queueLock_;
  std::array<Slot, kSlots> slots_;
  std::array<int, kSlots> order_{};
  int front_ = 0;
  int queued_ = 0;
  std::size_t readPosition_ = 0;

  // Finished blocks whose callbacks have not run yet.
  std::mutex notifyLock_;
  std::condition_variable notifyWake_;
  std::condition_variable notifyIdle_;
  int pendingCallbacks_ = 0;
  bool runningCallback_ = false;
  bool stopping_ = false;
  std::function<void()> callback_;
  std::thread notifier_;
};

} // namespace lw
