// What the blink (impulse) codes of the older engine units mean: the HFM unit's blink codes and the LH
// unit's impulse-counter codes, as a public fault-code manual for these cars lists them. One blink code
// covers a group of the three-digit codes a tester reads. The texts are Russian and pass the dictionary.
// Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// The units whose blink codes have a table; the user picks one on the analog panel, or the last
// connection's family stands for it.
enum class TBlinkUnit : uint8_t { Unknown, Hfm, Lh };

// The meaning of `code` for `unit`, translated. A code the unit's table does not hold says that its meaning
// is not known; with TBlinkUnit::Unknown the result is empty (no table to ask).
std::string BlinkCodeMeaning(TBlinkUnit unit, int code);

// The log lines after a slow-code run: a heading naming the unit and one line "<code> - <meaning>" per code
// read, or, without a unit, the one line that asks for it. Nothing when no code was read.
std::vector<std::string> BlinkCodeLines(TBlinkUnit unit, const std::vector<int>& codes);

// "HFM", "LH", or "" for TBlinkUnit::Unknown.
const char* BlinkUnitName(TBlinkUnit unit);

} // namespace velmora
