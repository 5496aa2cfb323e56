#pragma once

#include "audio_out/Render.h"
#include "ui/MainDialogs.h"

#include <functional>

class QDialog;

namespace lw {

struct Engine;
class TControllers;
class TMain;
class TRenderWAV;
class TSampleMan;
class Tbounce;
class Tsequencer;
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
// splash and the about boxes are made only when shown.
class ProgramDialogs : public MainDialogs {
public:
  // How a modal dialog is run: exec() in the program; tests operate it instead.
  using ModalRunner = std::function<int(QDialog&)>;

  ProgramDialogs(TMain& main, Engine& engine, UserPrompts& prompts, ProgressRelay& progress);
  ~ProgramDialogs() override;
  ProgramDialogs(const ProgramDialogs&) = delete;
  ProgramDialogs& operator=(const ProgramDialogs&) = delete;

  void setModalRunner(ModalRunner runner) { runModal_ = std::move(runner); }

  void ShowSampleManager() override;
  void ShowSequencer() override;
  [[nodiscard]] bool SequencerVisible() const override;
  void SetSequenceSlot(int32_t bank, int32_t pattern) override;
  void RefreshSequencer() override;
  void ShowControllers() override;
  void ShowSplash() override;
  std::optional<std::string> AskBounceName(const std::string& proposed) override;
  [[nodiscard]] int32_t SelectionFirstSlot() const override;
  [[nodiscard]] int32_t SelectionWidth() const override;
  void RefreshSampleList() override;
  void ShowAbout(int which) override;
  void RememberPlaces() override;

  [[nodiscard]] TSampleMan& sampleManager() const { return *sampleMan_; }
  [[nodiscard]] TControllers& controllers() const { return *controllers_; }
  [[nodiscard]] Tsequencer& sequencer() const { return *sequencer_; }
  [[nodiscard]] TRenderWAV& renderWav() const { return *renderWav_; }
  [[nodiscard]] Tbounce& bounce() const { return *bounce_; }

private:
  TMain& main_;
  Engine& engine_;
  ProgressRelay& progress_;
  ModalRunner runModal_;
  TSampleMan* sampleMan_;
  TControllers* controllers_;
  Tsequencer* sequencer_;
  TRenderWAV* renderWav_;
  Tbounce* bounce_;
};

} // namespace lw
