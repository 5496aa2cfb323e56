#include "audio_out/WaveOut.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace lw {

TWaveOut::TWaveOut(std::unique_ptr<AudioDevice> device, UserPrompts& prompts)
    : device_(std::move(device)), prompts_(prompts) {
  for (Slot& slot : slots_) {
    slot.samples.resize(kSlotCapacity);
  }
  ::sem_init(&wake_, 0, 0);
  notifier_ = std::thread([this] { NotificationLoop(); });
}

TWaveOut::~TWaveOut() {
  Close();
  stopping_ = true;
  ::sem_post(&wake_);
  notifier_.join();
  {
    const std::lock_guard<std::mutex> hold(idleLock_); // no waiter misses the stop
  }
  idle_.notify_all();
  ::sem_destroy(&wake_);
}

void TWaveOut::Open(int32_t deviceId) {
  deviceId_ = deviceId;
  if (isOpen_) {
    return;
  }
  const std::string error =
      device_->Open([this](int16_t* out, std::size_t frames) { Pull(out, frames); });
  if (!error.empty()) {
    isOpen_ = false;
    prompts_.Notice(error);
    return;
  }
  isOpen_ = true;
}

void TWaveOut::Close() {
  if (!isOpen_) {
    return;
  }
  Reset();
  device_->Close();
  isOpen_ = false;
}

void TWaveOut::Reset() {
  uint64_t returned = 0;
  {
    const std::lock_guard<std::mutex> hold(writerLock_);
    const uint64_t end = written_.load();
    uint64_t cursor = cursor_.load();
    while (!cursor_.compare_exchange_weak(cursor, Cursor(end, 0))) {
    }
    returned = end - BlockOf(cursor);
  }
  Finished(static_cast<uint32_t>(returned));
}

bool TWaveOut::DropFront(uint64_t block) {
  uint64_t cursor = cursor_.load();
  while (BlockOf(cursor) == block) {
    if (cursor_.compare_exchange_weak(cursor, Cursor(block + 1, 0))) {
      return true;
    }
  }
  return false;
}

void TWaveOut::Write(const int16_t* data, int32_t byteCount) {
  const std::size_t frames = byteCount > 0 ? static_cast<std::size_t>(byteCount) / 2 : 0;
  bool dropped = false;
  {
    const std::lock_guard<std::mutex> hold(writerLock_);
    const uint64_t block = written_.load();
    const auto k = static_cast<int>(block % kSlots);
    // Five blocks queued: the oldest one lives in this slot and gives way.
    if (block >= kSlots) {
      dropped = DropFront(block - kSlots);
    }
    // The device thread may still be copying out of this slot from before the drop; it
    // takes a few microseconds at most.
    while (reading_.load() == k) {
      std::this_thread::yield();
    }
    Slot& slot = slots_[static_cast<std::size_t>(k)];
    if (slot.samples.size() < frames) {
      slot.samples.resize(frames);
    }
    std::copy(data, data + frames, slot.samples.begin());
    slot.size = frames;
    written_.store(block + 1); // publishes the slot to the device thread
  }
  Finished(dropped ? 1 : 0);
}

void TWaveOut::SetCallback(std::function<void()> callback) {
  const std::lock_guard<std::mutex> hold(callbackLock_);
  callback_ = std::move(callback);
}

uint8_t TWaveOut::nextSlot() const {
  return static_cast<uint8_t>(written_.load() % kSlots);
}

int TWaveOut::queuedBlocks() const {
  return static_cast<int>(written_.load() - BlockOf(cursor_.load()));
}

// The device's real-time thread: copies what is queued, silence where nothing is. A
// writer that drops the block being read moves the cursor on; the copy made from the
// dropped block then counts as played before the drop.
void TWaveOut::Pull(int16_t* out, std::size_t frames) noexcept {
  std::size_t done = 0;
  uint32_t finished = 0;
  while (done < frames) {
    const uint64_t cursor = cursor_.load();
    const uint64_t block = BlockOf(cursor);
    if (block >= written_.load()) {
      break; // the queue ran dry
    }
    const auto k = static_cast<int>(block % kSlots);
    // Announce the slot, then make sure the block was not dropped meanwhile: from here
    // on no writer touches the slot until it is released.
    reading_.store(k);
    if (cursor_.load() != cursor) {
      reading_.store(kNoSlot);
      continue;
    }
    const Slot& slot = slots_[static_cast<std::size_t>(k)];
    const std::size_t position = cursor & kPositionMask;
    const std::size_t n = std::min(slot.size - position, frames - done);
    std::memcpy(out + done, slot.samples.data() + position, n * sizeof(int16_t));
    const bool ended = position + n == slot.size;
    reading_.store(kNoSlot);
    done += n;
    uint64_t expected = cursor;
    if (cursor_.compare_exchange_strong(expected, ended ? Cursor(block + 1, 0) : cursor + n) &&
        ended) {
      ++finished;
    }
  }
  std::fill(out + done, out + frames, int16_t{0});
  Finished(finished);
}

void TWaveOut::Finished(uint32_t blocks) noexcept {
  if (blocks == 0) {
    return;
  }
  reported_.fetch_add(blocks);
  ::sem_post(&wake_);
}

void TWaveOut::NotificationLoop() {
  uint64_t run = 0; // callbacks run so far
  for (;;) {
    while (::sem_wait(&wake_) != 0 && errno == EINTR) {
    }
    if (stopping_) {
      return;
    }
    // One post may stand for several finished blocks, and several posts for blocks
    // already handled: run exactly one callback per block reported.
    for (const uint64_t reported = reported_.load(); run < reported; ++run) {
      {
        const std::lock_guard<std::mutex> hold(callbackLock_);
        if (callback_) {
          callback_();
        }
      }
      const std::lock_guard<std::mutex> hold(idleLock_);
      completed_ = run + 1;
      idle_.notify_all();
    }
  }
}

void TWaveOut::WaitForCallbacks() {
  std::unique_lock<std::mutex> hold(idleLock_);
  idle_.wait(hold, [this] { return stopping_ || completed_ >= reported_.load(); });
}

} // namespace lw
