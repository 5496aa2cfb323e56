// The engine's state as a whole: building it, a new song, and what a voice reads of a
// sample slot. The clock and the mixer live in StepClock.cpp and Mixer.cpp.
#include "engine/Engine.h"

#include "engine/PitchTable.h"

#include <algorithm>

namespace lw {

// The tables are built before anything can play.
Engine::Engine() : overdrive_(OverdriveCurves()) {
  (void)GetPitchTable();
}

void Engine::NewSong() {
  NewSongModel(state);
  UpdateTiming();
}

const SampleSlot* Engine::UsedSlot(int32_t index) const noexcept {
  if (index < 0 || index >= kSampleSlots || !samples.slots[index].isUsed()) {
    return nullptr;
  }
  return &samples.slots[index];
}

double Engine::SampleSpeed(const SampleSlot& slot, const Step& step) const noexcept {
  switch (static_cast<SampleCategory>(slot.category)) {
  case SampleCategory::Drum: {
    const double perPercent = slot.rate / 4410000.0;
    return perPercent * step.pitch;
  }
  case SampleCategory::Instrument: {
    const double ownSpeed = slot.rate / 44100.0;
    return ownSpeed * PitchRatio(step.note);
  }
  case SampleCategory::Loop:
    return static_cast<double>(std::max(slot.length, 0)) / clock.patternSamples;
  }
  return 1.0;
}

} // namespace lw
