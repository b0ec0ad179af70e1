#include "faults/fault_report.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "engine_link/ident_report.h"
#include "faults/fault_codes.h"
#include "faults/fault_display.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/host.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

constexpr size_t RuleWidth = 61;
constexpr char FirstLetter = 'A';
constexpr char LastLetter = 'Z';
constexpr const char* LogsFolder = "LOGS";

std::string FormatDateTime(const std::tm& when) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", when.tm_mday, when.tm_mon + 1,
                  when.tm_year + 1900, when.tm_hour, when.tm_min, when.tm_sec);
    return text;
}

bool WriteAll(int file, const std::string& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(file, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += size_t(n);
    }
    return true;
}

// Creates the first free name of the day; O_EXCL so that a name taken meanwhile is never overwritten.
// The last letter is opened for appending when every name is taken.
int OpenReportFile(const fs::path& folder, const std::tm& day, fs::path& chosen) {
    for (char letter = FirstLetter; letter <= LastLetter; ++letter) {
        chosen = folder / Utf8Path(FaultReportFileName(day, letter));
        const bool last = letter == LastLetter;
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (last ? O_APPEND : O_EXCL);
        const int file = ::open(chosen.string().c_str(), flags, 0644);
        if (file >= 0 || errno != EEXIST)
            return file;
    }
    return -1;
}

// The identification report of the log without its frame of stars and its empty lines.
void AddIdentification(std::vector<std::string>& lines, const TEcuIdent& ident) {
    for (const std::string& line : PrintInfo(ident, false)) {
        if (line.find_first_not_of(" *") != std::string::npos)
            lines.push_back(line);
    }
}

} // namespace

std::vector<std::string> FaultReport(const TFaultBuf& buffer, const TFaultContext& context,
                                     const TFaultTexts& texts, bool storedOnly,
                                     const TFaultReportHead& head) {
    std::vector<std::string> lines = {FormatDateTime(head.When)};
    if (!head.Client.empty())
        lines.push_back(Translate("Клиент:") + " " + head.Client);
    AddIdentification(lines, head.Ident);
    if (std::string notice = FaultTextsNotice(texts); !notice.empty())
        lines.push_back(std::move(notice));
    lines.emplace_back();
    size_t reported = 0;
    // Every fault is looked at, so that the stored-only report still finds 60 stored ones among many
    // current ones.
    for (const TFault& fault : CollectFaults(buffer, context, FaultBitCount)) {
        if (reported == MaxReportedFaults)
            break;
        if (storedOnly && !fault.Stored)
            continue;
        ++reported;
        lines.emplace_back(RuleWidth, '_');
        lines.push_back(FaultLineHead(fault.Code, fault.Current && !storedOnly));
        if (fault.Unknown) {
            lines.push_back(UnknownFaultText(fault.Cell));
            continue;
        }
        const std::vector<std::string>& block = texts.Description(fault.Code);
        lines.insert(lines.end(), block.begin(), block.end());
    }
    return lines;
}

std::string FaultReportFileName(const std::tm& day, char letter) {
    char name[64];
    std::snprintf(name, sizeof name, "ERR%04d%02d%02d%c.txt", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday,
                  letter);
    return name;
}

std::optional<fs::path> SaveFaultReport(const std::vector<std::string>& lines, std::string_view client,
                                        const std::tm& when) {
    const fs::path folder = Utf8Path(BuildPath("", LogsFolder, client, true));
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    fs::path chosen;
    const int file = OpenReportFile(folder, when, chosen);
    bool written = false;
    if (file >= 0) {
        // An appended report starts after an empty line, to stand apart from the one before it.
        const bool appending = ::lseek(file, 0, SEEK_END) > 0;
        written = WriteAll(file, appending ? "\n" + text : text);
        written = ::close(file) == 0 && written;
    }
    if (!written) {
        LogT("Не могу записать файл %s", chosen.string().c_str());
        return std::nullopt;
    }
    return chosen;
}

std::tm LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

} // namespace velmora
