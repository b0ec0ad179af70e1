// The daily trip log "bc<yymmdd>.txt" in LOGS (the client's folder when one is chosen): a line about
// once a minute with the trip's consumption, time and fuel, overall and at idle. A line that cannot be
// written is kept and written with the next one that can, and the user is told once per failure. The
// window thread (or the command-line tool) calls it after each display of the trip figures.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trip/trip_values.h"

namespace velmora {

class TTripLog {
public:
    static constexpr uint32_t LogEveryMs = 60000;
    // Lines held back at most while the file cannot be written (a day at one line a minute).
    static constexpr size_t MaxPending = 1440;

    // The header line of a new file (163 characters).
    static const std::string_view Header;
    // "bc" + yymmdd + ".txt"
    static std::string FileName(const std::tm& day);
    // The time, then the six figures each right-aligned in 14 characters.
    static std::string Line(const std::tm& now, const TTripTexts& texts);

    // After a display: when the trip time has reached the next whole minute since the last line, or
    // 60000 ms have passed since it, a line is due; it is written (with any held back before it) to
    // today's file. Returns the line when one was due, written or held back.
    std::optional<std::string> AfterDisplay(uint32_t tripSeconds, const TTripTexts& texts, uint32_t nowTick,
                                            const std::tm& now, std::string_view client);
    // Lines waiting for a write that failed.
    size_t PendingLines() const { return Pending.size(); }
    // At the end of a trip (the program or the connection ends): the lines still held are written; when
    // they cannot be, the user is told how many are lost and they are dropped. False when lines were
    // lost.
    bool Finish(std::string_view client);

private:
    struct TPendingLine {
        std::string File;
        std::string DateTime; // the first line of a new file
        std::string Text;
    };
    bool WritePending(const std::filesystem::path& folder);

    uint32_t LogTick = 0;   // tick of the last line
    uint32_t LogMinute = 0; // trip time in whole minutes, in s, at the last line
    std::vector<TPendingLine> Pending;
    bool FailureTold = false;
};

} // namespace velmora
