// External time: the steps placed on a leader's beat grid.
#include "engine/Engine.h"

#include <algorithm>
#include <cmath>

namespace lw {

namespace {

// A step is a sixteenth note: two make half a beat, the first lengthened by the shuffle
// as the engine's own clock lengthens the even steps.
constexpr double kPairBeats = 0.5;

} // namespace

int32_t Engine::StepAtBeat(double beat, double& nextStepBeat) const noexcept {
  const double shuffle = std::clamp(state.song.shuffle, 0, kMaxShuffle);
  const double step = kPairBeats / 2;
  const double longStep = step / 100 * shuffle + step;
  const double pairs = std::floor(beat / kPairBeats);
  const double into = beat - pairs * kPairBeats;
  const auto pair = static_cast<int64_t>(pairs);
  const int32_t even =
      static_cast<int32_t>(((pair % (kSteps / 2)) + kSteps / 2) % (kSteps / 2)) * 2;
  if (into < longStep) {
    nextStepBeat = pairs * kPairBeats + longStep;
    return even;
  }
  nextStepBeat = (pairs + 1) * kPairBeats;
  return even + 1;
}

int64_t Engine::FollowBeat(double beat, double bpm) noexcept {
  const double framesPerBeat = kOutputRate * 60.0 / std::clamp(bpm, 1.0, 100000.0);
  // This sample begins the next step when its beat lies in a step the clock has not
  // reached yet (a stretch may end right before a step); else the next step begins where
  // the grid puts it.
  double next = 0;
  const int32_t step = StepAtBeat(beat, next);
  if (step != clock.currentStep) {
    clock.samplesLeft = 1;
    return 0;
  }
  const double until = std::ceil((next - beat) * framesPerBeat);
  const auto offset = static_cast<int64_t>(std::clamp(until, 0.0, 1e9));
  // The sample that counts the clock down to 0 begins the next step.
  clock.samplesLeft = static_cast<int32_t>(offset + 1);
  return offset;
}

void Engine::StartAtBeat(double beat) noexcept {
  double next = 0;
  StartClockAtStep(StepAtBeat(beat, next));
}

void Engine::StartAtSample(int32_t into) noexcept {
  int32_t step = 0;
  int32_t start = 0;
  into = std::max(into, 0);
  while (step < kSteps - 1 && start + clock.stepLengths[step] <= into) {
    start += clock.stepLengths[step];
    ++step;
  }
  StartClockAtStep(step);
  clock.samplesLeft = std::max(clock.stepLengths[step] - (into - start), 1);
}

} // namespace lw
