// velmora-cli calc: one parameter description applied to raw bytes, as the engine link would hand them.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "json_output.h"
#include "params/ecu_param.h"
#include "params/param_errors.h"

namespace velmora {

namespace {

constexpr size_t MaxBytes = 4;

// A byte written as decimal (0..255) or as 0x-hex.
std::optional<uint8_t> ParseByteArgument(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 255)
        return std::nullopt;
    return uint8_t(value);
}

int UsageError(std::string_view problem) {
    std::cerr << "velmora-cli calc: " << problem << "\n"
              << "usage: velmora-cli calc --type T --calc TEXT [--name N] [--mask M] [--izm U] [--json] B0 "
                 "[B1 B2 B3]\n";
    return ExitUsage;
}

} // namespace

int RunCalc(std::span<char* const> args) {
    std::optional<std::string> type, calc;
    std::string name, mask, izm;
    std::vector<uint8_t> bytes;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--json") {
            json = true;
            continue;
        }
        std::string* value = arg == "--type"   ? &type.emplace()
                             : arg == "--calc" ? &calc.emplace()
                             : arg == "--name" ? &name
                             : arg == "--mask" ? &mask
                             : arg == "--izm"  ? &izm
                                               : nullptr;
        if (value) {
            if (i + 1 >= args.size())
                return UsageError(std::string(arg) + " needs a value");
            *value = args[++i];
        } else if (arg.starts_with("--")) {
            return UsageError("unknown option " + std::string(arg));
        } else if (auto byte = ParseByteArgument(arg); byte && bytes.size() < MaxBytes) {
            bytes.push_back(*byte);
        } else {
            return UsageError(byte ? "at most four bytes"
                                   : "\"" + std::string(arg) + "\" is not a byte (0..255)");
        }
    }
    if (!type || !calc)
        return UsageError("--type and --calc are required");
    if (bytes.empty())
        return UsageError("no bytes given");
    bytes.resize(MaxBytes, 0);

    TECUparam param(0);
    try {
        // The same description lines a built-in set or an address set would give.
        param.ParseLine("NAME=" + name);
        param.ParseLine("TYPE=" + *type);
        param.ParseLine("CALC=" + *calc);
        param.ParseLine("MASK=" + mask);
        param.ParseLine("IZM=" + izm);
        param.SetData(bytes[0], bytes[1], bytes[2], bytes[3]);
        std::string text = param.FormatValue();
        std::string logText = param.LogText();
        if (json) {
            PrintJsonDocument(std::cout,
                              {{"text", text}, {"value", ValueJson(param)}, {"log_text", logText}});
            return ExitOk;
        }
        char full[64];
        if (param.IsFloat())
            std::snprintf(full, sizeof full, "%.9g", double(param.AsSingle()));
        else
            std::snprintf(full, sizeof full, "%d", int(param.AsInteger()));
        std::cout << text << "\n" << full << "\n" << logText << "\n";
    } catch (const ParamError& error) {
        std::cerr << "velmora-cli calc: " << error.what() << "\n";
        return ExitBadInput;
    }
    return ExitOk;
}

} // namespace velmora
