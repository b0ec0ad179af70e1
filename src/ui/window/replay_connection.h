// TReplayConnection: a recording played back as if it were the engine connection. It answers the
// window's questions (parameter set, identification, fault memory) from the recording and posts the
// worker's messages (link up, parameters loaded, ECU ready, each value read, engine mode) through the
// host, so the screens, lamps, mode text, fault tab and graph fill on the same path as live. The values
// carry the recording's clock in their LastTick (TickBase + ms), so a graph draws the same curve at
// any speed. It runs no actuator test, erase, adaptation or coding. Window thread only.
#pragma once

#include <QObject>
#include <array>
#include <bitset>
#include <functional>
#include <memory>

#include "actuators/actuator_state.h"
#include "ui/window/connection_control.h"
#include "ui/window/replay_recording.h"

class QTimer;

namespace velmora {

class TEngineModeObserver;

class TReplayConnection : public QObject, public TConnectionControl {
    Q_OBJECT
public:
    // The speed "as fast as possible".
    static constexpr int FastSpeed = 0;
    // The tick a value read at 0 ms of the recording carries (a tick of 0 means "never read").
    static constexpr uint32_t TickBase = 1000;
    // Values delivered per turn of the event loop at most, so the window stays responsive.
    static constexpr size_t MaxPerTurn = 2000;
    // How much of the recording before a jump's target is played again, so the graph shows it (ms).
    static constexpr uint32_t SeekLeadMs = 120000;

    explicit TReplayConnection(std::shared_ptr<const TReplayRecording> recording, QObject* parent = nullptr);
    ~TReplayConnection() override;

    const TReplayRecording& Recording() const { return *Rec; }
    // Posts what a connection's start posts: link up, parameters loaded, ECU ready.
    void Open();

    void Play();
    void Pause();
    bool Playing() const { return IsPlaying; }
    // 1, 2, 4, 8, 16 or FastSpeed.
    void SetSpeed(int speed);
    int Speed() const { return SpeedFactor; }
    // Jumps to `ms` of the recording's clock: every parameter shows its last value before it, the graph
    // the time before it. Playing goes on from there when it was playing.
    void Seek(uint32_t ms);
    // The recording's clock (ms); the values up to it are delivered unless Delivering().
    uint32_t Position() const { return Target; }
    uint32_t Duration() const { return Rec->DurationMs; }
    // Moves the clock by `wallMs` of real time at the chosen speed and delivers what came meanwhile
    // (the play timer calls it; tests step with it).
    void Advance(uint32_t wallMs);
    // Values still to deliver before the clock's target is reached (a turn of the event loop each).
    bool Delivering() const;

    // The position changed, or playing started or stopped (the replay bar follows).
    std::function<void()> OnChange;
    // A jump: the window forgets the values it drew (the graph), they come again from before the target.
    std::function<void()> OnRewind;

    // --- the window's connection ---
    void Start(const std::string&, char, const TConnectOptions&) override {}
    // "Stop" pauses the replay.
    void Stop() override { Pause(); }
    bool IsAlive() const override { return true; }
    bool InConnection() const override { return false; }
    bool EcuConnected() const override;
    std::shared_ptr<const TListParams> Params() const override { return Rec->Params; }
    TEcuIdent Ident() const override { return Rec->Ident; }
    std::string LogFileName() const override { return Rec->File.string(); }
    void SetWordCorrection(bool) override {}
    void RequestPolling() override {}
    void SetBackgroundReading(int) override {}
    void DeferBackgroundReads(int, bool) override {}
    void RequestViewList(std::shared_ptr<TListPrm>, bool) override {}
    // The fault memory as the recording's last read before the position left it.
    void RequestFaultView() override;
    // A recording cannot be erased: nothing is sent (the window refuses first, RefusesCommands).
    void RequestErase() override {}
    std::optional<TFaultData> FaultData() const override;
    TActuatorState& Actuators() override { return NoActuators; }
    std::string RefusesCommands() const override;

private:
    // Delivers the values up to Target; continues in the next turn of the event loop when a parameter
    // would be written again before the window took its previous value (it reads the record then).
    void Deliver();
    void ScheduleDelivery();
    void DeliverFaultsUntil(uint32_t ms);
    void Apply(const TReplayValue& value);
    void OnTimer();

    std::shared_ptr<const TReplayRecording> Rec;
    std::array<TECUparam*, 256> Records{};
    std::unique_ptr<TEngineModeObserver> Mode;
    TActuatorState NoActuators;
    QTimer* Timer = nullptr;
    bool IsPlaying = false;
    int SpeedFactor = 1;
    uint32_t LastWallTick = 0;
    uint32_t Target = 0;
    size_t NextValue = 0, NextFault = 0;
    bool DeliveryQueued = false;
    bool FaultViewAsked = false;
    std::optional<size_t> FaultsShown; // index into Rec->Faults of the read the fault tab may show
};

} // namespace velmora
