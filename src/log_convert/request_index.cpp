#include "log_convert/request_index.h"

#include <algorithm>

#include "log_convert/known_requests.h"
#include "params/param_list.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

constexpr size_t WordCount = 65536;
constexpr uint8_t ReadCommandLeftOut = 0x10; // HFM/PMS from Bosch and Siemens
constexpr uint8_t LhCommand = 0x00;
constexpr uint8_t EzCommand = 0xFF;

// Known words and commands of the known requests, computed once: command·256 + parameter, then the
// 256 command bytes.
const std::vector<uint8_t>& KnownRequestWords() {
    static const std::vector<uint8_t> words = [] {
        std::vector<uint8_t> known(WordCount + 256);
        for (int cmd = 0; cmd < 256; ++cmd) {
            if (!IsKnownCommand(uint8_t(cmd)))
                continue;
            known[WordCount + size_t(cmd)] = 1;
            for (int param = 0; param < 256; ++param)
                if (FindKnownRequest(uint8_t(cmd), uint8_t(param)))
                    known[size_t(cmd) << 8 | size_t(param)] = 1;
        }
        for (const TIdentExtra& extra : IdentExtras()) {
            known[size_t(extra.Cmd) << 8 | extra.Param] = 1;
            known[WordCount + extra.Cmd] = 1;
        }
        return known;
    }();
    return words;
}

} // namespace

int TableReadSize(uint8_t cmd) {
    switch (cmd) {
    case TableOneByteCode:
        return 1;
    case TableTwoBytesCode:
    case TableTwoBytesHighCode:
        return 2;
    default:
        return 0;
    }
}

TRequestIndex::TRequestIndex()
    : Known(WordCount), KnownCommands(256), Starts(WordCount), Continuations(WordCount) {
    AddKnownRequests();
}

TRequestIndex::TRequestIndex(const TListParams& params) : TRequestIndex() {
    for (const auto& item : params) {
        TECUparam& param = *item;
        const size_t start = Word(param.CmdHi, param.CmdLo);
        Known[start] = 1;
        KnownCommands[param.CmdHi] = 1;
        if (!Starts[start])
            Starts[start] = &param;
        const int size = param.DataLength();
        for (int k = 1; k < size && param.CmdLo + k <= 0xFF; ++k) {
            const size_t word = start + size_t(k);
            Known[word] = 1;
            if (!Continuations[word].Param)
                Continuations[word] = {&param, uint8_t(k)};
        }
    }
    AddTableReads(params);
}

void TRequestIndex::AddTableReads(const TListParams& params) {
    // The table words lose the command byte: a word goes to the first record at that address whose
    // size fits the code, else to the first at that address; a record of the set under the same word
    // keeps it.
    for (const bool fitting : {true, false}) {
        for (const auto& item : params) {
            TECUparam& param = *item;
            const bool twoBytes = param.DataLength() >= 2;
            const size_t one = Word(TableOneByteCode, param.CmdLo);
            if ((!fitting || !twoBytes) && !Starts[one]) {
                Starts[one] = &param;
                Known[one] = 1;
                KnownCommands[TableOneByteCode] = 1;
            }
            const uint8_t code = param.CmdLo >= 0x80 ? TableTwoBytesHighCode : TableTwoBytesCode;
            const size_t first = Word(code, uint8_t((param.CmdLo & 0x7F) * 2));
            if ((!fitting || twoBytes) && !Starts[first] && !Continuations[first].Param) {
                Starts[first] = &param;
                Continuations[first + 1] = {&param, 1};
                Known[first] = Known[first + 1] = 1;
                KnownCommands[code] = 1;
            }
        }
    }
}

void TRequestIndex::AddKnownRequests() {
    const std::vector<uint8_t>& words = KnownRequestWords();
    std::copy(words.begin(), words.begin() + WordCount, Known.begin());
    std::copy(words.begin() + WordCount, words.end(), KnownCommands.begin());
}

int TRequestIndex::ImpliedCommand(uint8_t param, TLogUnit unit) const {
    const bool hfmRead = param > 0x40 && param != 0xAA;
    switch (unit.UnitType) {
    case UnitHfm:
    case UnitPms:
        if (unit.Supplier != SupplierBosch && unit.Supplier != SupplierSiemens)
            return -1; // VDO units never leave the command out
        return hfmRead && IsKnown(ReadCommandLeftOut, param) ? ReadCommandLeftOut : -1;
    case UnitLh:
        return IsKnown(LhCommand, param) ? LhCommand : -1;
    case UnitEz:
        return IsKnown(EzCommand, param) ? EzCommand : -1;
    default:
        break;
    }
    const int candidates[] = {hfmRead ? ReadCommandLeftOut : -1, LhCommand, EzCommand};
    for (const int cmd : candidates)
        if (cmd >= 0 && StartOf(uint8_t(cmd), param))
            return cmd;
    for (const int cmd : candidates)
        if (cmd >= 0 && IsKnown(uint8_t(cmd), param))
            return cmd;
    return -1;
}

} // namespace velmora
