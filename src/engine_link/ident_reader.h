// The identification sequence of the engine unit: which request pairs are sent, in which order, right
// after the wake-up. Bytes move through a request-pair callable supplied by the link, so the sequence
// runs the same on a KKL cable, through an ELM327 or against a table in a test. Worker thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "engine_link/ecu_ident.h"

namespace velmora {

// Sends (command, parameter) and returns the unit's value byte; a link failure throws.
using TRequestPair = std::function<uint8_t(uint8_t cmd, uint8_t param)>;

// Reads the identification block and the family's extra bytes into a fresh `ident`, classifies the
// unit, reads the VIN (unless a coding run is pending) and sends the family's opening reads. Results
// and doubts go to the log memo.
void Identify(TEcuIdent& ident, const TRequestPair& request, bool codingPending);

} // namespace velmora
