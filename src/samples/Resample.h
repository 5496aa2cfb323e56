#pragma once

#include "samples/SampleTable.h"

#include <cstdint>

namespace lw {

// Converts mono 16-bit sample data from `fromRate` to `toRate` with a high-quality
// band-limited resampler. The result is the same on every run (no dither), and holds
// about size * toRate / fromRate values; very short inputs may give none. A failure
// inside the resampler throws IoError with its text.
[[nodiscard]] SampleData Resample(const SampleData& input, uint32_t fromRate, uint32_t toRate);

} // namespace lw
