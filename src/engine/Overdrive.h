#pragma once

#include <array>
#include <cstdint>

#include "song/ControlRanges.h"

namespace lw {

inline constexpr int kOverdriveCurves = 64;
inline constexpr int kOverdriveEntries = 2049;
static_assert(kOverdriveCurves == kMaxDistortAmount + 1, "one curve per overdrive amount");

// 64 waveshaping curves of 2049 entries, curve-major. Entry 0 of every curve is 0 and
// all entries lie in 0..32000.
using OverdriveTable = std::array<int16_t, kOverdriveCurves * kOverdriveEntries>;

// Fills the curves: entry j of curve i is Round((16 j) ^ (1 + 4 i / 512)), capped at
// 32000, with the power taken in extended precision.
void BuildOverdriveCurves(OverdriveTable& table);

// The process-wide curves, built on the first call. Start-up calls it before any window
// exists, so the render thread only ever reads the finished table.
[[nodiscard]] const OverdriveTable& OverdriveCurves();

// Passes a voice value (-32768..32767) through a curve: the magnitude is looked up in
// steps of 16 and the sign restored. A curve above 63 (only a foreign song file holds
// one) uses curve 63. Render thread; a table lookup with no floating point.
[[nodiscard]] inline int16_t OverdriveSample(const OverdriveTable& table, int32_t s,
                                             uint8_t curve) {
  const int c = curve > kMaxDistortAmount ? kMaxDistortAmount : curve;
  const auto magnitude = static_cast<uint32_t>(s < 0 ? -s : s);
  const uint32_t index = magnitude >= 32768 ? kOverdriveEntries - 1 : magnitude / 16;
  const int16_t r = table[static_cast<std::size_t>(c) * kOverdriveEntries + index];
  return s >= 0 ? r : static_cast<int16_t>(-r);
}

// The same on one curve of the table, taken once per block by the mixer.
[[nodiscard]] inline int16_t OverdriveSample(const int16_t* curve, int32_t s) {
  const auto magnitude = static_cast<uint32_t>(s < 0 ? -s : s);
  const int16_t r = curve[magnitude >= 32768 ? kOverdriveEntries - 1 : magnitude / 16];
  return s >= 0 ? r : static_cast<int16_t>(-r);
}

// The same with the process-wide curves.
[[nodiscard]] inline int16_t OverdriveSample(int32_t s, uint8_t curve) {
  return OverdriveSample(OverdriveCurves(), s, curve);
}

} // namespace lw
