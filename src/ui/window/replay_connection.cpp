#include "ui/window/replay_connection.h"

#include <QTimer>
#include <algorithm>

#include "params/engine_mode.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

// The messages of a connection's start and of every value, as the worker posts them.
constexpr uint32_t LinkState = WM_USER + 1, EcuReady = WM_USER + 2, ParamUpdated = WM_USER + 8,
                   Faults = WM_USER + 10, ParamsLoaded = WM_USER + 16;
constexpr intptr_t ShowFaults = 0;
// The play timer: about one display frame.
constexpr int FrameMs = 16;

} // namespace

TReplayConnection::TReplayConnection(std::shared_ptr<const TReplayRecording> recording, QObject* parent)
    : QObject(parent), Rec(std::move(recording)), Timer(new QTimer(this)) {
    if (Rec->Params) {
        for (size_t i = 0; i < Rec->Params->Count(); ++i) {
            TECUparam& param = (*Rec->Params)[i];
            if (param.Number < Records.size() && !Records[param.Number])
                Records[param.Number] = &param;
        }
        Mode = std::make_unique<TEngineModeObserver>(*Rec->Params, Rec->Ident.UnitType);
    }
    Timer->setInterval(FrameMs);
    connect(Timer, &QTimer::timeout, this, [this] { OnTimer(); });
}

TReplayConnection::~TReplayConnection() = default;

bool TReplayConnection::EcuConnected() const {
    return Rec->Params && Rec->Params->Count() > 0;
}

std::string TReplayConnection::RefusesCommands() const {
    return "Это запись: команды блоку (тесты исполнительных элементов, удаление ошибок, адаптация, "
           "кодировка) во время просмотра записи не выполняются.";
}

void TReplayConnection::Open() {
    Host().PostMessage(LinkState, 1, 1);
    Host().PostMessage(ParamsLoaded, 0, 0);
    Host().PostMessage(EcuReady, 0, 0);
    if (OnChange)
        OnChange();
}

void TReplayConnection::Play() {
    if (IsPlaying)
        return;
    if (Target >= Duration() && !Delivering())
        Seek(0); // played to the end: from the start again
    IsPlaying = true;
    LastWallTick = Clock().TickCount();
    Timer->start();
    if (OnChange)
        OnChange();
}

void TReplayConnection::Pause() {
    if (!IsPlaying)
        return;
    IsPlaying = false;
    Timer->stop();
    if (OnChange)
        OnChange();
}

void TReplayConnection::SetSpeed(int speed) {
    SpeedFactor = speed;
    LastWallTick = Clock().TickCount();
}

void TReplayConnection::OnTimer() {
    const uint32_t now = Clock().TickCount();
    const uint32_t elapsed = now - LastWallTick;
    LastWallTick = now;
    Advance(elapsed);
}

void TReplayConnection::Advance(uint32_t wallMs) {
    if (!IsPlaying)
        return;
    if (SpeedFactor == FastSpeed)
        Target = Duration();
    else
        Target = uint32_t(std::min<uint64_t>(Duration(), uint64_t(Target) + uint64_t(wallMs) * SpeedFactor));
    // Always in a turn of its own, behind the messages of the last one.
    ScheduleDelivery();
}

void TReplayConnection::Seek(uint32_t ms) {
    ms = std::min(ms, Duration());
    const std::vector<TReplayValue>& values = Rec->Values;
    // The window forgets what it drew: the values come again in the recording's order.
    if (OnRewind)
        OnRewind();
    if (Mode)
        Mode->Reset();
    const uint32_t lead = ms > SeekLeadMs ? ms - SeekLeadMs : 0;
    // Before the played lead only the last value of each parameter counts: written without a message
    // each, then one message per parameter.
    std::bitset<256> written;
    size_t i = 0;
    for (; i < values.size() && values[i].Ms < lead; ++i) {
        const TReplayValue& value = values[i];
        if (TECUparam* record = Records[value.Number]) {
            record->SetData(value.Bytes[0], value.Bytes[1], value.Bytes[2], value.Bytes[3]);
            record->LastTick = TickBase + value.Ms;
            written.set(value.Number);
        }
    }
    for (size_t n = 0; n < written.size(); ++n)
        if (written[n])
            Host().PostMessage(ParamUpdated, intptr_t(n), 0);
    NextValue = i;
    NextFault = 0;
    FaultsShown.reset();
    DeliverFaultsUntil(lead);
    Target = ms;
    // The next turn: the messages just posted are taken before a record is written again.
    ScheduleDelivery();
    if (OnChange)
        OnChange();
}

bool TReplayConnection::Delivering() const {
    return DeliveryQueued || (NextValue < Rec->Values.size() && Rec->Values[NextValue].Ms <= Target);
}

void TReplayConnection::ScheduleDelivery() {
    if (DeliveryQueued)
        return;
    DeliveryQueued = true;
    // Queued behind the messages already posted, which the window takes first.
    QMetaObject::invokeMethod(
        this, [this] { Deliver(); }, Qt::QueuedConnection);
}

void TReplayConnection::Deliver() {
    DeliveryQueued = false;
    const std::vector<TReplayValue>& values = Rec->Values;
    std::bitset<256> written;
    size_t count = 0;
    while (NextValue < values.size() && values[NextValue].Ms <= Target) {
        const TReplayValue& value = values[NextValue];
        // The window reads the record when it takes the message: a second value of the same parameter
        // waits for the next turn, so none is lost on the way.
        if (written[value.Number] || count == MaxPerTurn) {
            ScheduleDelivery();
            break;
        }
        DeliverFaultsUntil(value.Ms);
        Apply(value);
        written.set(value.Number);
        ++NextValue;
        ++count;
    }
    if (!DeliveryQueued) {
        DeliverFaultsUntil(Target);
        if (IsPlaying && Target >= Duration()) {
            Pause(); // the end of the recording
            return;
        }
    }
    if (OnChange)
        OnChange();
}

void TReplayConnection::Apply(const TReplayValue& value) {
    TECUparam* record = Records[value.Number];
    if (!record)
        return;
    record->SetData(value.Bytes[0], value.Bytes[1], value.Bytes[2], value.Bytes[3]);
    record->LastTick = TickBase + value.Ms;
    if (Mode)
        Mode->OnValue(*record, TickBase + value.Ms);
    Host().PostMessage(ParamUpdated, value.Number, 0);
}

void TReplayConnection::DeliverFaultsUntil(uint32_t ms) {
    const std::vector<TReplayFaults>& faults = Rec->Faults;
    bool changed = false;
    while (NextFault < faults.size() && faults[NextFault].Ms <= ms) {
        FaultsShown = NextFault++;
        changed = true;
    }
    if (changed && FaultViewAsked)
        Host().PostMessage(Faults, ShowFaults, 0);
}

void TReplayConnection::RequestFaultView() {
    FaultViewAsked = true;
    if (FaultsShown)
        Host().PostMessage(Faults, ShowFaults, 0);
}

std::optional<TFaultData> TReplayConnection::FaultData() const {
    if (!FaultsShown)
        return std::nullopt;
    return TFaultData{Rec->Faults[*FaultsShown].Buffer, Rec->FaultContext, Rec->Ident};
}

} // namespace velmora
