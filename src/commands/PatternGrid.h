#pragma once

#include "engine/Engine.h"
#include "song/EditCommands.h"

#include <array>
#include <cstdint>
#include <string>

namespace lw {

// The pattern grid: all three channels of a pattern at once, a cell a step, edited
// through the lcd's own commands. What a window draws and does, without the window.

// What a cell shows of its step.
struct GridCell {
  bool triggers = false;    // a note starts here, as the lcd shows one
  std::string name;         // its sample's name ("?" for a slot no longer used), else empty
  std::string note;         // an instrument's note ("C#3"), else empty
  int32_t volume = -1;      // the step's volume controller 0..127, -1 for none
  bool controllers = false; // a mode or position controller is set too
  friend bool operator==(const GridCell&, const GridCell&) = default;
};
using GridCells = std::array<std::array<GridCell, kSteps>, kChannels>;

// The cells of pattern (bank, pattern).
[[nodiscard]] GridCells PatternGridCells(const SongDocument& document, const SampleTable& samples,
                                         int32_t bank, int32_t pattern);

// A note's name as the keys and octave buttons set it: "C3", "F#1".
[[nodiscard]] std::string StepNoteName(int32_t note);

// The sample a click on an empty step places: that of the channel's nearest note at or
// before the step (searching back around the pattern), else the one last chosen from
// the sample popup; -1 when neither names a used slot.
[[nodiscard]] int32_t ChannelLastSample(const SongDocument& document, const SampleTable& samples,
                                        int32_t bank, int32_t pattern, int32_t channel,
                                        int32_t step);

// The volume controller a vertical drag sets, from the pointer's height `y` in a cell of
// `height` pixels: 127 at the top, 0 at the bottom, held within.
[[nodiscard]] int32_t DragVolume(int32_t y, int32_t height);

// A cell of pattern (bank, pattern) becomes the one edited: the pattern the edited one,
// the channel and the step the active ones. Not an edit of the song.
RefreshFlags SelectCell(Engine& engine, int32_t bank, int32_t pattern, int32_t channel,
                        int32_t step);

// The active step's volume controller (0..127, or 255 for none). Returns whether it
// changed; the song is marked changed when it did.
bool SetStepVolume(Engine& engine, int32_t volume);

} // namespace lw
