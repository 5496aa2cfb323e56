#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace lw {

// Rounds to the nearest integer with exact halves going to the even neighbour
// (5512.5 gives 5512, 62.5 gives 62, -2.5 gives -2). Every conversion of a computed
// value to an integer in the engine, the knobs, the progress display and the editing
// commands goes through here, so renders are identical on every machine.
//
// Adding 1.5 * 2^52 moves the value into the range where a double's unit in the last
// place is exactly 1, so the addition itself rounds to an integer under IEEE
// round-to-nearest-even; subtracting the constant again is exact. Values of 2^51 and
// more are integers already.
//
// The unchecked form takes only |x| < 2^51, for callers that have bounded x already.
inline double RoundHalfEvenUnchecked(double x) {
  constexpr double kShift = 6755399441055744.0; // 1.5 * 2^52
  const double shifted = x + kShift;
  return shifted - kShift;
}

inline double RoundHalfEvenToDouble(double x) {
  constexpr double kExactFrom = 2251799813685248.0; // 2^51
  if (!(std::fabs(x) < kExactFrom)) {
    return x;
  }
  return RoundHalfEvenUnchecked(x);
}

// The same, converted to int32; values beyond the int32 range saturate and NaN gives 0,
// so no file value can make the conversion undefined.
inline int32_t RoundHalfEven(double x) {
  const double r = RoundHalfEvenToDouble(x);
  if (r >= 2147483647.0) {
    return std::numeric_limits<int32_t>::max();
  }
  if (r <= -2147483648.0) {
    return std::numeric_limits<int32_t>::min();
  }
  if (r != r) {
    return 0;
  }
  return static_cast<int32_t>(r);
}

} // namespace lw
