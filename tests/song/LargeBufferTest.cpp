#include "song/LargeBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>

namespace lw {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Buffers on either side of a huge page hold what was put in them, grow and shrink
// keeping it, and the large ones start on a huge page boundary.
TEST(LargeBuffer, HoldsItsValuesOnEitherSideOfAHugePage) {
  for (const std::size_t count :
       {std::size_t{1}, kHugePage / 2 - 1, kHugePage / 2, kHugePage / 2 + 1, 3 * kHugePage + 7}) {
    SCOPED_TRACE(count);
    LargeBufferVector<int16_t> values(count);
    std::iota(values.begin(), values.end(), int16_t{-5});
    if (LargeBlocksMapped() && count * sizeof(int16_t) >= kHugePage) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(values.data()) % kHugePage, 0U);
    }
    LargeBufferVector<int16_t> copy = values;
    copy.resize(count + kHugePage);
    copy.resize(count);
    EXPECT_EQ(copy, values);
    std::swap(copy, values);
    EXPECT_EQ(copy.back(), static_cast<int16_t>(count - 1 - 5));
  }
}

} // namespace
} // namespace lw
