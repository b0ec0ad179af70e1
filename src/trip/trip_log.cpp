#include "trip/trip_log.h"

#include <fstream>
#include <system_error>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/host.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

constexpr size_t ColumnWidth = 14;

// Characters of a UTF-8 text (the continuation bytes are not counted).
size_t CharCount(std::string_view text) {
    size_t count = 0;
    for (char c : text)
        count += (uint8_t(c) & 0xC0) != 0x80;
    return count;
}

std::string RightAligned(const std::string& text) {
    const size_t chars = CharCount(text);
    return chars >= ColumnWidth ? text : std::string(ColumnWidth - chars, ' ') + text;
}

std::string TimeText(const std::tm& when, const char* format) {
    char text[64];
    return std::strftime(text, sizeof text, format, &when) ? std::string(text) : std::string();
}

} // namespace

const std::string_view TTripLog::Header =
    "Время      Общий_расход   Общее_время Общее_топливо     ХХ_расход      ХХ_время    ХХ_топливо    "
    "Движение_расход  Движение_время  Движение_топливо  Движение_пробег";

std::string TTripLog::FileName(const std::tm& day) {
    return FormatText("bc%.2d%.2d%.2d.txt", (day.tm_year + 1900) % 100, day.tm_mon + 1, day.tm_mday);
}

std::string TTripLog::Line(const std::tm& now, const TTripTexts& t) {
    std::string line = TimeText(now, "%H:%M:%S");
    for (const std::string* field : {&t.Common, &t.Time, &t.Fuel, &t.IdleFE, &t.TimeIdle, &t.FuelIdle})
        line += RightAligned(*field);
    return line;
}

std::optional<std::string> TTripLog::AfterDisplay(uint32_t tripSeconds, const TTripTexts& texts,
                                                  uint32_t nowTick, const std::tm& now,
                                                  std::string_view client) {
    if (tripSeconds < LogMinute + 60 && nowTick - LogTick < LogEveryMs)
        return std::nullopt;
    LogTick = nowTick;
    LogMinute = tripSeconds / 60 * 60;
    std::string line = Line(now, texts);
    if (Pending.size() == MaxPending)
        Pending.erase(Pending.begin());
    Pending.push_back({FileName(now), TimeText(now, "%d.%m.%Y %H:%M:%S"), line});
    const std::string folder = BuildPath("", "LOGS", client, true);
    if (WritePending(Utf8Path(folder))) {
        FailureTold = false;
    } else if (!FailureTold) {
        FailureTold = true;
        AddLog(TranslateFormat("Журнал маршрутника не записан (%s), строки сохранятся при следующей записи",
                               (Utf8Path(folder) / Utf8Path(Pending.front().File)).string().c_str()));
    }
    return line;
}

bool TTripLog::Finish(std::string_view client) {
    if (Pending.empty())
        return true;
    const std::string folder = BuildPath("", "LOGS", client, true);
    if (WritePending(Utf8Path(folder)))
        return true;
    AddLog(TranslateFormat("Журнал маршрутника не записан (%s), потеряно строк: %d",
                           (Utf8Path(folder) / Utf8Path(Pending.front().File)).string().c_str(),
                           int(Pending.size())));
    Pending.clear();
    FailureTold = false;
    return false;
}

bool TTripLog::WritePending(const fs::path& folder) {
    while (!Pending.empty()) {
        const TPendingLine& first = Pending.front();
        const fs::path file = folder / Utf8Path(first.File);
        std::error_code error;
        const bool isNew = !fs::exists(file, error);
        std::ofstream out(file, std::ios::binary | std::ios::app);
        if (!out)
            return false;
        if (isNew)
            out << first.DateTime << "\n" << Translate(Header) << "\n";
        // The lines for this file go together.
        size_t taken = 0;
        while (taken < Pending.size() && Pending[taken].File == first.File)
            out << Pending[taken++].Text << "\n";
        out.flush();
        if (!out)
            return false;
        Pending.erase(Pending.begin(), Pending.begin() + std::ptrdiff_t(taken));
    }
    return true;
}

} // namespace velmora
