#include "ui/ProgramDialogs.h"

#include "audio_out/Playback.h"
#include "engine/Engine.h"
#include "ui/AboutWindow.h"
#include "ui/AudioMidiDialog.h"
#include "ui/BounceDialog.h"
#include "ui/ExportDialog.h"
#include "ui/PatternGridWindow.h"
#include "ui/RenderProgressDialog.h"
#include "ui/SampleManagerWindow.h"
#include "ui/SequencerWindow.h"
#include "ui/SplashWindow.h"
#include "ui/StepControllersDialog.h"
#include "ui/main_window/MainWindow.h"

namespace lw {

void ProgressRelay::Show() {
  if (target_ != nullptr) {
    target_->Show();
  }
}

void ProgressRelay::Hide() {
  if (target_ != nullptr) {
    target_->Hide();
  }
}

void ProgressRelay::PatternStarted() {
  if (target_ != nullptr) {
    target_->PatternStarted();
  }
}

void ProgressRelay::SetCurrent(int percent) {
  if (target_ != nullptr) {
    target_->SetCurrent(percent);
  }
}

void ProgressRelay::SetOverall(int percent) {
  if (target_ != nullptr) {
    target_->SetOverall(percent);
  }
}

// The windows come after the main window in this order: sample manager, (splash,)
// controllers, sequencer, render progress, bounce, pattern grid.
ProgramDialogs::ProgramDialogs(MainWindow& main, Engine& engine, UserPrompts& prompts,
                               ProgressRelay& progress)
    : main_(main), engine_(engine), progress_(progress),
      runModal_([](QDialog& dialog) { return dialog.exec(); }),
      sampleMan_(new SampleManagerWindow(engine, prompts, main.sampleManager(), main.history(),
                                         main.previewer(), &main)),
      controllers_(new StepControllersDialog(engine, &main)),
      sequencer_(new SequencerWindow(engine, main)), renderWav_(new RenderProgressDialog(&main)),
      bounce_(new BounceDialog(&main)), grid_(new PatternGridWindow(engine, main)) {
  progress_.setTarget(renderWav_);
  // The sample manager is modal: the main window's undo keys reach it only as its own.
  sampleMan_->addActions({main.undoAction(), main.redoAction()});
}

// The windows belong to the main window; only the relay has to let go of one.
ProgramDialogs::~ProgramDialogs() {
  progress_.setTarget(nullptr);
}

void ProgramDialogs::ShowSampleManager() {
  runModal_(*sampleMan_);
}

void ProgramDialogs::ShowPatternGrid() {
  grid_->ShowNearMain();
}

void ProgramDialogs::ShowSequencer() {
  sequencer_->ShowBelowMain();
}

bool ProgramDialogs::SequencerVisible() const {
  return sequencer_->isVisible();
}

void ProgramDialogs::SetSequenceSlot(int32_t bank, int32_t pattern) {
  sequencer_->SetSequenceSlot(bank, pattern);
}

void ProgramDialogs::RefreshSequencer() {
  sequencer_->RefreshSequenceGrid();
}

void ProgramDialogs::ShowControllers() {
  {
    const EngineHold hold(engine_.engineLock);
    controllers_->editedStep = &engine_.state.activeStepRecord();
  }
  runModal_(*controllers_);
}

// Over the main window, shown once and then let go.
void ProgramDialogs::ShowSplash() {
  SplashWindow splash(&main_);
  splash.CoverWindow(main_);
  runModal_(splash);
}

std::optional<std::string> ProgramDialogs::AskBounceName(const std::string& proposed) {
  bounce_->Propose(proposed);
  if (runModal_(*bounce_) != QDialog::Accepted) {
    return std::nullopt;
  }
  return bounce_->Name();
}

// Made for each export; the settings carry its choices from one to the next.
std::optional<ExportChoice> ProgramDialogs::AskExport(bool songloop) {
  ExportDialog dialog(main_.settings(), songloop, &main_);
  if (runModal_(dialog) != QDialog::Accepted) {
    return std::nullopt;
  }
  return dialog.Choice();
}

std::optional<AudioMidiChoice> ProgramDialogs::AskOutput(const AudioMidiChoice& current,
                                                         const std::string& playing) {
  AudioMidiDialog dialog(&main_);
  dialog.Show(current.output, playing);
  dialog.ShowMidiPorts(AlsaMidiInput::ListPorts(), current.excludedPorts,
                       AlsaMidiInput::Unavailable());
  dialog.ShowSync(current.sync, current.link);
  if (runModal_(dialog) != QDialog::Accepted) {
    return std::nullopt;
  }
  return AudioMidiChoice{dialog.Choice(), dialog.ExcludedPorts(), dialog.Sync(), dialog.Link()};
}

int32_t ProgramDialogs::SelectionFirstSlot() const {
  return sequencer_->SelectionFirstSlot();
}

int32_t ProgramDialogs::SelectionWidth() const {
  return sequencer_->SelectionWidth();
}

void ProgramDialogs::RefreshSampleList() {
  sampleMan_->RefreshSampleList();
}

void ProgramDialogs::RememberPlaces() {
  sequencer_->RememberPlace();
  grid_->RememberPlace();
}

void ProgramDialogs::ShowAbout(int which) {
  if (which < static_cast<int>(AboutBox::LoopWren) || which > static_cast<int>(AboutBox::OskeLum)) {
    return;
  }
  AboutWindow box(static_cast<AboutBox>(which), &main_);
  runModal_(box);
}

} // namespace lw
