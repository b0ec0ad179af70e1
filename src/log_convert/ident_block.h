// The identification block as an exchange log shows it: the 0xF0 and 0xF9 reads and the family's
// extra reads, collected into a TEcuIdent and, once the block is over, classified and turned into the
// identification report. One converter thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine_link/ecu_ident.h"

namespace velmora {

class TIdentBlock {
public:
    // Takes the pair when it belongs to the identification block; false for any other pair.
    bool Take(uint8_t cmd, uint8_t param, uint8_t value);
    // Whether a block has been collected and not yet reported.
    bool Pending() const { return Collecting; }
    // The family the block collected so far tells (LH or EZ by their rules); 0 when none yet.
    uint8_t Family() const;
    // Classifies the collected block and returns the report lines; the block is then closed. An
    // HFM/PMS block whose family the first byte does not tell is taken as HFM, with a line saying so.
    std::vector<std::string> Finish();

    // The unit of the last finished block (UnitType 0 before any).
    const TEcuIdent& Ident() const { return Unit; }

private:
    TEcuIdent Collected;
    TEcuIdent Unit;
    bool Collecting = false;
    bool AnyVin = false;
};

} // namespace velmora
