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
// The unit of the value text for a unit column (CSV, JSON): IZM, else UNIT; empty with a MASK.
std::string ValueUnit(const TECUparam& param);
// " " + UNIT when the value text carries no unit of its own (no IZM, no MASK), else empty: appended to
// the value in texts that print a name and its value (exchange-log conversion, velmora-cli watch).
std::string UnitSuffix(const TECUparam& param);
// Every unit DisplayUnit gives for the built-in sets, translated: a column sized for the widest lines
// up the names of every row.
std::vector<std::string> ColumnUnits();

} // namespace velmora
