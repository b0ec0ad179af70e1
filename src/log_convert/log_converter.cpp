#include "log_convert/log_converter.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>
#include <sstream>

#include "lang/dictionary.h"
#include "log_convert/log_conversion.h"
#include "log_convert/value_csv.h"
#include "params/param_list.h"
#include "platform/host.h"
#include "platform/program_folders.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

bool HasExtension(const fs::path& file, std::string_view extension) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext == extension;
}

void LogFileProblem(std::string_view russian, const fs::path& file) {
    AddLog(Translate(russian) + " " + file.string());
}

// The parameter set from an ini file; nullptr when it describes nothing. A description that does not
// convert is reported; the ones before it are kept.
std::unique_ptr<TListParams> LoadDescriptions(const fs::path& file) {
    auto params = std::make_unique<TListParams>();
    try {
        params->LoadIni(file);
    } catch (const std::exception& error) {
        AddLog(file.string() + ": " + error.what());
    }
    if (params->Count() == 0)
        return nullptr;
    return params;
}

struct TJob {
    std::vector<fs::path> Logs;
    uint64_t TotalBytes = 0;
};

// Whether `log` has a text that is at least as new as the log itself: a text that is missing, older
// than its log (the log grew after it) or cannot be dated makes the log new.
bool HasCurrentText(const fs::path& log) {
    std::error_code error;
    const fs::path text = fs::path(log).replace_extension(".txt");
    if (!fs::is_regular_file(text, error))
        return false;
    const fs::file_time_type textTime = fs::last_write_time(text, error);
    if (error)
        return false;
    const fs::file_time_type logTime = fs::last_write_time(log, error);
    return !error && textTime >= logTime;
}

// The logs to convert: `path` itself, or the *.bin files of the folder (sorted by name).
TJob FindLogs(const fs::path& path, bool onlyNew, bool& isFolder) {
    TJob job;
    std::error_code error;
    isFolder = fs::is_directory(path, error);
    std::vector<fs::path> candidates;
    if (isFolder) {
        for (const fs::directory_entry& entry : fs::directory_iterator(path, error))
            if (HasExtension(entry.path(), ".bin"))
                candidates.push_back(entry.path());
        std::sort(candidates.begin(), candidates.end());
    } else {
        candidates.push_back(path);
    }
    for (const fs::path& log : candidates) {
        if (onlyNew && HasCurrentText(log))
            continue;
        job.Logs.push_back(log);
        const uintmax_t size = fs::file_size(log, error);
        job.TotalBytes += error ? 0 : uint64_t(size);
    }
    return job;
}

enum class TFileState { Readable, Missing, Unreadable };

// Whether a description file can be read: missing, or there but not readable (a folder, no right).
TFileState StateOf(const fs::path& file) {
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found)
        return TFileState::Missing;
    if (error || status.type() == fs::file_type::directory)
        return TFileState::Unreadable;
    std::ifstream probe(file, std::ios::binary);
    return probe ? TFileState::Readable : TFileState::Unreadable;
}

// The name a text is written under until it is complete: beside it, so that the rename stays on its
// file system.
fs::path PartName(const fs::path& file) {
    return fs::path(file).concat(".part");
}

// Opens `part` as a new file: whatever is there under that name (a leftover, a symbolic link) is
// removed first, never followed.
bool OpenNew(std::ofstream& out, const fs::path& part) {
    std::error_code error;
    fs::remove(part, error);
    if (fs::exists(fs::symlink_status(part, error)))
        return false;
    out.open(part, std::ios::binary | std::ios::trunc);
    return out.is_open();
}

// Puts a complete `part` in place of `file`; a symbolic link named like `file` is replaced, not
// followed.
bool Complete(const fs::path& part, const fs::path& file) {
    std::error_code error;
    fs::rename(part, file, error);
    if (error)
        fs::remove(part, error);
    return !error;
}

enum class TStreamEnd { Done, ReadFailed, Cancelled };

// Reads `in` in blocks of `blockSize` bytes through the conversion, the unconsumed end of each block
// carried over to the front of the next, and hands the text to `write`. `onBlock` gets the bytes used.
TStreamEnd ConvertStream(std::istream& in, const std::function<void(const std::string&)>& write,
                         TLogConversion& conversion, size_t blockSize,
                         const std::function<void(size_t)>& onBlock, const std::atomic<bool>* cancel) {
    std::vector<uint8_t> buffer(blockSize);
    size_t held = 0;
    for (;;) {
        in.read(reinterpret_cast<char*>(buffer.data() + held), std::streamsize(buffer.size() - held));
        held += size_t(in.gcount());
        if (in.bad())
            return TStreamEnd::ReadFailed;
        const bool final = !in;
        const size_t used = conversion.Scan({buffer.data(), held}, final);
        write(conversion.Writer.Text());
        conversion.Writer.ClearText();
        if (onBlock)
            onBlock(used);
        if (final)
            return TStreamEnd::Done;
        if (cancel && cancel->load())
            return TStreamEnd::Cancelled;
        std::copy(buffer.begin() + std::ptrdiff_t(used), buffer.begin() + std::ptrdiff_t(held),
                  buffer.begin());
        held -= used;
        // A block too small for the scanner's look-ahead (a text line) grows rather than stalls.
        if (held == buffer.size())
            buffer.resize(buffer.size() * 2);
    }
}

// Whether the stream begins with the OBD mark; the stream is left after the mark, or at its start.
bool SkipObdMark(std::istream& in) {
    std::string head(ObdLogMark.size(), '\0');
    in.read(head.data(), std::streamsize(head.size()));
    if (in.gcount() == std::streamsize(head.size()) && head == ObdLogMark)
        return true;
    in.clear();
    in.seekg(0);
    return false;
}

} // namespace

void ConvertLogBytes(std::span<const uint8_t> bytes, TListParams* params,
                     const std::function<void(const std::string&)>& write, size_t blockSize) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    TLogConversion conversion(params);
    conversion.Writer.HighByteFirst = SkipObdMark(in);
    ConvertStream(in, write, conversion, blockSize, nullptr, nullptr);
}

std::string ConvertLogBytes(std::span<const uint8_t> bytes, TListParams* params, size_t blockSize) {
    std::string text;
    ConvertLogBytes(
        bytes, params, [&text](const std::string& block) { text += block; }, blockSize);
    return text;
}

TConvertResult ConvertLogs(const fs::path& path, const TConvertOptions& options) {
    TConvertResult result;
    bool isFolder = false;
    const TJob job = FindLogs(path, options.OnlyNew, isFolder);
    if (isFolder) {
        AddLog("");
        AddLog(Translate("Запущено преобразование лог файлов в текст."));
    }
    if (job.Logs.empty()) {
        AddLog(Translate("Файлы для преобразования не обнаружены."));
        return result;
    }

    const fs::path obdFile = ProgramFolder() / "DATA" / "hfmobd.ini";
    std::unique_ptr<TListParams> obd;
    switch (StateOf(obdFile)) {
    case TFileState::Readable:
        obd = LoadDescriptions(obdFile);
        if (!obd)
            LogFileProblem("Файл не найден:", obdFile); // it describes nothing
        break;
    case TFileState::Missing:
        LogFileProblem("Файл не найден:", obdFile);
        break;
    case TFileState::Unreadable:
        LogFileProblem("Не удалось прочитать файл:", obdFile);
        break;
    }
    const fs::path ecuIni = options.EcuIni.empty() ? ProgramFolder() / "ECU.ini" : options.EcuIni;
    if (!options.EcuIni.empty()) {
        // A file the user named must be read: no conversion with another set than the one asked for.
        if (const TFileState state = StateOf(ecuIni); state != TFileState::Readable) {
            LogFileProblem(state == TFileState::Missing ? "Файл не найден:" : "Не удалось прочитать файл:",
                           ecuIni);
            result.Failed = int(job.Logs.size());
            return result;
        }
    }
    std::unique_ptr<TListParams> ecu = LoadDescriptions(ecuIni);

    TConvertProgress progress{0, job.Logs.size(), 0, job.TotalBytes};
    for (size_t n = 0; n < job.Logs.size(); ++n) {
        const fs::path& log = job.Logs[n];
        progress.FileIndex = n;
        if (options.Cancel && options.Cancel->load()) {
            result.Cancelled = true;
            break;
        }
        const fs::path text = fs::path(log).replace_extension(".txt");
        const fs::path csv = fs::path(log).replace_extension(".csv");
        if (text == log || csv == log) {
            LogFileProblem("Не является лог файлом:", log);
            ++result.Failed;
            continue;
        }
        std::ifstream in(log, std::ios::binary);
        std::error_code error;
        if (!in || fs::is_directory(log, error)) {
            LogFileProblem("Не удалось открыть файл:", log);
            ++result.Failed;
            continue;
        }
        const bool obdLog = SkipObdMark(in);
        if (obdLog && !obd) {
            AddLog(log.filename().string() + "   " + Translate("пропущен"));
            ++result.Skipped;
            continue;
        }
        TLogConversion conversion(obdLog ? obd.get() : ecu.get());
        conversion.Writer.HighByteFirst = obdLog;
        // Text and CSV are written under a name of their own and take their names only when complete:
        // an interrupted conversion, a full disk or a cancel leave no file that passes for a conversion.
        const fs::path textPart = PartName(text), csvPart = PartName(csv);
        TValueCsv values;
        bool csvOpen = false;
        if (options.Csv) {
            std::ofstream probe;
            csvOpen = OpenNew(probe, csvPart);
            probe.close();
            csvOpen = csvOpen && values.Open(csvPart, TValueCsv::PairColumn);
            if (!csvOpen)
                LogFileProblem("Не удалось записать файл:", csv);
            else
                conversion.Writer.OnValue = [&values](uint64_t pair, const TECUparam& param) {
                    values.Add(pair, param);
                };
        }
        std::ofstream out;
        if (!OpenNew(out, textPart)) {
            values.Close();
            fs::remove(csvPart, error);
            LogFileProblem("Не удалось записать файл:", text);
            ++result.Failed;
            continue;
        }
        const TStreamEnd end = ConvertStream(
            in, [&out](const std::string& block) { out.write(block.data(), std::streamsize(block.size())); },
            conversion, ConvertBlockSize,
            [&](size_t used) {
                progress.BytesDone += used;
                if (options.OnProgress)
                    options.OnProgress(progress);
            },
            options.Cancel);
        out.close();
        const bool csvWritten = csvOpen && values.Close();
        if (end != TStreamEnd::Done || !out) {
            fs::remove(textPart, error);
            fs::remove(csvPart, error);
            if (end == TStreamEnd::Cancelled) {
                result.Cancelled = true;
                break;
            }
            LogFileProblem(end == TStreamEnd::ReadFailed ? "Не удалось прочитать файл:"
                                                         : "Не удалось записать файл:",
                           end == TStreamEnd::ReadFailed ? log : text);
            ++result.Failed;
            continue;
        }
        if (!Complete(textPart, text)) {
            fs::remove(csvPart, error);
            LogFileProblem("Не удалось записать файл:", text);
            ++result.Failed;
            continue;
        }
        result.Written.push_back(text);
        if (csvWritten && Complete(csvPart, csv)) {
            result.Written.push_back(csv);
        } else if (options.Csv) {
            fs::remove(csvPart, error);
            if (csvOpen)
                LogFileProblem("Не удалось записать файл:", csv);
        }
        AddLog(text.filename().string() + " OK");
    }
    AddLog(Translate(result.Cancelled ? "Преобразование прервано." : "Преобразование выполнено."));
    return result;
}

} // namespace velmora
