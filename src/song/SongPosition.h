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

// Where the song is `bars` patterns after it started at slot `from` playing (bank,
// pattern), moving on as AdvanceSongPosition does (the selection loop, and an empty slot
// repeating the pattern before): the slot, and the pattern it plays. The work is bounded
// (at most a few hundred slots looked at) however many bars. Either thread, under the
// engine lock.
struct SongBar {
  int32_t slot = 0;
  int32_t bank = 0;
  int32_t pattern = 0;
};
[[nodiscard]] SongBar SongAtBar(const SongState& state, SongBar from, int64_t bars) noexcept;

} // namespace lw
