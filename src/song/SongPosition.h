#pragma once

#include "song/SongState.h"

#include <cstdint>

namespace lw {

// The highest used slot, searching from 127 down; 0 when no slot is used (a sequence
// that uses only slot 0 gives 0 too). Either thread, under the engine lock.
[[nodiscard]] int32_t LastSequenceEntry(const SongSequence& sequence);

// Moves the song position on by one slot, applies the selection loop and sets
// nextBank/nextPattern from the slot it lands on. An empty slot, or one naming a
// pattern the song does not have, repeats the pattern just played. Returns the new
// position. Render thread, once per pattern in song mode, when step 15 begins.
int32_t AdvanceSongPosition(SongState& state) noexcept;

} // namespace lw
