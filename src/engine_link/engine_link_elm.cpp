// The engine protocol through an ELM327: a request pair as "HFMDATA<cc><pp>" answered "R<cc><pp><vv>",
// and the adapter's table read of a whole parameter; both leave in the exchange log the bytes a KKL
// cable would have received.
#include <charconv>
#include <optional>
#include <span>

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "links/port_factory.h"
#include "params/ecu_param.h"
#include "platform/clock.h"

namespace velmora {

namespace {

constexpr uint32_t ElmRequestTimeoutMs = 3000;
// Tries of a request pair whose reply carried no value.
constexpr int ElmPairAttempts = 3;
// The adapter's table commands are the command byte moved up by this.
constexpr uint8_t TableCommandOffset = 0x40;
// Exchange-log codes of a table read: one byte, two bytes, two bytes at an address of 0x80 or more.
constexpr uint8_t TableOneByteCode = 0x11;
constexpr uint8_t TableTwoBytesCode = 0x12;
constexpr uint8_t TableTwoBytesHighCode = 0x13;

std::string Hex2(uint8_t value) {
    return FormatText("%.2X", unsigned(value));
}

// The byte written as two hexadecimal digits at `offset`, if there are two.
std::optional<uint8_t> HexByteAt(std::string_view text, size_t offset) {
    if (offset + 2 > text.size())
        return std::nullopt;
    unsigned value = 0;
    const char* first = text.data() + offset;
    auto [end, error] = std::from_chars(first, first + 2, value, 16);
    if (error != std::errc() || end != first + 2)
        return std::nullopt;
    return uint8_t(value);
}

// The reply line of an answer: an answer that woke the bus first carries the "BUS INIT" line in front
// (the lines come joined by blanks), and the reply itself has none with spaces off.
std::string_view ReplyOf(std::string_view answer) {
    const size_t blank = answer.find_last_of(' ');
    return blank == std::string_view::npos ? answer : answer.substr(blank + 1);
}

} // namespace

uint8_t TEngineLink::ElmRequest(uint8_t cmd, uint8_t param) {
    SetProgressMark(MarkElmRequest);
    const std::string digits = Hex2(cmd) + Hex2(param);
    const std::string expected = "R" + digits;
    for (int attempt = 1;; ++attempt) {
        std::string answer;
        TElmContext elm = ElmContext();
        if (!ElmCommand(elm, "HFMDATA" + digits, answer, ElmRequestTimeoutMs)) {
            AddLog(expected);
            throw LinkException(Translate("Ошибка при приеме пакета от ELM327"));
        }
        const std::string_view reply = ReplyOf(answer);
        const std::optional<uint8_t> value = reply.starts_with(expected) ? HexByteAt(reply, 5) : std::nullopt;
        if (!value) {
            LogT("Ошибка ответа ELM327: %s", answer.c_str());
            // The adapter found no sound answer on the line (a lost answer or a stray byte in its place):
            // the pair goes again, a few times, as on a cable.
            ++Noise.DroppedPairs;
            Log.AppendText("repeat " + digits + ": " + answer);
            if (attempt == ElmPairAttempts)
                throw LinkException(Translate("Ошибка обмена с ELM327"));
            ++Noise.Repeats;
            continue;
        }
        if (attempt > 1)
            AddLog(Translate("Связь восстановлена."));
        // The bytes a cable would have received: without the command and its complement where the unit
        // supplies the command itself, with them otherwise (an EZ unit's command 0 included).
        const uint8_t pair[] = {cmd, uint8_t(0xFF - cmd), param, *value};
        const bool leftOut = CommandLeftOut(Ident.UnitType, Ident.Supplier, cmd, param);
        Log.AppendReceived(std::span<const uint8_t>(pair).subspan(leftOut ? 2 : 0));
        MarkAnswer();
        PostTick();
        return *value;
    }
}

bool TEngineLink::ElmReadParameter(TECUparam& param) {
    SetProgressMark(MarkElmRequest);
    const uint8_t address = param.CmdLo;
    const std::string digits = Hex2(uint8_t(param.CmdHi + TableCommandOffset)) + Hex2(address);
    std::string answer;
    TElmContext elm = ElmContext();
    if (!ElmCommand(elm, digits, answer, ElmRequestTimeoutMs))
        throw LinkException(Translate("Ошибка при приеме пакета от ELM327"));
    const std::string_view reply = ReplyOf(answer);
    const std::optional<uint8_t> first = reply.starts_with(digits) ? HexByteAt(reply, 4) : std::nullopt;
    const std::optional<uint8_t> second = reply.size() > 7 ? HexByteAt(reply, 6) : std::nullopt;
    if (!first || (reply.size() > 7 && !second)) {
        // A reply for another parameter or no data: this read ends, the next one tries again.
        LogT("Ошибка ответа ELM327: %s", answer.c_str());
        return false;
    }
    if (!second) {
        Log.AppendPair(TableOneByteCode, uint8_t(0xFF - TableOneByteCode), address, *first);
    } else {
        const bool high = address >= 0x80;
        const uint8_t code = high ? TableTwoBytesHighCode : TableTwoBytesCode;
        const uint8_t logAddress = uint8_t((high ? address - 0x80 : address) * 2);
        Log.AppendPair(code, uint8_t(0xFF - code), logAddress, *first);
        Log.AppendPair(code, uint8_t(0xFF - code), uint8_t(logAddress + 1), *second);
    }
    MarkAnswer();
    PostTick();
    SetData(param, {*first, second.value_or(0), 0, 0}, second ? 2 : 1);
    return true;
}

bool TEngineLink::ElmCommandOk(std::string_view command, std::string_view expected, uint32_t timeoutMs) {
    if (!Port())
        return false;
    std::string answer(expected);
    TElmContext elm = ElmContext();
    return ElmCommand(elm, command, answer, timeoutMs);
}

} // namespace velmora
