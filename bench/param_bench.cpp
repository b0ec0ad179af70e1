// Conversion speed of a parameter record: SetRaw through a point table and FormatValue, the work done
// for every value the worker reads and the window shows.
#include <benchmark/benchmark.h>

#include "params/ecu_param.h"

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
