// Where the smoothness test finds its cylinders: the period parameters 90-95 of the parameter set, the
// slot table that walks them in firing order, and the window's columns. Pure functions over a set that
// is no longer being filled; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace velmora {

class TListParams;

constexpr int FirstPeriodParam = 90; // parameter 89 + slot table entry
constexpr int LastPeriodParam = 95;
// The tab is offered when this parameter exists; six cylinders when LastPeriodParam exists.
constexpr int SmoothTabParam = 93;
// Units of the period parameters per ms that a set built here gets (the unit writes 10-µs ticks).
constexpr int PeriodTicksPerMs = 100;
// Poll level (× 1024 ms) of the period parameters added here in the normal polling.
constexpr uint8_t PeriodPollLevel = 10;

// How many of the parameters 90-95 the set holds.
int PeriodParamCount(const TListParams& set);
// 6 when parameter 95 exists, otherwise 4.
int SmoothCylinders(const TListParams& set);

// Slot s (1..n) reads parameter 89 + SlotTable(n)[s - 1]; the slot after s is that same entry.
std::span<const uint8_t> SlotTable(int cylinders);
// The slot whose entry is `cylinder`: the slot read just before that cylinder's; 1 when none is.
int StartSlot(int cylinders, int cylinder);
// The column (1..n, left to right in firing order) of a cylinder in the window; 0 when out of range.
int SmoothColumn(int cylinders, int cylinder);
// The cylinders from left to right.
std::span<const uint8_t> SmoothColumns(int cylinders);

// Adds the period parameters of a four- or six-cylinder engine to an HFM/PMS set that lacks them:
// parameter 89 + t is read at CMD 85 (89 + t) as a word of PeriodTicksPerMs units per ms and named after
// the cylinder whose working period it holds.
void AppendPeriodParams(TListParams& set, int cylinders);

} // namespace velmora
