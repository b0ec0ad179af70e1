// The lines of the fault list, the same for the window and the command-line tool: one line per state of
// each fault ("%.3d" code, ",  ", "Сохраненный" or "АКТУАЛЬНЫЙ", the text), or the "no faults" line.
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

// The list: for each of the first 100 faults a line for its stored state and one for its current
// state ("Сохраненный" lines only with `storedOnly`), each followed by ",  " and the code's text (the
// unknown-code text for a bit without code). When the texts' file could not be read the list opens
// with the one line saying so (FaultTextsNotice). No line gives "ОШИБОК НЕТ!", or "СОХРАНЕННЫХ ОШИБОК
// НЕТ!" with `storedOnly`.
std::vector<std::string> FaultDisplayLines(const TFaultBuf& buffer, const TFaultContext& context,
                                           const TFaultTexts& texts, bool storedOnly);

} // namespace velmora
