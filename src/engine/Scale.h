#pragma once

#include "song/Round.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace lw {

// The mixer's two scalings, Round(s / 127 * volume) and Round(s / 100 * percent), are
// defined by their double-precision expressions, which the reference functions spell
// out. The fast forms give the same integer for every input the mixer can meet
// (|s| <= 98304, volume 0..127, percent 0..100, proven exhaustively by the tests)
// without a division:
//
// - s * volume / 127 is never exactly halfway between two integers (127 is prime and
//   volume < 127 unless the quotient is whole), and is at least 1/254 away from every
//   half, far beyond the double expression's error; so rounding the exact quotient
//   gives the same integer.
// - s * percent / 100 can be exactly halfway; only then does the fast form fall back to
//   the double expression, whose rounding errors decide which way such a value goes.

[[nodiscard]] inline int32_t ScaleVolumeReference(int32_t s, int32_t volume) {
  return RoundHalfEven(static_cast<double>(s) / 127 * volume);
}

[[nodiscard]] inline int32_t ScalePercentReference(int32_t s, int32_t percent) {
  return RoundHalfEven(static_cast<double>(s) / 100 * percent);
}

// Both take |s| <= 98304 and volume 0..127 or percent 0..100, so every product fits in
// 32 bits.
[[nodiscard]] inline int32_t ScaleVolume(int32_t s, int32_t volume) {
  const auto magnitude = static_cast<uint32_t>(s < 0 ? -s : s);
  const auto q = static_cast<int32_t>((2 * magnitude * static_cast<uint32_t>(volume) + 127) / 254);
  return s < 0 ? -q : q;
}

[[nodiscard]] inline int32_t ScalePercent(int32_t s, int32_t percent) {
  const auto magnitude = static_cast<uint32_t>(s < 0 ? -s : s);
  const uint32_t product = magnitude * static_cast<uint32_t>(percent);
  const uint32_t whole = product / 100;
  const uint32_t remainder = product - whole * 100;
  if (remainder == 50) [[unlikely]] {
    return ScalePercentReference(s, percent);
  }
  const auto q = static_cast<int32_t>(whole + (remainder > 50 ? 1U : 0U));
  return s < 0 ? -q : q;
}

// Which exact halves the double expression Round(m / 100 * percent) rounds up, for
// every magnitude m a voice or the noise can have (0..32768): bit m of the percent's
// table. The expression is symmetric in the sign of s, so magnitudes suffice. A table
// is built the first time its percent is used.
class PercentHalves {
public:
  static constexpr uint32_t kMaxMagnitude = 32768;
  static constexpr int32_t kMaxPercent = 100;
  using Bits = std::array<uint64_t, kMaxMagnitude / 64 + 1>;

  const Bits& For(int32_t percent) noexcept {
    const auto p = static_cast<std::size_t>(percent);
    if (!built_[p]) {
      Build(percent, bits_[p]);
      built_[p] = true;
    }
    return bits_[p];
  }

private:
  static void Build(int32_t percent, Bits& bits) noexcept {
    bits.fill(0);
    for (uint32_t m = 0; m <= kMaxMagnitude; ++m) {
      const uint32_t product = m * static_cast<uint32_t>(percent);
      if (product % 100 == 50 && ScalePercentReference(static_cast<int32_t>(m), percent) >
                                     static_cast<int32_t>(product / 100)) {
        bits[m / 64] |= uint64_t{1} << (m % 64);
      }
    }
  }

  std::array<Bits, kMaxPercent + 1> bits_; // filled by Build on first use
  std::array<bool, kMaxPercent + 1> built_{};
};

// The same with the percent's table of halves: no division and no branch on the value,
// which the mixer meets on every odd sample at 50 %.
[[nodiscard]] inline int32_t ScalePercent(int32_t s, int32_t percent,
                                          const PercentHalves::Bits& halves) {
  const auto magnitude = static_cast<uint32_t>(s < 0 ? -s : s);
  if (magnitude > PercentHalves::kMaxMagnitude) [[unlikely]] {
    return ScalePercent(s, percent);
  }
  const uint32_t product = magnitude * static_cast<uint32_t>(percent);
  const uint32_t whole = product / 100;
  const uint32_t remainder = product - whole * 100;
  const auto halfUp = static_cast<uint32_t>(halves[magnitude / 64] >> (magnitude % 64)) & 1U;
  const uint32_t up =
      static_cast<uint32_t>(remainder > 50) | (static_cast<uint32_t>(remainder == 50) & halfUp);
  const auto q = static_cast<int32_t>(whole + up);
  return s < 0 ? -q : q;
}

} // namespace lw
