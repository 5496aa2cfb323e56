// The twelve knobs: a press starts a drag, moves with the plain left button turn the
// knob, and each new value goes straight into the song.
#include "engine/BlackBox.h"
#include "ui/mainunit.h"

namespace lw {

void TMain::KnobMouseDown(int index, QPoint position) {
  BeginKnobDrag(knobs_[static_cast<std::size_t>(index)], position.y());
}

void TMain::KnobMouseMove(int index, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint position) {
  const Qt::KeyboardModifiers held = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (buttons != Qt::LeftButton || held != Qt::NoModifier) {
    return;
  }
  DragKnob(knobs_[static_cast<std::size_t>(index)], position.y());
  ShowKnobFrame(index);
  WriteKnob(index);
}

void TMain::WriteKnob(int index) {
  const int32_t value = knobs_[static_cast<std::size_t>(index)].value;
  const auto hold = Lock();
  SongState& s = engine_.state;
  Song& song = s.song;
  s.songChanged = true;
  switch (index) {
  case kDelFB:
    song.delayFeedback = value;
    engine_.UpdateTiming();
    return;
  case kDelSteps:
    song.delaySteps = static_cast<uint8_t>(value);
    engine_.UpdateTiming();
    return;
  case kDistort:
    song.distortAmount = value;
    return;
  case kVinyl:
    song.vinylAmount = value;
    return;
  case kShuffle:
    song.shuffle = value;
    engine_.UpdateTiming();
    return;
  case kPitch:
    s.activeStepRecord().pitch = static_cast<uint8_t>(value + 50);
    return;
  default:
    break;
  }
  if (index >= kDelay1 && index < kDelay1 + 3) {
    song.channel(s.editBank, s.editPattern, index - kDelay1).delaySend = value;
  } else if (index >= kVol1 && index < kVol1 + 3) {
    const int channel = index - kVol1;
    song.channel(s.editBank, s.editPattern, channel).volume = value;
    // Heard at once while the edited pattern is the one playing.
    if (engine_.playing && s.editPattern == s.playPattern && s.editBank == s.playBank) {
      engine_.voices[static_cast<std::size_t>(channel)].volume = value;
    }
  }
}

// New, Open and the command-line load put the song's settings into the song-wide knobs.
void TMain::LoadSongKnobs() {
  const Song& song = engine_.state.song;
  knobs_[kDelFB].value = song.delayFeedback;
  knobs_[kDelSteps].value = song.delaySteps;
  knobs_[kDistort].value = song.distortAmount;
  knobs_[kShuffle].value = song.shuffle;
  knobs_[kVinyl].value = song.vinylAmount;
  // A foreign file's values beyond a knob's range show at its end.
  for (int k : {kDelFB, kDelSteps, kDistort, kShuffle, kVinyl}) {
    KnobState& knob = knobs_[static_cast<std::size_t>(k)];
    knob.value = std::clamp(knob.value, knob.minimum, knob.maximum);
  }
}

} // namespace lw
