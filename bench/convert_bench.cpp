// Conversion of exchange logs to text: tens of MB of a synthetic log made of the protocol's own
// records (identification, fault memory, live values of one- and two-byte parameters, idle pairs,
// actuator commands, a little line noise), converted in memory block by block as a file would be.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "log_convert/log_converter.h"
#include "platform/host.h"

namespace {

constexpr size_t LogBytes = 32u << 20;

// A field of /proc/self/status in kB ("VmHWM", "VmRSS"); -1 where the system does not tell.
long StatusKb(std::string_view field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(field) && line.size() > field.size() && line[field.size()] == ':')
            return std::stol(line.substr(field.size() + 1));
    return -1;
}

// Starts the peak resident memory (VmHWM) anew from the current one (Linux).
bool ResetPeak() {
    std::ofstream refs("/proc/self/clear_refs");
    refs << "5";
    refs.flush();
    return bool(refs);
}

void Pair(std::vector<uint8_t>& log, uint8_t cmd, uint8_t param, uint8_t value) {
    log.insert(log.end(), {cmd, uint8_t(0xFF - cmd), param, value});
}

std::vector<uint8_t> SyntheticLog() {
    std::vector<uint8_t> log;
    log.reserve(LogBytes + 1024);
    // HFM from Bosch, diagnosis index 52.
    const uint8_t ident[] = {0x27, 'B', 'H', 'F', '2', '8', '1', '1', 'B',  '0',  '0',  '1',  '0',  '2',
                             '6',  '1', '2', '0', '4', '3', '2', '1', 0x94, 0x12, 0x95, 0x03, 0x52, 0x01};
    for (uint8_t a = 0; a < sizeof ident; ++a)
        Pair(log, 0xF0, a, ident[a]);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> step(-2, 2), noise(0, 999);
    int coolant = 0x70, rpm = 2900, throttle = 12;
    for (uint32_t cycle = 0; log.size() < LogBytes; ++cycle) {
        if (cycle % 5000 == 0)
            for (uint8_t a = 0; a < 32; ++a)
                Pair(log, 0xF1, a, a == 1 ? 0x08 : 0);
        if (cycle % 20000 == 10)
            Pair(log, 0xD2, 0x04, 0x04);
        coolant = std::clamp(coolant + (cycle % 64 == 0 ? step(random) : 0), 0x40, 0xC0);
        rpm = std::clamp(rpm + step(random) * 8, 2400, 24000);
        throttle = std::clamp(throttle + step(random), 0, 255);
        Pair(log, 0x55, 0x00, uint8_t(coolant));
        Pair(log, 0x55, 0x01, uint8_t(rpm));
        Pair(log, 0x55, 0x02, uint8_t(rpm >> 8));
        Pair(log, 0x55, 0x05, uint8_t(throttle));
        Pair(log, 0x55, 0x17, uint8_t(cycle % 3 == 0 ? 0x05 : 0x01));
        Pair(log, 0x10, 0x00, 0x00);
        if (noise(random) == 0)
            log.push_back(uint8_t(noise(random)));
    }
    return log;
}

// The conversion itself: the text of each block is handed on and dropped.
void ConvertSyntheticLog(benchmark::State& state) {
    const std::vector<uint8_t> log = SyntheticLog();
    uint64_t textBytes = 0;
    for (auto _ : state) {
        textBytes = 0;
        velmora::ConvertLogBytes(log, nullptr,
                                 [&textBytes](const std::string& block) { textBytes += block.size(); });
        benchmark::DoNotOptimize(textBytes);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(log.size()));
    state.counters["log_MB"] = double(log.size()) / (1 << 20);
    state.counters["text_MB"] = double(textBytes) / (1 << 20);
}
BENCHMARK(ConvertSyntheticLog)->Unit(benchmark::kMillisecond)->Iterations(3);

// As the command does it: the .bin read from a file, the .txt written beside it.
void ConvertSyntheticLogFile(benchmark::State& state) {
    std::vector<uint8_t> log = SyntheticLog();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "velmora-convert-bench";
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "B52001.bin";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(log.data()), std::streamsize(log.size()));
    velmora::TNullHost host;
    velmora::SetHost(&host);
    velmora::TConvertOptions options;
    // The memory a conversion holds must not grow with the log: the peak above the resident memory at
    // its start is measured (the log in memory is dropped first).
    const size_t logSize = log.size();
    std::vector<uint8_t>().swap(log);
    const bool peakKnown = ResetPeak();
    const long startKb = StatusKb("VmRSS");
    for (auto _ : state)
        benchmark::DoNotOptimize(velmora::ConvertLogs(file, options).Written.size());
    const long peakKb = StatusKb("VmHWM");
    if (peakKnown && startKb >= 0 && peakKb >= 0)
        state.counters["peak_MB_over_start"] = double(peakKb - startKb) / 1024;
    velmora::SetHost(nullptr);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(logSize));
    std::filesystem::remove_all(folder);
}
BENCHMARK(ConvertSyntheticLogFile)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
