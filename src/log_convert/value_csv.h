// A CSV file of parameter values, one row per value read: when (ms since the start of a live
// recording, or the number of the pair in a converted exchange log), parameter number, name, value and
// unit. Comma-separated, '.' as the decimal point, fields quoted where they need it, UTF-8 with a
// byte-order mark (so that spreadsheets show Cyrillic names), CR LF lines. One owner thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace velmora {

class TECUparam;

// The value of a parameter as the CSV holds it: the number without its unit (the mask applied where
// the parameter has one), or the set bit names of a bit-field parameter.
std::string CsvValueText(const TECUparam& param);
// One field, quoted when it holds a comma, a quote or a line break (quotes doubled).
std::string CsvField(std::string_view text);

class TValueCsv {
public:
    // Column names of the first column.
    static constexpr std::string_view TimeColumn = "time_ms";
    static constexpr std::string_view PairColumn = "pair";

    // Creates (overwrites) `file` and writes the header row; false when it cannot be written.
    bool Open(const std::filesystem::path& file, std::string_view firstColumn);
    bool IsOpen() const { return Stream.is_open(); }
    // Appends one row for the current value of `param`; false once the file could not be written.
    bool Add(uint64_t when, const TECUparam& param);
    // Writes out and closes; false when something could not be written.
    bool Close();
    const std::filesystem::path& FileName() const { return File; }

private:
    std::ofstream Stream;
    std::filesystem::path File;
};

} // namespace velmora
