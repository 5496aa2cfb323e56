#include "song/LargeBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace lw {

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define LOOPWREN_HEAP_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LOOPWREN_HEAP_ONLY 1
#endif
#endif

// Under AddressSanitizer every block comes from the heap, where overruns are caught.
#ifdef LOOPWREN_HEAP_ONLY
constexpr bool kHeapOnly = true;
#else
constexpr bool kHeapOnly = false;
#endif

// The size of a transparent huge page on x86-64 (and of the blocks aligned to it
// elsewhere, where it costs nothing but address space).
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t PageSize() {
  static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

std::uintptr_t RoundUp(std::uintptr_t value, std::size_t to) {
  return (value + to - 1) / to * to;
}

} // namespace

void* AllocateLarge(std::size_t bytes) {
  if (kHeapOnly || bytes < kHugePage) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) {
      throw std::bad_alloc();
    }
    return block;
  }
  const std::size_t length = RoundUp(bytes, PageSize());
  if (length < bytes || length > static_cast<std::size_t>(-1) - kHugePage) {
    throw std::bad_alloc();
  }
  // Address space for the block and a huge page's worth more, to find the block a huge
  // page boundary; what lies outside it is given back at once, before anything is touched.
  const std::size_t reserved = length + kHugePage - PageSize();
  void* raw = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) {
    throw std::bad_alloc();
  }
  // Pointer arithmetic within the mapping, so the block stays derived from it.
  auto* start = static_cast<char*>(raw);
  const auto address = reinterpret_cast<std::uintptr_t>(raw);
  const std::size_t before = RoundUp(address, kHugePage) - address;
  char* aligned = start + before;
  if (before > 0) {
    ::munmap(start, before);
  }
  const std::size_t after = reserved - before - length;
  if (after > 0) {
    ::munmap(aligned + length, after);
  }
  void* block = aligned;
  // Fails where the kernel has no transparent huge pages: the memory is the same without.
  (void)::madvise(block, length, MADV_HUGEPAGE);
  return block;
}

bool LargeBlocksMapped() noexcept {
  return !kHeapOnly;
}

void FreeLarge(void* block, std::size_t bytes) noexcept {
  if (kHeapOnly || bytes < kHugePage) {
    std::free(block);
    return;
  }
  ::munmap(block, RoundUp(bytes, PageSize()));
}

} // namespace lw
