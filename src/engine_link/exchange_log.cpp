#include "engine_link/exchange_log.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "platform/file_replace.h"
#include "platform/host.h"
#include "platform/text_encoding.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

constexpr const char* LogsFolder = "LOGS";
constexpr const char* ClientsFolder = "CLIENTS";
constexpr const char* EcuBinName = "ECU.bin";
// WM_USER+17 carries this when a new exchange-log name was chosen.
constexpr intptr_t NewLogNameNotice = 240;
constexpr size_t MaxLogNameLength = 200;

struct TLogPrefix {
    uint8_t UnitType; // 0: any family, decided by the supplier
    uint8_t Supplier; // 0: any supplier
    const char* Prefix;
};

// First matching row wins; LH and EZ units are named by family, the others by supplier.
constexpr TLogPrefix LogPrefixes[] = {
    {UnitLh, 0, "LH"},     {UnitEz, 0, "EZ"},         {0, SupplierBosch, "B"},
    {0, SupplierVdo, "V"}, {0, SupplierSiemens, "S"}, {0, 0, "U"},
};

const char* LogPrefix(uint8_t unitType, uint8_t supplier) {
    for (const TLogPrefix& row : LogPrefixes) {
        if ((row.UnitType == 0 || row.UnitType == unitType) &&
            (row.Supplier == 0 || row.Supplier == supplier))
            return row.Prefix;
    }
    return "U";
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(Utf8Path(path), ignored);
}

// Creates `path` only when it does not exist yet: the name is then this log's alone.
bool CreateExclusively(const std::string& path) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (file < 0)
        return false;
    ::close(file);
    return true;
}

// Appends `data` to the open `file`; the count of bytes that reached it.
size_t WriteAll(int file, std::string_view data) {
    size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(file, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += size_t(n);
    }
    return written;
}

// B52001.bin -> B52001.times
std::string TimesPathOf(std::string_view binPath) {
    std::string path(binPath);
    if (path.ends_with(".bin"))
        path.resize(path.size() - 4);
    return path + PairTimesExtension;
}

// B52001.bin -> B52001_elm.txt (B52001_line.txt on a cable)
std::string TraceName(std::string_view logName, std::string_view suffix) {
    std::string stem(logName);
    if (stem.ends_with(".bin"))
        stem.resize(stem.size() - 4);
    return stem + std::string(suffix);
}

} // namespace

TExchangeLog::TExchangeLog() : Name(TempLogName) {
    Buffer.reserve(BufferSize);
    StartTimesSession();
}

TExchangeLog::~TExchangeLog() {
    std::lock_guard guard(Lock);
    FlushLocked();
}

void TExchangeLog::EnableLog() {
    std::lock_guard guard(Lock);
    FlushLocked();
    Buffer.clear();
    Trace.clear();
    Failed = false;
    Paused = false;
    if (Name.empty())
        Name = TempLogName;
    StartTimesSession();
}

void TExchangeLog::StartTimesSession() {
    Times = {};
    Times.StartTick = Clock().TickCount();
    Times.WallMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
}

void TExchangeLog::ClearLogName() {
    std::lock_guard guard(Lock);
    FlushLocked(); // bytes still buffered belong to the log of the old name
    Name.clear();
}

void TExchangeLog::SetAutoFlush(bool on) {
    std::lock_guard guard(Lock);
    AutoFlush = on;
}

void TExchangeLog::SetClient(std::string_view client) {
    std::lock_guard guard(Lock);
    Client = client;
}

std::string TExchangeLog::NewLogName(uint8_t unitType, uint8_t supplier, uint8_t diagIndex) {
    std::string chosen;
    {
        std::lock_guard guard(Lock);
        WriteTimesLocked(); // pairs already in the old file get their times there
        const char* prefix = LogPrefix(unitType, supplier);
        for (int n = 1;; ++n) {
            chosen = FormatText("%s%d%.3d.bin", prefix, int(diagIndex), n);
            const std::string path = LogPathLocked(chosen, true);
            // Taken by another session meanwhile: the next number. A folder that refuses the file keeps
            // the first free name; the flush reports it.
            if (CreateExclusively(path) || !FileExists(path))
                break;
        }
        Name = chosen.substr(0, MaxLogNameLength);
    }
    Host().PostMessage(WM_USER + 17, NewLogNameNotice, 0);
    return chosen;
}

void TExchangeLog::AppendReceived(std::span<const uint8_t> bytes) {
    std::lock_guard guard(Lock);
    AppendLocked(bytes);
}

void TExchangeLog::AppendPair(uint8_t cmd, uint8_t notCmd, uint8_t param, uint8_t value) {
    uint8_t pair[4];
    size_t count = 0;
    if (cmd != 0 && notCmd < 0xFF) {
        pair[count++] = cmd;
        pair[count++] = notCmd;
    }
    pair[count++] = param;
    pair[count++] = value;
    std::lock_guard guard(Lock);
    AppendLocked(std::span<const uint8_t>(pair, count));
}

void TExchangeLog::AppendText(std::string_view line) {
    std::lock_guard guard(Lock);
    // Only the trace goes out here, so the bytes before the unit is named stay for the named log.
    if (!Paused && Trace.size() + line.size() + 2 > TraceBufferSize)
        WriteOut(LogPathLocked(TraceName(Name.empty() ? TempLogName : Name, TraceSuffix), true), Trace);
    if (Trace.size() + line.size() + 2 > TraceBufferSize) {
        Failed = true; // the trace file refuses its lines: newer ones are dropped
        return;
    }
    Trace.append(line);
    Trace += "\r\n";
}

bool TExchangeLog::FlushLog() {
    std::lock_guard guard(Lock);
    return FlushLocked();
}

bool TExchangeLog::SaveEcuBin() {
    std::lock_guard guard(Lock);
    FlushLocked();
    const fs::path source = Utf8Path(LogPathLocked(Name, false));
    if (!FileExists(source.string())) {
        AddLog(Translate("Файл не найден:") + " " + source.string());
        return false;
    }
    std::vector<fs::path> targets = {Utf8Path(BuildPath(EcuBinName, LogsFolder, Client, false))};
    if (!Client.empty())
        targets.push_back(Utf8Path(BuildPath(EcuBinName, ClientsFolder, Client, false)));
    // Replaced whole, through a copy renamed over it: std::filesystem::copy_file cannot overwrite on
    // Windows (the C runtime gives every file inode 0, so the target looks like the source itself).
    const std::optional<std::string> bytes = ReadFileBytes(source);
    // The times go with the copy (ECU.times), so that ECU.bin replays as its log does; a copy without
    // times leaves none of an older log beside it.
    const std::optional<std::string> times = ReadFileBytes(Utf8Path(TimesPathOf(source.string())));
    bool allCopied = true;
    for (const fs::path& target : targets) {
        if (!bytes || !ReplaceFileContents(target, *bytes)) {
            LogT("Не могу записать файл %s", target.string().c_str());
            allCopied = false;
            continue;
        }
        const fs::path targetTimes = Utf8Path(TimesPathOf(target.string()));
        std::error_code ignored;
        if (!times) {
            fs::remove(targetTimes, ignored);
        } else if (!ReplaceFileContents(targetTimes, *times)) {
            LogT("Не могу записать файл %s", targetTimes.string().c_str());
            allCopied = false;
        }
    }
    return allCopied;
}

std::string TExchangeLog::LogName() const {
    std::lock_guard guard(Lock);
    return Name;
}

std::string TExchangeLog::LogPath() const {
    std::lock_guard guard(Lock);
    return LogPathLocked(Name, false);
}

std::string TExchangeLog::TracePath() const {
    std::lock_guard guard(Lock);
    return LogPathLocked(TraceName(Name.empty() ? TempLogName : Name, TraceSuffix), false);
}

void TExchangeLog::SetLineTrace(bool line) {
    std::lock_guard guard(Lock);
    TraceSuffix = line ? "_line.txt" : "_elm.txt";
}

bool TExchangeLog::WriteFailed() const {
    std::lock_guard guard(Lock);
    return Failed;
}

uint32_t TExchangeLog::SessionStartTick() const {
    std::lock_guard guard(Lock);
    return Times.StartTick;
}

std::string TExchangeLog::TimesPath() const {
    std::lock_guard guard(Lock);
    return TimesPathOf(LogPathLocked(Name.empty() ? TempLogName : Name, false));
}

void TExchangeLog::AppendLocked(std::span<const uint8_t> bytes) {
    // After a failed write the file is not tried again for every append (a full disk would see
    // thousands of opens): the buffer keeps what it holds and newer bytes are dropped until FlushLog.
    if (!Buffer.empty() && Buffer.size() + bytes.size() > BufferSize && !Paused)
        FlushLocked();
    if (Buffer.size() + bytes.size() > BufferSize && !Buffer.empty()) {
        Failed = true;
        return;
    }
    Buffer.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!Times.Lost && !bytes.empty())
        Times.Buffered.push_back({TicksSince(Times.StartTick, Clock().TickCount()), uint32_t(bytes.size())});
    if (AutoFlush && !Paused)
        FlushLocked(false);
}

bool TExchangeLog::WriteOut(const std::string& path, std::string& data) {
    // Unbuffered writes, so that `written` is exactly what reached the file and a retry neither loses
    // nor repeats a byte.
    size_t written = 0;
    const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (file >= 0) {
        written = WriteAll(file, data);
        ::close(file);
    }
    data.erase(0, written);
    return data.empty() || WriteFailedAt(path);
}

bool TExchangeLog::WriteFailedAt(const std::string& path) {
    if (!Failed)
        LogT("Не могу записать файл %s", path.c_str());
    Failed = true;
    Paused = true;
    return false;
}

bool TExchangeLog::FlushLocked(bool times) {
    const std::string name = Name.empty() ? TempLogName : Name;
    bool ok = true;
    if (!Buffer.empty())
        ok = WriteLogOut(LogPathLocked(name, true));
    if (times || Times.Written.size() >= AutoFlushTimesPairs)
        WriteTimesLocked();
    if (!Trace.empty())
        ok = WriteOut(LogPathLocked(TraceName(name, TraceSuffix), true), Trace) && ok;
    if (ok)
        Paused = false;
    return ok;
}

bool TExchangeLog::WriteLogOut(const std::string& path) {
    uint64_t offset = 0;
    size_t written = 0;
    const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (file >= 0) {
        struct stat status {};
        offset = ::fstat(file, &status) == 0 ? uint64_t(status.st_size) : 0;
        written = WriteAll(file, Buffer);
        ::close(file);
    }
    if (!Times.Lost) {
        if (written != Buffer.size() || Times.Buffered.empty()) {
            // Part of the pairs reached the file (or bytes came from elsewhere): from here on the times
            // could not say which pair is which. What is written already keeps its times.
            WriteTimesLocked();
            Times.Lost = true;
            Times.Buffered.clear();
        } else {
            if (!Times.Written.empty() &&
                (Times.WrittenPath != path || Times.WrittenOffset + Times.WrittenBytes != offset))
                WriteTimesLocked(); // another file, or the file grew meanwhile: a block of its own
            if (Times.Written.empty()) {
                Times.WrittenPath = path;
                Times.WrittenOffset = offset;
                Times.WrittenCrc = 0;
            }
            Times.WrittenCrc =
                Crc32({reinterpret_cast<const uint8_t*>(Buffer.data()), written}, Times.WrittenCrc);
            Times.WrittenBytes += written;
            Times.Written.insert(Times.Written.end(), Times.Buffered.begin(), Times.Buffered.end());
            Times.Buffered.clear();
        }
    }
    Buffer.erase(0, written);
    return Buffer.empty() || WriteFailedAt(path);
}

void TExchangeLog::MarkPollingBegan() {
    std::lock_guard guard(Lock);
    if (!Times.Lost)
        Times.Marks.push_back(TicksSince(Times.StartTick, Clock().TickCount()));
}

void TExchangeLog::WriteTimesLocked() {
    if (Times.Written.empty()) {
        // A mark with no pair after it goes into the file of the session's pairs, when there is one.
        if (Times.Marks.empty() || Times.SessionPath.empty() || Times.Lost)
            return;
        std::string out;
        for (uint32_t ms : Times.Marks)
            out += PairTimesMarkRecord(TPairTimesMark::PollingBegan, ms);
        Times.Marks.clear();
        const std::string path = TimesPathOf(Times.SessionPath);
        const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        const bool ok = file >= 0 && WriteAll(file, out) == out.size();
        if (file >= 0)
            ::close(file);
        if (!ok) {
            Times.Lost = true;
            if (!Failed)
                LogT("Не могу записать файл %s", path.c_str());
            Failed = true;
        }
        return;
    }
    const std::string path = TimesPathOf(Times.WrittenPath);
    std::string out;
    // A new .bin gets a new times file (one left by a deleted log of that name is replaced); a session
    // that goes on in a log of earlier sessions adds its own start.
    const bool fresh = Times.WrittenOffset == 0 && Times.SessionPath != Times.WrittenPath;
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (fresh ? O_TRUNC : O_APPEND);
    const int file = ::open(path.c_str(), flags, 0644);
    bool ok = file >= 0;
    if (ok) {
        struct stat status {};
        if (fresh || (::fstat(file, &status) == 0 && status.st_size == 0))
            out = PairTimesHeader();
        if (Times.SessionPath != Times.WrittenPath)
            out += PairTimesSession(Times.WrittenOffset, Times.WallMs);
        for (uint32_t ms : Times.Marks)
            out += PairTimesMarkRecord(TPairTimesMark::PollingBegan, ms);
        Times.Marks.clear();
        out += PairTimesBlock(Times.WrittenOffset, Times.WrittenBytes, Times.WrittenCrc, Times.Written);
        ok = WriteAll(file, out) == out.size();
        ::close(file);
    }
    Times.Written.clear();
    Times.WrittenBytes = 0;
    Times.WrittenCrc = 0;
    if (ok) {
        Times.SessionPath = Times.WrittenPath;
        return;
    }
    // The log goes on without times; the reader finds the gap and estimates the rest.
    Times.Lost = true;
    Times.Buffered.clear();
    if (!Failed)
        LogT("Не могу записать файл %s", path.c_str());
    Failed = true;
}

std::string TExchangeLog::LogPathLocked(std::string_view name, bool createFolder) const {
    return BuildPath(name, LogsFolder, Client, createFolder);
}

} // namespace velmora
