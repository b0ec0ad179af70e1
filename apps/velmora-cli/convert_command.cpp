// velmora-cli convert: exchange logs (.bin) to text, and with --csv the parameter values as CSV; with
// --json the files written and the log as one document.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "json_output.h"
#include "line_command.h"
#include "log_convert/log_converter.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

constexpr std::string_view ConvertUsage =
    "convert FILE.bin|FOLDER [--only-new] [--csv] [--ecu-ini FILE] [--json]";

int ConvertUsageError(std::string_view problem) {
    std::cerr << "velmora-cli convert: " << problem << "\nusage: velmora-cli [--home DIR] " << ConvertUsage
              << "\n";
    return ExitUsage;
}

} // namespace

int RunConvert(std::span<char* const> args) {
    TConvertOptions options;
    std::string path;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--only-new") {
            options.OnlyNew = true;
        } else if (arg == "--csv") {
            options.Csv = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--ecu-ini") {
            if (i + 1 >= args.size())
                return ConvertUsageError("--ecu-ini wants a file");
            options.EcuIni = Utf8Path(args[++i]);
        } else if (path.empty() && !arg.starts_with("--")) {
            path = arg;
        } else {
            return ConvertUsageError("cannot use " + std::string(arg));
        }
    }
    if (path.empty())
        return ConvertUsageError("which log file or folder?");
    std::optional<TJsonLogHost> log;
    if (json)
        log.emplace();
    // A signal cancels: the log being converted leaves no text, and the tool says so and exits 1.
    const TInterruptStop stop;
    options.Cancel = &stop.Flag();
    const TConvertResult result = ConvertLogs(Utf8Path(path), options);
    const int exitCode = result.Failed > 0 || result.Cancelled ? ExitFailed : ExitOk;
    if (!json) {
        for (const std::filesystem::path& written : result.Written)
            std::cout << written.string() << "\n"; // after the log lines, which the console host prints first
        return exitCode;
    }
    const std::vector<std::string> lines = std::move(log->Lines);
    log.reset();
    TJson document = {{"path", path}, {"only_new", options.OnlyNew}, {"csv", options.Csv}};
    TJson written = TJson::array();
    for (const std::filesystem::path& file : result.Written)
        written.push_back(file.string());
    document["written"] = std::move(written);
    document["failed"] = result.Failed;
    document["skipped"] = result.Skipped;
    document["log"] = lines;
    PrintJsonDocument(std::cout, document);
    return exitCode;
}

} // namespace velmora
