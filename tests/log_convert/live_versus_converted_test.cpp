// What a live session showed against what its own exchange log converts to: every simulated unit on
// a cable, through an ELM327's tables, an ELM327 as a plain cable and a CarSoft interface. The values
// a watch printed must be the values the conversion finds, in the same order; an identification
// report must read the same. In virtual time, in this process.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

#include "cli_run.h"
#include "commands.h"
#include "engine_link/ident_report.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "log_convert/log_converter.h"
#include "log_convert/value_csv.h"
#include "params/list_prm.h"
#include "params/param_list.h"
#include "platform/clock.h"
#include "session.h"
#include "sim/sim_port.h"
#include "temp_folder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::CsvFields;

class TPlainView : public TBaseParam {
public:
    using TBaseParam::TBaseParam;
    void UpdateView() override {}
};

using TValues = std::map<int, std::vector<std::string>>; // parameter number -> values in order

// Number and value columns of a converted log's CSV, for the parameters in `watched`.
TValues ConvertedValues(const fs::path& csv, const TValues& watched) {
    TValues values;
    std::ifstream in(csv, std::ios::binary);
    std::string row;
    std::getline(in, row); // the header
    while (std::getline(in, row)) {
        const std::vector<std::string> fields = CsvFields(row);
        if (fields.size() < 4)
            continue;
        const int number = std::stoi(fields[1]);
        if (watched.contains(number))
            values[number].push_back(fields[3]);
    }
    return values;
}

std::string ReadWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class LiveVersusConverted : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }
    void TearDown() override { FreePort(); }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    testing::TTempFolder Folder;
};

struct TLiveCase {
    const char* Port;
    char Adapter;
    bool ElmAsKkl;
    std::vector<int> Watched;
};

TEST_F(LiveVersusConverted, WatchedValuesAreTheConvertedValues) {
    const TLiveCase cases[] = {
        {"SIM:hfm", 'K', false, {0, 1, 3}},        {"SIM:pms", 'K', false, {0, 1, 3}},
        {"SIM:lh", 'K', false, {0, 1, 3, 27}},     {"SIMELM:hfm", 'E', false, {0, 1, 3}},
        {"SIMELM:pms", 'E', false, {0, 1, 3}},     {"SIMELM:lh", 'E', false, {0, 1, 3, 27}},
        {"SIMELM:hfm", 'E', true, {0, 1, 3}},      {"SIMELM:lh", 'E', true, {0, 1, 27}},
        {"SIMCARSOFT:hfm", 'C', false, {0, 1, 3}}, {"SIMCARSOFT:lh", 'C', false, {0, 1, 27}},
    };
    for (const TLiveCase& c : cases) {
        const std::string what =
            std::string(c.Port) + " adapter " + c.Adapter + (c.ElmAsKkl ? " as KKL" : "");
        TValues live;
        std::string logPath;
        {
            TCliSession session("watch");
            TConnectSettings settings;
            settings.PortName = c.Port;
            settings.Adapter = c.Adapter;
            settings.ElmAsKkl = c.ElmAsKkl;
            ASSERT_TRUE(session.Connect(settings)) << what;
            const std::shared_ptr<const TListParams> params = session.Reader.Params();
            auto list = std::make_shared<TListPrm>();
            for (int number : c.Watched) {
                TECUparam* param = params->FindByNumber(number);
                ASSERT_NE(param, nullptr) << what << " #" << number;
                list->Add(std::make_unique<TPlainView>(*param)).ParamNo = uint8_t(number);
                live[number];
            }
            ASSERT_TRUE(session.Reader.RequestViewList(list, TViewKind::Graph)) << what;
            session.StepUntil(
                [&](const TSessionMessage& m) {
                    if (m.Msg == WM_USER + 8)
                        if (const TECUparam* param = params->FindByNumber(int(m.WParam)))
                            live[int(m.WParam)].push_back(CsvValueText(*param));
                    return false;
                },
                4000);
            EXPECT_EQ(session.Finish(), ExitOk) << what;
            logPath = session.Reader.LogPath();
        }
        TConvertOptions options;
        options.Csv = true;
        const TConvertResult result = ConvertLogs(logPath, options);
        ASSERT_EQ(result.Failed, 0) << what;
        const TValues converted = ConvertedValues(fs::path(logPath).replace_extension(".csv"), live);
        for (const auto& [number, values] : live) {
            EXPECT_GE(values.size(), 5u) << what << " #" << number;
            EXPECT_EQ(converted.contains(number) ? converted.at(number) : std::vector<std::string>{}, values)
                << what << " #" << number;
        }
    }
}

// watch @N reads parameter N of the unit's address set at its memory address; the conversion of the
// session's log reads those pairs as the same parameter, with the same values.
TEST_F(LiveVersusConverted, AddressReadsAreTheConvertedValues) {
    Folder.WriteFile("velmora.ini", "[OPTIONS]\nHISTORY_BACKEND=OFF\n");
    const std::string csv = (Folder.Path() / "watch.csv").string();
    std::vector<std::string> args = {"--port",    "SIM:hfm40", "--adapter", "K", "@1,@2",
                                     "--seconds", "3",         "--csv",     csv};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    std::ostringstream out, err;
    std::streambuf* oldOut = std::cout.rdbuf(out.rdbuf());
    std::streambuf* oldErr = std::cerr.rdbuf(err.rdbuf());
    const int exit = RunWatch(argv);
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    FreePort();
    ASSERT_EQ(exit, ExitOk) << err.str();

    fs::path log;
    for (const auto& entry : fs::directory_iterator(Folder.Path() / "LOGS"))
        if (entry.path().extension() == ".bin")
            log = entry.path();
    ASSERT_FALSE(log.empty());
    TConvertOptions options;
    options.Csv = true;
    ASSERT_EQ(ConvertLogs(log, options).Failed, 0);
    const TValues watched = {{1, {}}, {2, {}}};
    const TValues live = ConvertedValues(csv, watched); // the watch's own CSV has the same columns
    const TValues converted = ConvertedValues(fs::path(log).replace_extension(".csv"), watched);
    for (const int number : {1, 2}) {
        ASSERT_TRUE(live.contains(number)) << out.str();
        EXPECT_GE(live.at(number).size(), 5u);
        EXPECT_EQ(converted.contains(number) ? converted.at(number) : std::vector<std::string>{},
                  live.at(number))
            << number;
    }
    // 1 at 10B7 is the engine speed (rpm/25): an idle speed, not the parameter channel's byte.
    const int rpm = std::stoi(live.at(1).front());
    EXPECT_GE(rpm, 600);
    EXPECT_LE(rpm, 1000);
}

TEST_F(LiveVersusConverted, IdentificationReadsAsLive) {
    for (const char* port : {"SIM:hfm", "SIM:lh", "SIM:ez", "SIMELM:ez", "SIMELM:lh"}) {
        std::string logPath;
        std::vector<std::string> report;
        {
            TCliSession session("ident");
            TConnectSettings settings;
            settings.PortName = port;
            settings.Adapter = std::string_view(port).starts_with("SIMELM") ? 'E' : 'K';
            session.Connect(settings); // an EZ unit ends its connection after identification
            report = PrintInfo(session.Reader.Ident(), false);
            session.Finish();
            logPath = session.Reader.LogPath();
        }
        ASSERT_FALSE(report.empty()) << port;
        ConvertLogs(logPath, {});
        std::string lines;
        for (const std::string& line : report)
            lines += line + "\r\n";
        const std::string text = ReadWhole(fs::path(logPath).replace_extension(".txt"));
        EXPECT_NE(text.find(lines), std::string::npos) << port << "\n"
                                                       << lines << "\n---\n"
                                                       << text.substr(0, 4000);
        EXPECT_EQ(text.find("Unknown"), std::string::npos) << port;
    }
}

} // namespace
} // namespace velmora
