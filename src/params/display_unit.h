// The unit a view shows beside a value: the description's own UNIT, or for a description that names
// none (an ECU.ini without UNIT) the unit its meaning implies. Values whose text carries IZM or a MASK
// get none. Pure functions over a loaded record; any thread.
#pragma once

#include <string>
#include <vector>

namespace velmora {

class TECUparam;

// In the window's language; empty when the value text says it already or the value has no unit.
std::string DisplayUnit(const TECUparam& param);
// The units DisplayUnit gives by meaning, translated: a column sized for the widest lines up every row.
std::vector<std::string> MeaningUnits();

} // namespace velmora
