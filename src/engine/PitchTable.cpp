#include "engine/PitchTable.h"

namespace lw {

namespace {

// Frequencies in Hz of the lowest octave, C to B. The semitone ratios follow these
// rounded values, not an exact twelfth root of two.
constexpr std::array<double, 12> kNoteFrequencies = {
    16.3516, 17.3239, 18.354,  19.4454, 20.6017, 21.8268,
    23.1247, 24.4997, 25.9565, 27.5,    29.1352, 30.8677,
};

} // namespace

void BuildPitchTable(PitchTable& table) {
  for (int k = 0; k < 12; ++k) {
    const double ratio = kNoteFrequencies[k] / kNoteFrequencies[0];
    table[k] = ratio / 8.0;
  }
  for (int row = 1; row < kPitchNotes / 12; ++row) {
    for (int k = 0; k < 12; ++k) {
      table[12 * row + k] = table[12 * (row - 1) + k] * 2.0;
    }
  }
}

const PitchTable& GetPitchTable() {
  static const PitchTable table = [] {
    PitchTable t{};
    BuildPitchTable(t);
    return t;
  }();
  return table;
}

double PitchRatio(int note) noexcept {
  const int n = note < 0 ? 0 : (note >= kPitchNotes ? kPitchNotes - 1 : note);
  return GetPitchTable()[n];
}

} // namespace lw
