#include "faults/fault_display.h"

#include <cstdio>

#include "lang/dictionary.h"
#include "lang/translated_format.h"

namespace velmora {

namespace {

constexpr const char* Separator = ",  ";

TFaultRow FaultRow(const TFault& fault, bool current, const TFaultTexts& texts) {
    TFaultRow row;
    row.Code = fault.Code;
    row.Current = current;
    row.Unknown = fault.Unknown;
    row.State = Translate(current ? "АКТУАЛЬНЫЙ" : "Сохраненный");
    row.Text = fault.Unknown ? UnknownFaultText(fault.Cell) : texts.Text(fault.Code);
    if (!fault.Unknown) {
        // The entry's block opens with the short text the row already shows.
        const std::vector<std::string>& block = texts.Description(fault.Code);
        if (!block.empty())
            row.Details.assign(block.begin() + 1, block.end());
    }
    return row;
}

TFaultRow NoticeRow(std::string text) {
    TFaultRow row;
    row.Notice = true;
    row.Text = std::move(text);
    return row;
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

std::vector<TFaultRow> FaultDisplayRows(const TFaultBuf& buffer, const TFaultContext& context,
                                        const TFaultTexts& texts, bool storedOnly) {
    std::vector<TFaultRow> rows;
    for (const TFault& fault : CollectFaults(buffer, context, MaxDisplayedFaults)) {
        if (fault.Stored)
            rows.push_back(FaultRow(fault, false, texts));
        if (fault.Current && !storedOnly)
            rows.push_back(FaultRow(fault, true, texts));
    }
    if (rows.empty()) {
        rows.push_back(NoticeRow(Translate(storedOnly ? "СОХРАНЕННЫХ ОШИБОК НЕТ!" : "ОШИБОК НЕТ!")));
        return rows;
    }
    if (std::string notice = FaultTextsNotice(texts); !notice.empty())
        rows.insert(rows.begin(), NoticeRow(std::move(notice)));
    return rows;
}

std::vector<std::string> FaultDisplayLines(const TFaultBuf& buffer, const TFaultContext& context,
                                           const TFaultTexts& texts, bool storedOnly) {
    std::vector<std::string> lines;
    for (const TFaultRow& row : FaultDisplayRows(buffer, context, texts, storedOnly)) {
        if (row.Notice) {
            lines.push_back(row.Text);
            continue;
        }
        std::string line = FaultLineHead(row.Code, row.Current);
        if (!row.Text.empty())
            line += Separator + row.Text;
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace velmora
