#pragma once

#include "engine/Engine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lw {

// What a box of the step controllers dialog does with the text it now shows: either it
// writes another text into itself (whose own change handling then stores the value), or
// it stores a value, or neither.
struct BoxEdit {
  std::optional<std::string> replaceWith;
  std::optional<int32_t> store;
  friend bool operator==(const BoxEdit&, const BoxEdit&) = default;
};

// An optional sign followed by decimal digits, nothing else. Values too large for an int32
// are held at its limits, so they count as above or below any range.
[[nodiscard]] std::optional<int32_t> WholeNumber(std::string_view text);

// The volume box: empty means no override (255); anything not a whole number empties the
// box; numbers are held within 0..127 by writing the limit into the box.
[[nodiscard]] BoxEdit VolumeBoxEdit(std::string_view text);

// The start and end boxes: empty or a single space changes nothing; anything not a
// whole number empties the box; numbers are held within 0..1024 the same way.
[[nodiscard]] BoxEdit PositionBoxEdit(std::string_view text);

// Which of the five radio buttons a step's mode checks, 0..4 from "Keep it going" down;
// nothing for a mode only a foreign file holds.
[[nodiscard]] std::optional<int> ModeButton(uint8_t mode);

// The position controls a mode shows.
enum class PositionControls { None, StartOnly, StartAndEnd };
[[nodiscard]] PositionControls PositionControlsFor(uint8_t mode);

// The dialog's edits of its step, each under the engine lock and marking the song
// changed, also when nothing is stored (as every handler of the dialog does). A null
// step only marks the song changed.
enum class StepField { Volume, StartPos, EndPos };
// Stores what a box's edit says; an end position is stored only above the start.
void StoreBoxEdit(Engine& engine, Step* step, StepField field, const BoxEdit& edit);
// The radio buttons: the positions stay whatever the mode.
void SetStepMode(Engine& engine, Step* step, uint8_t mode);

} // namespace lw
