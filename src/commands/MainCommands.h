#pragma once

#include "engine/Engine.h"
#include "song/EditCommands.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lw {

// The main window's edits: the tempo controls, the distortion toggles, the channel
// buttons, the keys and octave buttons, the lcd's rows, the sample popup, the bank and
// pattern panels and the knobs. Each takes the engine lock for its edit and says what to
// redraw; the window only calls them and redraws. Interface thread, while playback runs.

// plus_10 and minus_10: the tempo moves by ten within 30..1230.
RefreshFlags TempoUp(Engine& engine);
RefreshFlags TempoDown(Engine& engine);

// The tempo box's text changed, typed or written by the program. Returns the text the
// box must show instead ("1" for no number, "1230" above it, the tempo for a negative
// number); the box's change handling then runs again on it. A number in 30..1230 becomes
// the tempo; 0..29 change nothing. The song is marked changed either way.
std::optional<std::string> TempoBoxChange(Engine& engine, std::string_view text);

// Distort1..Distort3: overdrive on or off for a channel of the edited pattern.
RefreshFlags ToggleDistortion(Engine& engine, int32_t channel);
// Channel1..Channel3: selects the channel and its first step.
RefreshFlags SelectChannel(Engine& engine, int32_t channel);
// The key buttons set the key of the active step's note and keep its octave; the octave
// buttons (1..5) set the octave and keep the key.
RefreshFlags SetNoteKey(Engine& engine, int32_t key);
RefreshFlags SetNoteOctave(Engine& engine, int32_t octave);

// The lcd's columns are the steps. A click in the step row or the controls row selects
// the step; in the notes row it also removes the step's note, if it has one, and
// returns true; without one it returns false and the window offers the samples.
RefreshFlags SelectStep(Engine& engine, int32_t step);
bool RemoveNoteAt(Engine& engine, int32_t step);

// A sample chosen from the popup: `slot` from a numbered entry, or the last choice for
// the last-used entry. A slot that is no longer used is never put on a step; returns
// false then.
bool ChooseSample(Engine& engine, int32_t slot, bool lastUsedEntry);

// BankPanel and PatPanel: the cell (0..7) becomes the edited and the next bank or
// pattern, and also the played one while nothing plays.
enum class PanelKind { Bank, Pattern };
RefreshFlags SelectPanelCell(Engine& engine, PanelKind panel, int32_t cell);

// What each knob edits.
enum class KnobSetting {
  DelayFeedback,
  DelaySteps,
  Distortion,
  Vinyl,
  Shuffle,
  DelaySend, // of a channel of the edited pattern
  Volume,    // of a channel of the edited pattern, heard at once while it plays
  Pitch,     // of the active step: the knob's 0..100 is stored as 50..150
};
// Writes a knob's new value into the song and follows the timing where it shapes it.
void SetKnobValue(Engine& engine, KnobSetting setting, int32_t value, int32_t channel = 0);

} // namespace lw
