// velmora-cli convert: exchange logs (.bin) to text, and with --csv the parameter values as CSV.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "log_convert/log_converter.h"

namespace velmora {

namespace {

constexpr std::string_view ConvertUsage = "convert FILE.bin|FOLDER [--only-new] [--csv] [--ecu-ini FILE]";

int ConvertUsageError(std::string_view problem) {
    std::cerr << "velmora-cli convert: " << problem << "\nusage: velmora-cli [--home DIR] " << ConvertUsage
              << "\n";
    return ExitUsage;
}

} // namespace

int RunConvert(std::span<char* const> args) {
    TConvertOptions options;
    std::string path;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--only-new") {
            options.OnlyNew = true;
        } else if (arg == "--csv") {
            options.Csv = true;
        } else if (arg == "--ecu-ini") {
            if (i + 1 >= args.size())
                return ConvertUsageError("--ecu-ini wants a file");
            options.EcuIni = args[++i];
        } else if (path.empty() && !arg.starts_with("--")) {
            path = arg;
        } else {
            return ConvertUsageError("cannot use " + std::string(arg));
        }
    }
    if (path.empty())
        return ConvertUsageError("which log file or folder?");
    const TConvertResult result = ConvertLogs(path, options);
    for (const std::filesystem::path& written : result.Written)
        std::cout << written.string() << "\n"; // after the log lines, which the console host prints first
    return result.Failed > 0 ? ExitFailed : ExitOk;
}

} // namespace velmora
