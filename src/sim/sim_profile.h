// What one simulated engine unit is: family, supplier, identification, memory, faults, timing, engine
// start state, coding access function and line faults. Read from the profile text format of
// docs/sim-profiles.md; the built-in units are profiles too. Any thread; the objects are plain values.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sim/modules/module_profile.h"

namespace velmora {

// Numbered as the connection's `UnitType` and `Supplier` codes.
enum class TSimFamily : uint8_t { HFM = 1, PMS = 2, LH = 3, EZ = 4 };
enum class TSimSupplier : uint8_t { Bosch = 1, VDO = 2, Siemens = 3 };

// How the unit answers the slow byte exchange after the wake-up break.
enum class TWakeMode : uint8_t {
    FirstAA,  // 0x55 to the first 0xAA
    Sequence, // only 0xAA, 0x00, 0x00, 0xAA: 0xFF to the second 0x00, 0x55 to the closing 0xAA
};

// Which memory cells carry live engine values (tables in live_map.cpp).
enum class TLiveMapKind : uint8_t { Channel55, Siemens60, Bosch40, Vdo40, LH, LHw, EZ };

enum class TEngineStart : uint8_t { Idle, Cold, Drive };

// The unit's own access function for coding: key = rotl16(seed xor XorMask, Rotate) + Add (mod 65536);
// a key of 0 means the unit accepts no answer for that seed.
struct TAccessFunction {
    uint16_t XorMask = 0;
    uint8_t Rotate = 0;
    uint16_t Add = 0;
    uint16_t Key(uint16_t seed) const;
};

// Line and unit faults switched on per profile; counts are request pairs since the wake-up (0 = never).
struct TSimLineFaults {
    bool NoEcho = false;
    uint32_t WrongComplementEvery = 0; // every N-th command byte is answered with a wrong complement
    uint32_t DropAnswerEvery = 0;      // every N-th answer (complement or value) is not sent
    uint32_t NoiseEveryMs = 0;         // a random byte on the line at this interval
    uint32_t SilentAfterRequests = 0;  // the unit stops answering for good after N pairs
    uint32_t VanishAfterRequests = 0;  // the adapter vanishes (port errors) during pair N + 1
    uint32_t CorruptEchoEvery = 0;     // every N-th echo of the tester's bytes comes back with bit 0 flipped
    uint32_t LateByteBeforeEchoEvery = 0; // a held-up byte arrives just before every N-th echo
    uint8_t EchoLostBits = 0;             // data bits the cable's echo loses
    bool ShortToGround = false;           // the K-line is shorted to ground
    bool NoUnit = false;                  // only the cable: no car behind it
};

// Slow (blink) codes after a long break; times in ms of line low.
struct TBlinkTiming {
    uint32_t RequestMinMs = 2000; // shorter: not a request for a code
    uint32_t EraseMinMs = 6000;   // from here: erase the code shown
    uint32_t EraseMaxMs = 0xFFFFFFFF;
    uint32_t AdaptMinMs = 6000; // while "1" (memory empty) was shown: adaptation reset
};

// One leg of the drive cycle: how long it lasts and the road speed aimed at.
struct TDriveLeg {
    double Seconds = 0;
    double SpeedKmh = 0;
};

struct TSimProfile {
    std::string Name; // for the user
    TSimFamily Family = TSimFamily::HFM;
    TSimSupplier Supplier = TSimSupplier::Bosch;
    std::array<uint8_t, 0x28> Ident{}; // the block behind command 0xF0, addresses 0x00-0x27
    std::string Vin;                   // 14 characters; empty = the unit has none (answers 0xFF)
    // Static memory: key = bank << 16 | command << 8 | address (bank only for the EZ's banked reads).
    std::map<uint32_t, uint8_t> Memory;
    TLiveMapKind LiveMap = TLiveMapKind::Channel55;
    bool ReversedWords = false; // two-byte values go out high byte first

    double ReactionMs = 3;          // from the end of a received byte to the start of the answer
    uint32_t SleepTimeoutMs = 2000; // no request for longer: the unit falls asleep
    TWakeMode WakeMode = TWakeMode::FirstAA;
    uint32_t BreakMinMs = 100; // wake-up break lengths the unit accepts
    uint32_t BreakMaxMs = 400;
    uint32_t WakeWindowMs = 1600; // longest pause accepted within the wake-up exchange

    bool SpecialMode = true; // CF FF / C1 FC opens actuators, adaptation and coding
    bool Blink = true;
    TBlinkTiming BlinkTiming;

    std::vector<int> StoredBits;       // HFM/PMS fault bits (1-based, as the unit numbers them)
    std::vector<int> CurrentBits;      // active now; they stay stored after an erase
    std::array<uint8_t, 31> LhSlots{}; // LH fault slots 1-30: occurrence counts
    int OnOffCode = -1;                // LH: the steady on/off ratio (%) that codes a fault; -1 = none

    TEngineStart Start = TEngineStart::Idle;
    int Cylinders = 6;
    uint32_t PeriodTicksPerMs = 100; // unit of the cylinder period parameters 90-95 (10 us)
    double IdleRpm = 750;
    double CoolantC = 85;   // at Idle and Drive start
    double AmbientC = 18;   // air, and coolant at a cold start
    int WeakCylinder = 0;   // a cylinder that burns weaker (1-6; 0 = none), for the smoothness test
    double WeakPercent = 0; // how much longer its working period is, %
    uint32_t Seed = 1;      // engine noise and coding seeds
    // With Start=drive: the legs driven in a loop (idle, pull away, cruise, stop ...); empty = the model's
    // own cycle.
    std::vector<TDriveLeg> DriveCycle;
    std::vector<int> FaultyInjectors; // cylinders whose injector gives no fuel (misfire), 1-6
    double InjectorFlow = 198;        // cm³/min of one injector
    double InjectorDeadMs = 0.4;      // of each injection, before fuel flows

    TAccessFunction Access;
    std::array<uint8_t, 3> Coding{};     // coding unit number, high, middle, low
    std::array<uint8_t, 3> TesterCode{}; // last tester code written
    TSimLineFaults Faults;
    TSimModules Modules = DefaultSimModules(); // E-GAS, EGS and SRS beside the engine unit
};

// Applies profile text over `profile` (a "Base=" line first loads that built-in unit). False with `error`
// naming the line on anything it does not understand.
bool ParseSimProfile(std::string_view text, TSimProfile& profile, std::string& error);
// A built-in unit ("hfm", "pms", ...), or a profile file when `spec` names an existing file.
bool LoadSimProfile(std::string_view spec, TSimProfile& profile, std::string& error);
std::vector<std::string> BuiltinSimUnits();
// The text of a built-in unit, or empty.
std::string_view BuiltinSimProfileText(std::string_view unit);

} // namespace velmora
