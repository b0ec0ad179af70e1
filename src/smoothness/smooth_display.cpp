#include "smoothness/smooth_display.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/utf8_path.h"
#include "smoothness/smooth_cylinders.h"

namespace velmora {

namespace {

constexpr int MaxSaveFiles = 999;
constexpr size_t SeparatorWidth = 60;

// Characters (not bytes) of UTF-8 text: the columns line up under Cyrillic headings.
size_t CharCount(std::string_view text) {
    size_t count = 0;
    for (char c : text)
        count += (uint8_t(c) & 0xC0) != 0x80;
    return count;
}

std::string PadRight(std::string text, size_t width) {
    const size_t length = CharCount(text);
    if (length < width)
        text.append(width - length, ' ');
    return text;
}

std::string OrUnknown(const std::string& text) {
    return text.empty() ? Translate("неизвестно") : text;
}

} // namespace

std::string DeviationText(int deviation) {
    return deviation == 0 ? std::string("0.0%") : FormatText("%+.1f%%", deviation / 10.0);
}

namespace {

// The cylinder whose working period grew most beyond the threshold, else the one shortened most beyond
// it (negative: only shortened ones), 0 when every shown deviation is inside.
int Suspect(const std::array<std::optional<int>, 7>& shown) {
    const int threshold = TSmoothLines::Threshold;
    // A weak cylinder lengthens its own working period (a positive deviation) and so shortens the
    // next one against it: the longest period over the threshold names it.
    int longest = 0, shortest = 0;
    for (int c = 1; c <= 6; ++c) {
        if (!shown[size_t(c)])
            continue;
        const int d = *shown[size_t(c)];
        if (d >= threshold && (longest == 0 || d > *shown[size_t(longest)]))
            longest = c;
        if (d <= -threshold && (shortest == 0 || d < *shown[size_t(shortest)]))
            shortest = c;
    }
    return longest != 0 ? longest : -shortest;
}

} // namespace

int SmoothSuspect(const std::array<std::optional<int>, 7>& shown) {
    return std::abs(Suspect(shown));
}

std::string SmoothVerdict(const std::array<std::optional<int>, 7>& shown) {
    const std::string limit = FormatText("%.1f%%", TSmoothLines::Threshold / 10.0);
    const int suspect = Suspect(shown);
    if (suspect == 0)
        return TranslateFormat("ровно (все в пределах %s)", limit.c_str());
    const int c = std::abs(suspect);
    const std::string deviation = DeviationText(*shown[size_t(c)]);
    return TranslateFormat(suspect > 0 ? "подозрение: цилиндр %d (%s, порог %s)"
                                       : "неровно: цилиндр %d (%s, порог %s)",
                           c, deviation.c_str(), limit.c_str());
}

std::optional<std::string> TSmoothLines::Summary() const {
    if (KeptRounds == 0)
        return std::nullopt;
    int most = 0;
    for (int c = 1; c <= 6; ++c)
        if (Named[size_t(c)] > 0 && (most == 0 || Named[size_t(c)] > Named[size_t(most)]))
            most = c;
    if (most == 0)
        return TranslateFormat("Итог: ровно во всех кругах (%d)", KeptRounds);
    return TranslateFormat("Итог: чаще всего назван цилиндр %d (кругов: %d из %d)", most, Named[size_t(most)],
                           KeptRounds);
}

std::vector<std::string> TSmoothLines::RunHeading(const TSmoothRun& run) {
    std::string columns(FirstColumnAt, ' ');
    for (uint8_t cylinder : SmoothColumns(run.Cylinders))
        columns += PadRight(TranslateFormat("Цил. %d", int(cylinder)), ColumnWidth);
    columns += Translate("Вывод");
    return {std::string(SeparatorWidth, '-'),
            run.DateTime + "  " + Translate("Автомобиль:") + " " + OrUnknown(run.Car) + "  " +
                Translate("Блок:") + " " + OrUnknown(run.Unit),
            columns};
}

void TSmoothLines::Flush(std::vector<std::string>& out) {
    // A round is kept when it shows at least one deviation, however short its text.
    if (std::optional<std::string> line = OpenLine()) {
        out.push_back(std::move(*line));
        ++KeptRounds;
        ++Named[size_t(SmoothSuspect(Shown))];
    }
    Shown = {};
}

std::optional<std::string> TSmoothLines::OpenLine() const {
    bool shows = false;
    for (const std::optional<int>& d : Shown)
        shows = shows || d.has_value();
    if (!shows)
        return std::nullopt;
    std::string line = SmoothLine;
    const size_t verdictAt = FirstColumnAt + ColumnWidth * size_t(Cylinders);
    if (line.size() < verdictAt)
        line.resize(verdictAt, ' ');
    line += SmoothVerdict(Shown);
    if (line.size() > MaxLine)
        line.resize(MaxLine);
    return line;
}

TSmoothUpdate TSmoothLines::OnResult(int cylinder, int deviation, uint16_t rpm, int cylinders,
                                     bool onlyLarge) {
    TSmoothUpdate update;
    Cylinders = cylinders == 6 ? 6 : 4;
    if (cylinder == 0) {
        Flush(update.MemoLines);
        SmoothLine = "*";
        update.ClearEdits = true;
        update.RpmText = "-";
        return update;
    }
    update.RpmText = std::to_string(rpm);
    // Cylinder 1 opens the line of a round, unless the line holds nothing yet but the round's mark.
    if (cylinder == 1 && OpenLine()) {
        Flush(update.MemoLines);
        SmoothLine.clear();
    }
    const bool hidden = onlyLarge && deviation > -Threshold && deviation < Threshold;
    const std::string text = hidden ? std::string() : DeviationText(deviation);
    const int column = SmoothColumn(Cylinders, cylinder);
    if (column > 0) {
        const size_t at = FirstColumnAt + ColumnWidth * size_t(column - 1);
        // The column is rewritten whole: a later, shorter text leaves nothing of an earlier one.
        if (SmoothLine.size() < at + ColumnWidth)
            SmoothLine.resize(at + ColumnWidth, ' ');
        SmoothLine.replace(at, ColumnWidth, PadRight(text, ColumnWidth));
        if (hidden)
            Shown[size_t(cylinder)].reset();
        else
            Shown[size_t(cylinder)] = deviation;
        const size_t end = SmoothLine.find_last_not_of(' ');
        SmoothLine.resize(end == std::string::npos ? 0 : end + 1);
    }
    update.Cylinder = cylinder;
    update.EditText = text;
    return update;
}
std::filesystem::path SmoothSaveFile(const std::filesystem::path& folder, int& fileNo) {
    auto nameOf = [&](int n) { return folder / Utf8Path(FormatText("smooth%.3d.txt", n)); };
    if (fileNo == 0) {
        fileNo = 1;
        std::error_code error;
        while (fileNo < MaxSaveFiles && std::filesystem::exists(nameOf(fileNo), error))
            ++fileNo;
    }
    return nameOf(fileNo);
}

bool SaveSmoothLines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines)
        out << line << "\n";
    out.flush();
    return bool(out);
}

} // namespace velmora
