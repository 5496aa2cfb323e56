// The construction of the overdrive curves, run at build time by make_overdrive_table
// and by the tests that check the table compiled into the program.
#include "engine/Overdrive.h"

#include <cmath>
#include <cstdlib>

namespace lw {

namespace {

// Half to even in extended precision, for the curves only.
long double RoundHalfEvenLong(long double x) {
  const long double down = std::floor(x);
  const long double diff = x - down;
  if (diff > 0.5L) {
    return down + 1.0L;
  }
  if (diff < 0.5L) {
    return down;
  }
  return std::fmod(down, 2.0L) == 0.0L ? down : down + 1.0L;
}

} // namespace

void BuildOverdriveCurves(OverdriveTable& table) {
  for (int i = 0; i < kOverdriveCurves; ++i) {
    const double exponent = static_cast<double>(i * 4) / 512.0 + 1.0;
    int16_t* curve = &table[static_cast<std::size_t>(i) * kOverdriveEntries];
    curve[0] = 0;
    for (int j = 1; j < kOverdriveEntries; ++j) {
      const long double base = 16.0L * j;
      // Curve 0 has an integral exponent: the power is the base itself.
      const long double power = (i == 0) ? base : std::exp(exponent * std::log(base));
      const long double rounded = RoundHalfEvenLong(power);
      curve[j] = static_cast<int16_t>(rounded > 32000.0L ? 32000 : static_cast<int>(rounded));
    }
  }
}

} // namespace lw
