// The unit's own numbering of its faults: fault bit (HFM/PMS) or slot (LH) to the fault code the unit
// blinks as a slow code. Pure functions, any thread.
#pragma once

#include "sim/sim_profile.h"

namespace velmora {

// The code for 1-based fault bit `bit` (HFM/PMS) or slot (LH); 0 when the bit has no code.
int FaultCodeFor(TSimFamily family, int bit);

} // namespace velmora
