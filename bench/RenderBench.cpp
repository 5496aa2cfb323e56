// The cost of making sound: the per-sample mixer, and a whole busy song rendered to a
// WAV file (engine plus file writing), reported as a real-time factor.
#include "BusySong.h"
#include "audio_out/RenderCommand.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace {

using namespace lw;

// The engine alone, block by block as the renderers and live playback drive it, over
// the whole busy song. The first argument is the channels' delay send (50 % meets the
// exact halves of the percentage scaling, 40 % does not); the second the channels muted,
// bit c for channel c (a muted voice still runs, into a buffer of its own, so that it
// comes back in time).
void BM_RenderBlock(benchmark::State& state) {
  auto e = bench::BusySong(static_cast<int>(state.range(0)));
  e->songMode = true;
  e->silenced = static_cast<uint32_t>(state.range(1));
  e->ProcessStep();
  e->playing = true;
  std::vector<int16_t> block(6144);
  for (auto _ : state) {
    e->RenderBlock(block.data(), block.size());
    benchmark::DoNotOptimize(block.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(block.size()));
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(block.size()) / kOutputRate,
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderBlock)->Args({50, 0})->Args({40, 0})->Args({50, 0b001})->Args({50, 0b111});

// The whole busy song (128 patterns, 256 s) rendered to a WAV file: engine and file.
void BM_RenderBusySongToWav(benchmark::State& state) {
  auto e = bench::BusySong(static_cast<int>(state.range(0)));
  bench::NoPrompts prompts;
  RenderProgress progress;
  const std::string target = "/tmp/loopwren-bench-" + std::to_string(::getpid()) + ".wav";
  double audioSeconds = 0;
  for (auto _ : state) {
    if (!RenderToWavFile(*e, prompts, progress, RenderKind::EntireSong, target, {})) {
      state.SkipWithError("render failed");
      break;
    }
    audioSeconds += kSequenceSlots * static_cast<double>(e->clock.patternSamples) / kOutputRate;
  }
  ::unlink(target.c_str());
  state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderBusySongToWav)->Arg(50)->Arg(40)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
