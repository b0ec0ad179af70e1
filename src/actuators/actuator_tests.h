// The actuator tests: entering the unit's test mode at connection start, the window queuing a command
// and the worker sending it at the start of its next polling cycle. QueueAct runs on the window thread;
// everything else on the worker.
#pragma once

#include <cstdint>

#include "actuators/actuator_state.h"

namespace velmora {

// Waits, 5 ms at a time and at most 101 times, for the previous command to leave, then queues
// command * 256 + value. True when the slot was free; false when the previous command, still waiting,
// was replaced (the worker did not send it within about half a second). DiscardAct drops what waits;
// ResetAct returns every output to the unit's standard state (ResetActuators).
bool QueueAct(TActuatorState& state, uint8_t command, uint8_t value);
bool QueueAct(TActuatorState& state, uint16_t act);
// The command bytes of the actuator channels, 0xD0-0xDC; the worker refuses to send any other.
bool IsActuatorChannel(uint8_t command);

// Sends the queued command, with the throttle's and the injectors' preambles, and posts WM_USER+13
// with each command word sent. The slot is cleared even when the link fails: the command belongs to
// this connection.
void SendPendingAct(TActuatorContext& context);

// Sends every actuator channel its standard value (the entry value of the unit's generation) and posts
// WM_USER+13 with each, so that the window's read-back confirms it; clears OutputsChanged. Throws what
// the link throws (a lost link): the outputs are then left as the unit holds them.
void ResetActuators(TActuatorContext& context);

// Opens the actuator test mode on a unit of the late or newest generation and posts the channels'
// entry values (WM_USER+13) and the ready message (WM_USER+11). A refusal is logged and clears
// ActivationOn.
void EnterActivation(TActuatorContext& context);

} // namespace velmora
