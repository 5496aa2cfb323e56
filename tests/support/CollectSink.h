#pragma once

#include "audio_out/Render.h"

#include <cstdint>
#include <vector>

namespace lw::test {

// Keeps rendered audio in memory, noting the size of every pattern appended.
struct CollectSink : PatternSink {
  std::vector<int16_t> samples;
  std::vector<std::size_t> appends;
  void Append(const int16_t* s, std::size_t n) override {
    samples.insert(samples.end(), s, s + n);
    appends.push_back(n);
  }
};

} // namespace lw::test
