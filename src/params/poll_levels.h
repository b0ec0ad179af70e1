// Default poll levels: how often each parameter of a built-in set needs reading. A level L lets a
// parameter be read at most every L × 1024 ms when the scheduler honours levels (the stalest-first
// choice and the screens' side zones); 0 means every cycle, 255 almost never after the first read.
// Rules of the table (poll_levels.cpp):
//   - what moves with the engine (speed, injection, throttle, air mass, oxygen sensor, load, the status
//     bytes) is 0: read every cycle, running or not;
//   - temperatures and the battery voltage follow the engine slowly: 2 (about 2 s);
//   - adaptation values change over minutes of driving: 90 while the engine runs, 255 while it stands;
//   - identification bytes (code and coding numbers, the HFM identifier, variant bits) never change
//     during a connection: 255;
//   - counters, resistor plugs and pressures: 30; values that only move under load (ignition-coil
//     figures, knock angles) are 1–2 running and 10 standing;
//   - anything not in the table: 4.
// The first read is never held back: a record that was never read is due at once (TPollCursor).
// Called by the worker at connection start and when the engine starts or stops.
#pragma once

namespace velmora {

class TListParams;

// Sets PollLevel of every record of the set from the table of the unit family (UnitType).
void AssignPollLevels(TListParams& params, int unitType, bool engineRunning);

} // namespace velmora
