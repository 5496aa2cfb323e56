#include "live/MidiClockTicks.h"

#include <algorithm>

namespace lw {

void MidiClockTicks::Reset(uint64_t stepStart, int stepLength) noexcept {
  stepStart_ = stepStart;
  stepLength_ = std::max(stepLength, 1);
  nextLength_ = stepLength_;
  tick_ = 0;
}

void MidiClockTicks::SetStepLength(int stepLength) noexcept {
  nextLength_ = std::max(stepLength, 1);
}

uint64_t MidiClockTicks::NextTick() const noexcept {
  return stepStart_ + static_cast<uint64_t>(TickOffset(tick_, stepLength_));
}

int64_t MidiClockTicks::TickOffset(int index, int64_t stepLength) noexcept {
  const int64_t numerator = index * stepLength;
  int64_t offset = numerator / kTicksPerStep;
  const int64_t remainder = numerator % kTicksPerStep;
  const int64_t half = kTicksPerStep / 2;
  if (remainder > half || (remainder == half && offset % 2 != 0)) {
    ++offset;
  }
  return offset;
}

void MidiClockTicks::Advance() noexcept {
  if (++tick_ < kTicksPerStep) {
    return;
  }
  stepStart_ += static_cast<uint64_t>(stepLength_);
  stepLength_ = nextLength_;
  tick_ = 0;
}

} // namespace lw
