#pragma once

// The parts a voice's run through the mixer is made of: where it reads its values, and
// the chain from a value to what it adds to the mix and to the delay send, by
// arithmetic or from a table. Render thread.
#include "engine/Overdrive.h"
#include "engine/Scale.h"
#include "song/Round.h"

#include <bit>
#include <cstdint>

namespace lw::mixing {

// A voice adds two integers per sample: to the mix and to the delay send. Both are
// summed in one 64-bit number, mix * 2^32 + send: sums of these are exact, and since
// every send sum stays well within 32 bits, its low 32 bits read as a signed number are
// the send and the rest is the mix.
[[nodiscard]] constexpr int64_t Packed(int32_t mix, int32_t send) noexcept {
  return static_cast<int64_t>(static_cast<uint64_t>(static_cast<int64_t>(mix)) << 32U) + send;
}
[[nodiscard]] constexpr int32_t SendOf(int64_t sum) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(sum)));
}
[[nodiscard]] constexpr int32_t MixOf(int64_t sum) noexcept {
  return static_cast<int32_t>((sum - SendOf(sum)) / (int64_t{1} << 32U));
}

// Where a voice reads its values.
struct Reader {
  const int16_t* data;
  uint64_t readable; // how many values may be read
  double bound;      // `readable` as a double

  // The value at the rounded position, or false where the voice reads silence: outside
  // the sample (bounding the position first makes the rounding exact), before its first
  // value (a position between -1 and -0.5 rounds to -1, so the index is checked as a
  // signed number), and at the last value of a sample, which is never played (index i
  // needs i + 2 <= length).
  bool Read(double position, int32_t& s) const noexcept {
    if (!(position > -1.0 && position < bound)) {
      return false;
    }
    const auto index = static_cast<int64_t>(RoundHalfEvenUnchecked(position));
    if (index < 0 || static_cast<uint64_t>(index) + 2 > readable) {
      return false;
    }
    s = data[index];
    return true;
  }

  // The same for a position known to lie in 0 .. readable - 3: adding 1.5 * 2^52 rounds
  // it half to even, and the integer is then the low bits of the double.
  [[nodiscard]] int32_t ReadInside(double position) const noexcept {
    constexpr double kShift = 6755399441055744.0; // 1.5 * 2^52
    const auto bits = std::bit_cast<uint64_t>(position + kShift);
    return data[static_cast<uint32_t>(bits)];
  }
};

// The chain from a sample value to what the voice adds, by arithmetic: overdrive (when
// on), the fade (when running), the channel volume and the delay send.
struct ArithmeticShape {
  const int16_t* curve; // nullptr = overdrive off
  int32_t fade;         // 0 = none
  int32_t volume;
  int32_t sendPercent;
  const PercentHalves::Bits* sendHalves;

  [[nodiscard]] int64_t Of(int32_t s) const noexcept {
    if (s == 0) {
      return 0; // every stage keeps 0
    }
    if (curve != nullptr) {
      s = OverdriveSample(curve, s);
    }
    if (fade > 0) {
      s = RoundHalfEven(static_cast<double>(s) / fade);
    }
    s = ScaleVolume(s, volume);
    return Packed(s, ScalePercent(s, sendPercent, *sendHalves));
  }
  void Add(int32_t s, int64_t& sum) const noexcept { sum += Of(s); }
};

// The same chain read from a table of what each quotient s / 16 adds. Overdrive looks
// up the magnitude in steps of 16 and restores the sign, so every value with the same
// quotient (which C++ truncates toward zero, as the magnitude's steps do) gives the
// same result.
inline constexpr int32_t kShapeMiddle = kOverdriveEntries - 1; // the entry of s / 16 == 0
inline constexpr int32_t kShapeEntries = 2 * kShapeMiddle + 1;

[[nodiscard]] constexpr int32_t ShapeIndex(int32_t s) noexcept {
  return s / 16 + kShapeMiddle;
}

struct TableShape {
  const int64_t* entries; // kShapeEntries of them; entry 0 is s / 16 == -2048

  void Add(int32_t s, int64_t& sum) const noexcept { sum += entries[ShapeIndex(s)]; }
};

// Fills a table with what `shape` adds for each quotient.
inline void FillShapeEntries(const ArithmeticShape& shape, int64_t* entries) noexcept {
  for (int32_t j = 0; j <= kShapeMiddle; ++j) {
    // Every stage gives -x for -x, so the negative values take the negated sums.
    const int64_t sum = shape.Of(16 * j);
    entries[kShapeMiddle + j] = sum;
    entries[kShapeMiddle - j] = -sum;
  }
}

} // namespace lw::mixing
