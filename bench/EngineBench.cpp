// Costs of the step clock and the start-up tables.
#include "engine/Engine.h"
#include "engine/Overdrive.h"
#include "engine/PitchTable.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace lw;

// A pattern with a note on every step of every channel and a controller on every
// fourth step: the busiest boundary the clock can meet.
std::unique_ptr<Engine> BusyEngine() {
  auto e = std::make_unique<Engine>();
  e->NewSong();
  const SampleCategory kinds[] = {SampleCategory::Drum, SampleCategory::Instrument,
                                  SampleCategory::Loop};
  for (int slot = 0; slot < 3; ++slot) {
    FillSlot(e->samples.slots[slot], SampleData(44100, 1000), 44100, "s", kinds[slot]);
  }
  for (int ch = 0; ch < kChannels; ++ch) {
    for (int st = 0; st < kSteps; ++st) {
      Step& step = e->state.song.step(0, 0, ch, st);
      step.trigger = 1;
      step.sample = static_cast<uint8_t>(ch);
      if (st % 4 == 3) {
        step.mode = static_cast<uint8_t>(StepMode::RetrigLoop);
        step.endPos = 700;
      }
    }
  }
  e->state.sequence.slots[0] = {0, 0};
  e->songMode = true;
  e->ProcessStep();
  e->playing = true;
  return e;
}

void BM_ProcessStep(benchmark::State& state) {
  auto e = BusyEngine();
  for (auto _ : state) {
    e->ProcessStep();
    benchmark::DoNotOptimize(e->voices[0].position);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProcessStep);

void BM_UpdateTiming(benchmark::State& state) {
  auto e = BusyEngine();
  for (auto _ : state) {
    e->UpdateTiming();
    benchmark::DoNotOptimize(e->clock.patternSamples);
  }
}
BENCHMARK(BM_UpdateTiming);

void BM_BuildOverdriveCurves(benchmark::State& state) {
  auto table = std::make_unique<OverdriveTable>();
  for (auto _ : state) {
    BuildOverdriveCurves(*table);
    benchmark::DoNotOptimize(table->data());
  }
}
BENCHMARK(BM_BuildOverdriveCurves)->Unit(benchmark::kMillisecond);

void BM_BuildPitchTable(benchmark::State& state) {
  PitchTable table{};
  for (auto _ : state) {
    BuildPitchTable(table);
    benchmark::DoNotOptimize(table.data());
  }
}
BENCHMARK(BM_BuildPitchTable);

} // namespace
