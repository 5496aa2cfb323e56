#pragma once

#include "engine/Engine.h"
#include "song/EditCommands.h"

#include <cstdint>

namespace lw {

// A note played from MIDI, as recording writes it into a step.
struct RecordedNote {
  int32_t channel = 0;
  int32_t sample = 0; // the slot it played
  int32_t note = 36;  // as a step stores it
  int32_t volume = 127;
};

// Recording while the song plays: the note goes into `step` of (bank, pattern), which
// triggers with its sample, note and volume; its other controllers stay. A step outside
// the song or a sample the table does not hold changes nothing. Interface thread.
RefreshFlags RecordNote(Engine& engine, int32_t bank, int32_t pattern, int32_t step,
                        const RecordedNote& note);

// Step recording while stopped: the note goes into the active step of the edited pattern,
// on its own channel, and the next step becomes the active one (after the last, the
// first). Interface thread.
RefreshFlags StepRecordNote(Engine& engine, const RecordedNote& note);

} // namespace lw
