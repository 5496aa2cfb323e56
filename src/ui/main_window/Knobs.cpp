// The twelve knobs: a press starts a drag, moves with the plain left button turn the
// knob, and each new value goes straight into the song.
#include "commands/MainCommands.h"
#include "engine/Engine.h"
#include "ui/main_window/MainWindow.h"

namespace lw {

// What undo calls a knob's turn.
const char* MainWindow::KnobName(int index) {
  static const char* const kSongKnobs[] = {"Delay Decay", "Delay Steps", "Distortion", "Vinyl",
                                           "Shuffle"};
  if (index < kDelay1) {
    return kSongKnobs[index];
  }
  if (index < kVol1) {
    return "Delay Send";
  }
  return index < kPitch ? "Volume" : "Pitch";
}

// A drag is one step of the undo history, however many values it passes through. In
// MIDI learn mode the press also picks the knob the next controller will turn.
void MainWindow::KnobMouseDown(int index, QPoint position) {
  if (learning()) {
    learnKnob_ = index;
    learnChannel_ = -1;
    learnSwitch_ = -1;
  }
  history_.BeginDrag(engine_, KnobName(index));
  BeginKnobDrag(knobs_[static_cast<std::size_t>(index)], position.y());
}

void MainWindow::KnobMouseUp() {
  history_.EndDrag(engine_);
}

void MainWindow::KnobMouseMove(int index, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                               QPoint position) {
  const Qt::KeyboardModifiers held =
      modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (buttons != Qt::LeftButton || held != Qt::NoModifier) {
    return;
  }
  // A key's edit while the button is held ended the drag's step: the rest of the drag
  // is a step of its own.
  if (!history_.DragOpen()) {
    history_.BeginDrag(engine_, KnobName(index));
  }
  DragKnob(knobs_[static_cast<std::size_t>(index)], position.y());
  ShowKnobFrame(index);
  WriteKnob(index);
  ShowKnobReadout(index);
}

void MainWindow::WriteKnob(int index) {
  const int32_t value = knobs_[static_cast<std::size_t>(index)].value;
  switch (index) {
  case kDelFB:
    return SetKnobValue(engine_, KnobSetting::DelayFeedback, value);
  case kDelSteps:
    return SetKnobValue(engine_, KnobSetting::DelaySteps, value);
  case kDistort:
    return SetKnobValue(engine_, KnobSetting::Distortion, value);
  case kVinyl:
    return SetKnobValue(engine_, KnobSetting::Vinyl, value);
  case kShuffle:
    return SetKnobValue(engine_, KnobSetting::Shuffle, value);
  case kPitch:
    return SetKnobValue(engine_, KnobSetting::Pitch, value);
  default:
    break;
  }
  if (index >= kDelay1 && index < kDelay1 + 3) {
    SetKnobValue(engine_, KnobSetting::DelaySend, value, index - kDelay1);
  } else if (index >= kVol1 && index < kVol1 + 3) {
    SetKnobValue(engine_, KnobSetting::Volume, value, index - kVol1);
  }
}

// New, Open and the command-line load put the song's settings into the song-wide knobs.
void MainWindow::LoadSongKnobs() {
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
