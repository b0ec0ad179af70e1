// The graph of a long recording, on Qt's offscreen platform:
//  1. drawing 30 minutes at 8 lanes in a picture of 1000 × 700 pixels (the window's graph page): the
//     picture from the kept values (TGraph::Redraw of the frozen span) and the whole tab painted with
//     its scales, median and longest of repeated draws, against one display frame (16.7 ms); once with
//     the line's full rate shared by the 8 curves (about 108 values per second in all, as the link reads
//     them) and once with every curve at that rate (8 times as many values);
//  2. a replay of a one-hour exchange log (the hfm_cable log's polling repeated to about 390,000 request
//     pairs, without times, so spaced at the cable's nominal rate) as fast as possible in the main
//     window with the graph tab shown: loading, playing to the end, and the process's peak memory.
//
// Usage: velmora-replay-graph-bench LOG.bin   (the hfm_cable.bin of tests/log_convert/logs; a Release build
// gives meaningful figures)
#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <vector>

#include "params/param_list.h"
#include "platform/program_folders.h"
#include "recording/recording.h"
#include "ui/graphs/graph_tab.h"
#include "ui/window/main_form.h"
#include "ui/window/qt_host.h"
#include "ui/window/replay_bar.h"
#include "ui/window/replay_connection.h"
#include "ui/window/replay_loader.h"

namespace {

using namespace velmora;

constexpr int Width = 1000, Height = 700;
constexpr uint32_t HalfHourMs = 30 * 60 * 1000;
constexpr double LineValuesPerSecond = 108;
constexpr double FrameMs = 1000.0 / 60;
constexpr size_t OneHourPairs = 390000;

double PeakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

struct TTimes {
    double Median, Longest;
};

template <typename F> TTimes Measure(int runs, F&& draw) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        draw();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

void GraphDraw(bool everyCurveAtFullRate) {
    auto params = std::make_shared<TListParams>();
    params->LoadBuiltinSet(1, 0);
    TGraphTab tab(params);
    tab.resize(Width + 220, Height);
    TGraph& graph = tab.Graph();
    while (graph.Count() > 0)
        graph.RemoveView(0);
    int added = 0;
    for (size_t i = 0; i < params->Count() && added < 8; ++i)
        if (tab.AddGraph((*params)[i].Number))
            ++added;
    graph.Resize(Width, Height);
    tab.SetLanes(true);
    // 30 minutes of values: per curve its share of the line's rate, or the whole rate.
    const double perCurve = everyCurveAtFullRate ? LineValuesPerSecond : LineValuesPerSecond / added;
    const uint32_t stepMs = uint32_t(1000 / perCurve);
    size_t values = 0;
    for (uint32_t t = 1000; t < 1000 + HalfHourMs; t += stepMs) {
        for (int v = 0; v < added; ++v, ++values) {
            TECUparam& param = graph.View(size_t(v)).Param;
            param.SetData(uint8_t((t / 97 + uint32_t(v) * 13) % 200), 0, 0, 0);
            param.LastTick = t + uint32_t(v);
            graph.UpdateParam(param.Number);
        }
    }
    // The whole kept time on the picture: the frozen graph zoomed out to 30 minutes.
    graph.Freeze(true);
    graph.Zoom(1e9, Width - 1);
    const TTimes picture = Measure(30, [&] { graph.Redraw(); });
    QImage shown(Width + 220, Height, QImage::Format_ARGB32);
    const TTimes whole = Measure(30, [&] {
        graph.Redraw();
        tab.render(&shown);
    });
    std::printf("| 30 min, 8 lanes, %s (%zu values) | %.2f (%.2f) | %.2f (%.2f) | %.1f |\n",
                everyCurveAtFullRate ? "each curve at the full rate" : "the full rate shared", values,
                picture.Median, picture.Longest, whole.Median, whole.Longest, FrameMs);
    std::fflush(stdout);
}

// The hfm_cable log with its polling repeated to `pairs` request pairs, written to `out`.
bool MakeHourLog(const std::filesystem::path& source, const std::filesystem::path& out, size_t pairs) {
    TRecording recording;
    if (!recording.Load(source)) {
        std::fprintf(stderr, "%s\n", recording.Error().c_str());
        return false;
    }
    size_t first = 0;
    while (first < recording.Pairs().size() && !recording.Pairs()[first].Record)
        ++first;
    if (first == recording.Pairs().size())
        return false;
    std::ifstream in(source, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    const size_t polling = size_t(recording.Pairs()[first].Offset);
    const size_t pollPairs = recording.Pairs().size() - first;
    std::ofstream log(out, std::ios::binary);
    log.write(bytes.data(), std::streamsize(bytes.size()));
    for (size_t total = recording.Pairs().size(); total < pairs; total += pollPairs)
        log.write(bytes.data() + polling, std::streamsize(bytes.size() - polling));
    return bool(log);
}

void HourReplay(const std::filesystem::path& source) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "velmora-replay-graph-bench";
    std::filesystem::create_directories(folder / "LOGS");
    SetProgramFolder(folder);
    const std::filesystem::path log = folder / "LOGS" / "hour.bin";
    if (!MakeHourLog(source, log, OneHourPairs))
        return;
    TQtHost host;
    SetHost(&host);
    struct TNoConnection : TConnectionControl {
        void Start(const std::string&, char, const TConnectOptions&) override {}
        void Stop() override {}
        bool IsAlive() const override { return false; }
        bool InConnection() const override { return false; }
        bool EcuConnected() const override { return false; }
        std::shared_ptr<const TListParams> Params() const override { return nullptr; }
        std::string LogFileName() const override { return {}; }
        void SetWordCorrection(bool) override {}
        void RequestPolling() override {}
        void SetBackgroundReading(int) override {}
        void DeferBackgroundReads(int, bool) override {}
        void RequestViewList(std::shared_ptr<TListPrm>, bool) override {}
        void RequestFaultView() override {}
        void RequestErase() override {}
        std::optional<TFaultData> FaultData() const override { return std::nullopt; }
        TActuatorState& Actuators() override { return Acts; }
        TActuatorState Acts;
    } live;
    TMainForm form(live);
    form.resize(Width + 300, Height + 150);
    form.show();
    const double before = PeakMb();
    QElapsedTimer timer;
    timer.start();
    if (!form.OpenRecording(log.string()))
        return;
    const double loadMs = double(timer.nsecsElapsed()) / 1e6;
    auto* pg = form.findChild<QTabWidget*>("pg");
    while (!pg->isTabVisible(PageGraph))
        QCoreApplication::processEvents();
    pg->setCurrentIndex(PageGraph);
    TReplayConnection& replay = *form.Replay();
    replay.SetSpeed(TReplayConnection::FastSpeed);
    timer.restart();
    replay.Play();
    while (replay.Playing() || replay.Delivering())
        QCoreApplication::processEvents();
    const double playMs = double(timer.nsecsElapsed()) / 1e6;
    std::printf("| one hour (%zu values, %s of recording) | %.0f ms | %.0f ms | %.0f MB (%.0f MB before) |\n",
                replay.Recording().Values.size(), ReplayClockText(replay.Duration()).c_str(), loadMs, playMs,
                PeakMb(), before);
    form.CloseRecording();
    SetHost(nullptr);
    std::filesystem::remove_all(folder);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: velmora-replay-graph-bench hfm_cable.bin\n");
        return 2;
    }
    std::printf("| Graph | Picture ms, median (longest) | Tab painted ms | Frame ms |\n|---|---|---|---|\n");
    GraphDraw(false);
    GraphDraw(true);
    std::printf(
        "\n| Replay as fast as possible, graph shown | Load | Play | Peak memory |\n|---|---|---|---|\n");
    HourReplay(argv[1]);
    return 0;
}
