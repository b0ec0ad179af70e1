// What a module's answers mean (the module side of a dialogue, no port): the identification (0x8F) with
// supplier, part number and versions, fault records (0x90 01 code, 0x90 28 end), acknowledgements
// (0xD0 result, repeated refusals counted) and the closed connection (0xF0). Lines go to the log window
// through the host. The thread of the module dialogue.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The supplier's name for the identification's supplier code, or "not known (XXh)".
std::string ModuleSupplierName(uint8_t code);
// "          Module: E-GAS" for 0x18, EGS for 0x20, SRS for 0x41, else the address in hex.
std::string ModuleName(uint8_t address);

class TModuleInfo {
public:
    // Most fault codes kept, and after how many the module is asked no more.
    static constexpr size_t MaxFaults = 20;
    static constexpr size_t FaultsAsked = 16;
    // Refusals in a row after which a command is not repeated, whatever their results: a module that
    // alternates two refusals must not be asked forever.
    static constexpr int MaxRefusals = 5;

    // Interprets one answer payload (hex text: answer code, then data). `lastRequest` is the request
    // text it answers; `address` the module's. More: ask again (next fault record, or repeat a refused
    // command); Failed: the command was refused.
    void Show(std::string_view payload, std::string_view lastRequest, uint8_t address, bool& more,
              bool& failed);

    void ClearFaults();
    const std::vector<uint16_t>& Faults() const { return FaultCodes; }
    // Fault records read, also those beyond MaxFaults.
    size_t FaultCount() const { return FaultsRead; }
    // The ten hex digits of the part number from the identification ("" before one came).
    const std::string& PartNumber() const { return Part; }
    // The supplier code of the identification (0 before one came).
    uint8_t Supplier() const { return SupplierCode; }
    bool Identified() const { return !Part.empty(); }

    bool ListFaults = true; // the fault listing in the log window
    bool ShowRaw = false;   // answers of other codes as request=payload

private:
    void ShowIdent(const std::vector<uint8_t>& bytes, uint8_t address);
    void ShowFault(const std::vector<uint8_t>& bytes, std::string_view payload, std::string_view lastRequest,
                   bool& more);
    void ShowAcknowledge(const std::vector<uint8_t>& bytes, std::string_view payload, bool& more,
                         bool& failed);

    std::vector<uint16_t> FaultCodes;
    size_t FaultsRead = 0;
    std::string Part;
    uint8_t SupplierCode = 0;
    int RefusalsInRow = 0;
};

} // namespace velmora
