// Running a velmora-cli command in the test's own process, as main() hands it its arguments (the command
// name taken out), with stdout and stderr caught; and reading the CSV rows the commands write.
#pragma once

#include <iostream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "links/port_factory.h"

namespace velmora::testing {

struct TRun {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

inline TRun RunCommand(int (*command)(std::span<char* const>), std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    std::ostringstream out, err;
    std::streambuf* oldOut = std::cout.rdbuf(out.rdbuf());
    std::streambuf* oldErr = std::cerr.rdbuf(err.rdbuf());
    TRun run;
    run.Exit = command(argv);
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    FreePort();
    run.Out = out.str();
    run.Err = err.str();
    return run;
}

// The fields of one CSV row (quoted fields with doubled quotes; the CR of a CR LF ending dropped).
inline std::vector<std::string> CsvFields(const std::string& row) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted && c == '"' && i + 1 < row.size() && row[i + 1] == '"')
            fields.back() += row[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.emplace_back();
        else if (c != '\r')
            fields.back() += c;
    }
    return fields;
}

} // namespace velmora::testing
