#include "faults/fault_display.h"

#include <cstdio>

#include "lang/dictionary.h"
#include "lang/translated_format.h"

namespace velmora {

namespace {

constexpr const char* Separator = ",  ";

std::string FaultLine(const TFault& fault, bool current, const TFaultTexts& texts) {
    std::string line = FaultLineHead(fault.Code, current);
    const std::string text = fault.Unknown ? UnknownFaultText(fault.Cell) : texts.Text(fault.Code);
    if (!text.empty())
        line += Separator + text;
    return line;
}

} // namespace

std::string FaultLineHead(int code, bool current) {
    char number[16];
    std::snprintf(number, sizeof number, "%.3d", code);
    return number + std::string(Separator) + Translate(current ? "АКТУАЛЬНЫЙ" : "Сохраненный");
}

std::string UnknownFaultText(int cell) {
    return TranslateFormat("? ячейка %d", cell) +
           Translate(" КОД ошибки по классификации мерседес неизвестен!");
}

std::vector<std::string> FaultDisplayLines(const TFaultBuf& buffer, const TFaultContext& context,
                                           const TFaultTexts& texts, bool storedOnly) {
    std::vector<std::string> lines;
    for (const TFault& fault : CollectFaults(buffer, context, MaxDisplayedFaults)) {
        if (fault.Stored)
            lines.push_back(FaultLine(fault, false, texts));
        if (fault.Current && !storedOnly)
            lines.push_back(FaultLine(fault, true, texts));
    }
    if (lines.empty()) {
        lines.push_back(Translate(storedOnly ? "СОХРАНЕННЫХ ОШИБОК НЕТ!" : "ОШИБОК НЕТ!"));
        return lines;
    }
    if (std::string notice = FaultTextsNotice(texts); !notice.empty())
        lines.insert(lines.begin(), std::move(notice));
    return lines;
}

} // namespace velmora
