#include "smoothness/smooth_display.h"

#include <cstdio>
#include <fstream>

#include "lang/translated_format.h"
#include "platform/utf8_path.h"
#include "smoothness/smooth_cylinders.h"

namespace velmora {

namespace {

// Characters 1 and 2 of a line hold the round's mark; each column is 6 characters wide.
constexpr size_t FirstColumnAt = 2, ColumnWidth = 6;
constexpr int MaxSaveFiles = 999;

size_t TrimmedLength(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? 0 : text.find_last_not_of(' ') - first + 1;
}

} // namespace

std::string DeviationText(int deviation) {
    return FormatText("%.1G", deviation / 10.0);
}

TSmoothUpdate TSmoothLines::OnResult(int cylinder, int deviation, uint16_t rpm, int cylinders,
                                     bool onlyLarge) {
    TSmoothUpdate update;
    if (cylinder == 0) {
        if (TrimmedLength(SmoothLine) > 2)
            update.MemoLines.push_back(SmoothLine);
        SmoothLine = "*";
        update.ClearEdits = true;
        update.RpmText = "-";
        return update;
    }
    update.RpmText = std::to_string(rpm);
    if (cylinder == 1 && TrimmedLength(SmoothLine) > 2) {
        update.MemoLines.push_back(SmoothLine);
        SmoothLine.clear();
    }
    const bool hidden = onlyLarge && deviation > -Threshold && deviation < Threshold;
    const std::string text = hidden ? std::string() : DeviationText(deviation);
    const int column = SmoothColumn(cylinders, cylinder);
    if (column > 0) {
        const size_t at = FirstColumnAt + ColumnWidth * size_t(column - 1);
        if (SmoothLine.size() < at + text.size())
            SmoothLine.resize(at + text.size(), ' ');
        SmoothLine.replace(at, text.size(), text);
        if (SmoothLine.size() > MaxLine)
            SmoothLine.resize(MaxLine);
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
