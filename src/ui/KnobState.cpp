#include "ui/KnobState.h"

#include "song/Round.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

std::string KnobValueText(KnobUnit unit, const KnobState& knob) {
  const int32_t v = knob.value;
  switch (unit) {
  case KnobUnit::Percent:
    return std::to_string(v) + " %";
  case KnobUnit::Share: {
    const int32_t range = std::max(knob.maximum - knob.minimum, 1);
    return std::to_string(RoundHalfEven(100.0 * (v - knob.minimum) / range)) + " %";
  }
  case KnobUnit::Steps:
    return std::to_string(v) + (v == 1 ? " step" : " steps");
  case KnobUnit::Volume: {
    if (v <= 0) {
      return "\u2212\u221e dB";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dB", 20.0 * std::log10(v / 127.0));
    std::string out = text;
    if (out.front() == '-') {
      out.replace(0, 1, "\u2212");
    }
    return out;
  }
  case KnobUnit::Speed:
    return std::to_string(v + 50) + " %";
  }
  return std::to_string(v);
}

int32_t MovedKnobValue(const KnobState& knob, KnobMove move) {
  const int32_t tenth = std::max(RoundHalfEven((knob.maximum - knob.minimum) / 10.0), 1);
  int32_t to = knob.value;
  switch (move) {
  case KnobMove::Up:
    to = knob.value + 1;
    break;
  case KnobMove::Down:
    to = knob.value - 1;
    break;
  case KnobMove::PageUp:
    to = knob.value + tenth;
    break;
  case KnobMove::PageDown:
    to = knob.value - tenth;
    break;
  case KnobMove::Home:
    to = knob.minimum;
    break;
  case KnobMove::End:
    to = knob.maximum;
    break;
  }
  return std::clamp(to, knob.minimum, knob.maximum);
}

} // namespace lw
