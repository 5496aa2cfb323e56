#pragma once

#include <cstdint>

namespace lw {

// The ranges the user's controls produce, in one place: the knobs, the tempo box and
// buttons, the step controllers. Every minimum is 0 unless named. A song file written
// elsewhere may hold values beyond them; the engine plays such a value at the nearest one
// a control can set and leaves the stored value alone, so the file saves back unchanged.
inline constexpr int32_t kMinTempo = 30; // beats per minute
inline constexpr int32_t kMaxTempo = 1230;
inline constexpr int32_t kMaxDelayFeedback = 90; // percent
inline constexpr int32_t kMaxDelaySteps = 6;
inline constexpr int32_t kMaxDistortAmount = 63; // one overdrive curve per value
inline constexpr int32_t kMaxShuffle = 50;       // percent
inline constexpr int32_t kMaxVinylAmount = 100;  // percent
inline constexpr int32_t kMaxDelaySend = 100;    // percent, per channel
inline constexpr int32_t kMaxVolume = 127;       // a channel's volume and a step's volume
inline constexpr int32_t kMaxPitchKnob = 100;    // the pitch knob, centred on...
inline constexpr int32_t kPitchKnobCentre = 50;  // ...a step pitch of 100 %
inline constexpr int32_t kPositionMax = 1024;    // start and end points, in 1/1025ths

} // namespace lw
