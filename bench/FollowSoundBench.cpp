// What following the sound costs the interface thread each screen frame while the song
// plays through SDL (its dummy driver, which takes buffers in real time): the main
// window's step light (the output's cursor, the heard clock, the engine's trace, the
// light moved when the step changed), the pattern grid's refresh of its 48 cells, and the
// sequencer's slot. Offscreen platform, the busy song.
#include "BusySong.h"
#include "audio_out/Playback.h"
#include "audio_out/Render.h"
#include "audio_out/SdlAudioDevice.h"
#include "ui/PatternGridWindow.h"
#include "ui/ProgramDialogs.h"
#include "ui/QtPrompts.h"
#include "ui/SequencerWindow.h"
#include "ui/Settings.h"
#include "ui/main_window/MainWindow.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

using namespace lw;

struct Playing {
  std::unique_ptr<Engine> engine = bench::BusySong();
  QtPrompts prompts;
  WaveOut waveOut{std::make_unique<SdlAudioDevice>(), prompts};
  LivePlayback playback{*engine, waveOut};
  ProgressRelay progress;
  QTemporaryDir dir;
  ProgramSettings settings{dir.filePath(QStringLiteral("loopwren.conf"))};
  MainWindow window{MainContext{
      *engine, waveOut, playback, prompts, progress, settings, dir.path().toStdString() + "/", {}}};
  ProgramDialogs dialogs{window, *engine, prompts, progress};

  Playing() {
    window.setDialogs(&dialogs);
    dialogs.ShowPatternGrid();
    window.PlayBtnClick();
    // Until the song reaches the listener.
    while (!window.heard()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      window.FollowSound();
    }
  }
  ~Playing() { playback.FormClose(); }
};

Playing* playing = nullptr;

void BM_StepLight(benchmark::State& state) {
  for (auto _ : state) {
    playing->window.FollowSound();
  }
}
BENCHMARK(BM_StepLight);

void BM_PatternGrid(benchmark::State& state) {
  PatternGridWindow& grid = playing->dialogs.patternGrid();
  for (auto _ : state) {
    grid.Follow();
  }
}
BENCHMARK(BM_PatternGrid);

void BM_SequencerSlot(benchmark::State& state) {
  for (auto _ : state) {
    playing->dialogs.sequencer().FollowSongPosition();
  }
}
BENCHMARK(BM_SequencerSlot);

} // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Playing song;
  playing = &song;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  playing = nullptr;
  return 0;
}
