#include "song/EditCommands.h"

#include "song/Round.h"

#include <cstring>
#include <type_traits>

namespace lw {

namespace {

// Copies a record into the front of the clipboard; the rest keeps what it held.
template <typename Record>
void CopyIn(EditClipboard& clip, std::string_view kind, const Record& record) {
  static_assert(sizeof(Record) <= sizeof(EditClipboard::clipData));
  clip.clipKind = kind;
  std::memcpy(clip.clipData.data(), &record, sizeof(Record));
}

template <typename Record> void CopyOut(const EditClipboard& clip, Record& record) {
  static_assert(std::is_trivially_copyable_v<Record>);
  std::memcpy(&record, clip.clipData.data(), sizeof(Record));
}

void ResetControllers(Step& step) {
  step.volume = kNoVolumeChange;
  step.mode = static_cast<uint8_t>(StepMode::None);
  step.startPos = 0;
  step.endPos = kPositionMax;
}

} // namespace

void CopyPattern(const SongDocument& state, EditClipboard& clip) {
  CopyIn(clip, EditClipboard::kPattern, state.song.pattern(state.editBank, state.editPattern));
}

void CopyChannel(const SongDocument& state, EditClipboard& clip) {
  CopyIn(clip, EditClipboard::kChannel,
         state.song.channel(state.editBank, state.editPattern, state.activeChannel));
}

void CopyNote(const SongDocument& state, EditClipboard& clip) {
  CopyIn(clip, EditClipboard::kNote,
         state.song.step(state.editBank, state.editPattern, state.activeChannel, state.activeStep));
}

RefreshFlags Paste(SongState& state, const EditClipboard& clip) {
  // The target is wherever the user is now, not where the copy was taken.
  if (clip.clipKind == EditClipboard::kPattern) {
    CopyOut(clip, state.song.pattern(state.editBank, state.editPattern));
  } else if (clip.clipKind == EditClipboard::kChannel) {
    CopyOut(clip, state.editedChannel());
  } else if (clip.clipKind == EditClipboard::kNote) {
    CopyOut(clip, state.activeStepRecord());
  }
  state.songChanged = true;
  return RefreshFlags::All();
}

RefreshFlags ClearChannel(SongState& state) {
  for (Step& step : state.editedChannel().steps) {
    step.trigger = 0;
    step.sample = kNoSample;
    ResetControllers(step);
    step.pitch = 100;
    step.note = 36;
  }
  state.songChanged = true;
  return RefreshFlags::ChannelAndStep();
}

RefreshFlags ClearControllers(SongState& state) {
  for (Step& step : state.editedChannel().steps) {
    ResetControllers(step);
  }
  state.songChanged = true;
  return RefreshFlags::ChannelAndStep();
}

int32_t SliceSize(int32_t activeStep) {
  return RoundHalfEven(1024.0 / (kSteps - activeStep));
}

std::string SliceQuestion(SliceCommand command) {
  const char* name =
      command == SliceCommand::LameTimestretch ? "The Lame Timestretch" : "The Long Stutter";
  return std::string(name) +
         " will be applied on all notes from the active step to the last step. Note: this "
         "will not have effect on loop-samples, and will remove all controllers in this "
         "channel. Do you still want to continue ?";
}

RefreshFlags ApplySlices(SongState& state, SliceCommand command) {
  if (state.activeStep < 0 || state.activeStep >= kSteps) {
    return {};
  }
  const int32_t slice = SliceSize(state.activeStep);
  const StepMode mode =
      command == SliceCommand::LameTimestretch ? StepMode::RetrigLoop : StepMode::RetrigStutter;
  Channel& channel = state.editedChannel();
  int32_t position = 0;
  // Steps without a note get their slice too, so a note added later plays its part.
  for (int32_t s = state.activeStep; s < kSteps; ++s) {
    Step& step = channel.steps[s];
    step.mode = static_cast<uint8_t>(mode);
    step.startPos = position;
    step.endPos = position + slice - 1;
    position += slice;
  }
  state.songChanged = true;
  return RefreshFlags::StepOnly();
}

} // namespace lw
