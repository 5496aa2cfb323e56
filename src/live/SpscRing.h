#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace lw {

// A fixed ring of N values (N a power of two) between one writer thread and one reader
// thread: no lock, no allocation, no system call on either side. A full ring refuses
// the value, which the writer drops: a burst of thousands of MIDI messages within one
// period is not a musician playing.
template <class T, std::size_t N> class SpscRing {
  static_assert(N >= 2 && (N & (N - 1)) == 0, "the ring's size is a power of two");

public:
  // Writer thread. False when the ring is full.
  bool Push(const T& value) noexcept {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == N) {
      return false;
    }
    items_[tail & (N - 1)] = value;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }
  // Reader thread. False when the ring is empty.
  bool Pop(T& value) noexcept {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) {
      return false;
    }
    value = items_[head & (N - 1)];
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

private:
  std::array<T, N> items_{};
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
};

} // namespace lw
