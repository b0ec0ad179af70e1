#include "log_convert/request_index.h"

#include <algorithm>

#include "log_convert/known_requests.h"
#include "params/param_list.h"

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
}

void TRequestIndex::AddKnownRequests() {
    const std::vector<uint8_t>& words = KnownRequestWords();
    std::copy(words.begin(), words.begin() + WordCount, Known.begin());
    std::copy(words.begin() + WordCount, words.end(), KnownCommands.begin());
}

int TRequestIndex::ImpliedCommand(uint8_t param) const {
    if (param > 0x40 && param != 0xAA && IsKnown(ReadCommandLeftOut, param))
        return ReadCommandLeftOut;
    if (IsKnown(LhCommand, param))
        return LhCommand;
    if (IsKnown(EzCommand, param))
        return EzCommand;
    return -1;
}

} // namespace velmora
