// TMainForm: the customer report of the connection: what the unit and the history hold, the values of
// the screen (or graph) shown, and the graph as a picture, handed to the report dialog; and the history
// window. Window thread.
#include <QCheckBox>
#include <QTabWidget>

#include "engine_link/ident_report.h"
#include "faults/fault_texts.h"
#include "history/session_recorder.h"
#include "lang/dictionary.h"
#include "params/list_prm.h"
#include "platform/host.h"
#include "ui/dialogs/customer_report_form.h"
#include "ui/graphs/graph_view.h"
#include "ui/history/history_form.h"
#include "ui/screens/screen_pages.h"
#include "ui/window/main_form.h"

namespace velmora {

void TMainForm::CustomerReportClick() {
    const std::optional<TFaultData> faults = Connection.FaultData();
    if (!faults) {
        Host().MessageBox(Translate("Нет данных для отчёта: сначала прочитайте ошибки."),
                          TMsgKind::Information, TMsgButtons::Ok);
        return;
    }
    THistoryRecorder* history = Connection.History();
    TCustomerReportData report;
    report.When = ReportTimeNow();
    report.Client = ClientName;
    report.Vin = VinText(faults->Ident);
    report.Identification = PrintInfo(faults->Ident, false);
    const char language = Language();
    const bool russian = cbErrRus ? cbErrRus->isChecked() : language == 'R';
    const TFaultTexts texts = LoadFaultTexts(faults->Context.UnitType, russian, language);
    const std::optional<TVisit> visit = history ? history->Visit() : std::nullopt;
    TReportFaultSource source{faults->Buffer, faults->Context, texts, visit, {}};
    if (history)
        source.SeenBefore = [history](int code) { return history->SeenBefore(code); };
    FillReportFaults(report, source);

    // The values of what is shown: a screen's fields carry their colour rule's colour.
    if (CurrentList) {
        CurrentList->VisitViews([&](const TBaseParam& view) {
            if (view.Param.LastTick == 0)
                return;
            const auto* visual = dynamic_cast<const TVisualParam*>(&view);
            const bool marked =
                visual && visual->Display() && IsWarningColour(visual->Display()->ValueColor());
            TReportValue value = ReportValue(view.Param, marked);
            if (!view.Caption.empty())
                value.Name = view.Caption;
            report.Values.push_back(std::move(value));
        });
        if (!CurrentIsGraph && Screens && Screens->Pages())
            report.ValuesTitle = Screens->Pages()->tabText(Screens->Pages()->currentIndex()).toStdString();
    }
    QImage graph;
    if (Graph && tsGraph)
        if (auto* view = tsGraph->findChild<TGraphView*>())
            graph = view->grab().toImage();
    TCustomerReportForm form(std::move(report), graph, ClientName, history, this);
    form.exec();
}

THistoryForm* TMainForm::HistoryWindow() const {
    return History.data();
}

THistoryForm* TMainForm::HistoryClick() {
    // The car of the connection when a unit answered, else the client chosen.
    THistoryKey by = THistoryKey::Car;
    std::string key;
    if (Connection.EcuConnected())
        key = CarKey(Connection.Ident());
    else if (!ClientName.empty()) {
        by = THistoryKey::Client;
        key = ClientName;
    }
    if (History)
        History->close(); // opened again with this choice and what has been recorded meanwhile
    std::string problem;
    std::unique_ptr<THistoryStore> store = MakeHistoryStore(ReadHistorySettings(), problem);
    History = new THistoryForm(std::move(store), problem, by, key, this);
    History->setAttribute(Qt::WA_DeleteOnClose);
    // A visit's exchange log opens as a recording, replayed in this window.
    connect(History, &THistoryForm::OpenRecordingRequested, this,
            [this](const QString& path) { OpenRecording(path.toStdString()); });
    History->show();
    return History;
}

} // namespace velmora
