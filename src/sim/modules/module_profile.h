// What the simulated E-GAS, EGS and SRS modules of a car are: address, baud rate, identification, fault
// memory, erase rules, timing and faults; the profile sections [EGAS], [EGS] and [SRS] of
// docs/sim-profiles.md. Plain values; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velmora {

enum class TSimModuleKind : uint8_t { EGas, Egs, Srs };

// The erase code the simulated SRS modules take (three times in a row) unless a profile sets another;
// both of the tester's module adapters send the same value (SrsEraseAccessCode).
constexpr uint16_t SimSrsAccessCode = 0x3F01;

struct TSimModuleProfile {
    bool Present = true;
    uint8_t Address = 0;
    int Baud = 9600;                     // the module's UART; it answers the 5-baud address at this rate only
    uint8_t Supplier = 0;                // identification byte 9 (3 Bosch, 17 VDO, 24 MBB ...)
    std::array<uint8_t, 5> PartNumber{}; // identification bytes 2-6, ten hex digits
    uint8_t Variant = 0;                 // identification byte 7
    std::array<uint8_t, 3> Diagnosis{};  // identification bytes 8, 14 and 15
    std::array<uint8_t, 2> Hardware{};   // identification bytes 10, 11
    std::array<uint8_t, 2> Software{};   // identification bytes 12, 13
    std::array<uint8_t, 2> KeyBytes{0x01, 0x8A};
    std::vector<uint16_t> Faults;  // the fault memory, in the order it is read out
    std::vector<uint16_t> Current; // faults present now: an erase leaves them stored
    bool EraseCommand = true;      // the request 18 00 erases (E-GAS, EGS)
    uint16_t AccessCode = 0;       // SRS: three of these in a row erase (0: none)
    double MinByteSpacingMs = 0;   // request bytes closer than this (start to start) are refused (0x74)
    double MaxByteGapMs = 50;      // a longer pause inside a request starts over
    double SyncDelayMs = 40;       // from the end of the address's stop bit to the sync byte
    double AnswerDelayMs = 25;     // from the end of a request to the answer
    uint32_t SleepTimeoutMs = 5000;
    bool Silent = false;             // never answers its address
    uint32_t WrongChecksumEvery = 0; // every N-th frame it sends carries a wrong checksum
};

struct TSimModules {
    TSimModuleProfile EGas;
    TSimModuleProfile Egs;
    TSimModuleProfile Srs;

    TSimModuleProfile& Of(TSimModuleKind kind);
    const TSimModuleProfile& Of(TSimModuleKind kind) const;
};

// The modules every simulated car has unless its profile says otherwise.
TSimModules DefaultSimModules();

enum class TModuleKeyResult : uint8_t { NotModuleKey, Applied, BadValue };
// Applies `key`=`value` of a section "egas", "egs" or "srs" (lower case); NotModuleKey for any other
// section or a key those sections do not have.
TModuleKeyResult ApplySimModuleKey(TSimModules& modules, std::string_view section, std::string_view key,
                                   std::string_view value);

} // namespace velmora
