#include "log_convert/log_converter.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>

#include "lang/dictionary.h"
#include "log_convert/log_scanner.h"
#include "log_convert/log_text_writer.h"
#include "log_convert/request_index.h"
#include "log_convert/value_csv.h"
#include "params/param_list.h"
#include "platform/host.h"
#include "platform/program_folders.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

// The parameter sets one log is read with. A fixed set (ECU.ini, the OBD descriptions) serves the
// whole log; otherwise the set follows the identification blocks of the log.
class TLogParams {
public:
    explicit TLogParams(TListParams* fixed) {
        if (fixed) {
            Indexes.push_back(std::make_unique<TRequestIndex>(*fixed));
            return;
        }
        Follow = true;
        auto set = std::make_unique<TListParams>();
        set->LoadBuiltinSet(0, 0);
        Indexes.push_back(std::make_unique<TRequestIndex>(*set));
        Sets.push_back(std::move(set));
    }

    const TRequestIndex& Index() const { return *Indexes.back(); }

    // The set of the identified unit, when the log is read by identification; nullptr otherwise.
    const TRequestIndex* ForUnit(const TEcuIdent& ident) {
        if (!Follow)
            return nullptr;
        auto set = std::make_unique<TListParams>();
        set->LoadBuiltinSet(ident.UnitType, ident.VariantLetter);
        set->LoadAddressSet(ident.UnitType, ident.Supplier, ident.DiagIndex);
        // Earlier sets stay alive: the writer's texts were made from their records.
        Indexes.push_back(std::make_unique<TRequestIndex>(*set));
        Sets.push_back(std::move(set));
        return Indexes.back().get();
    }

private:
    bool Follow = false;
    std::vector<std::unique_ptr<TListParams>> Sets;
    std::vector<std::unique_ptr<TRequestIndex>> Indexes;
};

// Scanner and writer of one log, wired together.
class TLogConversion {
public:
    explicit TLogConversion(TListParams* params)
        : Params(params), Scanner(Params.Index()), Writer(Params.Index()) {
        Writer.OnIdentified = [this](const TEcuIdent& ident) {
            if (const TRequestIndex* index = Params.ForUnit(ident)) {
                Scanner.SetIndex(*index);
                Writer.SetIndex(*index);
            }
        };
    }

    size_t Scan(std::span<const uint8_t> bytes, bool final) {
        const size_t used = Scanner.Scan(bytes, final, Writer);
        if (final)
            Writer.Finish();
        return used;
    }

    TLogParams Params;
    TLogScanner Scanner;
    TLogTextWriter Writer;
};

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
        if (onlyNew && fs::exists(fs::path(log).replace_extension(".txt"), error))
            continue;
        job.Logs.push_back(log);
        const uintmax_t size = fs::file_size(log, error);
        job.TotalBytes += error ? 0 : uint64_t(size);
    }
    return job;
}

} // namespace

std::string ConvertLogBytes(std::span<const uint8_t> bytes, TListParams* params) {
    TLogConversion conversion(params);
    size_t start = 0;
    if (bytes.size() >= ObdLogMark.size() && std::equal(ObdLogMark.begin(), ObdLogMark.end(), bytes.begin(),
                                                        [](char a, uint8_t b) { return uint8_t(a) == b; }))
        start = ObdLogMark.size();
    conversion.Scan(bytes.subspan(start), true);
    return conversion.Writer.TakeText();
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
    std::unique_ptr<TListParams> obd = LoadDescriptions(obdFile);
    if (!obd)
        LogFileProblem("Файл не найден:", obdFile);
    const fs::path ecuIni = options.EcuIni.empty() ? ProgramFolder() / "ECU.ini" : options.EcuIni;
    if (!options.EcuIni.empty() && !fs::exists(ecuIni))
        LogFileProblem("Файл не найден:", ecuIni);
    std::unique_ptr<TListParams> ecu = LoadDescriptions(ecuIni);

    TConvertProgress progress{0, job.Logs.size(), 0, job.TotalBytes};
    std::vector<uint8_t> buffer(ConvertBlockSize);
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
        size_t held =
            size_t(in.read(reinterpret_cast<char*>(buffer.data()), std::streamsize(buffer.size())).gcount());
        const bool obdLog =
            held >= ObdLogMark.size() && std::equal(ObdLogMark.begin(), ObdLogMark.end(), buffer.begin(),
                                                    [](char a, uint8_t b) { return uint8_t(a) == b; });
        if (obdLog && !obd) {
            AddLog(log.filename().string() + "   " + Translate("пропущен"));
            ++result.Skipped;
            continue;
        }
        TLogConversion conversion(obdLog ? obd.get() : ecu.get());
        TValueCsv values;
        if (options.Csv) {
            if (!values.Open(csv, TValueCsv::PairColumn))
                LogFileProblem("Не удалось записать файл:", csv);
            else
                conversion.Writer.OnValue = [&values](uint64_t pair, const TECUparam& param) {
                    values.Add(pair, param);
                };
        }
        std::ofstream out(text, std::ios::binary | std::ios::trunc);
        size_t start = obdLog ? ObdLogMark.size() : 0;
        bool readFailed = false;
        for (;;) {
            const bool final = !in;
            const size_t used = conversion.Scan({buffer.data() + start, held - start}, final);
            progress.BytesDone += used;
            out << conversion.Writer.TakeText();
            if (options.OnProgress)
                options.OnProgress(progress);
            if (final)
                break;
            // The unconsumed end moves to the front; the next read fills up behind it.
            const size_t tail = held - start - used;
            std::copy_n(buffer.begin() + std::ptrdiff_t(start + used), tail, buffer.begin());
            start = 0;
            in.read(reinterpret_cast<char*>(buffer.data() + tail), std::streamsize(buffer.size() - tail));
            held = tail + size_t(in.gcount());
            if (in.bad()) {
                readFailed = true;
                break;
            }
            if (options.Cancel && options.Cancel->load()) {
                result.Cancelled = true;
                break;
            }
        }
        out.close();
        const bool csvWritten = values.IsOpen() ? values.Close() : !options.Csv;
        if (readFailed) {
            LogFileProblem("Не удалось открыть файл:", log);
            ++result.Failed;
            continue;
        }
        if (!out) {
            LogFileProblem("Не удалось записать файл:", text);
            ++result.Failed;
            continue;
        }
        result.Written.push_back(text);
        if (options.Csv && csvWritten)
            result.Written.push_back(csv);
        else if (options.Csv)
            LogFileProblem("Не удалось записать файл:", csv);
        if (result.Cancelled)
            break;
        AddLog(text.filename().string() + " OK");
    }
    AddLog(Translate("Преобразование выполнено."));
    return result;
}

} // namespace velmora
