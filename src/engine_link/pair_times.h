// The times file beside an exchange log (<name>.times beside <name>.bin): when each request pair of the
// log was answered, in blocks written as the log is flushed. Encoding and parsing only, no file
// handling: the exchange log writes the blocks, a recording reads and checks them. The format is
// described in docs/recordings.md. Any thread; the objects are not shared.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora {

// Extension of the times file, in place of the log's ".bin".
constexpr const char* PairTimesExtension = ".times";
// Resolution of the stored times (ms): a time is rounded to it, so it comes back within half of it.
constexpr uint32_t PairTimesQuantumMs = 2;

// The CRC-32 (IEEE, reflected, as in zip files) of `bytes`, continued from `crc` (0 for a start).
uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc = 0);

// One piece of the log as the link appended it: `Length` bytes (a pair: 4, or 2 without the command)
// answered `Ms` after the start of its session.
struct TTimedChunk {
    uint32_t Ms = 0;
    uint32_t Length = 0;
};

// The file's opening bytes (magic and version, resolution), written once when the file is made.
std::string PairTimesHeader();
// The record that starts a session in the file: its pairs start at `binOffset` of the log, and its
// time 0 was at `wallMs` (ms since 1970-01-01 UTC).
std::string PairTimesSession(uint64_t binOffset, int64_t wallMs);
// What a mark record notes about its session.
enum class TPairTimesMark : uint8_t {
    PollingBegan = 1, // the connection is up and polling begins (what a live watch counts from)
};
// The record of a moment of the session, `ms` after its start.
std::string PairTimesMarkRecord(TPairTimesMark mark, uint32_t ms);
// The record of `chunks` (in order, times not decreasing), which are the `binBytes` of the log from
// `binOffset` on: `binCrc` is Crc32 of those bytes. Lengths must add up to their count.
std::string PairTimesBlock(uint64_t binOffset, uint64_t binBytes, uint32_t binCrc,
                           std::span<const TTimedChunk> chunks);

// A times file read against its log: the chunks of the part of the log it verifiably describes.
struct TPairTimesRead {
    struct TSession {
        uint64_t BinOffset = 0;
        int64_t WallMs = 0;
        size_t FirstChunk = 0;       // index into Chunks
        int64_t PollingBeganMs = -1; // from the session's start; -1 when not noted
    };
    std::vector<TSession> Sessions;
    // In log order, from offset 0 on, without gaps; each chunk's Ms counts from its session's start.
    std::vector<TTimedChunk> Chunks;
    uint64_t CoveredBytes = 0; // the log's bytes the chunks cover
    // What ended the reading before the log's end: empty when the whole log is covered. Russian, for
    // the dictionary: "файл времени не подходит к логу" and the like (see PairTimesProblem*).
    std::string Problem;
};

// Problems a times file can have, as user texts (Russian; translated where they are shown).
constexpr const char* PairTimesProblemMissing = "Файл времени отсутствует";
constexpr const char* PairTimesProblemForeign = "Файл времени не относится к этому логу";
constexpr const char* PairTimesProblemDamaged = "Файл времени поврежден";
constexpr const char* PairTimesProblemShort = "Файл времени описывает не весь лог";

// Reads `times` against the log's `bin` bytes. Reading stops at the first record that is damaged (its
// own CRC), does not continue the log where the last one ended, or whose log bytes have another CRC:
// the chunks before it are kept, and Problem says why the rest of the log has no measured times.
TPairTimesRead ReadPairTimes(std::span<const uint8_t> times, std::span<const uint8_t> bin);

} // namespace velmora
