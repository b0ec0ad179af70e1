// Conversion speed of a parameter record: SetRaw through a point table and FormatValue, the work done
// for every value the worker reads and the window shows; and the load of a big parameter description
// file (ECU.ini, hfmobd.ini: the same reader), which must take time in proportion to its size.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "params/ecu_param.h"
#include "params/param_list.h"

namespace {

void BM_PointTableSetRawAndFormat(benchmark::State& state) {
    velmora::TECUparam param(0);
    param.SetType('B');
    param.SetCalc("(0;300)-(16;147)-(32;112)-(48;93)-(128;45)-(160;35)-(176;25)-(192;15)-(208;8)-(224;-3)"
                  "-(240;-17)-(256;-59)");
    param.Izm = "°";
    uint8_t raw = 0;
    for (auto _ : state) {
        param.SetRaw(raw++, 0, 0, 0);
        benchmark::DoNotOptimize(param.FormatValue());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PointTableSetRawAndFormat);

void BM_PointTableSetRawOnly(benchmark::State& state) {
    velmora::TECUparam param(0);
    param.SetCalc("(0;0)-(32;77)-(64;155)-(128;623)-(160;1246)-(192;2493)-(255;9759)");
    uint8_t raw = 0;
    for (auto _ : state) {
        param.SetRaw(raw++, 0, 0, 0);
        benchmark::DoNotOptimize(param.AsSingle());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PointTableSetRawOnly);

} // namespace

namespace {

// An ECU.ini of about `megabytes` MB: the described sections and, around them, many sections and lines
// a description file may carry (another program's, comments), which a lookup must not walk.
std::filesystem::path BigEcuIni(int megabytes) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("velmora-bench-ecu-" + std::to_string(megabytes) + ".ini");
    std::ofstream out(file, std::ios::binary);
    size_t written = 0;
    for (int n = 0; written < size_t(megabytes) << 20; ++n) {
        std::string section = "[X" + std::to_string(n) + "]\r\nNAME=other " + std::to_string(n) +
                              "\r\nCMD=5500\r\n; a comment line of some length to fill the file\r\n";
        if (n % 100 == 0 && n / 100 <= 219)
            section += "[P" + std::to_string(n / 100) + "]\r\nNAME=Parameter " + std::to_string(n / 100) +
                       "\r\nCMD=55" + std::to_string(10 + n / 100 % 90) + "\r\nTYPE=B\r\nCALC=-40\r\n";
        out << section;
        written += section.size();
    }
    return file;
}

void BM_LoadBigEcuIni(benchmark::State& state) {
    const std::filesystem::path file = BigEcuIni(int(state.range(0)));
    size_t count = 0;
    for (auto _ : state) {
        velmora::TListParams params;
        params.LoadIni(file);
        count = params.Count();
        benchmark::DoNotOptimize(count);
    }
    state.counters["MB"] = double(state.range(0));
    state.counters["records"] = double(count);
    std::filesystem::remove(file);
}
BENCHMARK(BM_LoadBigEcuIni)->Arg(2)->Arg(17)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
