#pragma once

#include <cstdint>

namespace lw {

inline constexpr int kKnobFrames = 40;

// A rotary knob's value and its drag. A full sweep takes 100 pixels of vertical travel
// whatever the range, and the value follows the distance from the press point.
struct KnobState {
  int32_t value = 0;
  int32_t maximum = 0;
  int32_t minimum = 0;
  int32_t dragStartValue = 0;
  int32_t dragStartY = 0;
};

// The frame 0..39 that shows the knob's value.
[[nodiscard]] int KnobFrame(const KnobState& knob);

void InitKnob(KnobState& knob, int32_t minimum, int32_t maximum, int32_t value);
void BeginKnobDrag(KnobState& knob, int32_t y);
// Sets the value from the distance dragged since the press (up is positive, at most
// 100 pixels either way), rounded half to even and kept within the range.
void DragKnob(KnobState& knob, int32_t y);

} // namespace lw
