#include "recording/recording.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <unordered_set>

#include "engine_link/pair_times.h"
#include "lang/dictionary.h"
#include "log_convert/log_conversion.h"
#include "log_convert/log_converter.h"
#include "params/ecu_param.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/program_folders.h"
#include "platform/text_encoding.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

constexpr const char* LogsFolder = "LOGS";
// The ELM327 link leaves its text trace beside the log; its pairs come slower than a cable's.
constexpr const char* ElmTraceSuffix = "_elm.txt";

// A parameter set from an ini file; nullptr when it cannot be read or describes nothing.
std::unique_ptr<TListParams> LoadDescriptions(const fs::path& file) {
    auto params = std::make_unique<TListParams>();
    try {
        params->LoadIni(file);
    } catch (const std::exception&) {
        // The descriptions before the faulty one are kept, as the conversion keeps them.
    }
    if (params->Count() == 0)
        return nullptr;
    return params;
}

fs::path WithSuffix(const fs::path& bin, std::string_view suffix) {
    fs::path file = bin;
    file.replace_extension();
    file += std::string(suffix);
    return file;
}

bool IsFaultPair(uint8_t cmd, uint8_t unitType) {
    if (cmd == FaultCommandBitmap)
        return unitType != UnitLh;
    if (cmd == FaultCommandLh)
        return unitType == UnitLh || unitType == UnitUnknown;
    return false;
}

} // namespace

TRecording::TRecording() = default;
TRecording::~TRecording() = default;

void TRecording::Clear() {
    LoadError.clear();
    ClientName.clear();
    HasIdent = false;
    UnitIdent = {};
    StartWall = 0;
    WallFromTimes = false;
    MeasuredCount = 0;
    PollingBegan = -1;
    Problem.clear();
    Timeline.clear();
    Faults.clear();
    RecordCount = 0;
    Conversion.reset();
    FixedSet.reset();
}

bool TRecording::Load(const fs::path& bin, const TRecordingOptions& options) {
    Clear();
    BinFile = bin;
    std::error_code error;
    const std::optional<std::string> bytes = fs::is_directory(bin, error) ? std::nullopt : ReadFileBytes(bin);
    if (!bytes) {
        LoadError = Translate("Не удалось открыть файл:") + " " + bin.string();
        return false;
    }
    const std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
    if (bytes->starts_with(ObdLogMark)) {
        LoadError =
            Translate("Не является лог файлом:") + " " + bin.string(); // an OBD recording, not of this link
        return false;
    }

    // The parameter set the conversion would take.
    if (!options.EcuIni.empty()) {
        FixedSet = LoadDescriptions(options.EcuIni);
        if (!FixedSet) {
            LoadError = Translate("Не удалось прочитать файл:") + " " + options.EcuIni.string();
            return false;
        }
    } else if (const fs::path ecuIni = ProgramFolder() / "ECU.ini"; fs::is_regular_file(ecuIni, error)) {
        FixedSet = LoadDescriptions(ecuIni);
    }
    Conversion = std::make_unique<TLogConversion>(FixedSet.get());
    // Most pairs take four bytes: the timeline is allocated once rather than doubled along the log.
    Timeline.reserve(bytes->size() / 4 + 1);
    Conversion->AfterIdentified = [this](const TEcuIdent& ident) {
        if (!HasIdent) {
            HasIdent = true;
            UnitIdent = ident;
        }
    };
    Conversion->BeforeRecord = [this](const TLogRecord& record) {
        if (record.Kind != TLogRecord::TKind::Pair)
            return;
        TRecordedPair pair;
        pair.Cmd = record.Cmd;
        pair.Param = record.Param;
        pair.Value = record.Value;
        pair.CmdInLog = record.CmdInLog;
        pair.Offset = record.Offset;
        pair.IsFault = IsFaultPair(record.Cmd, UnitIdent.UnitType);
        Timeline.push_back(pair);
    };
    Conversion->Writer.OnValueBytes = [this](const TECUparam& param, const std::array<uint8_t, 4>& value,
                                             int size) {
        TRecordedPair& pair = Timeline.back();
        pair.IsFault = false;
        pair.Record = const_cast<TECUparam*>(&param); // owned by the recording's sets
        pair.ValueBytes = value;
        pair.ValueSize = uint8_t(size);
    };
    // In blocks, as the conversion reads a file, so that its text never grows beyond a block's.
    size_t at = 0, block = ConvertBlockSize;
    for (;;) {
        const size_t length = std::min(block, data.size() - at);
        const bool final = at + length == data.size();
        const size_t used = Conversion->Scan(data.subspan(at, length), final);
        Conversion->Writer.ClearText();
        if (final)
            break;
        at += used;
        block = used == 0 ? block * 2 : ConvertBlockSize;
    }
    if (Timeline.empty()) {
        LoadError = Translate("В логе нет пар запросов:") + " " + bin.string();
        return false;
    }

    const fs::path timesFile = WithSuffix(bin, PairTimesExtension);
    const std::optional<std::string> times =
        fs::is_regular_file(timesFile, error) ? ReadFileBytes(timesFile) : std::nullopt;
    const double pairMs =
        fs::exists(WithSuffix(bin, ElmTraceSuffix), error) ? NominalElmPairMs : NominalCablePairMs;
    AssignTimes(data,
                times
                    ? std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(times->data()), times->size())
                    : std::span<const uint8_t>(),
                times.has_value(), pairMs);
    CollectFaultReads();

    std::unordered_set<const TECUparam*> records;
    for (const TRecordedPair& pair : Timeline)
        if (pair.Record)
            records.insert(pair.Record);
    RecordCount = records.size();

    const fs::path folder = bin.parent_path();
    if (folder.has_parent_path() && folder.parent_path().filename() == LogsFolder)
        ClientName = folder.filename().string();
    if (!WallFromTimes) {
        const fs::file_time_type changed = fs::last_write_time(bin, error);
        if (!error) {
            // The file clock's age of the change, taken from the system clock's now.
            const auto age = fs::file_time_type::clock::now() - changed;
            const auto system = std::chrono::system_clock::now() -
                                std::chrono::duration_cast<std::chrono::system_clock::duration>(age);
            StartWall =
                std::chrono::duration_cast<std::chrono::milliseconds>(system.time_since_epoch()).count() -
                int64_t(DurationMs());
        }
    }
    return true;
}

void TRecording::AssignTimes(std::span<const uint8_t> bin, std::span<const uint8_t> times, bool haveTimes,
                             double pairMs) {
    TPairTimesRead read;
    if (haveTimes)
        read = ReadPairTimes(times, bin);
    else
        read.Problem = PairTimesProblemMissing;
    Problem = read.Problem;
    if (!read.Sessions.empty()) {
        StartWall = read.Sessions.front().WallMs;
        WallFromTimes = true;
        PollingBegan = read.Sessions.front().PollingBeganMs; // the first session's clock is the recording's
    }
    // Each session counts from its own start; a later session (another connection appended to the same
    // log) starts at its distance from the first by the wall clock, never before the pairs of the last.
    size_t chunk = 0, session = 0;
    uint64_t chunkEnd = read.Chunks.empty() ? 0 : read.Chunks.front().Length;
    int64_t sessionBase = 0, last = 0;
    bool measuring = true;
    size_t estimated = 0;
    int64_t estimatedFrom = 0;
    for (TRecordedPair& pair : Timeline) {
        int64_t time = 0;
        measuring = measuring && pair.Offset < read.CoveredBytes;
        if (measuring) {
            while (pair.Offset >= chunkEnd && chunk + 1 < read.Chunks.size())
                chunkEnd += read.Chunks[++chunk].Length;
            while (session + 1 < read.Sessions.size() && read.Sessions[session + 1].FirstChunk <= chunk) {
                ++session;
                const int64_t apart = read.Sessions[session].WallMs - read.Sessions.front().WallMs;
                sessionBase = apart > last ? apart : last;
            }
            time = sessionBase + read.Chunks[chunk].Ms;
            ++MeasuredCount;
        } else {
            // Pairs without a measured time follow at the nominal rate: the first at 0 (no times at all),
            // or one pair's time after the last measured one.
            if (estimated == 0)
                estimatedFrom = MeasuredCount == 0 ? -int64_t(std::llround(pairMs)) : last;
            ++estimated;
            time = estimatedFrom + std::llround(double(estimated) * pairMs);
        }
        last = std::max(last, time);
        pair.TimeMs = uint32_t(std::clamp<int64_t>(last, 0, UINT32_MAX));
    }
}

void TRecording::CollectFaultReads() {
    const TFaultReadRule rule{UnitIdent.UnitType == UnitLh, UnitIdent.HasPmsFaultMap()};
    TRecordedFaultRead current;
    bool open = false;
    auto close = [&] {
        if (open)
            Faults.push_back(current);
        open = false;
    };
    for (size_t i = 0; i < Timeline.size(); ++i) {
        const TRecordedPair& pair = Timeline[i];
        if (!pair.IsFault)
            continue;
        const bool lh = pair.Cmd == FaultCommandLh;
        const TFaultReadRule pairRule{lh, !lh && rule.PmsLayout};
        // A read begins at its first address: one that comes again starts the next read.
        if (open && (current.Lh != lh || pair.Param == FaultReadAddress(0, pairRule)))
            close();
        if (!open) {
            current = {};
            current.Lh = lh;
            current.StartMs = pair.TimeMs;
            current.FirstPair = i;
            open = true;
        }
        if (pair.Param < FaultBufSize)
            current.Buffer[pair.Param] = pair.Value;
        current.EndMs = pair.TimeMs;
        current.LastPair = i;
        if (FaultIndexAfterRead(pair.Param, pairRule, false).Complete) {
            current.Complete = true;
            close();
        }
    }
    close();
}

std::string TRecording::TimesText() const {
    if (!TimesEstimated())
        return {};
    const std::string why = Problem.empty() ? std::string() : " (" + Translate(Problem) + ")";
    if (MeasuredCount == 0)
        return Translate("Время пар оценено по номинальной скорости линии") + why;
    return Translate("Время части пар оценено по номинальной скорости линии") + why;
}

size_t TRecording::FirstPairAfter(uint32_t ms) const {
    const auto it = std::upper_bound(Timeline.begin(), Timeline.end(), ms,
                                     [](uint32_t t, const TRecordedPair& pair) { return t < pair.TimeMs; });
    return size_t(it - Timeline.begin());
}

std::vector<const TRecordedPair*> TRecording::LastValuesAt(uint32_t ms) const {
    std::vector<const TRecordedPair*> values;
    std::unordered_set<const TECUparam*> seen;
    for (size_t i = FirstPairAfter(ms); i > 0 && seen.size() < RecordCount; --i) {
        const TRecordedPair& pair = Timeline[i - 1];
        if (pair.Record && seen.insert(pair.Record).second)
            values.push_back(&pair);
    }
    std::reverse(values.begin(), values.end());
    return values;
}

const TRecordedFaultRead* TRecording::LastFaultReadAt(uint32_t ms) const {
    const TRecordedFaultRead* found = nullptr;
    for (const TRecordedFaultRead& read : Faults) {
        if (read.EndMs > ms)
            break;
        found = &read;
    }
    return found;
}

bool TRecording::ApplyValue(const TRecordedPair& pair) {
    if (!pair.Record || pair.ValueSize == 0)
        return false;
    pair.Record->SetData(pair.ValueBytes[0], pair.ValueBytes[1], pair.ValueBytes[2], pair.ValueBytes[3]);
    return true;
}

} // namespace velmora
