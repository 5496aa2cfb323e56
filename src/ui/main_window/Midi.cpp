// MIDI in the main window: learning which note plays a channel and which controller turns
// a knob, turning knobs from a controller, and recording what is played into the song.
// The notes themselves play on the output's thread; this side reads what it reports.
#include "engine/Engine.h"
#include "live/LiveInput.h"
#include "live/LiveOutputs.h"
#include "live/LiveRecording.h"
#include "ui/Settings.h"
#include "ui/main_window/MainWindow.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalBlocker>

#include <string>

namespace lw {

void MainWindow::LoadMidiMapping() {
  midi_ = MidiMapping::FromText(context_.settings.midiMapping());
  if (context_.outputs != nullptr) {
    for (int c = 0; c < kChannels; ++c) {
      context_.outputs->input().SetChannelNote(c, midi_.channelNotes[static_cast<std::size_t>(c)]);
    }
  }
}

void MainWindow::LearnMidi(const MidiMapping& learned) {
  midi_ = learned;
  context_.settings.setMidiMapping(midi_.ToText());
  LoadMidiMapping();
}

// In learn mode the next note teaches the channel whose button was pressed last, the
// next controller the knob touched last.
void MainWindow::LearnClick() {
  learnChannel_ = -1;
  learnKnob_ = -1;
  learnSwitch_ = -1;
}

bool MainWindow::learning() const {
  return learnAction_ != nullptr && learnAction_->isChecked();
}

// Each arming, and each start or stop while armed, begins a new take: one undo step.
void MainWindow::RecordClick() {
  ++take_;
  recordBtn_->setPicture(recordAction_->isChecked() ? skin_.recordOn : skin_.recordOff);
  if (context_.outputs != nullptr) {
    context_.outputs->input().SetRecording(recordAction_->isChecked());
  }
}

void MainWindow::PollMidi() {
  if (context_.outputs == nullptr) {
    return;
  }
  context_.outputs->PumpInput();
  const bool nowPlaying = engine_.playing;
  if (nowPlaying != takePlaying_) {
    takePlaying_ = nowPlaying;
    ++take_;
  }
  LiveReport report;
  while (context_.outputs->input().NextReport(report)) {
    if (report.kind == LiveReport::Kind::Control) {
      ControllerMoved(report.number, report.value);
    } else {
      NotePlayed(report);
    }
  }
}

void MainWindow::NotePlayed(const LiveReport& report) {
  if (learning() && learnChannel_ >= 0) {
    MidiMapping learned = midi_;
    learned.LearnNote(learnChannel_, report.number);
    learnChannel_ = -1;
    LearnMidi(learned);
    return;
  }
  if (!recordAction_->isChecked() || report.channel < 0 || report.sample < 0) {
    return;
  }
  const RecordedNote note{report.channel, report.sample, StepNoteOfMidiNote(report.number),
                          report.value};
  const std::string take = "record " + std::to_string(take_);
  history_.Begin(engine_, "Record", {}, take);
  RefreshFlags flags;
  if (report.step >= 0) {
    flags = RecordNote(engine_, report.bank, report.pattern, report.step, note);
  } else if (!engine_.playing) {
    flags = StepRecordNote(engine_, note);
  }
  history_.End(engine_);
  Refresh(flags);
}

void MainWindow::ControllerMoved(int controller, int value) {
  if (learning() && learnKnob_ >= 0) {
    MidiMapping learned = midi_;
    learned.LearnController(controller, learnKnob_);
    learnKnob_ = -1;
    LearnMidi(learned);
    return;
  }
  if (learning() && learnSwitch_ >= 0) {
    MidiMapping learned = midi_;
    learned.LearnSwitch(controller, learnSwitch_);
    learnSwitch_ = -1;
    LearnMidi(learned);
    return;
  }
  // A switch follows its controller: 64 and above is on, as a toggling pad or a fader
  // past its middle sends it.
  const int sw = midi_.switchOfController.at(static_cast<std::size_t>(controller & 0x7F));
  if (sw >= 0 && sw < MidiMapping::kSwitches) {
    const auto c = static_cast<std::size_t>(sw % kChannels);
    (sw < kChannels ? mutes_.mute : mutes_.solo)[c] = value >= 64;
    ApplyMutes();
    return;
  }
  const int knob = midi_.knobOfController.at(static_cast<std::size_t>(controller & 0x7F));
  if (knob < 0 || knob >= kKnobCount) {
    return;
  }
  KnobState& state = knobs_[static_cast<std::size_t>(knob)];
  const int32_t to = KnobValueOfController(value, state.minimum, state.maximum);
  if (to == state.value) {
    return;
  }
  // The moves of one knob that follow one another are one undo step, like a drag.
  history_.Begin(engine_, KnobName(knob), {}, "controller " + std::to_string(knob));
  state.value = to;
  ShowKnobFrame(knob);
  WriteKnob(knob);
  history_.End(engine_);
  ShowKnobReadout(knob);
}

void MainWindow::ShowLeader() {
  const LiveOutputs::Leader leader =
      context_.outputs != nullptr ? context_.outputs->leader() : LiveOutputs::Leader{};
  const QSignalBlocker quiet(tempoBox_);
  if (!leader.who.empty()) {
    leaderShown_ = true;
    tempoBox_->setReadOnly(true);
    tempoBox_->setMaxLength(6);
    tempoBox_->setText(QString::number(leader.bpm, 'f', 1));
    tempoBox_->setToolTip(QStringLiteral("%1 leads: %2 BPM")
                              .arg(QString::fromStdString(leader.who))
                              .arg(leader.bpm, 0, 'f', 2));
  } else if (leaderShown_) {
    leaderShown_ = false;
    tempoBox_->setReadOnly(false);
    tempoBox_->setMaxLength(4);
    tempoBox_->setToolTip({});
    tempoBox_->setText(QString::number(engine_.Interface().song.tempo));
  }
}

} // namespace lw
