#include "engine/Delay.h"

#include "song/Round.h"

namespace lw {

void Delay::Create() {
  delayLine_.fill(0);
  delayIndex_ = static_cast<uint16_t>(restartIndex_);
}

void Delay::SetParameters(uint16_t tempo, uint16_t steps, double feedback) {
  if (steps == 0) {
    delayLength_ = kLengthWithoutSteps;
  } else if (tempo == 0) {
    delayLength_ = kMaxLength; // an endless step: the longest delay there is
  } else {
    const double samples = 661500.0 / tempo * steps;
    delayLength_ = RoundHalfEven(samples);
  }
  if (delayLength_ > kMaxLength) {
    delayLength_ = kMaxLength;
  }
  feedback_ = feedback > kMaxFeedback ? kMaxFeedback : (feedback > 0.0 ? feedback : 0.0);
  restartIndex_ = 0;
  wrapIndex_ = delayLength_;
}

void Delay::ClearDelayLine() {
  delayLine_.fill(0);
}

} // namespace lw
