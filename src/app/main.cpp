// loopwren: the groovebox program.
#include "audio_out/Playback.h"
#include "audio_out/Render.h"
#include "audio_out/SdlAudioDevice.h"
#include "commands/Recovery.h"
#include "engine/BlackBox.h"
#include "song/FileIo.h"
#include "ui/DialogParts.h"
#include "ui/ProgramDialogs.h"
#include "ui/QtPrompts.h"
#include "ui/Settings.h"
#include "ui/mainunit.h"

#include <QApplication>
#include <QFontInfo>
#include <QIcon>

#include <csignal>
#include <memory>

int main(int argc, char** argv) {
  using namespace lw;
  // A file-size limit makes a write fail with a message instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // The engine's tables are built before any window exists.
  auto engine = std::make_unique<Engine>();

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("LoopWren 1.2"));
  QApplication::setDesktopFileName(QStringLiteral("org.loopwren.LoopWren"));
  // Message boxes, file dialogs and menus in the windows' font; every window sets its own.
  QApplication::setFont(WindowFont(8));
  if (QFontInfo(QApplication::font()).family() != WindowFontFamily()) {
    qWarning("loopwren: the font %s is missing (Debian: fonts-dejavu-extra); texts may not "
             "fit their windows",
             qUtf8Printable(WindowFontFamily()));
  }

  // This run's recovery files, locked before any window could look for those of runs that
  // died; they outlive the window.
  const std::unique_ptr<RecoveryInstance> recovery = StartRecoveryFromEnvironment();

  QtPrompts prompts;
  TWaveOut waveOut(std::make_unique<SdlAudioDevice>(), prompts);
  LivePlayback playback(*engine, waveOut);
  // The main window takes the render progress before the progress dialog exists.
  ProgressRelay renderProgress;

  const QStringList args = QApplication::arguments();
  ProgramSettings settings;
  TMain window(MainContext{*engine, waveOut, playback, prompts, renderProgress, settings,
                           ProgramFolder(),
                           args.size() > 1 ? args[1].toLocal8Bit().toStdString() : std::string()});
  prompts.setParent(&window);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/skin/icon.png")));
  // The other windows follow the main window, in the program's start-up order.
  ProgramDialogs dialogs(window, *engine, prompts, renderProgress);
  window.setDialogs(&dialogs);
  window.setRecovery(recovery.get());

  window.adjustSize();
  window.PlaceAtStart();
  window.show();
  const int result = QApplication::exec();
  settings.sync();
  playback.FormClose();
  window.setDialogs(nullptr); // the dialogs go first; the main window outlives them
  return result;
}
