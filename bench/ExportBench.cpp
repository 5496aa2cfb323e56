// What stems cost beside the mix: the busy song (256 s) rendered with and without its
// five stems from the same pass, first the engine alone (into a sink that keeps
// nothing), then whole exports to 16-bit WAV and to FLAC files. The second argument is
// 1 for stems; the budget for stems is 1.3 times the mix alone.
#include "BusySong.h"
#include "audio_out/AudioExport.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <string>

namespace {

using namespace lw;

// Takes the mix, and the stems when asked to, and keeps nothing.
class NowhereSink : public PatternSink {
public:
  explicit NowhereSink(bool stems) : stems_(stems) {}
  [[nodiscard]] bool WantsStems() const override { return stems_; }
  void Append(const int16_t* samples, std::size_t /*count*/) override {
    benchmark::DoNotOptimize(samples);
  }
  void AppendStems(const Stems& stems, std::size_t /*count*/) override {
    benchmark::DoNotOptimize(stems.data());
  }

private:
  bool stems_;
};

double SongSeconds(Engine& e) {
  const EngineHold hold(e.engineLock);
  return kSequenceSlots * static_cast<double>(e.clock.patternSamples) / kOutputRate;
}

void BM_RenderBusySong(benchmark::State& state) {
  auto e = bench::BusySong();
  NowhereSink sink(state.range(0) != 0);
  RenderProgress progress;
  double audioSeconds = 0;
  for (auto _ : state) {
    RenderSong(*e, EntireSongRange(e->Interface().sequence), sink, progress);
    audioSeconds += SongSeconds(*e);
  }
  state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderBusySong)
    ->ArgName("stems")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Arguments: the format (ExportFormat), stems.
void BM_ExportBusySong(benchmark::State& state) {
  auto e = bench::BusySong();
  bench::NoPrompts prompts;
  RenderProgress progress;
  ExportOptions options;
  options.format = static_cast<ExportFormat>(state.range(0));
  options.stems = state.range(1) != 0;
  const std::string target = "/tmp/loopwren-export-bench-" + std::to_string(::getpid()) + "." +
                             InfoOf(options.format).extension;
  double audioSeconds = 0;
  for (auto _ : state) {
    if (!ExportAudioFile(*e, prompts, progress, RenderKind::EntireSong, target, {}, options)) {
      state.SkipWithError("export failed");
      break;
    }
    audioSeconds += SongSeconds(*e);
  }
  ::unlink(target.c_str());
  for (const std::string& stem : StemPaths(target, options.format)) {
    ::unlink(stem.c_str());
  }
  state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExportBusySong)
    ->ArgNames({"format", "stems"})
    ->Args({static_cast<int>(ExportFormat::Wav16), 0})
    ->Args({static_cast<int>(ExportFormat::Wav16), 1})
    ->Args({static_cast<int>(ExportFormat::Flac), 0})
    ->Args({static_cast<int>(ExportFormat::Flac), 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
