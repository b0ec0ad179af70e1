#include "adapters/base_adapter.h"

#include "adapters/elm_module_adapter.h"
#include "adapters/kline_adapter.h"
#include "adapters/module_frame.h"
#include "lang/translated_format.h"
#include "links/port_factory.h"

namespace velmora {

std::string TProtocolLog::Text() const {
    std::string text;
    for (const std::string& line : Lines) {
        text += line;
        text += '\n';
    }
    return text;
}

void TBaseAdapter::Init(uint8_t address, char connectType, int baud, int parity) {
    if (connectType != 'F' && connectType != 'S')
        throw AdapterException("ISO: Тип коннекта указан неверно!");
    Address = address;
    ConnectType = connectType;
    Baud = baud;
    Parity = parity;
    KLineAddress = address;
}

void TBaseAdapter::SetPort(TBasePort* port) {
    if (!port)
        throw AdapterException("Port не задан!");
    Port = port;
}

TBasePort& TBaseAdapter::RequirePort() {
    if (!Port)
        throw AdapterException("Port не задан!");
    return *Port;
}

void TBaseAdapter::SetTimings(int interByteTime, int requestDelay, int answerTimeout) {
    InterByteTime = interByteTime;
    RequestDelay = requestDelay;
    AnswerTimeout = answerTimeout;
}

void TBaseAdapter::PrintProtocol() {
    Log("");
    Log(TranslateFormat("Параметры протокола ( Адрес: %s, Скорость: %s )", (HexByte(Address) + "h").c_str(),
                        FormatPortSettings(Baud, Parity, 1).c_str()));
    Log(TranslateFormat("Тайминги протокола [мс]: %d, %d, %d", InterByteTime, RequestDelay, AnswerTimeout));
    Log(TranslateFormat("Период одного бита при коннекте %d мс", BitPeriod));
    Log(" ");
}

std::string TBaseAdapter::ParsePacket(std::string_view packet) {
    TParsedFrame parsed =
        ParseModuleFrame(packet, KLineAddress, [this](const std::string& line) { Log(line); });
    BadSum = !parsed.Payload.empty() && !parsed.ChecksumOk;
    if (!BadSum)
        return std::move(parsed.Payload);
    ++BadSumCount;
    return {};
}

void TBaseAdapter::ShowModuleInfo(std::string_view payload, bool& more, bool& failed) {
    Info.Show(payload, LastRequest, KLineAddress, more, failed);
}

std::unique_ptr<TBaseAdapter> CreateAdapter(char kind) {
    if (kind == 'E')
        return std::make_unique<TELM327myAdapter>();
    if (kind == 'C')
        throw AdapterException("Экземпляр класса TAdapter не создан!");
    return std::make_unique<TKLineAdapter>();
}

} // namespace velmora
