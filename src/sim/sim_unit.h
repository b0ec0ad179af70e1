// One simulated engine unit (HFM, PMS, LH or EZ) on the K-line: the wake-up by break and slow bytes, the
// request pairs with their parity rules, the memory behind the command bytes, the fault memory, the special
// mode with actuators, adaptation reset and coding, slow codes after a long break, and falling asleep.
// Driven by a TKLineBus in time order; one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/engine_model.h"
#include "sim/kline_bus.h"
#include "sim/sim_profile.h"

namespace velmora {

class TSimUnit : public TKLineDevice {
public:
    enum class TState : uint8_t { Asleep, Waking, Awake };

    explicit TSimUnit(const TSimProfile& profile);
    // The bus the unit answers on; set once by whoever builds the car.
    void Attach(TKLineBus& bus) { Bus = &bus; }

    void OnFrame(uint8_t value, bool ninthBit, int baud, double endMs) override;
    void OnBreak(double startMs, double endMs) override;
    void AdvanceTo(double nowMs) override;

    TState State() const { return UnitState; }
    bool InSpecialMode() const { return Special; }
    // Request pairs answered since the last wake-up.
    uint32_t PairCount() const { return Pairs; }
    // The last request pairs received (command, parameter), as the unit took them, oldest first; at most
    // ReceivedPairsKept of them.
    static constexpr size_t ReceivedPairsKept = 4096;
    const std::deque<std::pair<uint8_t, uint8_t>>& ReceivedPairs() const { return Received; }
    // Malformed requests the unit refused without an answer (an erase 0xF3 with another parameter than 0xFF).
    uint32_t RefusedRequests() const { return Refused; }
    // The fault byte the unit answers to (0xF1, address) (HFM/PMS) or (0x30, slot) (LH).
    uint8_t FaultByte(uint8_t address) const;
    const std::array<uint8_t, 3>& Coding() const { return CodingBytes; }
    const TEngineModel& Engine() const { return EngineModel; }
    // The codes the unit would blink, in order (1 alone when the memory is empty).
    std::vector<int> BlinkCodes() const;

private:
    void FallAsleep();
    void StartSession(double nowMs);
    void EndSpecialMode();
    void Answer(uint8_t value, double receivedMs, bool isComplement);
    void OnWakeByte(uint8_t value, bool ninthBit, double endMs);
    void OnPairByte(uint8_t value, bool ninthBit, double endMs);
    bool Understood(uint8_t cmd) const;
    std::optional<uint8_t> ImplicitCommand(uint8_t param) const;
    void NoteEzPair(uint8_t cmd, uint8_t param);
    bool IsEzCounterRead(uint8_t param) const;
    std::optional<uint8_t> Execute(uint8_t cmd, uint8_t param, double nowMs);
    std::optional<uint8_t> SetActuator(uint8_t cmd, uint8_t value);
    uint8_t ReadMemory(uint8_t cmd, uint8_t addr);
    double UnitSignal(TSignal signal) const;
    uint32_t NextRandom();
    void EraseStoredFaults();
    void OnLongBreak(double lengthMs, double endMs);

    const TSimProfile& Profile;
    TKLineBus* Bus = nullptr;
    TEngineModel EngineModel;
    TState UnitState = TState::Asleep;
    double LastEventMs = 0;   // waking: the break's end or the last wake byte
    int WakeStep = 0;         // wake bytes accepted so far
    double LastRequestMs = 0; // awake: the last byte understood
    double LastPairMs = -1e9; // the last parameter byte taken as a pair

    std::optional<uint8_t> PendingCmd;
    uint32_t Pairs = 0, Commands = 0, Answers = 0;
    std::deque<std::pair<uint8_t, uint8_t>> Received;
    uint32_t Refused = 0;
    bool Silent = false;
    // Two-byte values of the parameter channel 0x55: the second byte, taken with the first.
    std::optional<std::pair<uint8_t, uint8_t>> Latch; // address, byte
    uint8_t Bank = 0;                                 // EZ: bank chosen by command 0x00
    // EZ: the last pairs received; the fault counters answer only once their start sequence came.
    std::array<std::pair<uint8_t, uint8_t>, 4> EzRecentPairs{};
    bool EzCountersStarted = false;

    bool SpecialOpening = false; // CF FF seen
    double OpeningMs = 0;
    bool Special = false;
    bool CodingSession = false, KeyLowOk = false, Unlocked = false;
    uint16_t Seed = 0;
    uint32_t RandomState;

    std::array<uint8_t, 19> Stored{}, Current{}; // HFM/PMS fault bits 1-152
    std::array<uint8_t, 31> LhSlots{};
    std::array<uint8_t, 3> CodingBytes{}, TesterCode{};

    size_t BlinkIndex = 0;
    int ShownCode = 0; // the slow code blinked last (0 = none yet)
};

} // namespace velmora
