#include "smoothness/smooth_measure.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/ecu_param.h"
#include "params/param_ids.h"
#include "params/param_list.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "smoothness/smooth_cylinders.h"

namespace velmora {

namespace {

constexpr const char* NoEngineSpeed = "параметр \"Обороты двигателя\" не найден";

TECUparam* SlotParam(const TListParams& set, int cylinders, int slot) {
    const std::span<const uint8_t> table = SlotTable(cylinders);
    return set.FindByNumber(FirstPeriodParam - 1 + table[size_t(slot - 1)]);
}

} // namespace

int64_t PerfNowMs() {
    const int64_t frequency = Clock().PerfFrequency();
    return frequency > 0 ? (Clock().PerfCounter() * 1000 + frequency / 2) / frequency : 0;
}

TSmoothStep TSmoothMeasure::Step(const TListParams* set, const TSmoothLink& link) {
    if (!set)
        return TSmoothStep::Failed;
    if (Phase == 0) {
        if (!CheckPrerequisites(*set))
            return TSmoothStep::Failed;
        Phase = 1;
    }
    return Measure(*set, link);
}

bool TSmoothMeasure::CheckPrerequisites(const TListParams& set) {
    if (Clock().PerfFrequency() <= 0) {
        AddLog(Translate("Возможности компьютера не позволяют выполнять функцию!"));
        return false;
    }
    const int count = PeriodParamCount(set);
    if (count != 4 && count != 6) {
        LogT("ЭБУ не поддерживает периоды работы цилиндров или кол-во цилиндров неверное (%d)", count);
        return false;
    }
    // Every slot is read in turn, so every slot's parameter must have its unit address (the first is
    // the one a unit lacks most often).
    for (int slot = 1; slot <= count; ++slot) {
        const TECUparam* param = SlotParam(set, count, slot);
        if (!param || !param->HasCmd()) {
            AddLog(Translate("Ошибка 1 при обработке параметров периодов работы цилиндров"));
            return false;
        }
    }
    if (!set.FindById(ParamId::EngineSpeed)) {
        AddLog(Translate(NoEngineSpeed));
        return false;
    }
    Cylinders = count;
    Ticks2ms = std::max<uint32_t>(1, SlotParam(set, count, 1)->Divisor);
    return true;
}

uint16_t TSmoothMeasure::ReadSlot(const TListParams& set, int slot, const TSmoothLink& link) {
    // The slot's parameter exists: the prerequisites checked every slot of this set.
    TECUparam& param = *SlotParam(set, Cylinders, slot);
    link.Read(param);
    LastStep = PerfNowMs();
    return param.RawWord;
}

uint16_t TSmoothMeasure::RpmOf(uint32_t period) const {
    if (period == 0)
        return 0;
    return uint16_t(std::min<uint64_t>(uint64_t(Ticks2ms) * 120000 / (uint64_t(period) * Cylinders), 65535));
}

void TSmoothMeasure::ReportLate(int64_t aheadMs, int64_t nowMs) {
    AddLog(FormatText("Ticks2ms=%u AllPeriod=%llu LastPeriod=%u SeekCylCompleatMin=%d GetTime_ms=%lld "
                      "GetTickCount=%u t=%.1f",
                      Ticks2ms, static_cast<unsigned long long>(PeriodSum), LastPeriod, LastSlot,
                      static_cast<long long>(nowMs), Clock().TickCount(), T0));
    LogT("Задержка чтения %d мс", int(aheadMs));
}

TSmoothStep TSmoothMeasure::Measure(const TListParams& set, const TSmoothLink& link) {
    if (Phase > 1 && PerfNowMs() - LastStep > ResyncAfterMs)
        Phase = 1;
    bool busy = false;
    if (Phase == 1) {
        TECUparam* rpmParam = set.FindById(ParamId::EngineSpeed);
        if (!rpmParam) {
            AddLog(Translate(NoEngineSpeed));
            Phase = 0;
            return TSmoothStep::Failed;
        }
        // The value must be fresh: when the polling has not read it lately, the test reads it itself.
        if (rpmParam->LastTick == 0 || TicksSince(rpmParam->LastTick, Clock().TickCount()) > RpmFreshMs) {
            link.Read(*rpmParam);
            busy = true;
        }
        const int32_t rpm = rpmParam->AsInteger();
        if (rpm < MinRpm || rpm > MaxRpm)
            return busy ? TSmoothStep::Busy : TSmoothStep::Idle;
        Phase = 2;
    }
    const int startSlot = StartSlot(Cylinders, SelectedCylinder.load());
    if (Phase == 2) {
        PrevRaw = ReadSlot(set, startSlot, link);
        T0 = double(LastStep);
        Phase = 3;
        return TSmoothStep::Busy;
    }
    if (Phase == 3) {
        const uint16_t v = ReadSlot(set, startSlot, link);
        // A period of 0 is no period: the unit has not measured one yet.
        if ((v & 0xFF) == (PrevRaw & 0xFF) || v == 0) {
            T0 = double(LastStep);
            return TSmoothStep::Busy;
        }
        Phase = 9;
        PeriodSum = 0;
        LastSlot = startSlot;
        LastPeriod = v;
        link.Post(0, 0, RpmOf(v));
        return TSmoothStep::Busy;
    }
    // Phase 9: the next slot, read just after the unit has written it.
    const int slot = SlotTable(Cylinders)[size_t(LastSlot - 1)];
    const double dueMs =
        T0 + double(PeriodSum + LastPeriod) / Ticks2ms + double(LastPeriod) / (8.0 * Ticks2ms);
    int64_t now = PerfNowMs();
    const double ahead = dueMs - double(now);
    if (ahead > LateReportMs)
        ReportLate(int64_t(ahead), now);
    if (ahead > MaxWaitMs) {
        Phase = 2;
        return TSmoothStep::Busy;
    }
    while (double(now) < dueMs) {
        Clock().Sleep(uint32_t(std::ceil(dueMs - double(now))));
        now = PerfNowMs();
    }
    const uint16_t v = ReadSlot(set, slot, link);
    PeriodSum += v;
    const double coveredMs = double(PeriodSum + uint64_t(Cylinders) * v * 96 / 100) / Ticks2ms + T0;
    if (v == 0 || coveredMs <= double(LastStep)) {
        Phase = 2; // the reads have fallen a whole round behind the unit
        return TSmoothStep::Busy;
    }
    LastSlot = slot;
    const long deviation = std::lround((double(v) / LastPeriod - 1) * 1000);
    LastPeriod = v;
    link.Post(slot, int16_t(std::clamp<long>(deviation, -32768, 32767)), RpmOf(LastPeriod));
    return TSmoothStep::Busy;
}

} // namespace velmora
