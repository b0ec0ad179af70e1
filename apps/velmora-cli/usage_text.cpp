#include "usage_text.h"

#include <algorithm>
#include <string>
#include <utility>

#include "json_fields.h"

namespace velmora {

namespace {

constexpr TOptionHelp Options[] = {
    {"--port PORT", "the port: COMn, a device path (/dev/ttyUSB0, a stable name from /dev/serial/by-id/), "
                    "FTDI (an FTDI cable driven directly), WIFI, or the simulated car SIM, SIM:<unit or "
                    "profile>, SIMELM[:<unit>], SIMCARSOFT[:<unit>]; default: the settings' PORT"},
    {"--adapter K|C|E", "the adapter: K a plain KKL cable, C CarSoft 7.4, E ELM327; default: the settings' "
                        "ADAPTER"},
    {"--elm-as-kkl", "an ELM327 reads the parameters pair by pair, as a KKL cable would, not through its "
                     "tables"},
    {"--wifi HOST:PORT", "the address of a WiFi ELM327 (port WIFI); default: the settings' WIFI_IP and "
                         "WIFI_PORT, else 192.168.0.10:35000"},
    {"--client NAME", "files the exchange log and the reports in the client's folder"},
    {"--lang ru|en|de", "the language of texts and logs, for every command; default: the settings' LANGUAGE "
                        "(settings file velmora.ini in the program folder, shared with the window)"},
    {"--json", "every command that prints a result prints it as one JSON document on stdout instead of text "
               "(watch: one JSON object per line); log lines go to stderr; the fields are listed under JSON "
               "fields (--help) and JSON OUTPUT (man page)"},
    {"--home DIR", "the program folder (settings, DATA, LOGS, CLIENTS); default: the environment variable "
                   "VELMORA_HOME, else beside the program, else (an installed copy) ~/.local/share/velmora"},
    {"--version", "prints the version and exits"},
    {"--help", "prints this text and exits"},
};

// "COMMAND-LINE\n    text\n    more text" into the synopsis and the lines below it.
std::pair<std::string_view, std::string_view> SplitUsage(std::string_view usage) {
    const size_t newline = usage.find('\n');
    if (newline == std::string_view::npos)
        return {usage, {}};
    return {usage.substr(0, newline), usage.substr(newline + 1)};
}

// The indented lines of a command's description joined into one paragraph.
std::string Paragraph(std::string_view lines) {
    std::string text;
    while (!lines.empty()) {
        const size_t newline = lines.find('\n');
        std::string_view line = lines.substr(0, newline);
        line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
        if (!text.empty() && !line.empty())
            text += ' ';
        text += line;
        lines = newline == std::string_view::npos ? std::string_view() : lines.substr(newline + 1);
    }
    return text;
}

// `text` in lines of at most `width` characters (a longer word stands alone), each after `indent`.
std::string Wrapped(std::string_view text, std::string_view indent, size_t width) {
    std::string out, line;
    while (!text.empty()) {
        const size_t blank = text.find(' ');
        const std::string_view word = text.substr(0, blank);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += std::string(indent) + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + std::string(word);
        text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    }
    return line.empty() ? out : out + std::string(indent) + line + "\n";
}

} // namespace

std::span<const TOptionHelp> CliOptions() {
    return Options;
}

void PrintHelp(std::ostream& out, std::span<const TCommand> commands) {
    out << "usage: velmora-cli [OPTIONS] COMMAND [ARGS]\n"
           "       velmora-cli --help | --version\n\ncommands:\n";
    for (const TCommand& command : commands)
        out << "  " << command.Usage << "\n";
    out << "\noptions (before or after the command name):\n";
    for (const TOptionHelp& option : Options)
        out << "  " << option.Synopsis << "\n" << Wrapped(option.Text, "      ", 94);
    out << "\nJSON fields (--json):\n";
    for (const TJsonDocumentHelp& document : JsonDocuments()) {
        std::string names;
        for (const TJsonField& field : document.Fields())
            names += (names.empty() ? "" : ", ") + std::string(field.Name);
        out << "  " << document.Command << " (" << document.Shape << ")\n" << Wrapped(names, "      ", 94);
    }
    out << "\nexit codes: 0 done; 1 the unit, the line or the input failed; 2 bad usage\n"
           "The session commands log to stderr and print their results to stdout.\n";
}

void PrintManSections(std::ostream& out, std::span<const TCommand> commands) {
    // Each entry opens with a troff comment naming it, for tools that check other documents against it.
    out << ".SH COMMANDS\n";
    for (const TCommand& command : commands) {
        const auto [synopsis, text] = SplitUsage(command.Usage);
        out << ".\\\" command " << command.Name << "\n.TP\n.B " << TroffText(synopsis) << "\n"
            << TroffText(Paragraph(text)) << "\n";
    }
    out << ".SH OPTIONS\n";
    for (const TOptionHelp& option : Options)
        out << ".\\\" option " << option.Synopsis.substr(0, option.Synopsis.find(' ')) << "\n.TP\n.B "
            << TroffText(option.Synopsis) << "\n"
            << TroffText(option.Text) << "\n";
    out << ".SH JSON OUTPUT\n"
           "With\n.BR \\-\\-json ,\n"
           "a command prints its result as one JSON document on standard output (texts in UTF-8), and\n"
           ".B watch\none JSON object per line (JSON Lines); the log lines go to standard error.\n"
           "A session command that fails prints no document; the reason is the last line on standard "
           "error.\n";
    for (const TJsonDocumentHelp& document : JsonDocuments()) {
        const std::vector<TJsonField> fields = document.Fields();
        out << ".\\\" json " << document.Command;
        for (const TJsonField& field : fields)
            out << " " << field.Name;
        out << "\n.TP\n.B " << TroffText(document.Command) << "\n" << TroffText(document.Shape) << ":\n.RS\n";
        for (const TJsonField& field : fields)
            out << ".TP\n.B " << TroffText(field.Name) << "\n" << TroffText(field.Text) << "\n";
        out << ".RE\n";
    }
}

std::string TroffText(std::string_view text) {
    std::string escaped = text.starts_with('.') || text.starts_with('\'') ? "\\&" : "";
    for (char c : text) {
        if (c == '\\')
            escaped += "\\e";
        else if (c == '-')
            escaped += "\\-";
        else
            escaped += c;
    }
    return escaped;
}

} // namespace velmora
