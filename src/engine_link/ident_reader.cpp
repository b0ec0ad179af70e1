#include "engine_link/ident_reader.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <span>
#include <vector>

#include "engine_link/agreed_read.h"
#include "engine_link/link_shared.h"
#include "lang/translated_format.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

struct TPair {
    uint8_t Cmd;
    uint8_t Param;
};

constexpr uint8_t IdentCmd = 0xF0;
constexpr uint8_t VinCmd = 0xF9;
constexpr uint8_t BlockLast = 0x27;
// Block addresses never read: the units answer them with nothing useful.
constexpr uint8_t SkipFirst = 0x1C;
constexpr uint8_t SkipLast = 0x25;

// LH extras and where they are kept.
struct TStoredPair {
    TPair Pair;
    uint8_t Index;
};
constexpr TStoredPair LhExtras[] = {
    {{0x40, 0xF7}, 0x10}, {{0x40, 0xF8}, 0x11}, {{0x40, 0xFA}, 0x12},
    {{0x40, 0xFB}, 0x13}, {{0x00, 0x22}, 0x20}, {{0x10, 0xC9}, 0x21},
};

// EZ identification after the block; the unit expects these pairs in this order.
constexpr TPair EzStart[] = {{0x11, 0xAA}, {0x02, 0x7F}};
constexpr uint8_t EzStartAnswer = 0x80;
constexpr uint8_t EzDiagIndexParams[] = {0xF2, 0xF3}; // -> 0x10
constexpr uint8_t EzNumberParams[] = {0xBF, 0xC0, 0xC1, 0xC2, 0xC3, 0xC6,
                                      0xC7, 0xC8, 0xC9, 0xCA, 0xCB}; // -> 0x12
constexpr uint8_t EzReadCmd = 0x80;
// The fault counters start with a bank 0 read of 0x21 before the restart pair.
constexpr TPair EzCounterStart[] = {{0x00, 0x00}, {0xFF, 0x21}, {0x10, 0x00}, {0x11, 0xAA}};
constexpr TPair EzRestart[] = {{0x10, 0x00}, {0x11, 0xAA}};
constexpr TPair EzCurrentFaultCycle[] = {{0x00, 0x00}, {0xFF, 0x2C}, {0xFF, 0xF0},
                                         {0xFF, 0xF1}, {0xFF, 0xF2}, {0xFF, 0xF3}};
constexpr int EzCurrentFaultCycles = 4;
constexpr size_t EzCurrentFaultBits = 4; // the last four answers of a cycle carry fault bits
constexpr TPair EzFaultListStart[] = {{0x10, 0x00}, {0x11, 0xAA}, {0x00, 0x80}};
constexpr uint8_t EzIrreversibleFirst = 0x18, EzIrreversibleLast = 0x1C;
constexpr uint8_t EzStoredFirst = 0x2D, EzStoredLast = 0x54;
constexpr TPair EzClosingSeries[] = {
    {0x00, 0x00}, {0xFF, 0x3D}, {0xFF, 0x41}, {0xFF, 0xA0}, {0xFF, 0x26}, {0xFF, 0x2C}, {0x00, 0x80},
    {0xFF, 0x73}, {0xFF, 0x72}, {0x00, 0x00}, {0xFF, 0x26}, {0xFF, 0x4D}, {0xFF, 0x41}, {0xFF, 0x34},
    {0xFF, 0x37}, {0xFF, 0x33}, {0xFF, 0x3D}, {0xFF, 0x41}, {0xFF, 0xA0}, {0xFF, 0x26}, {0xFF, 0x2C},
    {0x00, 0x00}, {0xFF, 0x26}, {0xFF, 0x4D}, {0xFF, 0x2E}, {0xFF, 0x39}, {0xFF, 0x30}, {0xFF, 0x33},
    {0xFF, 0x66}, {0xFF, 0x21}, {0xFF, 0x3D}, {0xFF, 0x41}, {0xFF, 0xA0}, {0xFF, 0x26}, {0xFF, 0x2C},
    {0x00, 0x80}, {0xFF, 0x73}, {0xFF, 0x72}, {0x00, 0x00}, {0xFF, 0xA4}, {0xFF, 0xA3}, {0xFF, 0xA7},
    {0xFF, 0xA5}, {0xFF, 0xA2}, {0xFF, 0xA0}, {0xFF, 0xA6}, {0xFF, 0xA1},
};
constexpr int EzClosingSeriesCycles = 10;
constexpr uint8_t EzClosingTable[] = {0x07, 0x05, 0x02, 0x01, 0x04, 0x00, 0x06, 0x03,
                                      0x0F, 0x0D, 0x0A, 0x09, 0x0C, 0x08, 0x0E, 0x0B};
constexpr TPair EzClosingFinal[] = {{0x00, 0x80}, {0xFF, 0x1D}};
constexpr int EzClosingFinalCycles = 5;
constexpr uint32_t EzClosingPauseMs = 50;

// Opening reads the unit expects before polling; the values are not used.
struct TOpeningReads {
    uint8_t UnitType;
    uint8_t Supplier;
    uint8_t DiagFrom, DiagTo; // inclusive range of DiagIndex
    std::span<const TPair> Pairs;
};
constexpr TPair PmsBoschOpening[] = {{0x21, 0xB0}};
constexpr TPair PmsSiemensOpening[] = {{0x20, 0x30}, {0x20, 0xDC}, {0x21, 0x92}, {0x21, 0x93}, {0x20, 0x00}};
constexpr TPair HfmBoschOpening[] = {{0x10, 0xAA}, {0x27, 0x02}, {0x24, 0xF0}, {0x10, 0xAA}, {0x10, 0x00}};
constexpr TPair HfmVdoOpening[] = {{0x10, 0x00}, {0x10, 0x00}, {0x10, 0x02}, {0x22, 0x22},
                                   {0x10, 0x03}, {0x22, 0x23}, {0x10, 0x04}, {0x10, 0x00}};
constexpr TOpeningReads OpeningReads[] = {
    {UnitPms, SupplierBosch, 0, 255, PmsBoschOpening},
    {UnitPms, SupplierSiemens, 0, 255, PmsSiemensOpening},
    {UnitHfm, SupplierBosch, 40, 42, HfmBoschOpening},
    {UnitHfm, SupplierVdo, 40, 42, HfmVdoOpening},
};

// Counts the request pairs for the exchange-rate measurement.
class TCountingRequest {
public:
    explicit TCountingRequest(const TRequestPair& request) : Request(request) {}
    uint8_t operator()(uint8_t cmd, uint8_t param) {
        ++Count;
        return Request(cmd, param);
    }
    uint8_t operator()(TPair pair) { return (*this)(pair.Cmd, pair.Param); }
    void Run(std::span<const TPair> pairs) {
        for (TPair pair : pairs)
            (*this)(pair);
    }
    int Count = 0;

private:
    const TRequestPair& Request;
};

void ReadLhExtras(TEcuIdent& ident, TCountingRequest& request) {
    for (const TStoredPair& extra : LhExtras)
        ident.IdentBuf[extra.Index] = request(extra.Pair);
}

void ReadEz(TEcuIdent& ident, TCountingRequest& request) {
    request(EzStart[0]);
    const uint8_t started = request(EzStart[1]);
    if (started != EzStartAnswer)
        AddLog(FormatText("BAD response 027F=%.2X", unsigned(started)));
    size_t index = 0x10;
    for (uint8_t param : EzDiagIndexParams)
        ident.IdentBuf[index++] = request(EzReadCmd, param);
    for (uint8_t param : EzNumberParams)
        ident.IdentBuf[index++] = request(EzReadCmd, param);

    int current = 0;
    request.Run(EzCounterStart);
    for (int cycle = 0; cycle < EzCurrentFaultCycles; ++cycle) {
        for (size_t i = 0; i < std::size(EzCurrentFaultCycle); ++i) {
            const uint8_t value = request(EzCurrentFaultCycle[i]);
            if (i >= std::size(EzCurrentFaultCycle) - EzCurrentFaultBits)
                current += std::popcount(value);
        }
    }
    AddLog(FormatText("Current faults count = %d", current));

    int irreversible = 0;
    request.Run(EzFaultListStart);
    for (int param = EzIrreversibleFirst; param <= EzIrreversibleLast; ++param)
        irreversible += std::popcount(request(0xFF, uint8_t(param)));
    AddLog(FormatText("Irreversible faults count = %d", irreversible));

    int stored = 0;
    request.Run(EzFaultListStart);
    for (int param = EzStoredFirst; param <= EzStoredLast; ++param)
        stored += request(0xFF, uint8_t(param)) != 0 ? 1 : 0;
    AddLog(FormatText("Stored faults count = %d", stored));

    request.Run(EzRestart);
    for (int cycle = 0; cycle < EzClosingSeriesCycles; ++cycle)
        request.Run(EzClosingSeries);
    for (uint8_t param : EzClosingTable) {
        request(0x00, 0x81);
        request(0xFF, param);
    }
    for (int cycle = 0; cycle < EzClosingFinalCycles; ++cycle) {
        Clock().Sleep(EzClosingPauseMs);
        request.Run(EzClosingFinal);
    }
}

// Waits for the tick count to move, so that the measurement starts on an edge; returns the start,
// taken as the edge minus half of the wait for it.
uint32_t TickEdge() {
    const uint32_t before = Clock().TickCount();
    uint32_t now = before;
    while (now == before) {
        Clock().Sleep(1);
        now = Clock().TickCount();
    }
    return now - TicksSince(before, now) / 2;
}

void MeasureRate(TEcuIdent& ident, uint32_t start, int requests) {
    const uint32_t elapsedMs = std::max<uint32_t>(TicksSince(start, Clock().TickCount()), 1);
    if (requests <= 0)
        return;
    ident.MsPerRequest = uint16_t((elapsedMs + uint32_t(requests) / 2) / uint32_t(requests));
    const int rate = int((uint64_t(requests) * 1000 + elapsedMs / 2) / elapsedMs);
    LogT("Скорость обмена %d Гц", rate);
}

// Reads `readOnce` until two reads agree; a line that never lets them agree is named in the failure.
std::vector<uint8_t> ReadUntilAgreed(const std::function<std::vector<uint8_t>()>& readOnce,
                                     std::string_view what, std::string_view label) {
    std::vector<std::vector<uint8_t>> reads;
    for (int i = 0; i < AgreedReadAttempts; ++i) {
        reads.push_back(readOnce());
        if (std::optional<std::vector<uint8_t>> agreed = AgreedRead(reads))
            return *agreed;
    }
    throw LinkException(DisagreedReadsText(what, label, reads));
}

// The block bytes by address up to where the block ends (addresses never read stay 0); the end depends
// on the family the first bytes point to.
std::vector<uint8_t> ReadBlockOnce(TCountingRequest& request) {
    std::vector<uint8_t> block;
    uint8_t unitType = UnitUnknown;
    uint8_t last = BlockLast;
    for (uint8_t address = 0; address <= last; ++address) {
        if (address >= SkipFirst && address <= SkipLast) {
            block.push_back(0);
            continue;
        }
        const uint8_t value = request(IdentCmd, address);
        block.push_back(value);
        // LH and EZ blocks are short; the decision uses the candidate before this byte's rule.
        if (address == 0x0C && unitType == UnitLh)
            last = 0x0D;
        else if (address == 0x0C && unitType == UnitEz)
            last = 0x0C;
        unitType = NextCandidate(unitType, address, value);
    }
    return block;
}

// The VIN characters; a first answer of 0x00 or 0xFF (no VIN) ends the read.
std::vector<uint8_t> ReadVinOnce(TCountingRequest& request) {
    std::vector<uint8_t> vin;
    for (uint8_t i = 0; i < 14; ++i) {
        vin.push_back(request(VinCmd, i));
        if (i == 0 && (vin[0] == 0x00 || vin[0] == 0xFF))
            break;
    }
    return vin;
}

void ReadVin(TEcuIdent& ident, TCountingRequest& request) {
    const std::vector<uint8_t> vin =
        ReadUntilAgreed([&] { return ReadVinOnce(request); }, "чтения VIN", "символы");
    std::copy(vin.begin(), vin.end(), ident.VinBuf.begin());
}

void SendOpeningReads(const TEcuIdent& ident, TCountingRequest& request) {
    for (const TOpeningReads& row : OpeningReads) {
        if (row.UnitType == ident.UnitType && row.Supplier == ident.Supplier &&
            ident.DiagIndex >= row.DiagFrom && ident.DiagIndex <= row.DiagTo)
            request.Run(row.Pairs);
    }
}

} // namespace

void Identify(TEcuIdent& ident, const TRequestPair& requestPair, bool codingPending) {
    ident = TEcuIdent{};
    TCountingRequest request(requestPair);
    const uint32_t start = TickEdge();

    // The family and everything after it follow from the block, so it is read until two reads agree.
    const std::vector<uint8_t> block =
        ReadUntilAgreed([&] { return ReadBlockOnce(request); }, "чтения блока идентификации", "байты");
    for (uint8_t address = 0; address < block.size(); ++address) {
        ident.IdentBuf[address] = block[address];
        if (address < SkipFirst || address > SkipLast)
            ident.UnitType = NextCandidate(ident.UnitType, address, block[address]);
    }
    ident.ExtraId1 = ident.IdentBuf[0x26];
    ident.ExtraId2 = ident.IdentBuf[0x27];

    if (ident.UnitType == UnitEz) {
        ReadEz(ident, request);
        for (const std::string& line : ClassifyIdent(ident))
            AddLog(line);
        return;
    }
    if (ident.UnitType == UnitLh)
        ReadLhExtras(ident, request);
    MeasureRate(ident, start, request.Count);

    for (const std::string& line : ClassifyIdent(ident))
        AddLog(line);
    // Only HFM and PMS units answer the VIN command.
    const bool hfmOrPms = ident.UnitType == UnitHfm || ident.UnitType == UnitPms;
    if (hfmOrPms && ident.IsLateGeneration() && ident.IsVinSupported() && !codingPending)
        ReadVin(ident, request);
    SendOpeningReads(ident, request);
}

} // namespace velmora
