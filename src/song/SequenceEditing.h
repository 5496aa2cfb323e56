#pragma once

#include "song/SongState.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

// The sequencer window's operations on the song sequence, the title and the author.
// Interface thread, with the engine lock held: the render thread reads the sequence
// while the song plays.

// Stores (bank, pattern) into `slot`, the selection's first slot, and marks the song
// changed. A slot outside 0..127 changes nothing.
void SetSequenceSlot(SongState& state, int32_t slot, int32_t bank, int32_t pattern);

// Empties the slots firstSlot..lastSlot (kept within 0..127) and marks the song changed.
void ClearSequenceSlots(SongState& state, int32_t firstSlot, int32_t lastSlot);

// The grid's header text for a slot: its number from 0, every fourth one in brackets
// ("[0]", "1", "2", "3", "[4]").
[[nodiscard]] std::string SequenceHeaderText(int32_t slot);
// The grid's text for a slot: "3-8" for bank 2, pattern 7; empty for an empty slot.
[[nodiscard]] std::string SequenceCellText(const SequenceEntry& entry);

// The title or author box was edited: its UTF-8 text, in Windows-1252 and cut to 64
// characters (song/ShortString.h), becomes the song's, and the song is marked changed.
void SetSongTitle(SongState& state, std::string_view text);
void SetSongAuthor(SongState& state, std::string_view text);

// The mouse was released in the grid: the song goes on from the selection's first slot.
void SetSongPosition(SongState& state, int32_t slot);

// The pattern song play starts with when it starts at `slot`. An empty slot names no
// pattern, so the pattern the engine holds (playBank, playPattern) plays in its place,
// just as an empty slot later in the song repeats the pattern before it and as the
// song renders do; bank and pattern are taken apart, so a damaged slot plays only its
// valid half. The result always names a pattern the song has.
struct PatternRef {
  int32_t bank = 0;
  int32_t pattern = 0;
};
[[nodiscard]] PatternRef SongStartPattern(const SongState& state, int32_t slot);

} // namespace lw
