// The main window with a recording open: the replay takes the live connection's place behind the
// window's one connection, the replay bar shows over the pages, and a second recording can be laid
// over the graph dashed. Window thread only.
#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QTabWidget>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/host.h"
#include "platform/program_folders.h"
#include "platform/utf8_path.h"
#include "ui/faults/fault_tab.h"
#include "ui/graphs/graph_tab.h"
#include "ui/screens/screen_pages.h"
#include "ui/screens/screen_params.h"
#include "ui/window/main_form.h"
#include "ui/window/replay_bar.h"
#include "ui/window/replay_connection.h"
#include "ui/window/replay_loader.h"

namespace velmora {

namespace {

// The second recording's values as graph samples on its own clock, per parameter number.
TGraphOverlay BuildOverlay(const TReplayRecording& second, const std::string& firstName) {
    TGraphOverlay overlay;
    overlay.Name = second.Name;
    overlay.MainName = firstName;
    if (!second.Params)
        return overlay;
    for (const TReplayValue& value : second.Values) {
        TECUparam* record = second.Params->FindByNumber(value.Number);
        if (!record)
            continue;
        record->SetData(value.Bytes[0], value.Bytes[1], value.Bytes[2], value.Bytes[3]);
        overlay.Curves[value.Number].push_back({value.Ms, record->AsSingle()});
    }
    return overlay;
}

// The recording at `path`, or nullptr after a box that says why it cannot be read.
std::shared_ptr<const TReplayRecording> LoadRecordingOrSay(const std::string& path) {
    std::string error;
    std::shared_ptr<const TReplayRecording> recording = LoadReplayRecording(Utf8Path(path), error);
    if (!recording)
        Host().MessageBox(error, TMsgKind::Error, TMsgButtons::Ok);
    return recording;
}

} // namespace

bool TMainForm::CommandsAllowed() {
    const std::string refusal = Connection.RefusesCommands();
    if (refusal.empty())
        return true;
    Host().MessageBox(Translate(refusal), TMsgKind::Information, TMsgButtons::Ok);
    return false;
}

void TMainForm::OpenRecordingClick() {
    const QString start = QString::fromStdString(BuildPath("", "LOGS", ClientName, false));
    const QString file =
        QFileDialog::getOpenFileName(this, QString::fromStdString(Translate("Открыть запись")), start,
                                     QString::fromStdString(Translate("Журналы обмена")) + " (*.bin)");
    if (!file.isEmpty())
        OpenRecording(file.toStdString());
}

bool TMainForm::OpenRecording(const std::string& path) {
    // The live connection holds the window's screens and the line: it ends first.
    if (Switch->LiveConnection().IsAlive() || Switch->LiveConnection().InConnection()) {
        Host().MessageBox(Translate("Сначала остановите связь с блоком ([Stop]), затем откройте запись."),
                          TMsgKind::Information, TMsgButtons::Ok);
        return false;
    }
    std::shared_ptr<const TReplayRecording> recording = LoadRecordingOrSay(path);
    if (!recording)
        return false;
    OpenReplay(std::move(recording));
    return true;
}

void TMainForm::OpenReplay(std::shared_ptr<const TReplayRecording> recording) {
    if (ReplayConn)
        CloseRecording();
    FreeScreens();
    labOffline->hide();
    LastAnswerTime.clear();
    ReplayConn = std::make_unique<TReplayConnection>(std::move(recording));
    TReplayConnection* replay = ReplayConn.get();
    replay->OnChange = [this] { ReplayBar->Follow(); };
    replay->OnRewind = [this] {
        if (Graph) {
            Graph->Graph().ForgetValues();
            Graph->RequestRedraw();
        }
        if (std::shared_ptr<TScreenParams> views = Screens->CurrentViews())
            views->ResetDisplay();
    };
    Switch->Use(replay);
    ReplayBar->Attach(replay);
    const TReplayRecording& rec = replay->Recording();
    labLogFile->setText(QString::fromStdString(rec.File.filename().string()));
    AddMemo(TranslateFormat("Открыта запись %s", rec.File.string().c_str()));
    if (rec.TimesEstimated)
        AddMemo(Translate("В записи нет времени запросов: время оценено по скорости линии."));
    for (QAction* action : {mnuActivation, mnuAdaptReset, mnuCoding})
        action->setEnabled(false);
    SetConnectionState(2);
    replay->Open();
}

void TMainForm::CloseRecording() {
    if (!ReplayConn)
        return;
    ReplayConn->Pause();
    Switch->Use(nullptr);
    ReplayBar->Attach(nullptr);
    FreeScreens();
    if (pg->currentIndex() > PageError)
        pg->setCurrentIndex(PageMemo);
    for (int page : {PageComputer, PageSmooth, PageGraph, PageScreens})
        SetPageVisible(page, false);
    labLogFile->clear();
    OnEngineMode(-4, 0);
    Faults->HandleFaultMessage(TFaultTab::ClearFaults);
    CompareOffsetMs = 0;
    // Queued deliveries of the replay die with it (its own queued calls are dropped).
    ReplayConn.reset();
    SetConnectionState(0);
    ShowUnitFunctions();
}

void TMainForm::SetGraphClock() {
    if (!Graph)
        return;
    if (Switch->Replaying())
        Graph->ClockText = [](uint32_t tick) {
            const int32_t ms = int32_t(tick - TReplayConnection::TickBase);
            return QString::fromStdString(ReplayClockText(ms > 0 ? uint32_t(ms) : 0));
        };
    else
        Graph->ClockText = nullptr;
}

void TMainForm::CompareClick() {
    const QString start = QString::fromStdString(BuildPath("", "LOGS", ClientName, false));
    const QString file =
        QFileDialog::getOpenFileName(this, QString::fromStdString(Translate("Сравнить с записью")), start,
                                     QString::fromStdString(Translate("Журналы обмена")) + " (*.bin)");
    if (!file.isEmpty())
        CompareWith(file.toStdString());
}

bool TMainForm::CompareWith(const std::string& path) {
    if (!ReplayConn)
        return false;
    std::shared_ptr<const TReplayRecording> recording = LoadRecordingOrSay(path);
    if (!recording)
        return false;
    CompareWithRecording(std::move(recording));
    return true;
}

void TMainForm::CompareWithRecording(std::shared_ptr<const TReplayRecording> recording) {
    if (!ReplayConn || !recording)
        return;
    // The comparison is a graph's: the tab is shown (and made) first.
    SetPageVisible(PageGraph, true);
    pg->setCurrentIndex(PageGraph);
    if (!Graph)
        return;
    TGraphOverlay overlay = BuildOverlay(*recording, ReplayConn->Recording().Name);
    overlay.StartTick = TReplayConnection::TickBase + uint32_t(CompareOffsetMs);
    Graph->Graph().SetOverlay(std::move(overlay));
    Graph->Redraw();
    ReplayBar->ShowComparison(recording->Name);
}

void TMainForm::SetCompareOffset(int32_t offsetMs) {
    CompareOffsetMs = offsetMs;
    ReplayBar->ShowOffset(offsetMs);
    if (!Graph || !Graph->Graph().Overlay())
        return;
    Graph->Graph().SetOverlayStart(TReplayConnection::TickBase + uint32_t(offsetMs));
    Graph->Redraw();
}

} // namespace velmora
