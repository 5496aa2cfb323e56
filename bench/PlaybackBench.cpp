// The cost of live playback: the busy song played for a few seconds through SDL (its
// dummy driver unless SDL_AUDIODRIVER says otherwise), reported as the share of one core
// the whole process used, with the time one block takes to render.
#include "BusySong.h"
#include "audio_out/Playback.h"
#include "audio_out/SdlAudioDevice.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using namespace lw;
using Clock = std::chrono::steady_clock;

class PrintPrompts : public UserPrompts {
public:
  void Notice(std::string_view t) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(t.size()), t.data());
  }
  void Warning(std::string_view t) override { Notice(t); }
  bool Confirm(std::string_view) override { return false; }
  void ReportIoError(std::string_view t) override { Notice(t); }
  std::optional<std::string> AskOpenFile(const FileDialogSpec&) override { return {}; }
  std::optional<std::string> AskSaveFile(const FileDialogSpec&) override { return {}; }
};

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main() {
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  auto engine = bench::BusySong();
  engine->state.sequence.slots[0] = {0, 0};

  // One block, rendered the way BufferDone renders it.
  std::vector<int16_t> block(LivePlayback::kBlockSamples);
  engine->ProcessStep();
  engine->playing = true;
  double best = 1e9;
  for (int i = 0; i < 200; ++i) {
    const auto start = Clock::now();
    {
      const EngineHold hold(engine->engineLock);
      engine->RenderBlock(block.data(), block.size());
    }
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  engine->playing = false;

  PrintPrompts prompts;
  WaveOut waveOut(std::make_unique<SdlAudioDevice>(), prompts);
  LivePlayback playback(*engine, waveOut);
  waveOut.Open(-1);
  if (!waveOut.isOpen()) {
    return 1;
  }
  const double cpuBefore = CpuSeconds();
  const auto start = Clock::now();
  playback.PlayBtnClick();
  std::this_thread::sleep_for(std::chrono::seconds(5));
  playback.PlayBtnClick();
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = CpuSeconds() - cpuBefore;
  playback.FormClose();

  std::printf("one block of %d samples (%.1f ms of sound): %.3f ms to render (best of 200)\n",
              LivePlayback::kBlockSamples, 1000.0 * LivePlayback::kBlockSamples / kOutputRate,
              best * 1000);
  std::printf("playing the busy song for %.1f s through SDL's %s driver: %.2f %% of one core\n",
              wall, std::getenv("SDL_AUDIODRIVER"), 100.0 * cpu / wall);
  return 0;
}
