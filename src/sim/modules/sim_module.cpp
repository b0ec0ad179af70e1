#include "sim/modules/sim_module.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

// Answer codes and results of the framed protocol.
constexpr uint8_t IdentCode = 0x8F;
constexpr uint8_t FaultCode = 0x90;
constexpr uint8_t FaultRecord = 0x01;
constexpr uint8_t FaultEnd = 0x28;
constexpr uint8_t AckCode = 0xD0;
constexpr uint8_t ClosedCode = 0xF0;
constexpr uint16_t ResultOk = 0x0001;
constexpr uint16_t ResultNotSupported = 0x0011;
constexpr uint16_t ResultConditionsNotMet = 0x0022;
constexpr uint16_t ResultAccessDenied = 0x0033;
constexpr uint16_t ResultChecksum = 0x0072;
constexpr uint16_t ResultByteTiming = 0x0074;

// Commands the module acknowledges without doing more (session and test-mode requests).
constexpr uint8_t PlainCommands[] = {0x23, 0x28, 0x30, 0x50};
constexpr uint8_t ReadFaults = 0x10;
constexpr uint8_t EraseFaults = 0x18;
constexpr uint8_t CloseSession = 0x70;

// The shortest and longest frame the module takes, bytes.
constexpr uint8_t MinFrame = 5;
constexpr uint8_t MaxFrame = 64;
// From the sync byte to the first key byte, between the key bytes, and from the second key byte to the
// identification frame, ms.
constexpr double KeyByteGapMs = 10;
constexpr double IdentGapMs = 50;
constexpr int AccessCodesToErase = 3;

bool SameBaud(int a, int b) {
    return a > 0 && b > 0 && std::abs(a - b) * 100 <= 3 * b;
}

} // namespace

TSimModule::TSimModule(const TSimModuleProfile& profile) : Profile(profile), Stored(profile.Faults) {
    for (uint16_t code : Profile.Current)
        if (std::find(Stored.begin(), Stored.end(), code) == Stored.end())
            Stored.push_back(code);
}

double TSimModule::NextEventMs() const {
    // The address is read at the middle of its stop bit.
    return ModuleState == TState::Decoding ? AddressStartMs + 9.5 * BitMs : NeverMs;
}

void TSimModule::OnBreak(double startMs, double endMs) {
    if (ModuleState == TState::Decoding) {
        Lows.emplace_back(startMs, endMs);
        return;
    }
    // A falling edge starts an address, also while awake: the tester gave up on the session.
    ModuleState = TState::Decoding;
    AddressStartMs = startMs;
    Lows.assign(1, {startMs, endMs});
    Rx.clear();
}

bool TSimModule::LowAt(double ms) const {
    return std::any_of(Lows.begin(), Lows.end(), [ms](const std::pair<double, double>& low) {
        return low.first <= ms && ms < low.second;
    });
}

void TSimModule::Decode() {
    ModuleState = TState::Idle;
    // A line still low in the stop bit is a framing error (a slow-code request, a stuck line).
    if (!Bus || Bus->BreakOn() || LowAt(AddressStartMs + 9.5 * BitMs))
        return;
    // Every edge must sit on a bit boundary within the tolerance: a bit period far from 200 ms is noise.
    for (const auto& [start, end] : Lows) {
        for (double edge : {start, end}) {
            const double bits = (edge - AddressStartMs) / BitMs;
            if (std::abs(bits - std::round(bits)) * BitMs > EdgeToleranceMs)
                return;
        }
    }
    // Seven address bits sampled in their middles, least significant first; a low line is a 0. The
    // eighth bit (parity) is not checked.
    uint8_t address = 0;
    for (int bit = 0; bit < 7; ++bit)
        if (!LowAt(AddressStartMs + (1.5 + bit) * BitMs))
            address |= uint8_t(1 << bit);
    if (address != (Profile.Address & 0x7F) || Profile.Silent)
        return;

    const double stopEndMs = AddressStartMs + 10 * BitMs;
    double at = stopEndMs + Profile.SyncDelayMs;
    at = Transmit({0x55}, at) + KeyByteGapMs;
    at = Transmit({Profile.KeyBytes[0]}, at) + KeyByteGapMs;
    at = Transmit({Profile.KeyBytes[1]}, at) + IdentGapMs;
    ModuleState = TState::Awake;
    Rx.clear();
    ListCursor = 0;
    AccessCodesSeen = 0;
    const TSimModuleProfile& p = Profile;
    std::vector<uint8_t> ident = {IdentCode};
    ident.insert(ident.end(), p.PartNumber.begin(), p.PartNumber.end());
    ident.insert(ident.end(), {p.Variant, p.Diagnosis[0], p.Supplier, p.Hardware[0], p.Hardware[1],
                               p.Software[0], p.Software[1], p.Diagnosis[1], p.Diagnosis[2]});
    Reply(ident, at - Profile.AnswerDelayMs);
    LastActivityMs = BusyUntilMs;
}

void TSimModule::AdvanceTo(double nowMs) {
    if (ModuleState == TState::Decoding && nowMs >= NextEventMs())
        Decode();
    if (ModuleState == TState::Awake &&
        nowMs > std::max(LastActivityMs, BusyUntilMs) + Profile.SleepTimeoutMs)
        ModuleState = TState::Idle;
}

void TSimModule::OnFrame(uint8_t value, bool /*ninthBit*/, int baud, double endMs) {
    if (ModuleState != TState::Awake)
        return;
    // A byte at another baud rate reaches the module's UART as garbage: whatever request it was in is lost.
    if (!SameBaud(baud, Profile.Baud)) {
        Rx.clear();
        return;
    }
    if (!Rx.empty() && endMs - LastByteMs > Profile.MaxByteGapMs)
        Rx.clear();
    if (Rx.empty()) {
        if (value != Profile.Address)
            return;
        BytesTooClose = false;
    } else if (endMs - LastByteMs < Profile.MinByteSpacingMs) {
        BytesTooClose = true;
    }
    Rx.push_back(value);
    LastByteMs = endMs;
    LastActivityMs = endMs;
    if (Rx.size() == 3 && (Rx[2] < MinFrame || Rx[2] > MaxFrame)) {
        Rx.clear();
        return;
    }
    if (Rx.size() >= 3 && Rx.size() == Rx[2]) {
        Handle(endMs);
        Rx.clear();
    }
}

void TSimModule::Handle(double endMs) {
    const size_t length = Rx.size();
    unsigned sum = 0;
    for (size_t i = 0; i + 2 < length; ++i)
        sum += Rx[i];
    if ((sum & 0xFFFF) != unsigned(Rx[length - 2] | Rx[length - 1] << 8)) {
        Acknowledge(ResultChecksum, endMs);
        return;
    }
    if (BytesTooClose) {
        Acknowledge(ResultByteTiming, endMs);
        return;
    }
    const uint8_t command = Rx[1];
    const std::vector<uint8_t> data(Rx.begin() + 3, Rx.end() - 2);
    if (command != ReadFaults)
        ListCursor = 0;

    if (Profile.AccessCode != 0 && command == Profile.AccessCode >> 8 && data.size() == 1) {
        if (data[0] != (Profile.AccessCode & 0xFF)) {
            AccessCodesSeen = 0;
            Acknowledge(ResultAccessDenied, endMs);
            return;
        }
        Acknowledge(ResultOk, endMs);
        if (++AccessCodesSeen == AccessCodesToErase) {
            Erase();
            AccessCodesSeen = 0;
        }
        return;
    }
    AccessCodesSeen = 0;

    if (command == ReadFaults) {
        // Each 10 00 reads the next record; the end record starts the listing over.
        if (ListCursor < Stored.size()) {
            const uint16_t code = Stored[ListCursor++];
            Reply({FaultCode, FaultRecord, uint8_t(code >> 8), uint8_t(code)}, endMs);
        } else {
            ListCursor = 0;
            Reply({FaultCode, FaultEnd, 0x00}, endMs);
        }
    } else if (command == EraseFaults) {
        if (!Profile.EraseCommand) {
            Acknowledge(ResultConditionsNotMet, endMs);
            return;
        }
        Erase();
        Acknowledge(ResultOk, endMs);
    } else if (command == CloseSession) {
        Reply({ClosedCode}, endMs);
        ModuleState = TState::Idle;
    } else if (std::find(std::begin(PlainCommands), std::end(PlainCommands), command) !=
               std::end(PlainCommands)) {
        Acknowledge(ResultOk, endMs);
    } else {
        Acknowledge(ResultNotSupported, endMs);
    }
}

void TSimModule::Erase() {
    Stored = Profile.Current;
}

void TSimModule::Acknowledge(uint16_t result, double atMs) {
    Reply({AckCode, uint8_t(result >> 8), uint8_t(result)}, atMs);
}

void TSimModule::Reply(std::vector<uint8_t> payload, double atMs) {
    std::vector<uint8_t> frame = {Profile.Address, payload[0], uint8_t(payload.size() + 4)};
    frame.insert(frame.end(), payload.begin() + 1, payload.end());
    unsigned sum = 0;
    for (uint8_t b : frame)
        sum += b;
    if (Profile.WrongChecksumEvery && ++FramesSent % Profile.WrongChecksumEvery == 0)
        ++sum;
    frame.push_back(uint8_t(sum));
    frame.push_back(uint8_t(sum >> 8));
    Transmit(frame, atMs + Profile.AnswerDelayMs);
}

double TSimModule::Transmit(const std::vector<uint8_t>& bytes, double atMs) {
    const double charMs = 10 * 1000.0 / Profile.Baud;
    double at = std::max(atMs, BusyUntilMs);
    for (uint8_t b : bytes) {
        if (Bus)
            Bus->UnitSend(b, at, Profile.Baud);
        at += charMs;
    }
    BusyUntilMs = at;
    return at;
}

} // namespace velmora
