#pragma once

#include "song/Round.h"

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

} // namespace lw
