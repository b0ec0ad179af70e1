// A recorded hour: an exchange log of about 390,000 request pairs with its times file, written through
// the exchange log on a manual clock (a pair every 9-10 ms, the fault memory every two minutes), then
// loaded as a recording and replayed as fast as possible (every pair handed out, every value set into its
// record as the replay's CSV would), with the peak memory the recording holds. Then what writing the
// times costs the link per pair.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine_link/exchange_log.h"
#include "engine_link/pair_times.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "platform/program_folders.h"
#include "recording/recording.h"
#include "recording/recording_player.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t HourPairs = 390000;
constexpr uint32_t FaultReadEveryMs = 120000;

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

// Writes the hour into <folder>/LOGS/B52001.bin (and .times); returns the log's path.
fs::path RecordHour(const fs::path& folder) {
    velmora::SetProgramFolder(folder);
    velmora::TManualClock clock;
    velmora::TScopedClock useClock(clock);
    velmora::TExchangeLog log;
    log.ClearLogName();
    log.EnableLog();
    // HFM from Bosch, diagnosis index 52.
    const uint8_t ident[] = {0x27, 'B', 'H', 'F', '2', '8', '1', '1', 'B',  '0',  '0',  '1',  '0',  '2',
                             '6',  '1', '2', '0', '4', '3', '2', '1', 0x94, 0x12, 0x95, 0x03, 0x52, 0x01};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> step(-2, 2), gap(9, 10);
    size_t pairs = 0;
    auto pair = [&](uint8_t cmd, uint8_t param, uint8_t value) {
        clock.Advance(uint32_t(gap(random)));
        log.AppendPair(cmd, uint8_t(0xFF - cmd), param, value);
        ++pairs;
    };
    for (uint8_t a = 0; a < sizeof ident; ++a)
        pair(0xF0, a, ident[a]);
    log.NewLogName(1, 1, 52);
    log.MarkPollingBegan();
    int coolant = 0x70, rpm = 2900, throttle = 12;
    uint32_t lastFaultRead = 0;
    for (uint32_t cycle = 0; pairs < HourPairs; ++cycle) {
        if (cycle == 0 || velmora::TicksSince(lastFaultRead, clock.TickCount()) >= FaultReadEveryMs) {
            for (uint8_t a = 0; a < 32; ++a)
                pair(0xF1, a, a == 1 ? 0x08 : 0);
            lastFaultRead = clock.TickCount();
        }
        coolant = std::clamp(coolant + (cycle % 64 == 0 ? step(random) : 0), 0x40, 0xC0);
        rpm = std::clamp(rpm + step(random) * 8, 2400, 24000);
        throttle = std::clamp(throttle + step(random), 0, 255);
        pair(0x55, 0x00, uint8_t(coolant));
        pair(0x55, 0x01, uint8_t(rpm));
        pair(0x55, 0x02, uint8_t(rpm >> 8));
        pair(0x55, 0x05, uint8_t(throttle));
        pair(0x55, 0x17, uint8_t(cycle % 3 == 0 ? 0x05 : 0x01));
    }
    log.FlushLog();
    return folder / "LOGS" / log.LogName();
}

void ReplayRecordedHour(benchmark::State& state) {
    velmora::TNullHost host;
    velmora::SetHost(&host);
    const fs::path folder = fs::temp_directory_path() / "velmora-replay-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path bin = RecordHour(folder);
    const bool peakKnown = ResetPeak();
    const long startKb = StatusKb("VmRSS");
    size_t pairs = 0, values = 0;
    uint32_t duration = 0;
    for (auto _ : state) {
        velmora::TRecording recording;
        if (!recording.Load(bin)) {
            state.SkipWithError(recording.Error().c_str());
            break;
        }
        velmora::TRecordingPlayer player(recording);
        values = 0;
        pairs = player.AdvanceTo(UINT32_MAX, [&values](const velmora::TRecordedPair& pair) {
            values += velmora::TRecording::ApplyValue(pair) ? 1 : 0;
        });
        duration = recording.DurationMs();
        benchmark::DoNotOptimize(values);
    }
    const long peakKb = StatusKb("VmHWM");
    if (peakKnown && startKb >= 0 && peakKb >= 0)
        state.counters["peak_MB_over_start"] = double(peakKb - startKb) / 1024;
    state.counters["pairs"] = double(pairs);
    state.counters["values"] = double(values);
    state.counters["recorded_min"] = double(duration) / 60000;
    state.counters["bin_MB"] = double(fs::file_size(bin)) / (1 << 20);
    state.counters["times_bytes_per_pair"] =
        double(fs::file_size(fs::path(bin).replace_extension(".times"))) / double(pairs);
    velmora::SetHost(nullptr);
    fs::remove_all(folder);
}
BENCHMARK(ReplayRecordedHour)->Unit(benchmark::kMillisecond)->Iterations(3);

// What the times cost the link: appending pairs to the exchange log on the real clock, the file
// writes included (per pair), against the 9.271 ms a pair takes on the line.
void AppendPairsWithTimes(benchmark::State& state) {
    velmora::TNullHost host;
    velmora::SetHost(&host);
    const fs::path folder = fs::temp_directory_path() / "velmora-append-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    velmora::SetProgramFolder(folder);
    constexpr int PairsPerRound = 100000;
    for (auto _ : state) {
        velmora::TExchangeLog log;
        log.ClearLogName();
        log.EnableLog();
        for (int i = 0; i < PairsPerRound; ++i)
            log.AppendPair(0x55, 0xAA, uint8_t(i % 24), uint8_t(i));
        log.FlushLog();
        state.PauseTiming();
        fs::remove(folder / "LOGS" / "tmp001.bin");
        fs::remove(folder / "LOGS" / "tmp001.times");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * PairsPerRound);
    velmora::SetHost(nullptr);
    fs::remove_all(folder);
}
BENCHMARK(AppendPairsWithTimes)->Unit(benchmark::kMillisecond);

// The encoding of one block of times (a full 4 KB buffer of pairs), per block.
void EncodeTimesBlock(benchmark::State& state) {
    std::vector<velmora::TTimedChunk> chunks;
    std::mt19937 random(3);
    std::uniform_int_distribution<int> gap(9, 10);
    uint32_t ms = 0;
    for (int i = 0; i < 1024; ++i)
        chunks.push_back({ms += uint32_t(gap(random)), 4});
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = velmora::PairTimesBlock(0, 4096, 0, chunks).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(chunks.size()));
    state.counters["bytes_per_pair"] = double(bytes) / double(chunks.size());
}
BENCHMARK(EncodeTimesBlock)->Unit(benchmark::kMicrosecond);

} // namespace
