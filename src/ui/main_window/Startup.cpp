// Start-up on the main window's first activation, and the way down.
#include "audio_out/Playback.h"
#include "commands/SongCommands.h"
#include "engine/Engine.h"
#include "engine/Vinyl.h"
#include "session/RecoveryOffer.h"
#include "song/Paths.h"
#include "song/SongPosition.h"
#include "ui/Settings.h"
#include "ui/main_window/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>

namespace lw {

void MainWindow::FirstActivation() {
  if (!firstActivation_) {
    return;
  }
  ReleasedSamples released; // freed after the lock is let go
  {
    const EngineHold hold(engine_.engineLock);
    released = ClearSampleTable(engine_.samples);
  }
  LoadVinylNoise(engine_, FindDataFile(context_.appDir, kVinylNoiseFile));
  // Cleared before the splash takes the focus, so the activation when it closes does
  // nothing here.
  firstActivation_ = false;
  engine_.playing = false;
  engine_.songMode = false;
  {
    const EngineHold hold(engine_.engineLock);
    engine_.NewSong();
    SongState& s = engine_.state;
    s.playBank = s.nextBank = s.playPattern = s.nextPattern = s.editPattern = s.editBank = 0;
    s.songFileName.clear();
  }
  dialogs_->RefreshSequencer();
  if (!context_.commandSong.empty() &&
      LoadCommandLineSong(engine_, context_.prompts, context_.commandSong).replaced) {
    RememberSong();
  }
  {
    const EngineHold hold(engine_.engineLock);
    engine_.UpdateTiming();
  }
  dialogs_->ShowSplash();

  BuildKnobBitmaps(skin_);
  const Song& song = engine_.state.song;
  const Channel* channels = song.pattern(0, 0).channels;
  const struct {
    int knob;
    int32_t maximum;
    int32_t value;
  } initial[] = {
      {kDelFB, kMaxDelayFeedback, song.delayFeedback},
      {kDelSteps, kMaxDelaySteps, song.delaySteps},
      {kDistort, kMaxDistortAmount, song.distortAmount},
      {kShuffle, kMaxShuffle, song.shuffle},
      {kVinyl, kMaxVinylAmount, song.vinylAmount},
      {kDelay1, kMaxDelaySend, channels[0].delaySend},
      {kDelay1 + 1, kMaxDelaySend, channels[1].delaySend},
      {kDelay1 + 2, kMaxDelaySend, channels[2].delaySend},
      {kVol1, kMaxVolume, channels[0].volume},
      {kVol1 + 1, kMaxVolume, channels[1].volume},
      {kVol1 + 2, kMaxVolume, channels[2].volume},
      {kPitch, kMaxPitchKnob, kPitchKnobCentre},
  };
  for (const auto& k : initial) {
    InitKnob(knobs_[static_cast<std::size_t>(k.knob)], 0, k.maximum,
             std::clamp(k.value, 0, k.maximum));
    ImageControl::Value& access = knobImages_[static_cast<std::size_t>(k.knob)]->value;
    access.minimum = 0;
    access.maximum = k.maximum;
    ShowKnobFrame(k.knob);
  }
  RefreshDisplay(true, true, true);

  manager_.lastImportFolder = StartingImportFolder(context_.settings, context_.appDir);
  songFolder_ = StartingSongFolder(context_.settings, context_.appDir);
  renderFolder_ = StartingRenderFolder(context_.settings, context_.appDir);
  dialogs_->RefreshSequencer();
  if (LastSequenceEntry(engine_.Interface().sequence) > 0) {
    dialogs_->ShowSequencer();
  }
  // From now on the device is let go while the program is in the background and stopped.
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) {
              context_.playback.ReactivatePlayBack();
            } else {
              context_.playback.DeactivatePlayBack();
            }
          });
  SetSongChanged(engine_, false);
  history_.Clear();
  history_.MarkSaved();
  OfferRecoveredSong();
}

void MainWindow::setRecovery(RecoveryInstance* recovery, AutoSaveTiming timing) {
  autoSave_.reset();
  recovery_ = recovery;
  if (recovery != nullptr && recovery->Started()) {
    autoSave_ = std::make_unique<AutoSave>(engine_, *recovery, timing, nullptr);
  }
}

// The last of start-up, before the user does anything: a run that died may have left a
// copy of unsaved work. One taken is loaded as the unsaved song it was.
void MainWindow::OfferRecoveredSong() {
  if (recovery_ == nullptr || !recovery_->Started()) {
    return;
  }
  const RecoveryOutcome outcome = OfferRecovery(engine_, context_.prompts, *recovery_);
  if (!outcome.opened.replaced) {
    return;
  }
  // No state undo can reach is what the song's file holds.
  history_.Clear();
  ShowWholeSong(outcome.opened.showSequencer);
  if (outcome.adopted && autoSave_ != nullptr) {
    autoSave_->Adopted();
  }
}

bool MainWindow::ConfirmDiscardChanges() {
  if (!engine_.Interface().songChanged) {
    return true;
  }
  return context_.prompts.Confirm(
      "Changes were made to the song...\r\nDo you really want to quit without saving ?");
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!quitting_ && !ConfirmDiscardChanges()) {
    event->ignore();
    return;
  }
  RememberPlaces();
  context_.playback.FormClose();
  // Saved, or let go by the user: the recovery copy is no longer wanted.
  if (autoSave_ != nullptr) {
    autoSave_->Finish();
  }
  event->accept();
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && firstActivation_) {
    QTimer::singleShot(0, this, [this] { FirstActivation(); });
  }
  return QMainWindow::event(event);
}

// Some desktops never activate a window that was not clicked: the start-up work must not
// wait for that.
void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (firstActivation_) {
    QTimer::singleShot(0, this, [this] { FirstActivation(); });
  }
}

} // namespace lw
