// The conversion of exchange logs (.bin) into text (.txt beside them) and, on request, a CSV of the
// parameter values found: one file or every log of a folder, read in blocks, with progress and a
// cancel flag for the window. Reports through AddLog; never writes over a log. Any one thread (the
// window runs it off its own thread).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace velmora {

class TListParams;

struct TConvertProgress {
    size_t FileIndex = 0; // 0-based, of FileCount
    size_t FileCount = 0;
    uint64_t BytesDone = 0; // over all files
    uint64_t BytesTotal = 0;
};

struct TConvertOptions {
    bool OnlyNew = false; // pass over logs whose .txt exists and is not older than the log
    bool Csv = false;     // also write <name>.csv with the values
    // The parameter descriptions: this ECU.ini (a failure when it cannot be read: nothing is
    // converted), or ECU.ini in the program folder when empty. Without
    // one (or when it describes nothing) each log is read with the built-in set of the unit its
    // identification block names (HFM/PMS until one is found) and the unit's address set.
    std::filesystem::path EcuIni;
    std::function<void(const TConvertProgress&)> OnProgress;
    const std::atomic<bool>* Cancel = nullptr;
};

struct TConvertResult {
    std::vector<std::filesystem::path> Written; // the .txt files (and .csv files) written
    int Failed = 0;                             // logs that could not be read or written
    int Skipped = 0;                            // OBD logs without descriptions
    bool Cancelled = false;
};

// Bytes per read of a log; the unconsumed end of a block is carried over to the next.
constexpr size_t ConvertBlockSize = 64000;
// The text a log that begins an OBD recording starts with.
constexpr std::string_view ObdLogMark = "OBD2DATA";

TConvertResult ConvertLogs(const std::filesystem::path& path, const TConvertOptions& options);

// The text conversion of one log's bytes held in memory, read in blocks as ConvertLogs reads a file,
// with `params` as the parameter set (nullptr: the built-in sets by identification, as ConvertLogs
// does without ECU.ini). For tests and benchmarks.
std::string ConvertLogBytes(std::span<const uint8_t> bytes, TListParams* params,
                            size_t blockSize = ConvertBlockSize);
// The same, handing the text to `write` block by block.
void ConvertLogBytes(std::span<const uint8_t> bytes, TListParams* params,
                     const std::function<void(const std::string&)>& write,
                     size_t blockSize = ConvertBlockSize);

} // namespace velmora
