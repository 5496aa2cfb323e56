#pragma once

#include "engine/Engine.h"

#include <memory>
#include <string>
#include <vector>

namespace lw::test {

// A fresh engine in the state start-up leaves it in: a new song, timing set.
inline std::unique_ptr<Engine> NewEngine() {
  auto engine = std::make_unique<Engine>();
  engine->NewSong();
  return engine;
}

inline void PutSample(Engine& e, int slot, std::vector<int16_t> data, uint32_t rate,
                      SampleCategory category, const std::string& name = "s") {
  FillSlot(e.samples.slots[slot], SampleData(data.begin(), data.end()), rate, name, category);
}

// "s0", "s1", ...: a sample name. Built without `"s" + std::to_string(n)`, which GCC 12
// misreads as an overlapping copy at -O3 and reports with -Wrestrict.
inline std::string NumberedName(int n) {
  std::string name = std::to_string(n);
  name.insert(name.begin(), 's');
  return name;
}

// A note of `sample` on a step of pattern (bank, pattern).
inline Step& PutNote(Engine& e, int bank, int pattern, int channel, int step, int sample) {
  Step& s = e.state.song.step(bank, pattern, channel, step);
  s.trigger = 1;
  s.sample = static_cast<uint8_t>(sample);
  return s;
}

// Starts the clock the way playback does: positions set, ProcessStep stopped, playing.
inline void Start(Engine& e, int bank = 0, int pattern = 0) {
  e.state.playBank = bank;
  e.state.playPattern = pattern;
  e.playing = false;
  e.ProcessStep();
  e.playing = true;
}

// Runs the engine for n output samples and returns them.
inline std::vector<int16_t> Render(Engine& e, std::size_t n) {
  std::vector<int16_t> out(n);
  for (auto& v : out) {
    v = e.RenderSample();
  }
  return out;
}

// Runs until the clock has moved to `step` (the call that runs ProcessStep included).
inline void RunToStep(Engine& e, int step) {
  while (e.clock.currentStep != step) {
    e.RenderSample();
  }
}

} // namespace lw::test
