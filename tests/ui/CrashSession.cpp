// loopwren_crash_session SONG: the program's main window with the program's own
// recovery files, started on SONG and edited as a user edits it; then it waits, so that a
// test can kill it as a crash would. It prints "edited" once the edits are made.
#include "audio_out/Playback.h"
#include "audio_out/Render.h"
#include "audio_out/SdlAudioDevice.h"
#include "commands/SequencerCommands.h"
#include "engine/Engine.h"
#include "session/RecoveryInstance.h"
#include "song/FileIo.h"
#include "song/Paths.h"
#include "ui/QtPrompts.h"
#include "ui/Settings.h"
#include "ui/main_window/MainWindow.h"

#include <QApplication>
#include <QMouseEvent>

#include <cstdio>
#include <memory>

namespace {

void Click(QWidget* control) {
  const QPoint at(2, 2);
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, at, control->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(control, &event);
  }
}

} // namespace

int main(int argc, char** argv) {
  (void)lw::ProcessUmask(); // while this is the only thread
  using namespace lw;
  if (argc != 2) {
    std::fputs("usage: loopwren_crash_session SONG\n", stderr);
    return 2;
  }
  auto engine = std::make_unique<Engine>();
  QApplication app(argc, argv);
  const std::unique_ptr<RecoveryInstance> recovery = StartRecoveryFromEnvironment();
  if (recovery == nullptr) {
    return 1;
  }
  QtPrompts prompts;
  WaveOut waveOut(std::make_unique<SdlAudioDevice>(), prompts);
  LivePlayback playback(*engine, waveOut);
  RenderProgress progress;
  ProgramSettings settings;
  MainWindow window(MainContext{*engine, waveOut, playback, prompts, progress, settings,
                                ProgramFolder(), argv[1]});
  prompts.setParent(&window);
  window.setRecovery(recovery.get());
  window.FirstActivation();

  // The tempo up twice and the key G, clicked; the title as the sequencer's box sets it.
  Click(window.control("plus_10"));
  Click(window.control("plus_10"));
  Click(window.control("bG"));
  SetSongTitle(*engine, "Rescued");
  std::puts("edited");
  std::fflush(stdout);
  return QApplication::exec();
}
