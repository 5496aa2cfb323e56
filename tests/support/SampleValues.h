#pragma once

#include "samples/SampleTable.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lw {

// A sample's values against the plain values a test expects.
inline bool operator==(const SampleData& values, const std::vector<int16_t>& expected) {
  return std::equal(values.begin(), values.end(), expected.begin(), expected.end());
}

} // namespace lw
