#include "sim/sim_unit.h"

#include <algorithm>
#include <cstdlib>

#include "sim/fault_codes.h"
#include "sim/live_map.h"

namespace velmora {

namespace {

constexpr int UnitBaud = 9600;
// The unit takes longer over the wake-up answer than over a request pair.
constexpr double WakeReactionMs = 20;
// CF FF must be followed by C1 FC within this time for the special mode to open.
constexpr double SpecialOpeningMs = 1000;
// A lone parameter byte repeating the last pair's within this time is a resend of that pair.
constexpr double ParamResendWindowMs = 600;
// Slow codes: the first pulse comes this long after the line is released, then one pulse per period.
constexpr double BlinkFirstPulseMs = 1500;
constexpr double BlinkPulsePeriodMs = 600;
// A ground pulse of the unit reaches the cable as a short burst of garbage: the zero of the falling edge
// (a framing error) and the broken frames around the release, about 3 ms in all.
constexpr uint8_t BlinkBurst[] = {0x00, 0x00, 0xF0};

// The command bytes each family answers besides its memory pages (bit n of Families = family code n).
struct TCommandRange {
    uint8_t First, Last;
    uint8_t Families;
};
constexpr uint8_t AllFamilies = 0x1E, HfmPms = 0x06, LhOnly = 0x08, EzOnly = 0x10;
constexpr TCommandRange KnownCommands[] = {
    {0xF0, 0xF0, AllFamilies},                           // identification block
    {0xF9, 0xF9, AllFamilies},                           // VIN
    {0x10, 0x10, AllFamilies},                           // idle request, RAM page 0x10
    {0xC0, 0xC1, AllFamilies},                           // special mode
    {0xCF, 0xCF, AllFamilies},     {0xF1, 0xF1, HfmPms}, // fault memory
    {0xF3, 0xF3, HfmPms},                                // erase
    {0xD0, 0xDC, HfmPms},                                // actuators
    {0xE0, 0xE3, HfmPms},                                // adaptation reset, check word, coding bytes
    {0xC2, 0xC3, HfmPms},                                // answer to the check word
    {0x45, 0x46, HfmPms},                                // coding change
    {0xED, 0xEF, HfmPms},                                // tester code
    {0x55, 0x55, HfmPms},                                // parameter channel
    {0x30, 0x30, LhOnly},                                // fault slots
    {0xF2, 0xF2, LhOnly},                                // erase
    {0x00, 0x00, LhOnly | EzOnly},                       // LH page 0x00; EZ bank choice
    {0xFF, 0xFF, EzOnly},                                // EZ banked reads
};

// The EZ starts its fault counters on this sequence and answers no counter read before it.
constexpr std::pair<uint8_t, uint8_t> EzCounterStart[] = {
    {0x00, 0x00}, {0xFF, 0x21}, {0x10, 0x00}, {0x11, 0xAA}};
// Counter reads (command 0xFF) by bank: current faults in bank 0, irreversible and stored ones in 0x80.
struct TEzCounterRange {
    uint8_t Bank, First, Last;
};
constexpr TEzCounterRange EzCounterReads[] = {
    {0x00, 0x2C, 0x2C}, {0x00, 0xF0, 0xF3}, {0x80, 0x18, 0x1C}, {0x80, 0x2D, 0x54}};

bool IsHfmPms(TSimFamily f) {
    return f == TSimFamily::HFM || f == TSimFamily::PMS;
}

void SetBit(std::array<uint8_t, 19>& bits, int bit) {
    if (bit >= 1 && bit <= 152)
        bits[(bit - 1) / 8] |= uint8_t(1 << ((bit - 1) % 8));
}

} // namespace

TSimUnit::TSimUnit(const TSimProfile& profile)
    : Profile(profile), EngineModel(profile), RandomState(profile.Seed * 2654435761u + 1) {
    for (int bit : profile.StoredBits)
        SetBit(Stored, bit);
    for (int bit : profile.CurrentBits) {
        SetBit(Current, bit);
        SetBit(Stored, bit); // an active fault is stored too
    }
    LhSlots = profile.LhSlots;
    CodingBytes = profile.Coding;
    TesterCode = profile.TesterCode;
}

uint32_t TSimUnit::NextRandom() {
    RandomState ^= RandomState << 13;
    RandomState ^= RandomState >> 17;
    RandomState ^= RandomState << 5;
    return RandomState;
}

void TSimUnit::AdvanceTo(double nowMs) {
    EngineModel.AdvanceTo(nowMs);
    if (UnitState == TState::Awake && nowMs - LastRequestMs > Profile.SleepTimeoutMs)
        FallAsleep();
    if (UnitState == TState::Waking && nowMs - LastEventMs > Profile.WakeWindowMs)
        UnitState = TState::Asleep;
}

void TSimUnit::FallAsleep() {
    UnitState = TState::Asleep;
    EndSpecialMode();
    PendingCmd.reset();
    Latch.reset();
}

void TSimUnit::StartSession(double nowMs) {
    UnitState = TState::Awake;
    LastRequestMs = nowMs;
    PendingCmd.reset();
    Latch.reset();
    Bank = 0;
    EzRecentPairs = {};
    EzCountersStarted = false;
    Pairs = Commands = Answers = 0;
    EndSpecialMode();
}

void TSimUnit::EndSpecialMode() {
    if (Special)
        EngineModel.ResetActuators();
    Special = SpecialOpening = false;
    CodingSession = KeyLowOk = Unlocked = false;
    EngineModel.SetActuatorMode(false);
}

void TSimUnit::OnBreak(double startMs, double endMs) {
    double length = endMs - startMs;
    if (Silent)
        return;
    if (length >= Profile.BreakMinMs && length <= Profile.BreakMaxMs) {
        FallAsleep();
        UnitState = TState::Waking;
        WakeStep = 0;
        LastEventMs = endMs;
        return;
    }
    if (Profile.Blink && length >= Profile.BlinkTiming.RequestMinMs) {
        FallAsleep();
        OnLongBreak(length, endMs);
    }
}

void TSimUnit::OnFrame(uint8_t value, bool ninthBit, int baud, double endMs) {
    if (Silent || std::abs(baud - UnitBaud) * 100 > 3 * UnitBaud)
        return;
    if (UnitState == TState::Waking)
        OnWakeByte(value, ninthBit, endMs);
    else if (UnitState == TState::Awake)
        OnPairByte(value, ninthBit, endMs);
}

void TSimUnit::Answer(uint8_t value, double receivedMs, bool isComplement) {
    if (!Bus)
        return;
    ++Answers;
    const TSimLineFaults& f = Profile.Faults;
    if (f.DropAnswerEvery && Answers % f.DropAnswerEvery == 0)
        return;
    if (isComplement && f.WrongComplementEvery && Commands % f.WrongComplementEvery == 0)
        value ^= 0x10;
    Bus->UnitSend(value, receivedMs + Profile.ReactionMs);
}

void TSimUnit::OnWakeByte(uint8_t value, bool ninthBit, double endMs) {
    // Wake-up bytes go with space parity; the line must not have been quiet for too long.
    if (ninthBit || endMs - LastEventMs > Profile.WakeWindowMs)
        return;
    LastEventMs = endMs;
    auto answer = [&](uint8_t v) {
        if (Bus)
            Bus->UnitSend(v, endMs + WakeReactionMs);
    };
    if (Profile.WakeMode == TWakeMode::FirstAA) {
        if (value == 0xAA) {
            answer(0x55);
            StartSession(endMs);
        }
        return;
    }
    // Sequence: 0xAA, 0x00, 0x00 (answered 0xFF), 0xAA (answered 0x55).
    static constexpr uint8_t expected[] = {0xAA, 0x00, 0x00, 0xAA};
    if (value != expected[WakeStep]) {
        WakeStep = value == 0xAA ? 1 : 0;
        return;
    }
    ++WakeStep;
    if (WakeStep == 3)
        answer(0xFF);
    if (WakeStep == 4) {
        answer(0x55);
        StartSession(endMs);
    }
}

std::optional<uint8_t> TSimUnit::ImplicitCommand(uint8_t param) const {
    switch (Profile.Family) {
    case TSimFamily::HFM:
    case TSimFamily::PMS:
        // Bosch and Siemens units read their RAM page 0x10 from a lone address above 0x40.
        if (Profile.Supplier != TSimSupplier::VDO && param >= 0x41 && param != 0xAA)
            return 0x10;
        return std::nullopt;
    case TSimFamily::LH:
        return 0x00;
    case TSimFamily::EZ:
        return 0xFF;
    }
    return std::nullopt;
}

bool TSimUnit::Understood(uint8_t cmd) const {
    for (const TCommandRange& r : KnownCommands)
        if (cmd >= r.First && cmd <= r.Last && (r.Families & (1 << int(Profile.Family))))
            return true;
    for (const TLiveCell& cell : LiveCells(Profile.LiveMap))
        if (cell.Cmd == cmd)
            return true;
    for (const auto& [key, byte] : Profile.Memory)
        if (((key >> 8) & 0xFF) == cmd)
            return true;
    return false;
}

void TSimUnit::OnPairByte(uint8_t value, bool ninthBit, double endMs) {
    if (ninthBit) {
        // A command byte (8N1). The same byte again is a resend: answer it once more.
        if (PendingCmd && *PendingCmd != value) {
            PendingCmd.reset(); // a parameter byte without space parity: not understood
            return;
        }
        if (!Understood(value))
            return;
        LastRequestMs = endMs;
        PendingCmd = value;
        ++Commands;
        Answer(uint8_t(0xFF - value), endMs, true);
        return;
    }
    std::optional<uint8_t> cmd = PendingCmd ? PendingCmd : ImplicitCommand(value);
    PendingCmd.reset();
    // The last pair's parameter byte again, on its own and soon: the tester resends it, answer it again.
    if (!cmd && !Received.empty() && Received.back().second == value &&
        endMs - LastPairMs <= ParamResendWindowMs)
        cmd = Received.back().first;
    if (!cmd)
        return;
    LastPairMs = endMs;
    LastRequestMs = endMs;
    ++Pairs;
    if (Profile.Faults.SilentAfterRequests && Pairs >= Profile.Faults.SilentAfterRequests) {
        Silent = true;
        return;
    }
    Received.emplace_back(*cmd, value);
    if (Received.size() > ReceivedPairsKept)
        Received.pop_front();
    if (Profile.Family == TSimFamily::EZ)
        NoteEzPair(*cmd, value);
    if (std::optional<uint8_t> answer = Execute(*cmd, value, endMs))
        Answer(*answer, endMs, false);
}

void TSimUnit::NoteEzPair(uint8_t cmd, uint8_t param) {
    std::rotate(EzRecentPairs.begin(), EzRecentPairs.begin() + 1, EzRecentPairs.end());
    EzRecentPairs.back() = {cmd, param};
    if (std::equal(EzRecentPairs.begin(), EzRecentPairs.end(), std::begin(EzCounterStart)))
        EzCountersStarted = true;
}

bool TSimUnit::IsEzCounterRead(uint8_t param) const {
    for (const TEzCounterRange& r : EzCounterReads)
        if (Bank == r.Bank && param >= r.First && param <= r.Last)
            return true;
    return false;
}

uint8_t TSimUnit::FaultByte(uint8_t address) const {
    if (Profile.Family == TSimFamily::LH)
        return address >= 1 && address <= 30 ? LhSlots[address] : 0;
    if (!IsHfmPms(Profile.Family))
        return 0;
    // Stored bits 1-128 at 0-15 and 129-152 at 48-50; the current ones 16 further on.
    if (address < 16)
        return Stored[address];
    if (address < 32)
        return Current[address - 16];
    if (address >= 48 && address <= 50)
        return Stored[16 + address - 48];
    if (address >= 64 && address <= 66)
        return Current[16 + address - 64];
    return 0;
}

void TSimUnit::EraseStoredFaults() {
    // Faults that are still active stay stored: the unit records them again at once.
    Stored = Current;
    LhSlots.fill(0);
}

std::optional<uint8_t> TSimUnit::SetActuator(uint8_t cmd, uint8_t value) {
    if (!Special)
        return 0x00; // acknowledged, but the unit drives nothing outside the special mode
    switch (cmd) {
    case 0xD1:
        // 0x80 idle control off; 0x40 throttle reset: the stop is learned anew; 0x08 the learned idle values
        // are dropped (the second step of an adaptation reset).
        EngineModel.SetIdleControlOff((value & 0x80) != 0);
        EngineModel.SetThrottleLearning((value & 0x40) != 0);
        if (value & 0x08)
            EngineModel.ResetAdaptation();
        break;
    case 0xD2:
        EngineModel.SetInjectorsOff(value);
        break;
    case 0xD3:
        EngineModel.SetThrottleMotor(value);
        break;
    case 0xD6:
        EngineModel.SetMixture(value);
        break;
    case 0xDC:
        EngineModel.SetFan(value);
        break;
    default:
        break;
    }
    return value;
}

std::optional<uint8_t> TSimUnit::Execute(uint8_t cmd, uint8_t param, double nowMs) {
    bool hfmPms = IsHfmPms(Profile.Family);
    switch (cmd) {
    case 0xF0:
        return param < Profile.Ident.size() ? Profile.Ident[param] : 0x00;
    case 0xF9:
        if (Profile.Vin.empty())
            return 0xFF;
        return param < Profile.Vin.size() ? uint8_t(Profile.Vin[param]) : 0x00;
    case 0xF1:
    case 0x30:
        return FaultByte(param);
    case 0xF3:
        if (hfmPms && param != 0xFF) {
            ++Refused; // the erase takes 0xFF only
            return std::nullopt;
        }
        if (hfmPms)
            EraseStoredFaults();
        return 0x00;
    case 0xF2:
        if (Profile.Family == TSimFamily::LH && param == 0x00 && (SpecialOpening || Special))
            EraseStoredFaults();
        return 0x00;
    case 0xCF:
        if (param == 0xFF) {
            SpecialOpening = Profile.SpecialMode;
            OpeningMs = nowMs;
        } else if (param == 0x00) {
            EndSpecialMode();
        }
        return uint8_t(0xFF - param);
    case 0xC1:
        if (param == 0xFC && SpecialOpening && nowMs - OpeningMs <= SpecialOpeningMs) {
            SpecialOpening = false;
            Special = true;
            EngineModel.SetActuatorMode(true);
            return 0x03;
        }
        return param; // not the complement: the mode stays closed
    case 0xC0:
        if (param == 0xFC) {
            EndSpecialMode();
            return 0x03;
        }
        return param;
    case 0xE0:
        if (!Special)
            return 0x00;
        if (param == 0x00)
            EngineModel.ResetAdaptation();
        if (param == 0xFE)
            return uint8_t(Seed);
        if (param == 0xFF)
            return uint8_t(Seed >> 8);
        return 0x00;
    case 0x45:
    case 0x46: {
        uint8_t wanted = Profile.Supplier == TSimSupplier::VDO ? 0x46 : 0x45;
        if (!Special || cmd != wanted || param != 0x37)
            return param;
        CodingSession = true;
        KeyLowOk = Unlocked = false;
        do
            Seed = uint16_t(NextRandom());
        while (Seed == 0);
        return uint8_t(0xFF - param);
    }
    case 0xC2:
    case 0xC3: {
        uint16_t key = Profile.Access.Key(Seed);
        if (!CodingSession || key == 0)
            return param;
        bool ok = cmd == 0xC2 ? param == uint8_t(key) : (KeyLowOk && param == uint8_t(key >> 8));
        if (cmd == 0xC2)
            KeyLowOk = ok;
        else
            Unlocked = ok;
        return ok ? uint8_t(0xFF - param) : param;
    }
    default:
        break;
    }
    if (hfmPms && cmd >= 0xD0 && cmd <= 0xDC)
        return SetActuator(cmd, param);
    if (hfmPms && cmd >= 0xED && cmd <= 0xEF) {
        if (Unlocked)
            TesterCode[cmd - 0xED] = param;
        return TesterCode[cmd - 0xED];
    }
    if (hfmPms && cmd >= 0xE1 && cmd <= 0xE3) {
        if (Unlocked)
            CodingBytes[cmd - 0xE1] = param;
        return CodingBytes[cmd - 0xE1];
    }
    if (Profile.Family == TSimFamily::EZ && cmd == 0x00) {
        Bank = param;
        auto it = Profile.Memory.find(uint32_t(cmd) << 8 | param);
        return it != Profile.Memory.end() ? it->second : 0x00;
    }
    if (Profile.Family == TSimFamily::EZ && cmd == 0xFF && !EzCountersStarted && IsEzCounterRead(param))
        return std::nullopt; // counters not started: the unit stays silent
    return ReadMemory(cmd, param);
}

double TSimUnit::UnitSignal(TSignal signal) const {
    switch (signal) {
    case TSignal::CodingHigh:
        return CodingBytes[0];
    case TSignal::CodingMid:
        return CodingBytes[1];
    case TSignal::CodingLow:
        return CodingBytes[2];
    case TSignal::TesterCode1:
        return TesterCode[0];
    case TSignal::TesterCode2:
        return TesterCode[1];
    case TSignal::TesterCode3:
        return TesterCode[2];
    case TSignal::Period90:
    case TSignal::Period91:
    case TSignal::Period92:
    case TSignal::Period93:
    case TSignal::Period94:
    case TSignal::Period95:
        return EngineModel.PeriodTicks(90 + int(signal) - int(TSignal::Period90));
    case TSignal::OnOffRatio:
        // An LH unit with a fault holds the ratio steady at the fault's code instead of following the O2
        // control.
        return Profile.OnOffCode >= 0 ? Profile.OnOffCode : EngineModel.Signal(signal);
    default:
        return EngineModel.Signal(signal);
    }
}

uint8_t TSimUnit::ReadMemory(uint8_t cmd, uint8_t addr) {
    bool banked = Profile.Family == TSimFamily::EZ && cmd == 0xFF;
    uint32_t key = (banked ? uint32_t(Bank) << 16 : 0) | uint32_t(cmd) << 8 | addr;
    if (auto it = Profile.Memory.find(key); it != Profile.Memory.end())
        return it->second;
    if (banked && Bank != 0)
        return 0x00;

    // Every HFM/PMS unit serves its parameter channel 0x55; the address-set units have their RAM as well.
    bool channel = cmd == 0x55 && IsHfmPms(Profile.Family);
    if (channel && Latch && Latch->first == addr) {
        uint8_t second = Latch->second;
        Latch.reset();
        return second;
    }
    Latch.reset();
    bool second = false;
    const TLiveCell* cell =
        FindLiveCell(channel ? TLiveMapKind::Channel55 : Profile.LiveMap, cmd, addr, second);
    if (!cell || (channel && second))
        return 0x00;
    double value = cell->Signal == TSignal::Constant ? cell->Value : UnitSignal(cell->Signal);
    uint32_t raw = EncodeValue(cell->Encoding, value, cell->Size).value_or(0);
    if (cell->Size == 1)
        return uint8_t(raw);
    uint8_t first = Profile.ReversedWords ? uint8_t(raw >> 8) : uint8_t(raw);
    uint8_t other = Profile.ReversedWords ? uint8_t(raw) : uint8_t(raw >> 8);
    if (channel) {
        // The channel hands out both bytes of the value it read: the next address gets the second.
        Latch = std::make_pair(uint8_t(addr + 1), other);
        return first;
    }
    return second ? other : first;
}

std::vector<int> TSimUnit::BlinkCodes() const {
    std::vector<int> codes;
    if (Profile.Family == TSimFamily::LH) {
        for (int slot = 1; slot <= 30; ++slot)
            if (LhSlots[slot])
                codes.push_back(FaultCodeFor(Profile.Family, slot));
    } else {
        for (int bit = 1; bit <= 152; ++bit)
            if (Stored[(bit - 1) / 8] & (1 << ((bit - 1) % 8)))
                if (int code = FaultCodeFor(Profile.Family, bit); code > 1)
                    codes.push_back(code);
    }
    if (codes.empty())
        codes.push_back(1);
    return codes;
}

void TSimUnit::OnLongBreak(double lengthMs, double endMs) {
    const TBlinkTiming& t = Profile.BlinkTiming;
    if (ShownCode == 1 && lengthMs >= t.AdaptMinMs) {
        EngineModel.ResetAdaptation();
        ShownCode = 0;
        return;
    }
    if (ShownCode > 1 && lengthMs >= t.EraseMinMs && lengthMs <= t.EraseMaxMs) {
        // Erase the code shown: every stored bit (or slot) that gives it.
        for (int bit = 1; bit <= 152; ++bit)
            if (FaultCodeFor(Profile.Family, bit) == ShownCode) {
                if (Profile.Family == TSimFamily::LH && bit <= 30)
                    LhSlots[bit] = 0;
                else if (!(Current[(bit - 1) / 8] & (1 << ((bit - 1) % 8))))
                    Stored[(bit - 1) / 8] &= uint8_t(~(1 << ((bit - 1) % 8)));
            }
        // The next code moves up into the erased one's place: the next request shows it.
        if (BlinkIndex > 0)
            --BlinkIndex;
        ShownCode = 0;
        return;
    }
    if (lengthMs >= t.EraseMinMs)
        return; // too long for a request, nothing to erase
    std::vector<int> codes = BlinkCodes();
    ShownCode = codes[BlinkIndex++ % codes.size()];
    if (Bus)
        for (int pulse = 0; pulse < ShownCode; ++pulse)
            for (uint8_t garbage : BlinkBurst)
                Bus->UnitSend(garbage, endMs + BlinkFirstPulseMs + pulse * BlinkPulsePeriodMs);
}

} // namespace velmora
