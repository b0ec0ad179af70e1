// What the smoothness tab makes of the worker's results: the memo line of a round with each cylinder's
// deviation in its firing-order column, the texts of the edits, and the numbered save files
// "smooth001.txt" ... in LOGS. GUI-free; the window thread (or the command-line tool) calls it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// WM_USER+19 packs the speed into the high and the deviation into the low 16 bits of wParam.
constexpr uint32_t PackSmoothResult(int16_t deviation, uint16_t rpm) {
    return uint32_t(rpm) << 16 | uint16_t(deviation);
}
constexpr int16_t SmoothDeviation(uint32_t wParam) {
    return int16_t(uint16_t(wParam & 0xFFFF));
}
constexpr uint16_t SmoothRpm(uint32_t wParam) {
    return uint16_t(wParam >> 16);
}

// The deviation (1/10 %) as a percentage with one significant digit: 7 → "0.7", 14 → "1", 100 → "1E+01".
std::string DeviationText(int deviation);

// What one result changes on the tab.
struct TSmoothUpdate {
    std::vector<std::string> MemoLines; // lines to add to the memo, in order
    bool ClearEdits = false;            // a new round: the edits are emptied
    int Cylinder = 0;                   // the edit to fill (1-6), 0 for none
    std::string EditText;
    std::string RpmText; // "-" at a new round, else the speed
};

class TSmoothLines {
public:
    static constexpr size_t MaxLine = 255;
    // Deviations inside ±(threshold - 1) are left blank when only the larger ones are shown.
    static constexpr int Threshold = 7;

    // One result of the worker: cylinder 0 starts a round.
    TSmoothUpdate OnResult(int cylinder, int deviation, uint16_t rpm, int cylinders, bool onlyLarge);
    const std::string& Line() const { return SmoothLine; }

private:
    std::string SmoothLine;
};

// The file the next save goes to: with `fileNo` 0 the first free "smooth<nnn>.txt" in `folder` (and
// `fileNo` becomes its number), else the one numbered `fileNo`.
std::filesystem::path SmoothSaveFile(const std::filesystem::path& folder, int& fileNo);
// Writes the lines (overwriting); false when the file could not be written.
bool SaveSmoothLines(const std::filesystem::path& file, const std::vector<std::string>& lines);

} // namespace velmora
