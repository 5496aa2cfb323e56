#include "engine/Overdrive.h"

namespace lw {

// Built at build time by make_overdrive_table from BuildOverdriveCurves, so that no
// program spends the 10 ms of extended-precision powers at start-up.
extern const OverdriveTable kOverdriveCurvesBuilt;

const OverdriveTable& OverdriveCurves() {
  return kOverdriveCurvesBuilt;
}

} // namespace lw
