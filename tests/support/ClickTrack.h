#pragma once

#include "EngineHelpers.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lw::test {

// Channel 1 of pattern (0, p) clicks on every step with a drum whose values rise from
// `base`, so a step's first sample (base + 1) shows where it began and which pattern.
inline void Clicks(Engine& e, int pattern, int slot, int16_t base) {
  std::vector<int16_t> ramp(1500);
  for (std::size_t i = 0; i < ramp.size(); ++i) {
    ramp[i] = static_cast<int16_t>(base + static_cast<int16_t>(i));
  }
  PutSample(e, slot, ramp, 44100, SampleCategory::Drum);
  for (int st = 0; st < kSteps; ++st) {
    PutNote(e, 0, pattern, 0, st, slot);
  }
  e.state.song.channel(0, pattern, 0).volume = 127;
}

// A frame at which channel 1 begins a step, with the first value there (which shows the
// pattern: bases are multiples of 2000 from 1000).
struct Onset {
  std::size_t frame;
  int32_t value;
};

// The onsets in channel 1's values (its samples times 65536), counting frames from `first`.
inline std::vector<Onset> Onsets(const std::vector<int32_t>& values, std::size_t first = 0) {
  std::vector<Onset> found;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int32_t before = i == 0 ? 0 : values[i - 1];
    if (values[i] % 2000 == 1001 && values[i] - before != 1) {
      found.push_back({first + i, values[i]});
    }
  }
  return found;
}

inline std::vector<Onset> Onsets(const std::vector<float>& channel) {
  std::vector<int32_t> values(channel.size());
  for (std::size_t i = 0; i < channel.size(); ++i) {
    values[i] = static_cast<int32_t>(std::lround(channel[i] * 65536.0F));
  }
  return Onsets(values);
}

} // namespace lw::test
