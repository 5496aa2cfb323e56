#pragma once

#include "MainWindowFixture.h"
#include "ui/ProgramDialogs.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <utility>

namespace lw::test {

// The main window with the program's real windows. Modal dialogs never block: the fixture
// shows each one without a modal loop, lets the test act in it as the user would, and
// closes it if the test left it open.
struct DialogsFixture {
  std::unique_ptr<Engine> engine = std::make_unique<Engine>();
  FakePrompts prompts;
  FakeAudioDevice* device = nullptr; // the waveOut's
  std::unique_ptr<WaveOut> waveOut;
  std::unique_ptr<LivePlayback> playback;
  ProgressRelay progress;
  TempDir dir;
  TempDir settingsDir;
  ProgramSettings settings{QString::fromStdString(settingsDir.File("loopwren.conf"))};
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<ProgramDialogs> dialogs;

  std::vector<QString> modalShown;    // object names of the modal dialogs run, in order
  std::function<void(QDialog&)> user; // what the user does in the next modal dialog

  // With `output`, the windows play through it instead of a fake device (`device` is
  // then null).
  explicit DialogsFixture(std::unique_ptr<AudioDevice> output = nullptr) {
    if (output == nullptr) {
      auto fake = std::make_unique<FakeAudioDevice>();
      device = fake.get();
      output = std::move(fake);
    }
    waveOut = std::make_unique<WaveOut>(std::move(output), prompts);
    playback = std::make_unique<LivePlayback>(*engine, *waveOut);
    window = std::make_unique<MainWindow>(MainContext{
        *engine, *waveOut, *playback, prompts, progress, settings, dir.path().string() + "/", {}});
    dialogs = std::make_unique<ProgramDialogs>(*window, *engine, prompts, progress);
    dialogs->setModalRunner([this](QDialog& dialog) { return RunModal(dialog); });
    window->setDialogs(dialogs.get());
    window->FirstActivation();
  }
  ~DialogsFixture() {
    playback->FormClose();
    window->setDialogs(nullptr);
    dialogs.reset();
    window.reset();
  }
  DialogsFixture(const DialogsFixture&) = delete;
  DialogsFixture& operator=(const DialogsFixture&) = delete;

  int RunModal(QDialog& dialog) {
    modalShown.push_back(dialog.objectName());
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    if (auto act = std::exchange(user, nullptr)) {
      act(dialog);
    }
    if (dialog.isVisible()) {
      dialog.reject();
    }
    return dialog.result();
  }

  ImageControl* Control(const char* name) const { return window->control(name); }
  Step& ActiveStep() const { return engine->state.activeStepRecord(); }
};

} // namespace lw::test
