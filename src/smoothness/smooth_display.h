// What the smoothness tab makes of the worker's results: the heading of a run (date, car, unit and the
// cylinders in firing order), the memo line of a round with each cylinder's deviation in its column and
// a verdict at its end, the texts of the edits, and the numbered save files "smooth001.txt" ... in LOGS.
// GUI-free; the window thread (or the command-line tool) calls it.
#pragma once

#include <array>
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

// The deviation (1/10 %) as a signed percentage with one decimal: 7 → "+0.7%", -120 → "-12.0%",
// 0 → "0.0%".
std::string DeviationText(int deviation);

// What a run's heading names: when it started, the car (the client's folder and the VIN where the unit
// gave one) and the unit. Empty fields are said to be unknown.
struct TSmoothRun {
    std::string DateTime;
    std::string Car;
    std::string Unit;
    int Cylinders = 4;
};

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
    // Deviations inside ±(threshold - 1) (1/10 %) are left blank when only the larger ones are shown,
    // and a round whose deviations all stay inside counts as even.
    static constexpr int Threshold = 7;
    // Characters 1 and 2 of a line hold the round's mark; each column is this wide ("-100.0%" and a
    // blank fit).
    static constexpr size_t FirstColumnAt = 2, ColumnWidth = 9;

    // The lines that open a run: a separator, date, car and unit, and the cylinders over their columns.
    static std::vector<std::string> RunHeading(const TSmoothRun& run);

    // One result of the worker: cylinder 0 starts a round.
    TSmoothUpdate OnResult(int cylinder, int deviation, uint16_t rpm, int cylinders, bool onlyLarge);
    // The run in one line: the cylinder named most often and in how many of the kept rounds, or that
    // every round was even; nothing before a round was kept. One noisy round does not make a suspect.
    std::optional<std::string> Summary() const;
    // The line of the round still open (with its verdict once it shows a deviation), or nothing.
    std::optional<std::string> OpenLine() const;
    const std::string& Line() const { return SmoothLine; }

private:
    // Ends the round: its line with the verdict when it shows a deviation.
    void Flush(std::vector<std::string>& out);

    std::string SmoothLine;
    int Cylinders = 4;
    // The deviations the open line shows, by cylinder (index 1-6).
    std::array<std::optional<int>, 7> Shown{};
    int KeptRounds = 0;
    std::array<int, 7> Named{}; // kept rounds whose verdict named the cylinder (index 1-6)
};

// The verdict of one round's shown deviations (by cylinder, index 1-6): the cylinder whose working
// period grew most beyond the threshold is the suspect; a round with only shortened periods beyond it
// names the largest of those; a round inside the threshold is even.
std::string SmoothVerdict(const std::array<std::optional<int>, 7>& shown);
// The cylinder that verdict names, 0 for an even round.
int SmoothSuspect(const std::array<std::optional<int>, 7>& shown);

// The file the next save goes to: with `fileNo` 0 the first free "smooth<nnn>.txt" in `folder` (and
// `fileNo` becomes its number), else the one numbered `fileNo`.
std::filesystem::path SmoothSaveFile(const std::filesystem::path& folder, int& fileNo);
// Writes the lines (overwriting); false when the file could not be written.
bool SaveSmoothLines(const std::filesystem::path& file, const std::vector<std::string>& lines);

} // namespace velmora
