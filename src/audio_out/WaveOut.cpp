#include "audio_out/WaveOut.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace lw {

// The orderings of the block queue's atomics, and why each is needed.
//
// The slot handshake. A writer that reuses a slot must never copy into it while the
// device copies out of it. The device announces the slot in reading_ and then reads
// cursor_ again; a writer that moves the cursor off a block (a drop, a reset) later
// reads reading_ before it touches the block's slot. That is a store followed by a load
// on each side (Dekker's pattern): only sequential consistency forbids both loads to
// see the old values, so these four operations are memory_order_seq_cst, and must stay
// so. With acquire and release alone, the device could copy a slot the writer is
// filling. Everything else is ordered by pairs of release and acquire:
// - written_ is stored with release after a slot is filled and loaded with acquire by
//   the device, so the samples and size it reads are the ones written;
// - reading_ is cleared with release after the copy and read by the writer, so the
//   copy is over before the writer overwrites the slot;
// - the device advances cursor_ with release, and a writer reads cursor_ with acquire
//   before it decides not to drop, so a block the device finished is one whose slot
//   it released (every later change of cursor_ is a read-modify-write and carries
//   that release on);
// - reported_ is added to with release and read with acquire, so a block's callback
//   runs after the cursor moved past the block (playback tops the queue up by its
//   depth and must see the room each report stands for).

WaveOut::WaveOut(std::unique_ptr<AudioDevice> device, UserPrompts& prompts)
    : device_(std::move(device)), prompts_(prompts) {
  for (Slot& slot : slots_) {
    slot.samples.resize(kSlotCapacity);
  }
  ::sem_init(&wake_, 0, 0);
  notifier_ = std::thread([this] { NotificationLoop(); });
}

WaveOut::~WaveOut() {
  Close();
  // Release, read with acquire by the loop and by waiters: nothing else depends on it.
  stopping_.store(true, std::memory_order_release);
  ::sem_post(&wake_);
  notifier_.join();
  {
    const MutexHold hold(idleLock_); // no waiter misses the stop
  }
  idle_.notify_all();
  ::sem_destroy(&wake_);
}

void WaveOut::Open(int32_t deviceId) {
  deviceId_ = deviceId;
  // isOpen_ is a flag for the interface and publishes nothing: the device's own Open and
  // Close order the pulls, so every access to it is relaxed.
  if (isOpen_.load(std::memory_order_relaxed)) {
    return;
  }
  const std::string error =
      device_->Open([this](int16_t* out, std::size_t frames) { Pull(out, frames); });
  if (!error.empty()) {
    isOpen_.store(false, std::memory_order_relaxed);
    prompts_.Notice(error);
    return;
  }
  isOpen_.store(true, std::memory_order_relaxed);
}

void WaveOut::Close() {
  if (!isOpen_.load(std::memory_order_relaxed)) {
    return;
  }
  Reset();
  device_->Close();
  isOpen_.store(false, std::memory_order_relaxed);
}

void WaveOut::Reset() {
  uint64_t returned = 0;
  {
    const MutexHold hold(writerLock_);
    // Only writers store written_, and they take turns under the lock.
    const uint64_t end = written_.load(std::memory_order_relaxed);
    // The exchange reads the cursor again when this guess is out of date.
    uint64_t cursor = cursor_.load(std::memory_order_relaxed);
    // Sequentially consistent: the writer's half of the slot handshake (the next Write
    // reuses the slot of a block moved off here).
    while (!cursor_.compare_exchange_weak(cursor, Cursor(end, 0), std::memory_order_seq_cst,
                                          std::memory_order_relaxed)) {
    }
    returned = end - BlockOf(cursor);
  }
  Finished(static_cast<uint32_t>(returned));
}

bool WaveOut::DropFront(uint64_t block) {
  // Acquire: a block found finished is one whose slot the device has let go.
  uint64_t cursor = cursor_.load(std::memory_order_acquire);
  while (BlockOf(cursor) == block) {
    // Sequentially consistent: the writer's half of the slot handshake.
    if (cursor_.compare_exchange_weak(cursor, Cursor(block + 1, 0), std::memory_order_seq_cst,
                                      std::memory_order_acquire)) {
      return true;
    }
  }
  return false;
}

void WaveOut::Write(const int16_t* data, int32_t byteCount) {
  const std::size_t frames = byteCount > 0 ? static_cast<std::size_t>(byteCount) / 2 : 0;
  bool dropped = false;
  {
    const MutexHold hold(writerLock_);
    const uint64_t block = written_.load(std::memory_order_relaxed); // writers take turns
    const auto k = static_cast<int>(block % kSlots);
    // Five blocks queued: the oldest one lives in this slot and gives way.
    if (block >= kSlots) {
      dropped = DropFront(block - kSlots);
    }
    // The device thread may still be copying out of this slot from before the drop; it
    // takes a few microseconds at most.
    // Sequentially consistent: the writer's half of the slot handshake, after the cursor
    // moved off the slot's block (here, or in an earlier drop or reset).
    while (reading_.load(std::memory_order_seq_cst) == k) {
      std::this_thread::yield();
    }
    Slot& slot = slots_[static_cast<std::size_t>(k)];
    if (slot.samples.size() < frames) {
      slot.samples.resize(frames);
    }
    std::copy(data, data + frames, slot.samples.begin());
    slot.size = frames;
    written_.store(block + 1, std::memory_order_release); // publishes the slot to the device
  }
  Finished(dropped ? 1 : 0);
}

void WaveOut::SetCallback(std::function<void()> callback) {
  const MutexHold hold(callbackLock_);
  callback_ = std::move(callback);
}

uint8_t WaveOut::nextSlot() const {
  return static_cast<uint8_t>(written_.load(std::memory_order_relaxed) % kSlots);
}

WaveOut::ReadPoint WaveOut::readPoint() const {
  // Relaxed: a place to show, which publishes nothing.
  const uint64_t cursor = cursor_.load(std::memory_order_relaxed);
  return {BlockOf(cursor), static_cast<uint32_t>(cursor & kPositionMask)};
}

int WaveOut::queuedBlocks() const {
  // Acquire on the cursor: called from a block's callback, it sees the cursor at least as
  // far as that block's report (reported_ carries the order). Relaxed on written_: a
  // count that publishes nothing read here, and playback asks under the gate its own
  // writes hold.
  return static_cast<int>(written_.load(std::memory_order_relaxed) -
                          BlockOf(cursor_.load(std::memory_order_acquire)));
}

// The device's real-time thread: copies what is queued, silence where nothing is. A
// writer that drops the block being read moves the cursor on; the copy made from the
// dropped block then counts as played before the drop.
void WaveOut::Pull(int16_t* out, std::size_t frames) noexcept {
  std::size_t done = 0;
  uint32_t finished = 0;
  while (done < frames) {
    // Relaxed: the value is checked again after the slot is announced.
    const uint64_t cursor = cursor_.load(std::memory_order_relaxed);
    const uint64_t block = BlockOf(cursor);
    // Acquire: the slot's samples and size as the writer left them.
    if (block >= written_.load(std::memory_order_acquire)) {
      break; // the queue ran dry
    }
    const auto k = static_cast<int>(block % kSlots);
    // Announce the slot, then make sure the block was not dropped meanwhile: from here
    // on no writer touches the slot until it is released. Both sequentially consistent:
    // the device's half of the slot handshake.
    reading_.store(k, std::memory_order_seq_cst);
    if (cursor_.load(std::memory_order_seq_cst) != cursor) {
      reading_.store(kNoSlot, std::memory_order_release);
      continue;
    }
    const Slot& slot = slots_[static_cast<std::size_t>(k)];
    const std::size_t position = cursor & kPositionMask;
    const std::size_t n = std::min(slot.size - position, frames - done);
    std::memcpy(out + done, slot.samples.data() + position, n * sizeof(int16_t));
    const bool ended = position + n == slot.size;
    reading_.store(kNoSlot, std::memory_order_release); // the copy is over
    done += n;
    uint64_t expected = cursor;
    // Release: a writer that sees the block finished sees its slot let go. A failure
    // (a writer moved the cursor) is read again at the top of the loop.
    if (cursor_.compare_exchange_strong(expected, ended ? Cursor(block + 1, 0) : cursor + n,
                                        std::memory_order_release, std::memory_order_relaxed) &&
        ended) {
      ++finished;
    }
  }
  std::fill(out + done, out + frames, int16_t{0});
  Finished(finished);
}

void WaveOut::Finished(uint32_t blocks) noexcept {
  if (blocks == 0) {
    return;
  }
  // Release: the callbacks run after what finished the blocks.
  reported_.fetch_add(blocks, std::memory_order_release);
  ::sem_post(&wake_);
}

void WaveOut::NotificationLoop() {
  uint64_t run = 0; // callbacks run so far
  for (;;) {
    while (::sem_wait(&wake_) != 0 && errno == EINTR) {
    }
    if (stopping_.load(std::memory_order_acquire)) {
      return;
    }
    // One post may stand for several finished blocks, and several posts for blocks
    // already handled: run exactly one callback per block reported.
    for (const uint64_t reported = reported_.load(std::memory_order_acquire); run < reported;
         ++run) {
      {
        const MutexHold hold(callbackLock_);
        if (callback_) {
          callback_();
        }
      }
      const MutexHold hold(idleLock_);
      completed_ = run + 1;
      idle_.notify_all();
    }
  }
}

void WaveOut::WaitForCallbacks() {
  MutexHold hold(idleLock_);
  while (!stopping_.load(std::memory_order_acquire) &&
         completed_ < reported_.load(std::memory_order_acquire)) {
    idle_.wait(hold);
  }
}

} // namespace lw
