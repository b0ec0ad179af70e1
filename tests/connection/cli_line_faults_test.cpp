// Every velmora-cli command that talks to the engine unit, through a cable, an ELM327 (its tables, and
// as a plain cable) and a CarSoft interface, on a line with each fault the simulated car can put on it
// and on storage that takes no files, in virtual time and in this process. A run either
// gives the clean line's result, or fails (exit 1) naming the line or the storage: never the engine,
// never a normal stop. Every value a watch printed is a value its own exchange log holds as a sound
// pair, in the same order, and none comes after the link was lost.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_run.h"
#include "commands.h"
#include "host_recorder.h"
#include "lang/dictionary.h"
#include "lang/dictionary_appender.h"
#include "links/port_factory.h"
#include "log_convert/log_converter.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "temp_folder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::CsvFields;
using testing::RunCommand;
using testing::TRun;

// The result without what differs from run to run on any line (file names, times).
std::string ResultOf(const std::string& out) {
    std::istringstream lines(out);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"exchange_log\"") == std::string::npos &&
            line.find("\"port\"") == std::string::npos &&
            line.find("\"ms_per_request\"") == std::string::npos &&
            line.find("\"path\"") == std::string::npos && line.find("\"report\"") == std::string::npos)
            kept += line + "\n";
    }
    return kept;
}

// "number value" in the order of the CSV's rows, for the numbers watched (0 and 1).
std::vector<std::string> CsvValues(const fs::path& csv) {
    std::vector<std::string> values;
    std::ifstream in(csv, std::ios::binary);
    std::string row;
    std::getline(in, row); // the header
    while (std::getline(in, row)) {
        const std::vector<std::string> fields = CsvFields(row);
        if (fields.size() >= 4 && (fields[1] == "0" || fields[1] == "1"))
            values.push_back(fields[1] + " " + fields[3]);
    }
    return values;
}

// The exchange log the session wrote: the newest .bin under LOGS.
fs::path NewestLog(const fs::path& logs) {
    fs::path newest;
    fs::file_time_type when{};
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(logs, error)) {
        if (entry.path().extension() == ".bin" && entry.path().filename() != "ECU.bin" &&
            (newest.empty() || entry.last_write_time() >= when)) {
            newest = entry.path();
            when = entry.last_write_time();
        }
    }
    return newest;
}

#ifndef _WIN32
// Files written beyond `bytes` fail as on a full disk (EFBIG, the signal ignored) while it lives. Windows
// has no file-size limit of a process; the full disk is checked on Linux only.
class TFullDisk {
public:
    explicit TFullDisk(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &Old);
        OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFullDisk() {
        setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldHandler);
    }
    TFullDisk(const TFullDisk&) = delete;
    TFullDisk& operator=(const TFullDisk&) = delete;

private:
    rlimit Old{};
    void (*OldHandler)(int) = nullptr;
};
#endif

struct TCommandRow {
    const char* Name;
    int (*Run)(std::span<char* const>);
    std::vector<std::string> Args;
    bool SameResult;        // a run that succeeds gives the clean line's result
    bool CableOnly = false; // not offered through an ELM327
};

struct TAdapter {
    const char* Name;
    const char* Prefix;
    std::vector<std::string> Options;
    bool Elm = false;
};

const TAdapter Adapters[] = {
    {"cable", "SIM:", {"--adapter", "K"}},
    {"ELM327", "SIMELM:", {"--adapter", "E"}, true},
    {"ELM327 as KKL", "SIMELM:", {"--adapter", "E", "--elm-as-kkl"}, true},
    {"CarSoft", "SIMCARSOFT:", {"--adapter", "C"}},
};

// Words that put the failure on the line or on the storage; and words that would put it elsewhere.
const char* const LineWords[] = {
    "Помехи на линии K",    "the line is bad",  "Связь прервана", "answers were lost",
    "could not be written", "Не могу записать", "cannot write",   "ELM327"};
const char* const WrongCauses[] = {"must idle steadily", "Обмен остановлен", "interrupted"};

class CliLineFaultsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }
    void SetUp() override { Folder.WriteFile("velmora.ini", "[OPTIONS]\nHISTORY_BACKEND=OFF\n"); }

    std::string Profile(const std::string& key, const std::string& value) {
        return Folder
            .WriteFile("fault-" + key + ".ini",
                       "[Unit]\nBase=hfm\n[LineFaults]\n" + (key.empty() ? "" : key + "=" + value + "\n"))
            .string();
    }

    std::vector<TCommandRow> Commands() const {
        return {
            {"ident", RunIdent, {"--json"}, true},
            {"faults", RunFaults, {"--json"}, true},
            {"erase", RunErase, {"--json"}, true},
            {"report", RunReport, {"--json"}, true},
            {"watch", RunWatch, {"1,0", "--seconds", "4", "--csv", WatchCsv().string()}, false},
            {"range", RunRange, {"0xF0", "0x00", "0x27", "--json"}, true},
            {"trip", RunTrip, {"--seconds", "4", "--json"}, false},

            {"act", RunAct, {"0xD2", "2", "--json"}, true},
            {"adapt", RunAdapt, {"reset", "--json"}, true},
            // Through an ELM327 the test is not offered (the window hides its tab).
            {"smooth", RunSmooth, {"--seconds", "4", "--json"}, false, true},
        };
    }

    fs::path WatchCsv() const { return Folder.Path() / "watch.csv"; }

    TRun Run(const TAdapter& adapter, const TCommandRow& command, const std::string& profile) {
        std::vector<std::string> args = {"--port", adapter.Prefix + profile};
        args.insert(args.end(), adapter.Options.begin(), adapter.Options.end());
        args.insert(args.end(), command.Args.begin(), command.Args.end());
        return RunCommand(command.Run, args);
    }

    // A watch's values are the values its exchange log converts to, in the same order: none that the
    // log does not hold as a sound pair, none repeated after a read that brought nothing.
    void ExpectWatchedValuesLogged(const TRun& run) {
        const fs::path log = NewestLog(Folder.Path() / "LOGS");
        if (log.empty()) { // no connection, no log: nothing may have been shown
            EXPECT_EQ(run.Out, "");
            return;
        }
        TConvertOptions options;
        options.Csv = true;
        ASSERT_EQ(ConvertLogs(log.string(), options).Failed, 0);
        const std::vector<std::string> shown = CsvValues(WatchCsv());
        if (run.Exit == ExitOk) {
            EXPECT_FALSE(shown.empty());
        }
        EXPECT_EQ(shown, CsvValues(fs::path(log).replace_extension(".csv"))) << run.Out;
        // The printed lines are the values in the CSV.
        size_t printed = 0;
        std::istringstream lines(run.Out);
        for (std::string line; std::getline(lines, line);)
            printed += line.find_first_not_of(' ') != std::string::npos ? 1 : 0;
        EXPECT_EQ(printed, shown.size()) << run.Out;
    }

    // `unitAbsent`: nothing answers on the line at all, so "the unit does not answer" is the cause too.
    void ExpectCauseNamed(const TRun& run, bool unitAbsent = false) {
        EXPECT_EQ(run.Exit, ExitFailed) << run.Err;
        // The tool's verdict: its own lines at the end of stderr.
        const size_t own = run.Err.find("velmora-cli ");
        const std::string verdict = own == std::string::npos ? run.Err : run.Err.substr(own);
        bool named = unitAbsent && verdict.find("ECU не отвечает") != std::string::npos;
        for (const char* word : LineWords)
            named = named || verdict.find(word) != std::string::npos;
        EXPECT_TRUE(named) << verdict;
        for (const char* word : WrongCauses)
            EXPECT_EQ(verdict.find(word), std::string::npos) << verdict;
    }

    void Clean() {
        std::error_code ignored;
        fs::remove_all(Folder.Path() / "LOGS", ignored);
        fs::remove(WatchCsv(), ignored);
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    testing::TTempFolder Folder;
};

TEST_F(CliLineFaultsTest, EveryCommandOnEveryLineFault) {
    struct TFault {
        const char* Key;
        const char* Value;
        bool UnitAbsent = false;
    };
    const TFault faults[] = {
        {"NoEcho", "1"},
        {"WrongComplementEvery", "10"},
        {"DropAnswerEvery", "7"},
        {"NoiseEveryMs", "300"},
        // After the identification, within the polling of a watch or a trip.
        {"SilentAfterRequests", "300"},
        {"VanishAfterRequests", "300"},
        {"CorruptEchoEvery", "10"},
        {"LateByteBeforeEchoEvery", "10"},
        {"EchoLostBits", "1"},
        {"ShortToGround", "1", true},
        {"NoUnit", "1", true},
    };
    for (const TAdapter& adapter : Adapters) {
        for (const TCommandRow& command : Commands()) {
            if (command.CableOnly && adapter.Elm)
                continue;
            Clean();
            const TRun reference = Run(adapter, command, Profile("", ""));
            ASSERT_EQ(reference.Exit, ExitOk) << adapter.Name << " " << command.Name << "\n" << reference.Err;
            for (const TFault& fault : faults) {
                SCOPED_TRACE(std::string(adapter.Name) + " " + command.Name + " " + fault.Key + "=" +
                             fault.Value);
                Clean();
                const TRun run = Run(adapter, command, Profile(fault.Key, fault.Value));
                if (run.Exit == ExitOk) {
                    if (command.SameResult) {
                        EXPECT_EQ(ResultOf(run.Out), ResultOf(reference.Out)) << run.Err;
                    }
                } else {
                    ExpectCauseNamed(run, fault.UnitAbsent);
                }
                if (std::string(command.Name) == "watch")
                    ExpectWatchedValuesLogged(run);
            }
        }
    }
}

TEST_F(CliLineFaultsTest, EveryCommandOnStorageThatTakesNoFiles) {
    for (const TAdapter& adapter : Adapters) {
        for (const TCommandRow& command : Commands()) {
            if (command.CableOnly && adapter.Elm)
                continue;
            const std::string profile = Profile("", "");
            {
                SCOPED_TRACE(std::string(adapter.Name) + " " + command.Name + " LOGS not writable");
                Clean();
                // A file where the folder should be: nothing can be made under LOGS (as any user, root too).
                Folder.WriteFile("LOGS", "not a folder");
                const TRun run = Run(adapter, command, profile);
                ExpectCauseNamed(run);
            }
#ifndef _WIN32
            {
                SCOPED_TRACE(std::string(adapter.Name) + " " + command.Name + " disk full");
                Clean();
                TRun run;
                {
                    const TFullDisk full(64);
                    run = Run(adapter, command, profile);
                }
                ExpectCauseNamed(run);
            }
#endif
        }
    }
}

// The dictionary's file layer for one run: writes wait at a gate the test opens after the run, or fail.
class TDictionaryFile {
public:
    explicit TDictionaryFile(bool fail) : Fail(fail) {
        ResetDictionaryAppends();
        SetDictionaryFileLayer([this](const std::string&, std::string_view) { return Write(); });
    }
    ~TDictionaryFile() {
        Open();
        ResetDictionaryAppends();
        SetDictionaryFileLayer({});
    }
    TDictionaryFile(const TDictionaryFile&) = delete;
    TDictionaryFile& operator=(const TDictionaryFile&) = delete;

    void Open() {
        std::lock_guard lock(Mutex);
        Gate = true;
        Changed.notify_all();
    }
    const bool Fail;
    std::atomic<int> Writes{0};
    std::atomic<bool> OnCallerThread{false};

private:
    bool Write() {
        ++Writes;
        if (std::this_thread::get_id() == Caller)
            OnCallerThread = true;
        std::unique_lock lock(Mutex);
        // A safety net only: with the gate shut for good the test must not hang.
        Changed.wait_for(lock, std::chrono::seconds(5), [this] { return Gate; });
        Gate = true;
        return !Fail;
    }
    const std::thread::id Caller = std::this_thread::get_id();
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Gate = false;
};

// Two watches printed the same values at the same times; the times may differ by the rounding of the
// virtual clock to whole milliseconds, which starts where the run before left it.
void ExpectSameWatch(const std::string& out, const std::string& reference) {
    std::istringstream a(out), b(reference);
    std::string lineA, lineB;
    size_t lines = 0;
    while (std::getline(b, lineB)) {
        ASSERT_TRUE(std::getline(a, lineA)) << "missing after " << lines << " lines: " << lineB;
        std::istringstream fieldsA(lineA), fieldsB(lineB);
        long msA = 0, msB = 0;
        std::string restA, restB;
        fieldsA >> msA;
        fieldsB >> msB;
        std::getline(fieldsA, restA);
        std::getline(fieldsB, restB);
        EXPECT_EQ(restA, restB) << lineA << " | " << lineB;
        EXPECT_LE(std::abs(msA - msB), 1) << lineA << " | " << lineB;
        ++lines;
    }
    EXPECT_FALSE(std::getline(a, lineA)) << "more lines: " << lineA;
    EXPECT_GT(lines, 10u);
}

// Unknown texts of a session under English, for a dictionary whose file blocks or fails: the link's
// timing and its results stay those of a dictionary that takes the texts at once.
TEST_F(CliLineFaultsTest, DictionaryFileThatBlocksOrFailsLeavesTheLinkAlone) {
    const TAdapter& cable = Adapters[0];
    const TCommandRow watch = {"watch", RunWatch, {"1,0", "--seconds", "3"}, false};
    const std::string profile = Profile("", "");
    SetLanguage('E');
    // Only "Да" is known: every line the worker logs is a new text for the file.
    auto freshDictionary = [&] {
        Folder.WriteFile("DATA/english.txt", "\xC4\xE0\r\nYes\r\n");
        ResetDictionary();
    };
    freshDictionary();
    const TRun reference = Run(cable, watch, profile);
    ASSERT_EQ(reference.Exit, ExitOk) << reference.Err;
    ASSERT_TRUE(FlushDictionaryAppends());
    ASSERT_NE(Folder.ReadFile("DATA/english.txt").size(), 11u) << "the run collected no texts";
    for (const bool fail : {false, true}) {
        SCOPED_TRACE(fail ? "writes fail" : "writes block");
        freshDictionary();
        TRun run;
        TDictionaryFile file(fail);
        run = Run(cable, watch, profile);
        file.Open();
        FlushDictionary();
        EXPECT_EQ(run.Exit, ExitOk) << run.Err;
        ExpectSameWatch(run.Out, reference.Out);
        EXPECT_GT(file.Writes.load(), 0);
        EXPECT_FALSE(file.OnCallerThread.load());
    }
    SetLanguage('R');
    ResetDictionary();
}

} // namespace
} // namespace velmora
