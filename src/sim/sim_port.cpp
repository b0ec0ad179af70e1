#include "sim/sim_port.h"

#include <algorithm>
#include <cmath>

#include "lang/translated_format.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "sim/sim_profile.h"
#include "sim/sim_unit.h"

namespace velmora {

namespace {

// The driver's input buffer, bytes; what arrives beyond it is lost, as on a real port.
constexpr size_t InputCapacity = 4096;

} // namespace

TSimPort::TSimPort(std::string name, TSimAdapterKind kind, std::shared_ptr<TSimBench> bench)
    : Kind(kind), Name(std::move(name)), Bench(bench ? std::move(bench) : std::make_shared<TSimBench>()) {}

TSimPort::~TSimPort() = default;

double TSimPort::NowMs() const {
    return Clock().PerfMs() - Bench->OriginMs;
}

bool TSimPort::Open(bool ShowErrors, int baud) {
    if (Bench->Vanished)
        return false;
    if (!Bench->Car) {
        std::string spec;
        if (size_t colon = Name.find(':'); colon != std::string::npos)
            spec = Name.substr(colon + 1);
        std::string error;
        Bench->Car = TSimCar::Create(spec, error);
        if (!Bench->Car) {
            std::string text = "Порт " + Name + ": " + error;
            AddLog(text);
            if (ShowErrors)
                Host().MessageBox(text, TMsgKind::Error, TMsgButtons::Ok);
            return false;
        }
        Bench->Adapter = MakeSimAdapter(Kind, *Bench->Car);
        Bench->OriginMs = Clock().PerfMs();
    }
    Baud = baud;
    ParityCode = ParityNone;
    StopBitsCode = OneStopBit;
    Bench->Adapter->HostLine(Baud, ParityCode, StopBitsCode, NowMs());
    Input.clear();
    Opened = true;
    return true;
}

bool TSimPort::IsOpen() {
    return Opened && !Bench->Vanished;
}

void TSimPort::Close() {
    Opened = false;
}

void TSimPort::Pump() {
    if (!Opened)
        return;
    std::vector<TRxByte> received = Bench->Adapter->Output(NowMs());
    // The first N pairs work; the adapter is gone during the next one.
    uint32_t vanishAfter = Bench->Car->Profile().Faults.VanishAfterRequests;
    if (!Bench->Vanished && vanishAfter && Bench->Car->Unit().PairCount() > vanishAfter)
        Bench->Vanished = true;
    if (Bench->Vanished) {
        Input.clear();
        throw PortException(TranslateFormat("Порт %s: адаптер отключен", SimAdapterInfo(Kind).PortPrefix));
    }
    for (const TRxByte& b : received) {
        if (Input.size() < InputCapacity)
            Input.push_back(b.Value);
        LastArrivalMs = b.TimeMs;
    }
}

int TSimPort::Take(uint8_t* data, int count) {
    int n = std::min<int>(int(Input.size()), count);
    for (int i = 0; i < n; ++i) {
        data[i] = Input.front();
        Input.pop_front();
    }
    return std::max(n, 0);
}

int TSimPort::InQueue() {
    Pump();
    return int(Input.size());
}

void TSimPort::SetParams(int baud, uint8_t parity, uint8_t stopBits) {
    Pump();
    Baud = baud;
    ParityCode = parity;
    StopBitsCode = stopBits;
    if (Opened)
        Bench->Adapter->HostLine(Baud, ParityCode, StopBitsCode, NowMs());
}

void TSimPort::SetRTS(bool on) {
    Pump();
    if (Opened)
        Bench->Adapter->HostRts(on, NowMs());
}

void TSimPort::SetParity(uint8_t parity) {
    SetParams(Baud, parity, StopBitsCode);
}

bool TSimPort::ReadByte(uint8_t& value) {
    Pump();
    return Take(&value, 1) == 1;
}

int TSimPort::ReadBuf(TPortBuffer& buffer) {
    Pump();
    buffer.Count = buffer.Data ? Take(buffer.Data, buffer.Size) : 0;
    return buffer.Count;
}

int TSimPort::ReadBufEx(TPortBuffer& buffer, int count) {
    int wanted = std::min(count, buffer.Size);
    buffer.Count = 0;
    if (wanted <= 0 || !Opened || !buffer.Data)
        return 0;
    // Windows time-out rules: the total time-out is constant + multiplier x bytes asked for; the interval
    // time-out ends the read when the gap after a received byte grows longer.
    bool totalLimit = ReadConstant > 0 || ReadMultiplier > 0;
    double deadline = NowMs() + ReadConstant + double(ReadMultiplier) * wanted;
    int got = 0;
    for (;;) {
        Pump();
        got += Take(buffer.Data + got, wanted - got);
        double now = NowMs();
        if (got == wanted || (totalLimit && now >= deadline))
            break;
        double wake = Bench->Adapter->NextOutputMs();
        if (ReadInterval > 0 && got > 0) {
            double intervalEnd = LastArrivalMs + ReadInterval;
            if (now >= intervalEnd)
                break;
            wake = std::min(wake, intervalEnd);
        }
        if (totalLimit)
            wake = std::min(wake, deadline);
        // Without any time-out a real port would wait for ever; with nothing on its way, return instead.
        if (wake == NeverMs)
            break;
        SleepUntil(now, wake);
    }
    buffer.Count = got;
    return got;
}

void TSimPort::SleepUntil(double nowMs, double wakeMs) {
    // At least a microsecond, so that a wait always moves time on.
    Clock().SleepMicros(std::max<int64_t>(1, int64_t(std::ceil((wakeMs - nowMs) * 1000.0))));
}

bool TSimPort::WaitInput(uint32_t maxMs) {
    if (InQueue() > 0)
        return true;
    if (!Opened || maxMs == 0)
        return false;
    const double now = NowMs();
    SleepUntil(now, std::min(Bench->Adapter->NextOutputMs(), now + maxMs));
    return InQueue() > 0;
}

bool TSimPort::WritePortEx(const uint8_t* data, int length) {
    Pump();
    if (!Opened || length < 0 || (length > 0 && !data))
        return false;
    double now = NowMs();
    for (int i = 0; i < length; ++i)
        Bench->Adapter->HostByte(data[i], now);
    return true;
}

bool TSimPort::WriteBuf(TPortBuffer buffer) {
    return WritePortEx(buffer.Data, buffer.Count);
}

bool TSimPort::WriteByte(uint8_t value) {
    return WritePortEx(&value, 1);
}

void TSimPort::SetCommBreak() {
    Pump();
    if (Opened)
        Bench->Adapter->HostBreak(true, NowMs());
}

void TSimPort::ClearCommBreak() {
    Pump();
    if (Opened)
        Bench->Adapter->HostBreak(false, NowMs());
}

void TSimPort::SetTimeouts(int readInterval, int readTotalMultiplier, int readTotalConstant,
                           int /*WriteTotalMultiplier*/, int /*WriteTotalConstant*/) {
    // Negative values are invalid for a port: the call then changes nothing.
    if (readInterval < 0 || readTotalMultiplier < 0 || readTotalConstant < 0)
        return;
    ReadInterval = readInterval;
    ReadMultiplier = readTotalMultiplier;
    ReadConstant = readTotalConstant;
}

} // namespace velmora
