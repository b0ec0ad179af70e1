// The fault list, the same for the window and the command-line tool: one row per state of each fault
// (code, "Сохраненный" or "АКТУАЛЬНЫЙ", the short text and the details of its entry), or the "no faults"
// line; as text lines ("%.3d" code, ",  ", state, ",  ", text) for the tool and the plain list.
// The program's own texts pass through Translate; fault texts come from the language's file as they are.
// Any thread.
#pragma once

#include <string>
#include <vector>

#include "faults/fault_list.h"
#include "faults/fault_texts.h"

namespace velmora {

// Faults shown in the list at most.
constexpr size_t MaxDisplayedFaults = 100;

// "118,  АКТУАЛЬНЫЙ" (translated); the head of every fault line.
std::string FaultLineHead(int code, bool current);
// "? ячейка 9 КОД ошибки по классификации мерседес неизвестен!" (translated): the text of a bit whose
// code is unknown.
std::string UnknownFaultText(int cell);

// One row of the list: a fault in one of its states, or a line of its own (the notice on a missing text
// file, "ОШИБОК НЕТ!"), which has only Text.
struct TFaultRow {
    bool Notice = false;
    int Code = 0;         // the maker's code, or the bit number of an unknown one
    bool Current = false; // the "АКТУАЛЬНЫЙ" row of the fault, else its "Сохраненный" row
    bool Unknown = false; // a bit without code in the maker's classification
    std::string State;    // "Сохраненный" or "АКТУАЛЬНЫЙ", translated
    std::string Text;     // the short text ("" when the file has none for the code)
    bool Recurring = false; // erased at an earlier visit of the car and back (set by the history's reader)
    // The entry's lines after the short text: what it means, what to check, the component.
    std::vector<std::string> Details;
};

// The rows of the list, as FaultDisplayLines describes it.
std::vector<TFaultRow> FaultDisplayRows(const TFaultBuf& buffer, const TFaultContext& context,
                                        const TFaultTexts& texts, bool storedOnly);

// The list: for each of the first 100 faults a line for its stored state and one for its current
// state ("Сохраненный" lines only with `storedOnly`), each followed by ",  " and the code's text (the
// unknown-code text for a bit without code). When the texts' file could not be read the list opens
// with the one line saying so (FaultTextsNotice). No line gives "ОШИБОК НЕТ!", or "СОХРАНЕННЫХ ОШИБОК
// НЕТ!" with `storedOnly`.
std::vector<std::string> FaultDisplayLines(const TFaultBuf& buffer, const TFaultContext& context,
                                           const TFaultTexts& texts, bool storedOnly);

} // namespace velmora
