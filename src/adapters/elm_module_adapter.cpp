#include "adapters/elm_module_adapter.h"

#include <algorithm>

#include "adapters/module_frame.h"
#include "lang/dictionary.h"
#include "platform/host.h"

namespace velmora {

namespace {

constexpr int ElmBaud = 38400;
constexpr uint32_t ResetTimeoutMs = 3000;
constexpr uint32_t SetupTimeoutMs = 3000;
constexpr uint32_t ConnectTimeoutMs = 5000;
constexpr uint32_t MessageTimeoutMs = 3000;
// The answer text of ISOCONNECT and ISOMSG: "R" and the longest frame the header accepts (a 128-byte frame
// is 256 characters), with room for a stray line before it. The commands' usual limit would cut it.
constexpr int FrameAnswerChars = ElmMaxAnswer + 1 + 2 * TBaseAdapter::MaxPacketLength;

char ParityLetter(int parity) {
    switch (parity) {
    case 1:
        return 'O';
    case 2:
        return 'E';
    case 3:
        return 'M';
    case 4:
        return 'S';
    default:
        return 'N';
    }
}

} // namespace

std::string TELM327myAdapter::SetupCommand(uint8_t address, char connectType, int parity, int interByteTime,
                                           int answerTimeout, int requestDelay) {
    return "ISOSET" + HexByte(address) + connectType + ParityLetter(parity) + std::to_string(interByteTime) +
           HexByte(uint8_t(std::clamp(answerTimeout / 2, 0, 255))) +
           HexByte(uint8_t(std::clamp(requestDelay, 0, 255)));
}

TElmContext TELM327myAdapter::Context() {
    return TElmContext{RequirePort(), [this](std::string_view line) { Log(std::string(line)); },
                       Abort ? *Abort : NeverAbort, State};
}

bool TELM327myAdapter::Connect() {
    AddLog(Translate("Подключение к ELM327 velmora"));
    TElmContext elm = Context();
    elm.Port.SetParams(ElmBaud, ParityNone, OneStopBit);
    std::string answer;
    if (!ElmCommand(elm, "ATZ", answer, ResetTimeoutMs))
        return false;
    answer = "OK";
    if (!ElmCommand(elm, "ATE0", answer, ResetTimeoutMs))
        return false;

    answer = "OK";
    if (!ElmCommand(elm,
                    SetupCommand(Address, ConnectType, Parity, InterByteTime, AnswerTimeout, RequestDelay),
                    answer, SetupTimeoutMs)) {
        const std::string stars(47, '*');
        AddLog("");
        AddLog(stars);
        AddLog(Translate("Не удалось установить параметры протокола!"));
        AddLog(stars);
        return false;
    }
    AddLog("OK");
    AddLog("");
    AddLog(Translate("Подключение"));

    // The answer is R and the module's first frame, which begins with its address.
    answer.clear();
    const std::string marker = "R" + HexByte(Address);
    if (!ElmCommand(elm, "ISOCONNECT", answer, ConnectTimeoutMs, true, FrameAnswerChars))
        return false;
    const size_t at = answer.find(marker);
    if (at == std::string::npos)
        return false;
    // The frame ends at the first blank, as in Exchange: what follows is not part of it.
    std::string frame = answer.substr(at + 1);
    if (const size_t blank = frame.find(' '); blank != std::string::npos)
        frame.resize(blank);
    const std::string payload = ParsePacket(frame);
    bool more = false, failed = false;
    ShowModuleInfo(payload, more, failed);
    return true;
}

bool TELM327myAdapter::Exchange(std::string_view request, std::string& answer, int maxLength) {
    LastRequest = std::string(request);
    TElmContext elm = Context();
    std::string reply = "R" + HexByte(KLineAddress);
    if (!ElmCommand(elm, "ISOMSG" + std::string(request), reply, MessageTimeoutMs, true, FrameAnswerChars))
        return false;
    // Only the line with the frame counts; an echo or a stray line before it is not part of the answer.
    // The command may pass without one: an adapter that dropped into plain K-line mode, or a frame line
    // beyond the answer's length limit. No frame line, no answer.
    const size_t at = reply.find("R" + HexByte(KLineAddress));
    if (at == std::string::npos)
        return false;
    answer = reply.substr(at + 1, size_t(std::max(maxLength, 0)));
    if (const size_t blank = answer.find(' '); blank != std::string::npos)
        answer.resize(blank);
    return true;
}

bool TELM327myAdapter::ReceivePacket(std::string&, int, int, bool) {
    throw AdapterException("TELM327myAdapter.ReceivePacket не реализован");
}

void TELM327myAdapter::SendPacket(std::string_view, bool) {
    throw AdapterException("TELM327myAdapter.SendPacket не реализован");
}

} // namespace velmora
