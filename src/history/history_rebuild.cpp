#include "history/history_rebuild.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "actuators/actuator_tests.h"
#include "faults/fault_display.h"
#include "faults/fault_list.h"
#include "faults/fault_memory.h"
#include "history/visit_builder.h"
#include "lang/translated_format.h"
#include "log_convert/ident_block.h"
#include "log_convert/log_scanner.h"
#include "log_convert/request_index.h"
#include "platform/text_encoding.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

constexpr uint8_t EraseCommand = 0xF3;   // HFM and PMS: 0xF3 0xFF
constexpr uint8_t LhEraseCommand = 0xF2; // LH: 0xF2 0x00

class TVisitSink : public TLogSink {
public:
    TVisitSink(std::string_view client, std::string when) : Client(client), When(std::move(when)) {}

    void OnRecord(const TLogRecord& record) override {
        if (record.Kind != TLogRecord::TKind::Pair)
            return;
        if (Ident.Take(record.Cmd, record.Param, record.Value))
            return;
        if (Ident.Pending()) {
            Ident.Finish();
            if (!Builder.Started() && Ident.Ident().UnitType != 0) {
                Unit = Ident.Ident();
                Builder.Start(Unit, Client, "LOG", When);
            }
        }
        if (!Builder.Started())
            return;
        if (record.Cmd == FaultCommandBitmap || record.Cmd == FaultCommandLh) {
            if (record.Param < Buffer.size())
                Buffer[record.Param] = record.Value;
            AnyFault = true;
            LastWasErase = false;
        } else if ((record.Cmd == EraseCommand && record.Param == 0xFF) ||
                   (record.Cmd == LhEraseCommand && record.Param == 0x00)) {
            // The erase sends its command twice, with no fault read in between: one erase.
            if (!LastWasErase) {
                FlushFaults(true);
                Builder.Erased(When);
            }
            LastWasErase = true;
        } else if (IsActuatorChannel(record.Cmd)) {
            Builder.FunctionRun(
                "actuator", FormatText("%.2X %u", unsigned(record.Cmd), unsigned(record.Param)), true, When);
        }
    }

    std::optional<TVisit> Finish(std::string_view path) {
        if (Ident.Pending()) {
            Ident.Finish();
            if (!Builder.Started() && Ident.Ident().UnitType != 0) {
                Unit = Ident.Ident();
                Builder.Start(Unit, Client, "LOG", When);
            }
        }
        if (!Builder.Started())
            return std::nullopt;
        FlushFaults(false);
        Builder.AddFile("exchange_log", path);
        return Builder.Visit();
    }

private:
    void FlushFaults(bool beforeErase) {
        if (!AnyFault)
            return;
        const TFaultContext context{Unit.UnitType, Unit.Supplier, Unit.DiagIndex, Unit.VariantLetter,
                                    Unit.HasPmsFaultMap()};
        Builder.FaultsRead(CollectFaults(Buffer, context, MaxDisplayedFaults), beforeErase);
        Buffer = {};
        AnyFault = false;
    }

    std::string Client;
    std::string When;
    TIdentBlock Ident;
    TEcuIdent Unit;
    TVisitBuilder Builder;
    TFaultBuf Buffer{};
    bool AnyFault = false;
    bool LastWasErase = false;
};

std::string FileTime(const std::filesystem::path& file) {
    std::error_code failed;
    const auto written = std::filesystem::last_write_time(file, failed);
    if (failed)
        return "0000-00-00 00:00:00";
    // Through the two clocks' present (not every standard library has clock_cast yet).
    const auto system = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        written - std::filesystem::file_time_type::clock::now() + std::chrono::system_clock::now());
    const std::time_t time = std::chrono::system_clock::to_time_t(system);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &time);
#else
    localtime_r(&time, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

struct TLogFile {
    std::filesystem::path Path;
    std::string Client;
    std::string When;
};

bool IsExchangeLog(const std::filesystem::directory_entry& entry) {
    if (!entry.is_regular_file())
        return false;
    std::string name = entry.path().filename().string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return name.ends_with(".bin") && name != "ecu.bin";
}

} // namespace

std::optional<TVisit> VisitFromLog(std::span<const uint8_t> bytes, std::string_view client, std::string when,
                                   std::string_view path) {
    const TRequestIndex index;
    TLogScanner scanner(index);
    TVisitSink sink(client, std::move(when));
    scanner.Scan(bytes, true, sink);
    return sink.Finish(path);
}

TRebuildResult RebuildHistory(THistoryStore& store, const std::filesystem::path& logs, std::string& error) {
    TRebuildResult result;
    std::vector<TLogFile> files;
    std::error_code failed;
    for (const auto& entry : std::filesystem::directory_iterator(logs, failed)) {
        if (IsExchangeLog(entry)) {
            files.push_back({entry.path(), {}, FileTime(entry.path())});
        } else if (entry.is_directory()) {
            const std::u8string client = entry.path().filename().u8string();
            for (const auto& inner : std::filesystem::directory_iterator(entry.path(), failed))
                if (IsExchangeLog(inner))
                    files.push_back(
                        {inner.path(), std::string(client.begin(), client.end()), FileTime(inner.path())});
        }
    }
    std::sort(files.begin(), files.end(), [](const TLogFile& a, const TLogFile& b) {
        return a.When != b.When ? a.When < b.When : a.Path < b.Path;
    });
    if (!store.Clear(error)) {
        result.Failed = true;
        return result;
    }
    for (const TLogFile& file : files) {
        ++result.Logs;
        const std::optional<std::string> bytes = ReadFileBytes(file.Path);
        if (!bytes) {
            ++result.Skipped;
            continue;
        }
        const std::u8string path = file.Path.u8string();
        const std::optional<TVisit> visit =
            VisitFromLog({reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()}, file.Client,
                         file.When, std::string(path.begin(), path.end()));
        if (!visit) {
            ++result.Skipped;
            continue;
        }
        if (store.AddVisit(*visit, error) == 0) {
            result.Failed = true;
            return result;
        }
        ++result.Visits;
    }
    return result;
}

} // namespace velmora
