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

} // namespace

THistoryRecorder::THistoryRecorder(std::unique_ptr<THistoryStore> store, std::filesystem::path queueFile)
    : Store(std::move(store)), Queue(std::move(queueFile)) {}

void THistoryRecorder::OpenStore() {
    if (StoreOpen || !Store)
        return;
    std::string error;
    StoreOpen = Store->Open(error);
    if (!StoreOpen) {
        AddLog(TranslateFormat("История визитов недоступна (%s): %s", Store->Where().c_str(), error.c_str()));
        return;
    }
    const int flushed = Queue.Flush(*Store, error);
    if (flushed > 0)
        AddLog(TranslateFormat("Отложенные записи внесены в историю: %d", flushed));
    if (!error.empty())
        AddLog(TranslateFormat("История визитов недоступна (%s): %s", Store->Where().c_str(), error.c_str()));
}

void THistoryRecorder::SessionStarted(const TEcuIdent& ident, std::string_view client, std::string_view port,
                                      std::string_view logPath) {
    std::lock_guard lock(Lock);
    if (!Store)
        return;
    Active = true;
    Written = false;
    WrittenId = 0;
    Current.Start(ident, client, port, HistoryTimeNow());
    if (!logPath.empty())
        Current.AddFile("exchange_log", logPath);
    Earlier.clear();
    OpenStore();
    if (!StoreOpen)
        return;
    std::string error;
    Earlier = Store->Visits({Current.Visit().Car, {}}, error);
    if (!error.empty()) {
        AddLog(TranslateFormat("История визитов недоступна (%s): %s", Store->Where().c_str(), error.c_str()));
        StoreOpen = false;
        return;
    }
    if (Earlier.empty()) {
        AddLog(TranslateFormat("Автомобиль %s в истории ещё не встречался", Current.Visit().Car.c_str()));
        return;
    }
    const TVisit& last = Earlier.back();
    AddLog(TranslateFormat("Автомобиль %s был в последний раз %s, ошибки: %s", Current.Visit().Car.c_str(),
                           last.When.c_str(), FaultSummary(last).c_str()));
}

void THistoryRecorder::FaultsRead(const TFaultBuf& buffer, const TFaultContext& context, bool beforeErase) {
    const std::vector<TFault> faults = CollectFaults(buffer, context, MaxDisplayedFaults);
    std::lock_guard lock(Lock);
    if (!Active)
        return;
    Current.FaultsRead(faults, beforeErase);
}

void THistoryRecorder::FaultsErased() {
    std::lock_guard lock(Lock);
    if (!Active)
        return;
    Current.Erased(HistoryTimeNow());
}

void THistoryRecorder::FunctionRun(std::string_view kind, std::string_view detail, bool ok) {
    std::lock_guard lock(Lock);
    if (!Active)
        return;
    Current.FunctionRun(kind, detail, ok, HistoryTimeNow());
}

void THistoryRecorder::AddFile(std::string_view kind, std::string_view path) {
    std::lock_guard lock(Lock);
    if (!Store || !Current.Started())
        return;
    Current.AddFile(kind, path);
    if (!Written)
        return;
    // The visit is in the store (or the queue) already: the file joins it there.
    std::string error;
    if (WrittenId != 0 && StoreOpen && Store->AddFile(WrittenId, Current.Visit().Files.back(), error))
        return;
    AddLog(TranslateFormat("Файл не внесён в историю визитов: %s", std::string(path).c_str()));
}

void THistoryRecorder::SessionEnded(std::string_view) {
    std::lock_guard lock(Lock);
    if (!Active || Written)
        return;
    Write();
    Active = false;
}

void THistoryRecorder::Write() {
    Written = true;
    OpenStore();
    std::string error;
    if (StoreOpen) {
        WrittenId = Store->AddVisit(Current.Visit(), error);
        if (WrittenId != 0)
            return;
        AddLog(TranslateFormat("История визитов недоступна (%s): %s", Store->Where().c_str(), error.c_str()));
        StoreOpen = false;
    }
    if (Queue.Append(Current.Visit()))
        AddLog(TranslateFormat("Запись о визите отложена до доступа к истории: %s",
                               Queue.FileName().string().c_str()));
    else
        AddLog(TranslateFormat("Запись о визите не сохранена: %s", Queue.FileName().string().c_str()));
}

std::vector<TSeenBefore> THistoryRecorder::SeenBefore(int code) const {
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
