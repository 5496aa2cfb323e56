#pragma once

#include "EngineHelpers.h"
#include "FakeAudioDevice.h"
#include "FakePrompts.h"
#include "TempDir.h"
#include "audio_out/Playback.h"
#include "audio_out/Render.h"
#include "ui/Settings.h"
#include "ui/main_window/MainWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <deque>
#include <memory>

namespace lw::test {

// Records which windows the main window asked for.
struct RecordingDialogs : MainDialogs {
  int sampleManager = 0;
  int sequencerShown = 0;
  int controllers = 0;
  int splash = 0;
  bool sequencerVisible = false;
  std::vector<std::pair<int32_t, int32_t>> slots;
  void ShowSampleManager() override { ++sampleManager; }
  void ShowSequencer() override {
    ++sequencerShown;
    sequencerVisible = true;
  }
  [[nodiscard]] bool SequencerVisible() const override { return sequencerVisible; }
  void SetSequenceSlot(int32_t bank, int32_t pattern) override {
    slots.emplace_back(bank, pattern);
  }
  void ShowControllers() override { ++controllers; }
  void ShowSplash() override { ++splash; }
};

// A main window over a fake sound device, started as the program starts it.
struct MainWindowFixture {
  std::unique_ptr<Engine> engine = std::make_unique<Engine>();
  FakePrompts prompts;
  FakeAudioDevice* device = nullptr;
  std::unique_ptr<WaveOut> waveOut;
  std::unique_ptr<LivePlayback> playback;
  RenderProgress progress;
  RecordingDialogs dialogs;
  TempDir dir;
  TempDir settingsDir;
  ProgramSettings settings{QString::fromStdString(settingsDir.File("loopwren.conf"))};
  std::unique_ptr<MainWindow> window;

  // With `recovery`, the window keeps its recovery copies there and start-up offers those
  // of runs that died.
  // `answers` are the user's answers to start-up's questions. `programFolder` is where the
  // program runs from (the test's folder when empty).
  explicit MainWindowFixture(const std::string& commandSong = {},
                             RecoveryInstance* recovery = nullptr, std::deque<bool> answers = {},
                             const std::string& programFolder = {}) {
    prompts.answers = std::move(answers);
    auto fake = std::make_unique<FakeAudioDevice>();
    device = fake.get();
    waveOut = std::make_unique<WaveOut>(std::move(fake), prompts);
    playback = std::make_unique<LivePlayback>(*engine, *waveOut);
    window = std::make_unique<MainWindow>(MainContext{
        *engine, *waveOut, *playback, prompts, progress, settings,
        programFolder.empty() ? dir.path().string() + "/" : programFolder, commandSong});
    window->setDialogs(&dialogs);
    window->setRecovery(recovery);
    window->FirstActivation();
  }
  ~MainWindowFixture() { playback->FormClose(); }

  ImageControl* Control(const char* name) const { return window->control(name); }

  // Mouse events as the window system delivers them, relative to a control.
  static void Press(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent e(QEvent::MouseButtonPress, at, w->mapToGlobal(at), button, button, modifiers);
    QApplication::sendEvent(w, &e);
  }
  static void Move(QWidget* w, QPoint at, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, buttons, modifiers);
    QApplication::sendEvent(w, &e);
  }
  static void Release(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QMouseEvent e(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), button, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  static void Click(QWidget* w, QPoint at = {2, 2}, Qt::MouseButton button = Qt::LeftButton) {
    Press(w, at, button);
    Release(w, at, button);
  }
  // Types text key by key as a keyboard does; unlike QTest::keyClicks it takes characters
  // beyond ASCII (of the Basic Multilingual Plane).
  static void Type(QWidget* w, const QString& text) {
    for (const QChar c : text) {
      for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent e(type, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &e);
      }
    }
  }
  Step& ActiveStep() const { return engine->state.activeStepRecord(); }
};

} // namespace lw::test
