// The graph a first run starts with: when the program's INI holds no graph settings yet, a default set
// of curves for the connected unit is written there, so the tab "Графики" shows something at once and
// the user edits it like any other graph setting. Window thread only.
#pragma once

namespace velmora {

class TIniFile;
class TListParams;

// Writes SCREEN_TIME, SOURCE and the COLOR, RANGE and LINES keys of the default curves into the graph
// section OPTIONS/GRAPHS names (GRAPH0 without that key), unless the section already has a SOURCE key
// (an empty SOURCE is the user's choice of no curve). The curves are chosen by meaning (parameter
// identifiers), so the numbers fit the unit family of `params`. Returns whether it wrote anything;
// false also when the set has none of the default curves or the file cannot be written.
bool WriteDefaultGraph(TIniFile& ini, const TListParams& params);

} // namespace velmora
