// Takes the README's picture of the main window: the program as it starts with the demo
// song, on the offscreen platform, grabbed to a PNG file.
//
// Usage: QT_QPA_PLATFORM=offscreen loopwren_screenshot SONG.LW OUTPUT.png [CHANNEL STEP]
#include "audio_out/Playback.h"
#include "audio_out/Render.h"
#include "engine/Engine.h"
#include "song/Paths.h"
#include "ui/DialogParts.h"
#include "ui/Settings.h"
#include "ui/main_window/MainWindow.h"

#include <QApplication>
#include <QPainter>

#include <cstdio>

namespace {

// No sound is needed for a picture.
class Silent : public lw::AudioDevice {
public:
  std::string Open(lw::PullFunction) override { return {}; }
  void Close() override {}
};

class Quiet : public lw::UserPrompts {
public:
  void Notice(std::string_view) override {}
  void Warning(std::string_view) override {}
  bool Confirm(std::string_view) override { return true; }
  void ReportIoError(std::string_view) override {}
  std::optional<std::string> AskOpenFile(const lw::FileDialogSpec&) override { return {}; }
  std::optional<std::string> AskSaveFile(const lw::FileDialogSpec&) override { return {}; }
};

} // namespace

int main(int argc, char** argv) {
  using namespace lw;
  if (argc < 3) {
    std::fprintf(stderr, "usage: loopwren_screenshot SONG.LW OUTPUT.png [CHANNEL STEP]\n");
    return 2;
  }
  auto engine = std::make_unique<Engine>();
  QApplication app(argc, argv);
  QApplication::setFont(WindowFont(8)); // as the program sets it
  Quiet prompts;
  WaveOut waveOut(std::make_unique<Silent>(), prompts);
  LivePlayback playback(*engine, waveOut);
  RenderProgress progress;
  ProgramSettings settings; // read only: nothing here is remembered
  MainWindow window(MainContext{*engine, waveOut, playback, prompts, progress, settings,
                                ProgramFolder(), argv[1]});
  MainDialogs none;
  window.setDialogs(&none);
  window.show();
  window.FirstActivation();
  if (argc > 4) {
    {
      const EngineHold hold(engine->engineLock);
      engine->state.activeChannel = std::atoi(argv[3]);
      engine->state.activeStep = std::atoi(argv[4]);
      engine->state.editPattern = 1;
    }
    window.RefreshDisplay(true, true, true);
  }
  QApplication::processEvents();
  const QPixmap shot = window.grab();
  return shot.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
