#include "commands/StepControllers.h"

#include "song/Song.h"

#include <algorithm>
#include <limits>

namespace lw {

namespace {

// Holds a number to 0..maximum by writing the limit into the box, or stores it.
BoxEdit Bounded(int32_t value, int32_t maximum) {
  if (value > maximum) {
    return {std::to_string(maximum), std::nullopt};
  }
  if (value < 0) {
    return {std::string("0"), std::nullopt};
  }
  return {std::nullopt, value};
}

} // namespace

std::optional<int32_t> WholeNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = std::min(value * 10 + (c - '0'), kLimit);
  }
  if (negative) {
    return static_cast<int32_t>(-value);
  }
  return static_cast<int32_t>(std::min<int64_t>(value, kLimit - 1));
}

BoxEdit VolumeBoxEdit(std::string_view text) {
  if (text.empty()) {
    return {std::nullopt, kNoVolumeChange};
  }
  const std::optional<int32_t> number = WholeNumber(text);
  if (!number) {
    return {std::string(), std::nullopt};
  }
  return Bounded(*number, kMaxVolume);
}

BoxEdit PositionBoxEdit(std::string_view text) {
  if (text.empty() || text == " ") {
    return {};
  }
  const std::optional<int32_t> number = WholeNumber(text);
  if (!number) {
    return {std::string(), std::nullopt};
  }
  return Bounded(*number, kPositionMax);
}

std::optional<int> ModeButton(uint8_t mode) {
  switch (static_cast<StepMode>(mode)) {
  case StepMode::None:
    return 0;
  case StepMode::NoteOff:
    return 1;
  case StepMode::RetrigContinue:
    return 2;
  case StepMode::RetrigLoop:
    return 3;
  case StepMode::RetrigStutter:
    return 4;
  }
  return std::nullopt;
}

PositionControls PositionControlsFor(uint8_t mode) {
  switch (static_cast<StepMode>(mode)) {
  case StepMode::RetrigContinue:
    return PositionControls::StartOnly;
  case StepMode::RetrigLoop:
  case StepMode::RetrigStutter:
    return PositionControls::StartAndEnd;
  default:
    return PositionControls::None;
  }
}

void StoreBoxEdit(Engine& engine, Step* step, StepField field, const BoxEdit& edit) {
  const EngineHold hold(engine.engineLock);
  if (step != nullptr && edit.store) {
    const int32_t value = *edit.store;
    switch (field) {
    case StepField::Volume:
      step->volume = static_cast<uint8_t>(value);
      break;
    case StepField::StartPos:
      step->startPos = value;
      break;
    case StepField::EndPos:
      if (value > step->startPos) {
        step->endPos = value;
      }
      break;
    }
  }
  engine.state.songChanged = true;
}

void SetStepMode(Engine& engine, Step* step, uint8_t mode) {
  const EngineHold hold(engine.engineLock);
  if (step != nullptr) {
    step->mode = mode;
  }
  engine.state.songChanged = true;
}

} // namespace lw
