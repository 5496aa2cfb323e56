#pragma once

#include "audio_out/Render.h"
#include "ui/main_window/MainDialogs.h"

#include <functional>

class QDialog;

namespace lw {

struct Engine;
class StepControllersDialog;
class MainWindow;
class RenderProgressDialog;
class SampleManagerWindow;
class BounceDialog;
class SequencerWindow;
class PatternGridWindow;
class UserPrompts;

// The main window needs its render progress when it is made, before the progress dialog
// exists; this passes the calls on once the dialog is there, and drops them before.
class ProgressRelay : public RenderProgress {
public:
  void setTarget(RenderProgress* target) { target_ = target; }
  void Show() override;
  void Hide() override;
  void PatternStarted() override;
  void SetCurrent(int percent) override;
  void SetOverall(int percent) override;

private:
  RenderProgress* target_ = nullptr;
};

// The windows the program's main window opens. They are made in the program's start-up
// order right after the main window, as its children, and live as long as it does; the
// splash, the about boxes and "Audio & MIDI" are made only when shown.
class ProgramDialogs : public MainDialogs {
public:
  // How a modal dialog is run: exec() in the program; tests operate it instead.
  using ModalRunner = std::function<int(QDialog&)>;

  ProgramDialogs(MainWindow& main, Engine& engine, UserPrompts& prompts, ProgressRelay& progress);
  ~ProgramDialogs() override;
  ProgramDialogs(const ProgramDialogs&) = delete;
  ProgramDialogs& operator=(const ProgramDialogs&) = delete;

  void setModalRunner(ModalRunner runner) { runModal_ = std::move(runner); }

  void ShowSampleManager() override;
  void ShowSequencer() override;
  [[nodiscard]] bool SequencerVisible() const override;
  void SetSequenceSlot(int32_t bank, int32_t pattern) override;
  void RefreshSequencer() override;
  void ShowPatternGrid() override;
  void ShowControllers() override;
  void ShowSplash() override;
  std::optional<std::string> AskBounceName(const std::string& proposed) override;
  std::optional<ExportChoice> AskExport(bool songloop) override;
  std::optional<AudioMidiChoice> AskOutput(const AudioMidiChoice& current,
                                           const std::string& playing) override;
  [[nodiscard]] int32_t SelectionFirstSlot() const override;
  [[nodiscard]] int32_t SelectionWidth() const override;
  void RefreshSampleList() override;
  void ShowAbout(int which) override;
  void RememberPlaces() override;

  [[nodiscard]] SampleManagerWindow& sampleManager() const { return *sampleMan_; }
  [[nodiscard]] StepControllersDialog& controllers() const { return *controllers_; }
  [[nodiscard]] SequencerWindow& sequencer() const { return *sequencer_; }
  [[nodiscard]] RenderProgressDialog& renderWav() const { return *renderWav_; }
  [[nodiscard]] BounceDialog& bounce() const { return *bounce_; }
  [[nodiscard]] PatternGridWindow& patternGrid() const { return *grid_; }

private:
  MainWindow& main_;
  Engine& engine_;
  ProgressRelay& progress_;
  ModalRunner runModal_;
  SampleManagerWindow* sampleMan_;
  StepControllersDialog* controllers_;
  SequencerWindow* sequencer_;
  RenderProgressDialog* renderWav_;
  BounceDialog* bounce_;
  PatternGridWindow* grid_;
};

} // namespace lw
