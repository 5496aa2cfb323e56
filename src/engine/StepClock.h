#pragma once

#include "song/Song.h"

#include <array>
#include <cstdint>

namespace lw {

// The step clock: which step plays and how long each step of a pattern lasts.
struct StepClock {
  int32_t currentStep = 0;
  int32_t nextStep = 0;
  int32_t samplesLeft = 0; // samples left in the current step
  uint16_t stepLength = 0; // unshuffled
  std::array<uint16_t, kSteps> stepLengths{};
  int32_t patternSamples = 0;
};

} // namespace lw
