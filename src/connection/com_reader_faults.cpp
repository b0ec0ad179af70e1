// TComReader: the worker side of the fault memory: one fault byte per polling step (re-read every
// 120000 ms in the background), the fault view of state 6 with its redisplay messages, and the erase of
// state 7 with the request sequences of the HFM/PMS and LH units. Worker thread.
#include <algorithm>
#include <optional>
#include <span>

#include "connection/com_reader.h"
#include "engine_link/agreed_read.h"
#include "lang/dictionary.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

// WM_USER+10: the fault bytes are complete / clear the fault list.
constexpr intptr_t FaultsComplete = 0;
constexpr intptr_t FaultsCleared = 0xFFFF;
// CM_SHOW_MESSAGE: the LH erase is done (switch the ignition off, then connect again).
constexpr intptr_t LhEraseDone = 1;

// One step of an erase sequence: sleep, then the request pair.
struct TEraseStep {
    uint32_t SleepMs;
    uint8_t Cmd;
    uint8_t Param;
    // The unit may have fallen asleep before this pair (its sleep time-out is about 2000 ms): the erase
    // is done by then, so silence is logged but does not turn the finished erase into a link failure.
    bool MayGoUnanswered = false;
};

// HFM and PMS: the erase command 0xF3 0xFF between idle requests, twice.
constexpr TEraseStep HfmPmsErase[] = {
    {200, 0x10, 0x00}, {200, 0xF3, 0xFF}, {40, 0x10, 0x00},
    {500, 0x10, 0x00}, {200, 0xF3, 0xFF}, {40, 0x10, 0x00},
};
constexpr uint32_t HfmPmsSettleMs = 500;

// LH: an idle request, then the special mode 0xCF and the erase 0xF2, twice.
constexpr TEraseStep LhErase[] = {
    {900, 0x10, 0x00}, {200, 0xCF, 0xFF}, {200, 0x10, 0xC5}, {200, 0xF2, 0x00},        {200, 0xCF, 0x00},
    {200, 0xCF, 0xFF}, {200, 0x10, 0xC5}, {200, 0xF2, 0x00}, {1999, 0xCF, 0x00, true},
};
constexpr uint32_t LhSettleMs = 200;

} // namespace

bool CanEraseFaults(uint8_t unitType, uint8_t diagIndex) {
    TEcuIdent ident;
    ident.DiagIndex = diagIndex;
    const bool hfmOrPms = unitType == UnitHfm || unitType == UnitPms;
    return unitType == UnitLh || (hfmOrPms && (ident.IsLateGeneration() || ident.IsNewestGeneration()));
}

bool TComReader::FaultReadDue() {
    const uint32_t now = Clock().TickCount();
    // FaultTick 1 asks for a fresh read at once.
    if (FaultTick == 1 || (FaultTick > 1 && int32_t(now - FaultTick) > int32_t(FaultPeriodMs))) {
        RestartFaultRead();
        FaultTick = 0;
    }
    return FaultTick == 0;
}

void TComReader::RestartFaultRead() {
    std::lock_guard lock(SharedLock);
    Faults.Restart();
    FaultReads.clear();
}

bool TComReader::FaultReadAgrees() {
    std::string disagreement;
    {
        std::lock_guard lock(SharedLock);
        const TFaultBuf& read = Faults.Buffer();
        FaultReads.emplace_back(read.begin(), read.end());
        if (std::optional<std::vector<uint8_t>> agreed = AgreedRead(FaultReads)) {
            std::copy(agreed->begin(), agreed->end(), AgreedFaults.begin());
            FaultReads.clear();
            FaultDisagreement.clear();
            return true;
        }
        if (FaultReads.size() < size_t(AgreedReadAttempts))
            return false;
        // Never the same twice: no list from these reads, and the line is named with the cells.
        disagreement = DisagreedReadsText("чтения памяти ошибок", "ячейки", FaultReads);
        FaultDisagreement = disagreement;
        FaultReads.clear();
        AgreedFaults = TFaultBuf{};
    }
    AddLog(disagreement);
    FaultTick = TimerStart(Clock().TickCount());
    Post(10, FaultsCleared);
    return false;
}

bool TComReader::ReadFaultByte(bool erasePreRead) {
    const uint8_t value = Link.Request(Faults.Command(), Faults.Address());
    bool complete = false;
    {
        std::lock_guard lock(SharedLock);
        complete = Faults.Store(value, erasePreRead);
    }
    if (!complete)
        return false;
    // The erase pre-read only puts the stored map into the exchange log; every other read must agree.
    if (!erasePreRead && !FaultReadAgrees())
        return false;
    FaultTick = TimerStart(Clock().TickCount());
    LastFaultReadTick = FaultTick;
    if (Events) {
        // The erase pre-read is read once (it is not shown): the history takes it as it came, as what
        // the erase met; every other read hands over the copy two reads agreed on.
        TFaultBuf read{};
        if (erasePreRead) {
            std::lock_guard lock(SharedLock);
            read = Faults.Buffer();
        } else {
            read = FaultBuffer();
        }
        Events->FaultsRead(read, FaultContext(), erasePreRead);
    }
    if (CurrentState == ReaderState::FaultView)
        Post(10, FaultsComplete);
    return true;
}

void TComReader::FaultViewStep() {
    if (PrevState != ReaderState::FaultView)
        FaultTick = 1;
    if (FaultTick != 0) {
        const bool stale =
            FaultTick == 1 || int32_t(Clock().TickCount() - FaultTick) > int32_t(FaultViewPeriodMs);
        if (!stale) {
            PollingStep();
            return;
        }
        RestartFaultRead();
        FaultTick = 0;
        Post(10, FaultsCleared);
        ReloadParamList();
        return;
    }
    ReadFaultByte();
}

void TComReader::EraseStep() {
    const TEcuIdent& ident = Link.Ident;
    const bool lh = ident.UnitType == UnitLh;
    if (!CanEraseFaults(ident.UnitType, ident.DiagIndex)) {
        // Older units have no erase command: say so, and show their faults instead.
        AddLog(Translate(CannotEraseText));
        FaultTick = 1;
        SetOwnNextState(ReaderState::Erase, ReaderState::FaultView);
        return;
    }
    RestartFaultRead();
    FaultTick = 0;
    Post(10, FaultsCleared);
    ReloadParamList();
    // The stored map is read first, so the exchange log shows what was erased.
    while (!ReadFaultByte(true)) {
    }
    for (const TEraseStep& step :
         lh ? std::span<const TEraseStep>(LhErase) : std::span<const TEraseStep>(HfmPmsErase)) {
        Clock().Sleep(step.SleepMs);
        if (!step.MayGoUnanswered) {
            Link.Request(step.Cmd, step.Param);
            continue;
        }
        // The planned pause and the unit's silence are no link failure: the link stays quiet about them.
        Link.SilenceExpected = true;
        try {
            Link.Request(step.Cmd, step.Param);
        } catch (const LinkException&) {
            AddLog(Translate("Блок не ответил на последний запрос стирания: так и должно быть."));
        }
        Link.SilenceExpected = false;
    }
    if (Events)
        Events->FaultsErased();
    if (lh) {
        Clock().Sleep(LhSettleMs);
        // The connection ends now, as stopped by the user, whether or not the unit is still awake.
        CurrentState = ReaderState::StoppedByUser;
        NextState = ReaderState::StoppedByUser;
        Post(17, LhEraseDone);
        return;
    }
    Clock().Sleep(HfmPmsSettleMs);
    Link.KeepAlive(true, false);
    FaultTick = 1;
    // A stop or a screen asked for during the erase wins over showing what remains.
    SetOwnNextState(ReaderState::Erase, ReaderState::FaultView);
}

} // namespace velmora
