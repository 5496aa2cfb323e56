// loopwren: the groovebox program.
#include "app/ProgramOptions.h"
#include "audio_out/Playback.h"
#include "audio_out/Render.h"
#include "audio_out/SdlAudioDevice.h"
#include "engine/Engine.h"
#include "live/LiveOutputs.h"
#include "session/RecoveryInstance.h"
#include "song/FileIo.h"
#include "song/Paths.h"
#include "ui/DialogParts.h"
#include "ui/ProgramDialogs.h"
#include "ui/QtPrompts.h"
#include "ui/Settings.h"
#include "ui/main_window/MainWindow.h"

#include <QApplication>
#include <QFontInfo>
#include <QIcon>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Answers --help, --version and a line it cannot take on the terminal, without a window;
// nothing when the program is to run.
std::optional<int> AnswerCommandLine(const lw::ProgramOptions& options) {
  using Action = lw::ProgramOptions::Action;
  switch (options.action) {
  case Action::Help:
    std::fputs(lw::kProgramUsage, stdout);
    return 0;
  case Action::Version:
    std::fputs(lw::kProgramVersion, stdout);
    return 0;
  case Action::UsageError:
    std::fprintf(stderr, "loopwren: %s\n\n%s", options.error.c_str(), lw::kProgramUsage);
    return 2;
  case Action::Run:
    break;
  }
  for (const std::string& song : options.ignoredSongs) {
    std::fprintf(stderr, "loopwren: one song at a time; \"%s\" is not opened\n", song.c_str());
  }
  return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
  using namespace lw;
  // Read while this is the only thread (see ProcessUmask).
  (void)ProcessUmask();
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const ProgramOptions options = ParseProgramOptions(args);
  if (const auto exitCode = AnswerCommandLine(options)) {
    return *exitCode;
  }
  // The toolkit sees its own options only: a song's name is never taken for one.
  std::vector<char*> toolkitArgv{argv[0]};
  std::vector<std::string> toolkitArgs = options.toolkitArgs;
  for (std::string& arg : toolkitArgs) {
    toolkitArgv.push_back(arg.data());
  }
  toolkitArgv.push_back(nullptr);
  int toolkitArgc = static_cast<int>(toolkitArgv.size()) - 1;

  // A file-size limit makes a write fail with a message instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // The engine's tables are built before any window exists.
  auto engine = std::make_unique<Engine>();

  // The size the windows are drawn at is the toolkit's scale, read as it starts; the
  // user's own QT_SCALE_FACTOR comes first.
  const bool scaled = qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR") && [] {
    const double scale = ProgramSettings().windowScale();
    if (scale != 1.0) {
      qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
    }
    return scale != 1.0;
  }();
  QApplication app(toolkitArgc, toolkitArgv.data());
  if (scaled) {
    qunsetenv("QT_SCALE_FACTOR"); // not for the programs it starts (jackd, a browser)
  }
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
  WaveOut waveOut(std::make_unique<SdlAudioDevice>(), prompts);
  LivePlayback sdlPlayback(*engine, waveOut);
  // The main window takes the render progress before the progress dialog exists.
  ProgressRelay renderProgress;

  ProgramSettings settings;
  // The output chosen in "Audio & MIDI" opens with the main window.
  LiveOutputs playback(*engine, waveOut, sdlPlayback);
  playback.Choose(OutputChoiceFromKey(settings.audioOutput()));
  playback.SetSync(SyncChoiceFromKey(settings.timeKeeper()));
  playback.SetLink(settings.linkOn());
  MainWindow window(MainContext{*engine, waveOut, playback, prompts, renderProgress, settings,
                                ProgramFolder(), options.song, &playback});
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
