#include "log_convert/ident_block.h"

#include "engine_link/ident_report.h"
#include "lang/dictionary.h"
#include "log_convert/known_requests.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

constexpr uint8_t IdentCommand = 0xF0;
constexpr uint8_t VinCommand = 0xF9;
constexpr size_t FamilyBytes = 0x0D; // the LH and EZ rules look at block bytes 0..12

uint8_t FamilyOfFirstByte(uint8_t first) {
    switch (first) {
    case 0x27:
    case 0x2C:
        return UnitHfm;
    case 0x21:
    case 0x23:
        return UnitPms;
    default:
        return UnitUnknown;
    }
}

} // namespace

bool TIdentBlock::Take(uint8_t cmd, uint8_t param, uint8_t value) {
    if (cmd == IdentCommand && param < Collected.IdentBuf.size()) {
        if (!Collecting || param == 0) {
            Collected = TEcuIdent{};
            AnyVin = false;
        }
        Collecting = true;
        Collected.IdentBuf[param] = value;
        return true;
    }
    if (!Collecting)
        return false;
    if (cmd == VinCommand && param < Collected.VinBuf.size()) {
        Collected.VinBuf[param] = value;
        AnyVin = true;
        return true;
    }
    const uint8_t family = CandidateFamily({Collected.IdentBuf.data(), FamilyBytes});
    for (const TIdentExtra& extra : IdentExtras()) {
        if (extra.UnitType == family && extra.Cmd == cmd && extra.Param == param) {
            if (extra.Index != NoIdentByte)
                Collected.IdentBuf[extra.Index] = value;
            return true;
        }
    }
    return false;
}

uint8_t TIdentBlock::Family() const {
    return Collecting ? CandidateFamily({Collected.IdentBuf.data(), FamilyBytes}) : uint8_t(UnitUnknown);
}

std::vector<std::string> TIdentBlock::Finish() {
    Collecting = false;
    TEcuIdent ident = Collected;
    ident.UnitType = CandidateFamily({ident.IdentBuf.data(), FamilyBytes});
    std::vector<std::string> lines;
    if (ident.UnitType == UnitUnknown && FamilyOfFirstByte(ident.IdentBuf[0]) == UnitUnknown) {
        lines.push_back(Translate("Тип системы не определен (HFM/PMS), предполагаем что это HFM!"));
        ident.UnitType = UnitHfm;
    }
    for (std::string& line : ClassifyIdent(ident))
        lines.push_back(std::move(line));
    if (!AnyVin)
        ident.VinBuf.fill(0);
    for (std::string& line : PrintInfo(ident, false))
        lines.push_back(std::move(line));
    Unit = ident;
    return lines;
}

} // namespace velmora
