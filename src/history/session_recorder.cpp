#include "history/session_recorder.h"

#include "faults/fault_display.h"
#include "faults/fault_list.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/host.h"
#include "platform/program_folders.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

// "7 (стерта), 14" for the log line about the last visit.
std::string FaultSummary(const TVisit& visit) {
    if (visit.Faults.empty())
        return Translate("ошибок не было");
    std::string text;
    for (const TVisitFault& fault : visit.Faults) {
        if (!text.empty())
            text += ", ";
        text += fault.Unknown ? "?" + std::to_string(fault.Code) : FormatText("%.3d", fault.Code);
        if (fault.Erased)
            text += " (" + Translate("стерта") + ")";
    }
    return text;
}

std::string Unavailable(const THistoryStore& store, const std::string& error) {
    return TranslateFormat("История визитов недоступна (%s): %s", store.Where().c_str(), error.c_str());
}

} // namespace

THistoryRecorder::THistoryRecorder(std::unique_ptr<THistoryStore> store, std::filesystem::path queueFile)
    : Store(std::move(store)), Queue(std::move(queueFile)) {}

THistoryRecorder::~THistoryRecorder() {
    WaitLoaded();
}

void THistoryRecorder::WaitLoaded() const {
    std::shared_future<void> loaded;
    {
        std::lock_guard lock(Lock);
        loaded = Loaded;
    }
    if (loaded.valid())
        loaded.wait();
}

void THistoryRecorder::FlushLines() {
    std::vector<std::string> lines;
    {
        std::lock_guard lock(Lock);
        lines.swap(PendingLines);
    }
    for (const std::string& line : lines)
        AddLog(line);
}

void THistoryRecorder::OpenStore(std::vector<std::string>& lines) {
    if (StoreOpen || !Store)
        return;
    std::string error;
    StoreOpen = Store->Open(error);
    if (!StoreOpen) {
        lines.push_back(Unavailable(*Store, error));
        return;
    }
    const int flushed = Queue.Flush(*Store, error);
    if (flushed > 0)
        lines.push_back(TranslateFormat("Отложенные записи внесены в историю: %d", flushed));
    if (!error.empty())
        lines.push_back(Unavailable(*Store, error));
}

void THistoryRecorder::Load(std::string car) {
    std::vector<std::string> lines;
    std::vector<TVisit> earlier;
    bool known = false;
    {
        std::lock_guard store(StoreLock);
        OpenStore(lines);
        if (StoreOpen) {
            std::string error;
            earlier = Store->Visits({car, {}}, error);
            known = error.empty();
            if (!known) {
                lines.push_back(Unavailable(*Store, error));
                StoreOpen = false;
            }
        }
    }
    if (known && earlier.empty())
        lines.push_back(TranslateFormat("Автомобиль %s в истории ещё не встречался", car.c_str()));
    else if (known)
        lines.push_back(TranslateFormat("Автомобиль %s был в последний раз %s, ошибки: %s", car.c_str(),
                                        earlier.back().When.c_str(), FaultSummary(earlier.back()).c_str()));
    std::lock_guard lock(Lock);
    Earlier = std::move(earlier);
    PendingLines.insert(PendingLines.end(), lines.begin(), lines.end());
}

void THistoryRecorder::SessionStarted(const TEcuIdent& ident, std::string_view client, std::string_view port,
                                      std::string_view logPath) {
    if (!Store)
        return;
    // A load of the last connection still running is finished first (it is quick or times out).
    WaitLoaded();
    FlushLines();
    std::lock_guard lock(Lock);
    Active = true;
    Written = false;
    WrittenId = 0;
    Current.Start(ident, client, port, HistoryTimeNow());
    if (!logPath.empty())
        Current.AddFile("exchange_log", logPath);
    Earlier.clear();
    Loaded = std::async(std::launch::async, [this, car = Current.Visit().Car] { Load(car); }).share();
}

void THistoryRecorder::FaultsRead(const TFaultBuf& buffer, const TFaultContext& context, bool beforeErase) {
    FlushLines();
    const std::vector<TFault> faults = CollectFaults(buffer, context, MaxDisplayedFaults);
    std::lock_guard lock(Lock);
    if (Active)
        Current.FaultsRead(faults, beforeErase);
}

void THistoryRecorder::FaultsErased() {
    FlushLines();
    std::lock_guard lock(Lock);
    if (Active)
        Current.Erased(HistoryTimeNow());
}

void THistoryRecorder::FunctionRun(std::string_view kind, std::string_view detail, bool ok) {
    FlushLines();
    std::lock_guard lock(Lock);
    if (Active)
        Current.FunctionRun(kind, detail, ok, HistoryTimeNow());
}

void THistoryRecorder::AddFile(std::string_view kind, std::string_view path) {
    TVisitFile file{std::string(kind), std::string(path)};
    int64_t id = 0;
    {
        std::lock_guard lock(Lock);
        if (!Store || !Current.Started())
            return;
        Current.AddFile(kind, path);
        if (!Written)
            return;
        id = WrittenId;
    }
    // The visit is in the store (or the queue) already: the file joins it there.
    std::string error;
    {
        std::lock_guard store(StoreLock);
        if (id != 0 && StoreOpen && Store->AddFile(id, file, error))
            return;
    }
    AddLog(TranslateFormat("Файл не внесён в историю визитов: %s", file.Path.c_str()));
}

void THistoryRecorder::AddMileage(std::string_view mileage) {
    TVisitEvent event{HistoryTimeNow(), "mileage", std::string(mileage), true};
    int64_t id = 0;
    {
        std::lock_guard lock(Lock);
        if (!Store || !Current.Started() || mileage.empty())
            return;
        Current.FunctionRun(event.Kind, event.Detail, true, event.When);
        if (!Written)
            return;
        id = WrittenId;
    }
    std::string error;
    {
        std::lock_guard store(StoreLock);
        if (id != 0 && StoreOpen && Store->AddEvent(id, event, error))
            return;
    }
    AddLog(TranslateFormat("Пробег не внесён в историю визитов: %s", event.Detail.c_str()));
}

void THistoryRecorder::SessionEnded(std::string_view) {
    TVisit visit;
    {
        std::lock_guard lock(Lock);
        if (!Active || Written)
            return;
        Written = true;
        Active = false;
        visit = Current.Visit();
    }
    WaitLoaded();
    FlushLines();
    std::vector<std::string> lines;
    int64_t id = 0;
    {
        std::lock_guard store(StoreLock);
        OpenStore(lines);
        std::string error;
        if (StoreOpen) {
            id = Store->AddVisit(visit, error);
            if (id == 0) {
                lines.push_back(Unavailable(*Store, error));
                StoreOpen = false;
            }
        }
        if (id == 0)
            lines.push_back(
                Queue.Append(visit)
                    ? TranslateFormat("Запись о визите отложена до доступа к истории: %s",
                                      Queue.FileName().string().c_str())
                    : TranslateFormat("Запись о визите не сохранена: %s", Queue.FileName().string().c_str()));
    }
    {
        std::lock_guard lock(Lock);
        WrittenId = id;
    }
    for (const std::string& line : lines)
        AddLog(line);
}

std::vector<TSeenBefore> THistoryRecorder::SeenBefore(int code) const {
    WaitLoaded();
    std::lock_guard lock(Lock);
    return velmora::SeenBefore(Earlier, code);
}

std::optional<TVisit> THistoryRecorder::Visit() const {
    std::lock_guard lock(Lock);
    if (!Current.Started())
        return std::nullopt;
    return Current.Visit();
}

std::unique_ptr<THistoryRecorder> MakeHistoryRecorder() {
    std::string problem;
    std::unique_ptr<THistoryStore> store = MakeHistoryStore(ReadHistorySettings(), problem);
    if (!problem.empty())
        AddLog(TranslateFormat("История визитов недоступна: %s", problem.c_str()));
    return std::make_unique<THistoryRecorder>(std::move(store), ProgramFolder() / "history-queue.jsonl");
}

} // namespace velmora
