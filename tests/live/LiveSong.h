#pragma once

#include "EngineHelpers.h"
#include "audio_out/Playback.h"

#include <cmath>
#include <vector>

namespace lw::test {

// A short song on pattern (0, 0): a drum on every fourth step of channel 1, an instrument
// on channel 2 and a loop on channel 3, each a different tone so that every channel's
// stem shows. With `delaySend` the first channel feeds the delay.
inline void MakeLiveSong(Engine& e, int delaySend = 0) {
  for (int slot = 0; slot < 3; ++slot) {
    std::vector<int16_t> data(slot == 2 ? 60000 : 20000);
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i] = static_cast<int16_t>(
          std::lround(12000 * std::sin(0.01 * (slot + 1) * static_cast<double>(i))));
    }
    const SampleCategory kinds[] = {SampleCategory::Drum, SampleCategory::Instrument,
                                    SampleCategory::Loop};
    PutSample(e, slot, data, 44100, kinds[slot]);
  }
  for (int st = 0; st < kSteps; st += 4) {
    PutNote(e, 0, 0, 0, st, 0);
    PutNote(e, 0, 0, 1, st + 2, 1).note = 40 + st;
  }
  PutNote(e, 0, 0, 2, 0, 2);
  e.state.song.channel(0, 0, 0).delaySend = delaySend;
  e.state.song.delayFeedback = 70;
  e.UpdateTiming();
}

// What the play button starts, rendered offline by an engine of its own: `count` samples
// of the mix and, with `stems`, of every stem.
struct OfflineRender {
  std::vector<int16_t> mix;
  std::array<std::vector<int32_t>, Engine::kStems> stems;
};
inline OfflineRender RenderFrom(Engine& e, std::size_t count) {
  OfflineRender out;
  out.mix.resize(count);
  Engine::StemOutputs to{};
  for (std::size_t s = 0; s < to.size(); ++s) {
    out.stems[s].resize(count);
    to[s] = out.stems[s].data();
  }
  const EngineHold hold(e.engineLock);
  StartOrStopEngine(e);
  e.RenderBlockWithStems(out.mix.data(), to, count);
  return out;
}
template <typename Setup> OfflineRender RenderOffline(Setup setup, std::size_t count) {
  auto e = NewEngine();
  setup(*e);
  return RenderFrom(*e, count);
}

// What an engine of its own plays when `play` runs after `before` samples of the song (or,
// stopped, of nothing): the reference a live note must match sample for sample.
template <class Play>
inline std::vector<int16_t> LiveReference(bool playing, std::size_t before, std::size_t after,
                                          Play play) {
  auto e = NewEngine();
  MakeLiveSong(*e);
  const EngineHold hold(e->engineLock);
  std::vector<int16_t> out(before + after);
  if (playing) {
    StartOrStopEngine(*e);
    e->RenderBlock(out.data(), before);
  }
  play(*e);
  std::vector<int32_t> stems(after * Engine::kStems);
  Engine::StemOutputs to{};
  for (int s = 0; s < Engine::kStems; ++s) {
    to[static_cast<std::size_t>(s)] = stems.data() + after * static_cast<std::size_t>(s);
  }
  if (playing) {
    e->RenderBlockWithStems(out.data() + before, to, after);
  } else {
    e->RenderLiveVoices(out.data() + before, to, after, 1U);
  }
  return out;
}

// The beat at which step n (counted from a start, through every pattern) begins when a
// leader's grid places the steps: two to half a beat, the even one lengthened by the
// shuffle as the engine's own clock lengthens it.
inline double StepBeat(int64_t n, int shuffle) {
  const int64_t pairs = n / 2;
  const double pair = 0.5 * static_cast<double>(pairs);
  return n % 2 == 0 ? pair : pair + (0.25 / 100 * shuffle + 0.25);
}

} // namespace lw::test
