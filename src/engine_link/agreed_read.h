// What a mechanic acts on (the fault memory, the identification block, the VIN) is read until two reads
// agree, so that a stray byte on the line never becomes a fault or a character: the reads so far, the one
// two of them agree on, and, when none do, the places where they differed. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Reads of one thing before the link gives up and calls the line disturbed.
constexpr int AgreedReadAttempts = 3;

// The last read when an earlier one equals it (same length, same bytes).
std::optional<std::vector<uint8_t>> AgreedRead(const std::vector<std::vector<uint8_t>>& reads);

// The positions at which the reads do not all hold the same byte (a position some reads do not reach
// counts as differing).
std::vector<size_t> DifferingPositions(const std::vector<std::vector<uint8_t>>& reads);

// "Помехи на линии K: <what> не совпали при <n> чтениях (<label> 0x05, 0x12)." translated; `what` and
// `label` are Russian texts of the caller and are translated too.
std::string DisagreedReadsText(std::string_view what, std::string_view label,
                               const std::vector<std::vector<uint8_t>>& reads,
                               const std::vector<size_t>& positionNames = {});

} // namespace velmora
