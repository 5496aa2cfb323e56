#pragma once

#include <array>

namespace lw {

inline constexpr int kPitchNotes = 96;
inline constexpr int kOwnPitchNote = 36;

// Speed ratios of the 96 semitones: 8 octaves of 12, entry 36 = 1.0 (a sample's own
// pitch), each octave exactly twice the one below.
using PitchTable = std::array<double, kPitchNotes>;

void BuildPitchTable(PitchTable& table);

// The process-wide table, built on the first call (start-up calls it before any window).
[[nodiscard]] const PitchTable& GetPitchTable();

// The ratio for a step's note. Notes outside 0..95 (only a foreign song file holds them)
// play the nearest note the table has. Either thread.
[[nodiscard]] double PitchRatio(int note) noexcept;

} // namespace lw
