// The load of a big DATA/hfmobd.ini, measured where the conversion of an OBD recording does it: a
// program folder whose hfmobd.ini is 2 or 17 MB and one short OBD recording, converted by ConvertLogs.
// Three shapes of file, each a way a description file can grow: many sections of another program
// around the described ones, one described section swollen with lines, and a few very long lines. The
// time must grow in proportion to the size in every shape.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "log_convert/log_converter.h"
#include "platform/program_folders.h"

namespace {

namespace fs = std::filesystem;

enum TShape { ManySections = 0, OneSwollenSection = 1, LongLines = 2 };

// The descriptions of PIDs 0x04..0x0D (load, coolant, trims, pressure, rpm, speed, advance).
std::string Described(int number) {
    const int pid = 4 + number;
    char cmd[8];
    std::snprintf(cmd, sizeof cmd, "01%.2X", 2 * pid);
    return "[P" + std::to_string(number) + "]\r\nNAME=PID " + std::to_string(pid) +
           "\r\nTYPE=B\r\nCMD=" + cmd + "\r\nCALC=-40\r\n";
}

void WriteObdIni(const fs::path& file, size_t bytes, TShape shape) {
    std::ofstream out(file, std::ios::binary);
    size_t written = 0;
    auto put = [&](const std::string& text) {
        out << text;
        written += text.size();
    };
    for (int n = 0; n < 10; ++n) {
        put(Described(n));
        if (shape == OneSwollenSection && n == 5)
            while (written < bytes * (n + 1) / 10)
                put("; a comment line of some length inside the section " + std::to_string(written) + "\r\n");
        if (shape == LongLines && n == 5)
            for (int line = 0; line < 4; ++line)
                put("X" + std::to_string(line) + "=" + std::string(bytes / 4, 'x') + "\r\n");
    }
    for (int n = 0; written < bytes; ++n)
        put("[X" + std::to_string(n) + "]\r\nNAME=other " + std::to_string(n) +
            "\r\nCMD=0108\r\n; a comment line of some length to fill the file\r\n");
}

// OBD2DATA and a few hundred pairs of the described PIDs.
void WriteObdLog(const fs::path& file) {
    std::string log = "OBD2DATA";
    for (int round = 0; round < 50; ++round)
        for (int pid = 4; pid < 14; ++pid)
            log += std::string{char(0x01), char(0xFE), char(2 * pid), char(round + pid)};
    std::ofstream(file, std::ios::binary) << log;
}

void BM_ConvertWithBigObdIni(benchmark::State& state) {
    const size_t megabytes = size_t(state.range(0));
    const TShape shape = TShape(state.range(1));
    const fs::path home = fs::temp_directory_path() / ("velmora-bench-obd-" + std::to_string(megabytes) +
                                                       "-" + std::to_string(int(shape)));
    fs::create_directories(home / "DATA");
    fs::create_directories(home / "LOGS");
    WriteObdIni(home / "DATA" / "hfmobd.ini", megabytes << 20, shape);
    WriteObdLog(home / "LOGS" / "obd001.bin");
    velmora::SetProgramFolder(home);
    int failed = 0;
    size_t written = 0;
    for (auto _ : state) {
        const velmora::TConvertResult result = velmora::ConvertLogs(home / "LOGS" / "obd001.bin", {});
        failed = result.Failed + result.Skipped;
        written = result.Written.size();
    }
    state.counters["MB"] = double(megabytes);
    state.counters["failed"] = failed;
    state.counters["written"] = double(written);
    fs::remove_all(home);
}
BENCHMARK(BM_ConvertWithBigObdIni)
    ->ArgsProduct({{2, 4, 8, 17}, {ManySections, OneSwollenSection, LongLines}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
