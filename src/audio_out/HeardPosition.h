#pragma once

#include <cstdint>
#include <optional>

namespace lw {

// Where a live output is in the engine's samples (Engine::renderedSamples): at the moment
// it last moved on, the listener heard sample `sample - behind`, and from then on one more
// each 1/44100 s until it moves again, at most `stride` samples later. The SDL output
// moves on each time the device takes a buffer; JACK each period.
struct OutputCursor {
  uint64_t sample = 0;
  uint32_t behind = 0;
  uint32_t stride = 0;
};

// The sample a listener hears now, from an output's cursor as an interface timer sees it
// now and then: each time the cursor moves, the listener's place is anchored there, and
// between moves it runs on at the output rate, never past the cursor's stride and never
// backwards (a cursor seen a little late would pull it back). A cursor that jumps back
// further than a stride is a new start. Qt-free; the interface thread's.
class HeardClock {
public:
  // The sample heard at `nowNs` (a steady clock, nanoseconds), or none while the output
  // says nothing of the song sounds.
  [[nodiscard]] std::optional<uint64_t> Heard(const std::optional<OutputCursor>& cursor,
                                              int64_t nowNs) noexcept;

private:
  bool anchored_ = false;
  uint64_t cursor_ = 0;  // the cursor last seen
  uint64_t anchor_ = 0;  // the sample heard when it was first seen
  int64_t anchorNs_ = 0; // and when that was
  uint64_t last_ = 0;    // the sample last answered
};

} // namespace lw
