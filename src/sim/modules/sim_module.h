// One simulated E-GAS, EGS or SRS module on the K-line, written from the module's side: it reads its
// address from the line's 5-baud break pattern, answers with the sync byte, two key bytes and its
// identification frame, and then serves framed requests (address, command, length, data, 16-bit sum low
// byte first): fault reads, acknowledged commands, erasing, closing. Driven by a TKLineBus in time
// order; one thread at a time.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "sim/kline_bus.h"
#include "sim/modules/module_profile.h"

namespace velmora {

class TSimModule : public TKLineDevice {
public:
    // One bit of the 5-baud address, ms, and how far an edge may stray from its bit boundary, ms.
    static constexpr double BitMs = 200;
    static constexpr double EdgeToleranceMs = 40;

    enum class TState : uint8_t { Idle, Decoding, Awake };

    explicit TSimModule(const TSimModuleProfile& profile);
    void Attach(TKLineBus& bus) { Bus = &bus; }

    void OnFrame(uint8_t value, bool ninthBit, int baud, double endMs) override;
    void OnBreak(double startMs, double endMs) override;
    void AdvanceTo(double nowMs) override;
    double NextEventMs() const override;

    TState State() const { return ModuleState; }
    // The fault memory now; it lives as long as the module (the simulated car).
    const std::vector<uint16_t>& Faults() const { return Stored; }
    uint8_t Address() const { return Profile.Address; }

private:
    void Decode();
    bool LowAt(double ms) const;
    void Handle(double endMs);
    void Reply(std::vector<uint8_t> payload, double atMs);
    void Acknowledge(uint16_t result, double atMs);
    // Sends the bytes one after another from atMs; returns when the last one ends.
    double Transmit(const std::vector<uint8_t>& bytes, double atMs);
    void Erase();

    const TSimModuleProfile& Profile;
    TKLineBus* Bus = nullptr;
    TState ModuleState = TState::Idle;
    std::vector<uint16_t> Stored;

    // The 5-baud address being read: where its start bit began and the low stretches seen so far.
    double AddressStartMs = 0;
    std::vector<std::pair<double, double>> Lows;

    // The request being received.
    std::vector<uint8_t> Rx;
    double LastByteMs = 0;
    bool BytesTooClose = false;
    double LastActivityMs = 0;
    double BusyUntilMs = 0; // the module is still sending until then

    size_t ListCursor = 0;   // fault records read out so far in this listing
    int AccessCodesSeen = 0; // SRS: correct access codes in a row
    uint32_t FramesSent = 0;
};

} // namespace velmora
