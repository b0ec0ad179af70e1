#include "actuators/coding.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

#include "actuators/coding_access.h"
#include "actuators/timed_pairs.h"
#include "engine_link/engine_link.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/ecu_param.h"
#include "params/unit_codes.h"
#include "platform/clock.h"

namespace velmora {

namespace {

// A location on the tester-code parameters 20-22 of the channel 0x55 cannot show the coding, and none
// at all (0) names no readable command; the run then reads with the idle command instead.
constexpr uint32_t TesterCodeLoc = 0x55141516;
constexpr uint32_t IdleLoc = 0x10000000;
constexpr uint8_t IdleCommand = 0x10;
// An ELM327 wants this pause before the first timed pair (ms).
constexpr uint32_t ElmSettleMs = 1000;
constexpr uint32_t ElmCloseTimeoutMs = 3000;
constexpr uint8_t CodingChangeParam = 0x37;
// The tester code written with 0xED-0xEF.
constexpr std::array<uint8_t, 3> TesterCode{0x12, 0x34, 0x56};

using TCoding = std::array<uint8_t, 3>; // high, middle, low

uint8_t ByteOf(uint32_t word, int index) {
    return uint8_t(word >> (8 * index));
}

std::string CodingText(const TCoding& coding) {
    return FormatText("%.3d %.3d %.3d", int(coding[0]), int(coding[1]), int(coding[2]));
}

TCoding ReadCoding(TTimedPairs& pairs, uint32_t location) {
    TCoding coding{};
    for (int i = 0; i < 3; ++i)
        coding[size_t(i)] = pairs.Send(ByteOf(location, 3), ByteOf(location, 2 - i));
    return coding;
}

const char* const FunctionBreak[] = {
    "                FUNCTION BREAK!!! ",
    "            Set Ignition OFF !",
    "            Wait for >10 sec,",
    "            Set Ignition ON and press CONNECT for repeat coding!",
};

// Unlocks the unit for writing: the coding-change command, the check word and its answer. False when
// no answer to the check word is known.
bool Unlock(TTimedPairs& pairs, uint8_t supplier) {
    const uint8_t change = supplier == SupplierVdo ? 0x46 : 0x45;
    AddLog(FormatText("%d 55 return %d", int(change), int(pairs.Send(change, CodingChangeParam))));
    const uint8_t low = pairs.Send(0xE0, 0xFE);
    AddLog(FormatText("224 254 return %d", int(low)));
    const uint8_t high = pairs.Send(0xE0, 0xFF);
    AddLog(FormatText("224 255 return %d", int(high)));
    const uint16_t checkWord = uint16_t(high * 256 + low);
    AddLog(FormatText("%.4X", unsigned(checkWord)));

    const uint16_t answer = CodingAnswer(checkWord);
    if (answer == 0) {
        for (const char* line : FunctionBreak)
            AddLog(line);
        return false;
    }
    const uint8_t answerLow = uint8_t(answer);
    const uint8_t answerHigh = uint8_t(answer >> 8);
    AddLog(FormatText("194  %d return %d", int(answerLow), int(pairs.Send(0xC2, answerLow))));
    const uint8_t taken = pairs.Send(0xC3, answerHigh);
    const char* pattern =
        taken == 0xFF - answerHigh ? "195  %d return %d  !!!!!!!!!!!!!!!!!OK" : "195  %d return %d";
    AddLog(FormatText(pattern, int(answerHigh), int(taken)));
    return true;
}

} // namespace

void RunCoding(TActuatorContext& context) {
    TActuatorState& state = context.State;
    TEngineLink& link = context.Link;
    // Coding is offered for units of the late generation only.
    if (!link.Ident.HasServiceFunctions() || !link.Ident.IsLateGeneration()) {
        state.CodingPending.store(0);
        AddLog(Translate("Кодирование доступно только для блоков HFM!"));
        return;
    }
    AddLog(Translate("Выполняется кодирование блока! Ждите!"));
    uint32_t location = state.CodingLoc.load();
    if (location == TesterCodeLoc || location == 0)
        location = IdleLoc;
    if (link.UseElm)
        Clock().Sleep(ElmSettleMs);

    TTimedPairs pairs = TTimedPairs::CodingSchedule(link);
    const TCoding current = ReadCoding(pairs, location);
    if (ByteOf(location, 3) != IdleCommand)
        LogT("Текущая кодировка блока  %.3d %.3d %.3d", int(current[0]), int(current[1]), int(current[2]));
    const uint32_t pending = state.CodingPending.load();
    const TCoding wanted{ByteOf(pending, 2), ByteOf(pending, 1), ByteOf(pending, 0)};
    LogT("Новая кодировка %.3d %.3d %.3d", int(wanted[0]), int(wanted[1]), int(wanted[2]));
    AddLog(Translate("Ждите!"));

    AddLog(FormatText("193 252 return %d", int(OpenSpecialMode(pairs))));
    if (!Unlock(pairs, link.Ident.Supplier))
        return;

    TCoding testerCode{};
    for (int i = 0; i < 3; ++i)
        testerCode[size_t(i)] = pairs.Send(uint8_t(0xED + i), TesterCode[size_t(i)]);
    AddLog(FormatText("New CODE UNIT NUMBER  %.2x %.2x %.2x", unsigned(testerCode[0]),
                      unsigned(testerCode[1]), unsigned(testerCode[2])));
    for (int i = 0; i < 3; ++i)
        pairs.Send(uint8_t(0xE1 + i), wanted[size_t(i)]);
    state.CodingPending.store(0);
    AddLog(FormatText("192  %d return %d", 0xFC, int(pairs.Send(0xC0, 0xFC))));
    AddLog(FormatText("207  %d return %d", 0x00, int(pairs.Send(0xCF, 0x00))));

    const TCoding readBack = ReadCoding(pairs, location);
    if (CodingText(readBack) == CodingText(wanted)) {
        AddLog("CODING COMPLEAT!");
        AddLog("IGNITION set OFF for 30 sec!");
    } else {
        AddLog("Error write CODING !!!");
        AddLog(CodingText(readBack));
        AddLog("                Set Ignition OFF for 30 sec!");
        AddLog("                Set Ignition ON and press CONNECT!");
    }
    // The adapter leaves its K-line session, so that the unit is free for the ignition cycle.
    if (link.UseElm && !link.ElmCommandOk("ATPC", "OK", ElmCloseTimeoutMs))
        AddLog(Translate("ELM327 ошибка выполнения ATPC!"));
}

std::optional<uint32_t> ParseCodingText(std::string_view text) {
    uint32_t coding = 0;
    int count = 0;
    size_t pos = 0;
    while (true) {
        pos = text.find_first_not_of(' ', pos);
        if (pos == std::string_view::npos)
            break;
        const size_t end = std::min(text.find(' ', pos), text.size());
        unsigned value = 0;
        auto [last, error] = std::from_chars(text.data() + pos, text.data() + end, value);
        if (error != std::errc() || last != text.data() + end || value > 255 || ++count > 3)
            return std::nullopt;
        coding = coding << 8 | value;
        pos = end;
    }
    if (count != 3 || coding == 0)
        return std::nullopt;
    return coding;
}

uint32_t CodingLocOf(const TECUparam& high, const TECUparam& middle, const TECUparam& low) {
    return uint32_t(high.CmdHi) << 24 | uint32_t(high.CmdLo) << 16 | uint32_t(middle.CmdLo) << 8 | low.CmdLo;
}

} // namespace velmora
