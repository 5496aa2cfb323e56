#include "audio_out/WaveOut.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace lw {

TWaveOut::TWaveOut(std::unique_ptr<AudioDevice> device, UserPrompts& prompts)
    : device_(std::move(device)), prompts_(prompts), notifier_([this] { NotificationLoop(); }) {}

TWaveOut::~TWaveOut() {
  Close();
  {
    const std::lock_guard<std::mutex> hold(notifyLock_);
    stopping_ = true;
  }
  notifyWake_.notify_all();
  notifier_.join();
}

void TWaveOut::Open(int32_t deviceId) {
  deviceId_ = deviceId;
  if (isOpen_) {
    return;
  }
  const std::string error = device_->Open([this](int16_t* out, std::size_t frames) { Pull(out, frames); });
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
  int returned = 0;
  {
    const std::lock_guard<std::mutex> hold(queueLock_);
    returned = queued_;
    queued_ = 0;
    readPosition_ = 0;
  }
  Finished(returned);
}

void TWaveOut::Write(const int16_t* data, int32_t byteCount) {
  const std::size_t frames = byteCount > 0 ? static_cast<std::size_t>(byteCount) / 2 : 0;
  std::vector<int16_t> block(data, data + frames); // allocated outside the queue lock
  int dropped = 0;
  {
    const std::lock_guard<std::mutex> hold(queueLock_);
    const int k = nextSlot_;
    // A block still queued in this slot (only when more than five are queued) gives way.
    for (int i = 0; i < queued_; ++i) {
      if (order_[(front_ + i) % kSlots] != k) {
        continue;
      }
      if (i == 0) {
        readPosition_ = 0;
      }
      for (int j = i; j + 1 < queued_; ++j) {
        order_[(front_ + j) % kSlots] = order_[(front_ + j + 1) % kSlots];
      }
      --queued_;
      dropped = 1;
      break;
    }
    std::swap(slots_[k].block, block);
    order_[(front_ + queued_) % kSlots] = k;
    ++queued_;
    nextSlot_ = static_cast<uint8_t>((k + 1) % kSlots);
  }
  Finished(dropped);
  // The slot's previous block is released here, outside the lock.
}

void TWaveOut::SetCallback(std::function<void()> callback) {
  const std::lock_guard<std::mutex> hold(notifyLock_);
  callback_ = std::move(callback);
}

uint8_t TWaveOut::nextSlot() {
  const std::lock_guard<std::mutex> hold(queueLock_);
  return nextSlot_;
}

int TWaveOut::queuedBlocks() {
  const std::lock_guard<std::mutex> hold(queueLock_);
  return queued_;
}

// The device's real-time thread: copies what is queued, silence where nothing is.
void TWaveOut::Pull(int16_t* out, std::size_t frames) {
  std::size_t done = 0;
  int finished = 0;
  {
    const std::lock_guard<std::mutex> hold(queueLock_);
    while (done < frames && queued_ > 0) {
      const std::vector<int16_t>& block = slots_[order_[front_]].block;
      const std::size_t n = std::min(block.size() - readPosition_, frames - done);
      if (n > 0) {
        std::memcpy(out + done, block.data() + readPosition_, n * sizeof(int16_t));
      }
      done += n;
      readPosition_ += n;
      if (readPosition_ == block.size()) {
        front_ = (front_ + 1) % kSlots;
        --queued_;
        readPosition_ = 0;
        ++finished;
      }
    }
  }
  std::fill(out + done, out + frames, int16_t{0});
  Finished(finished);
}

void TWaveOut::Finished(int blocks) {
  if (blocks == 0) {
    return;
  }
  {
    const std::lock_guard<std::mutex> hold(notifyLock_);
    pendingCallbacks_ += blocks;
  }
  notifyWake_.notify_one();
}

void TWaveOut::NotificationLoop() {
  std::unique_lock<std::mutex> hold(notifyLock_);
  for (;;) {
    notifyWake_.wait(hold, [this] { return stopping_ || pendingCallbacks_ > 0; });
    if (stopping_) {
      return;
    }
    --pendingCallbacks_;
    runningCallback_ = true;
    const std::function<void()>* callback = &callback_;
    hold.unlock();
    if (*callback) {
      (*callback)();
    }
    hold.lock();
    runningCallback_ = false;
    notifyIdle_.notify_all();
  }
}

void TWaveOut::WaitForCallbacks() {
  std::unique_lock<std::mutex> hold(notifyLock_);
  notifyIdle_.wait(hold, [this] { return stopping_ || (pendingCallbacks_ == 0 && !runningCallback_); });
}

} // namespace lw
