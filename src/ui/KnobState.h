#pragma once

#include <cstdint>
#include <string>

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

// What a knob's value means to a musician, for the readout shown while it turns.
enum class KnobUnit {
  Percent, // the value is a percentage: sends, decay, shuffle, vinyl
  Share,   // a share of the range, shown as a percentage: the distortion
  Steps,   // delay steps
  Volume,  // a linear gain of value / 127, shown in decibels
  Speed,   // the pitch knob: a drum's speed in percent, 50 above the value
};
// "45 %", "3 steps", "-4.2 dB" (with a true minus sign), "150 %".
[[nodiscard]] std::string KnobValueText(KnobUnit unit, const KnobState& knob);

// A key's move of a knob: by one, by a tenth of the range (at least one), to an end.
enum class KnobMove { Up, Down, PageUp, PageDown, Home, End };
[[nodiscard]] int32_t MovedKnobValue(const KnobState& knob, KnobMove move);

} // namespace lw
