// What the main window's buttons, tempo box, lcd rows, bank and pattern panels and
// sample popup do.
#include "audio_out/Playback.h"
#include "commands/MainCommands.h"
#include "engine/Engine.h"
#include "session/UndoHistory.h"
#include "ui/SampleMenu.h"
#include "ui/main_window/MainWindow.h"

#include <QLineEdit>

#include <algorithm>

namespace lw {

void MainWindow::PlayBtnClick() {
  context_.playback.PlayBtnClick();
}

void MainWindow::plus10Click() {
  if (leaderShown_) {
    context_.outputs->NudgeLeaderTempo(10); // a Link session takes it; other leaders rule
    return;
  }
  Refresh(Undoable(history_, engine_, "Tempo", [this] { return TempoUp(engine_); }));
}

void MainWindow::minus10Click() {
  if (leaderShown_) {
    context_.outputs->NudgeLeaderTempo(-10);
    return;
  }
  Refresh(Undoable(history_, engine_, "Tempo", [this] { return TempoDown(engine_); }));
}

// Runs on every change of the box's text, typed or written by the program. Replacing the
// text runs it again on the new text before this run finishes.
void MainWindow::tempoBoxChange() {
  if (leaderShown_) {
    return; // the box shows the leader's tempo, which is not the song's
  }
  // Keystrokes in a row make one step; the display writing the box changes no tempo.
  history_.Begin(engine_, "Tempo", {}, "tempo box");
  const auto replacement = TempoBoxChange(engine_, tempoBox_->text().toStdString());
  history_.End(engine_);
  if (replacement) {
    tempoBox_->setText(QString::fromStdString(*replacement));
  }
}

void MainWindow::DistortClick(int channel) {
  Refresh(Undoable(history_, engine_, "Distortion",
                   [this, channel] { return ToggleDistortion(engine_, channel); }));
}

void MainWindow::ChannelClick(int channel) {
  if (learning()) {
    learnChannel_ = channel; // the next note played answers for this channel
    learnKnob_ = -1;
    learnSwitch_ = -1;
  }
  Refresh(SelectChannel(engine_, channel));
}

void MainWindow::KeyClick(int semitone) {
  Refresh(Undoable(history_, engine_, "Note",
                   [this, semitone] { return SetNoteKey(engine_, semitone); }));
}

void MainWindow::OctaveClick(int octave) {
  Refresh(Undoable(history_, engine_, "Octave",
                   [this, octave] { return SetNoteOctave(engine_, octave); }));
}

void MainWindow::lcdMouseDown(QPoint p) {
  if (p.x() < 65 || p.x() > 401 || p.y() < 2 || p.y() > 75) {
    return;
  }
  const int column = std::clamp((p.x() - 66) / 21, 0, kSteps - 1);
  if (p.y() <= 24) {
    Refresh(SelectStep(engine_, column));
  } else if (p.y() <= 46) {
    if (Undoable(history_, engine_, "Remove Note",
                 [this, column] { return RemoveNoteAt(engine_, column); })) {
      Refresh(RefreshFlags::StepOnly());
    } else {
      const QPoint origin = frameGeometry().topLeft(); // the window's outer corner
      SampleMenuPopup(QPoint(origin.x() + lcd_->x() + p.x(), origin.y() + lcd_->y() + p.y() + 30));
    }
  } else {
    SelectStep(engine_, column);
    Undoable(history_, engine_, "Step Controllers", [this] { dialogs_->ShowControllers(); });
    Refresh(RefreshFlags::StepOnly());
  }
}

void MainWindow::SampleMenuPopup(QPoint globalPosition) {
  if (CountUsedSlots(engine_.InterfaceSamples()) == 0) {
    OpenSampleManager();
    return;
  }
  SlotIndexMap map{};
  sampleMenu_->Build(
      SampleMenuEntries(engine_.InterfaceSamples(), engine_.Interface().lastSampleChoice, map));
  sampleMenu_->PopupAt(globalPosition);
}

void MainWindow::sampleChoose(const QString& entryName) {
  const bool lastUsed = entryName == QStringLiteral("MILU");
  const int32_t slot = ChosenSlot(entryName, engine_.Interface().lastSampleChoice);
  if (Undoable(history_, engine_, "Place Sample",
               [&] { return ChooseSample(engine_, slot, lastUsed); })) {
    Refresh(RefreshFlags::StepOnly());
  }
}

void MainWindow::BankPanelMouseDown(ImageControl& panel, QPoint p) {
  const int column = std::clamp(p.x() / 19, 0, 3);
  const int row = std::clamp(p.y() / 18, 0, 1);
  SelectPanel(panel, column + 4 * row);
}

void MainWindow::PatternGridClick() {
  dialogs_->ShowPatternGrid();
}

void MainWindow::SampleManagerClick() {
  OpenSampleManager();
  RefreshDisplay(false, false, true);
}

void MainWindow::PatternSequencerClick() {
  if (!dialogs_->SequencerVisible()) {
    dialogs_->ShowSequencer();
  }
}

} // namespace lw
