#include "ui/KnobState.h"

#include "song/Round.h"

#include <algorithm>

namespace lw {

int KnobFrame(const KnobState& knob) {
  const int32_t range = knob.maximum - knob.minimum;
  if (range <= 0) {
    return 0;
  }
  const double f = static_cast<double>(knob.value - knob.minimum) / range * (kKnobFrames - 1);
  return std::clamp(RoundHalfEven(f), 0, kKnobFrames - 1);
}

void InitKnob(KnobState& knob, int32_t minimum, int32_t maximum, int32_t value) {
  knob.minimum = minimum;
  knob.maximum = maximum;
  knob.value = value;
  knob.dragStartValue = 0;
}

void BeginKnobDrag(KnobState& knob, int32_t y) {
  knob.dragStartValue = knob.value;
  knob.dragStartY = y;
}

void DragKnob(KnobState& knob, int32_t y) {
  const int32_t d = std::clamp(knob.dragStartY - y, -100, 100);
  const double change = static_cast<double>(d) / 100 * (knob.maximum - knob.minimum);
  knob.value = std::clamp(knob.dragStartValue + RoundHalfEven(change), knob.minimum, knob.maximum);
}

} // namespace lw
