#include "sim/adapters/adapter_port.h"

#include <algorithm>
#include <cmath>

#include "links/port_factory.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

// The driver's input buffer, bytes; what arrives beyond it is lost, as on a real port.
constexpr size_t InputCapacity = 4096;

} // namespace

TSimAdapterPort::TSimAdapterPort(TSimAdapterKind kind, std::string name)
    : Kind(kind), Name(std::move(name)) {}

TSimAdapterPort::~TSimAdapterPort() = default;

double TSimAdapterPort::NowMs() const {
    return Clock().PerfMs() - OriginMs;
}

bool TSimAdapterPort::Open(bool ShowErrors, int baud) {
    if (!SimCar) {
        std::string spec;
        if (size_t colon = Name.find(':'); colon != std::string::npos)
            spec = Name.substr(colon + 1);
        std::string error;
        SimCar = TSimCar::Create(spec, error);
        if (!SimCar) {
            std::string text = "Порт " + Name + ": " + error;
            AddLog(text);
            if (ShowErrors)
                Host().MessageBox(text, TMsgKind::Error, TMsgButtons::Ok);
            return false;
        }
        SimAdapter = MakeSimAdapter(Kind, *SimCar);
        OriginMs = Clock().PerfMs();
    }
    Baud = baud;
    ParityCode = ParityNone;
    SimAdapter->HostLine(Baud, ParityCode, NowMs());
    Input.clear();
    Opened = true;
    return true;
}

void TSimAdapterPort::Pump() {
    if (!Opened)
        return;
    for (const TRxByte& b : SimAdapter->Output(NowMs())) {
        if (Input.size() < InputCapacity)
            Input.push_back(b.Value);
        LastArrivalMs = b.TimeMs;
    }
}

int TSimAdapterPort::Take(uint8_t* data, int count) {
    int n = std::min<int>(int(Input.size()), count);
    for (int i = 0; i < n; ++i) {
        data[i] = Input.front();
        Input.pop_front();
    }
    return std::max(n, 0);
}

int TSimAdapterPort::InQueue() {
    Pump();
    return int(Input.size());
}

void TSimAdapterPort::SetParams(int baud, uint8_t parity, uint8_t /*StopBits*/) {
    Pump();
    Baud = baud;
    ParityCode = parity;
    if (Opened)
        SimAdapter->HostLine(Baud, ParityCode, NowMs());
}

void TSimAdapterPort::SetRTS(bool on) {
    Pump();
    if (Opened)
        SimAdapter->HostRts(on, NowMs());
}

void TSimAdapterPort::SetParity(uint8_t parity) {
    SetParams(Baud, parity, OneStopBit);
}

bool TSimAdapterPort::ReadByte(uint8_t& value) {
    Pump();
    return Take(&value, 1) == 1;
}

int TSimAdapterPort::ReadBuf(TPortBuffer& buffer) {
    Pump();
    buffer.Count = buffer.Data ? Take(buffer.Data, buffer.Size) : 0;
    return buffer.Count;
}

int TSimAdapterPort::ReadBufEx(TPortBuffer& buffer, int count) {
    int wanted = std::min(count, buffer.Size);
    buffer.Count = 0;
    if (wanted <= 0 || !Opened || !buffer.Data)
        return 0;
    // The time-out rules of a serial port: the total time-out is constant + multiplier x bytes asked for;
    // the interval time-out ends the read when the gap after a received byte grows longer.
    bool totalLimit = ReadConstant > 0 || ReadMultiplier > 0;
    double deadline = NowMs() + ReadConstant + double(ReadMultiplier) * wanted;
    int got = 0;
    for (;;) {
        Pump();
        got += Take(buffer.Data + got, wanted - got);
        double now = NowMs();
        if (got == wanted || (totalLimit && now >= deadline))
            break;
        double wake = SimAdapter->NextOutputMs();
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
        Clock().Sleep(uint32_t(std::max(1.0, std::ceil(wake - now))));
    }
    buffer.Count = got;
    return got;
}

bool TSimAdapterPort::WritePortEx(const uint8_t* data, int length) {
    Pump();
    if (!Opened || length < 0 || (length > 0 && !data))
        return false;
    double now = NowMs();
    for (int i = 0; i < length; ++i)
        SimAdapter->HostByte(data[i], now);
    return true;
}

bool TSimAdapterPort::WriteBuf(TPortBuffer buffer) {
    return WritePortEx(buffer.Data, buffer.Count);
}

bool TSimAdapterPort::WriteByte(uint8_t value) {
    return WritePortEx(&value, 1);
}

void TSimAdapterPort::SetCommBreak() {
    Pump();
    if (Opened)
        SimAdapter->HostBreak(true, NowMs());
}

void TSimAdapterPort::ClearCommBreak() {
    Pump();
    if (Opened)
        SimAdapter->HostBreak(false, NowMs());
}

void TSimAdapterPort::SetTimeouts(int readInterval, int readTotalMultiplier, int readTotalConstant,
                                  int /*WriteTotalMultiplier*/, int /*WriteTotalConstant*/) {
    // Negative values are invalid for a port: the call then changes nothing.
    if (readInterval < 0 || readTotalMultiplier < 0 || readTotalConstant < 0)
        return;
    ReadInterval = readInterval;
    ReadMultiplier = readTotalMultiplier;
    ReadConstant = readTotalConstant;
}

void RegisterSimAdapterPorts() {
    RegisterPortKind("SIMELM", SimElmPortNumber, "Simulated car behind an ELM327", [](std::string_view name) {
        return std::make_unique<TSimAdapterPort>(TSimAdapterKind::Elm, std::string(name));
    });
    RegisterPortKind("SIMCARSOFT", SimCarSoftPortNumber, "Simulated car behind a CarSoft 7.4 interface",
                     [](std::string_view name) {
                         return std::make_unique<TSimAdapterPort>(TSimAdapterKind::CarSoft,
                                                                  std::string(name));
                     });
}

} // namespace velmora
