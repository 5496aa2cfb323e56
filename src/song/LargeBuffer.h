#pragma once

#include "song/Uninitialized.h"

#include <cstddef>
#include <new>
#include <vector>

namespace lw {

// Memory for large buffers that are filled at once, as sample data read from a song file
// is. Blocks of a huge page (2 MiB) or more come straight from the kernel, aligned to a
// huge page and marked for transparent huge pages before anything touches them: filling
// 256 MiB then costs about a hundred page faults instead of 65,536, which is most of the
// time a big song takes to load. Where the kernel gives no huge pages, the block is
// ordinary memory of the same size. Smaller blocks come from the usual heap. Throws
// std::bad_alloc.
[[nodiscard]] void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* block, std::size_t bytes) noexcept;
// False where every block comes from the heap (under AddressSanitizer, which checks
// overruns there): large blocks are then not aligned to a huge page.
[[nodiscard]] bool LargeBlocksMapped() noexcept;

// An allocator for such buffers, leaving new values uninitialised as
// DefaultInitAllocator does. Freeing a large block is a system call: never on the audio
// thread (which frees nothing anyway).
template <class T> class LargeBufferAllocator : public DefaultInitAllocator<T> {
  static_assert(alignof(T) <= alignof(std::max_align_t), "the heap's blocks are aligned so far");

public:
  using value_type = T;
  template <class U> struct rebind { using other = LargeBufferAllocator<U>; };

  LargeBufferAllocator() noexcept = default;
  template <class U>
  explicit LargeBufferAllocator(const LargeBufferAllocator<U>& /*other*/) noexcept {}

  [[nodiscard]] T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) {
      throw std::bad_array_new_length();
    }
    return static_cast<T*>(AllocateLarge(n * sizeof(T)));
  }
  void deallocate(T* block, std::size_t n) noexcept { FreeLarge(block, n * sizeof(T)); }

  template <class U> bool operator==(const LargeBufferAllocator<U>& /*other*/) const noexcept {
    return true;
  }
};

template <class T> using LargeBufferVector = std::vector<T, LargeBufferAllocator<T>>;

} // namespace lw
