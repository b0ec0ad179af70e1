// The main window's handlers of the messages the engine connection posts (WM_USER+n).
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTime>
#include <algorithm>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/list_prm.h"
#include "platform/host.h"
#include "ui/common/blink_mark.h"
#include "ui/faults/fault_tab.h"
#include "ui/graphs/graph_tab.h"
#include "ui/panels/activation_panel.h"
#include "ui/panels/lh_code_banner_view.h"
#include "ui/screens/screen_pages.h"
#include "ui/screens/screen_params.h"
#include "ui/smoothness/smooth_tab.h"
#include "ui/trip/trip_tab.h"
#include "ui/window/log_tools.h"
#include "ui/window/main_form.h"

namespace velmora {

namespace {

constexpr int ShowIgnitionNotice = 1, ShowSaveLog = 128, ShowLogName = 240;

// Memo texts of the WM_USER+14 events that add lines rather than change the label.
struct TModeLinesRow {
    int Event;
    std::initializer_list<const char*> Lines;
};

const TModeLinesRow ModeLines[] = {
    {32, {" ", "ГОТОВ К РАБОТЕ!", " "}},
    {48,
     {"ELM327 работает как стандартный адаптер K-Line(KKL).", "Журналы обмена записываются в папку LOGS.",
      "Используйте этот режим для проведения диагностики, кнопка [План тестирования]", " "}},
};

} // namespace

void TMainForm::HandleMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    switch (msg) {
    case WM_LINK_STATE:
        SetConnectionState(wParam != 0 && lParam != 0 ? 2 : 1);
        labOffline->hide();
        break;
    case WM_ECU_READY:
        OnEcuReady();
        break;
    case WM_DISCONNECTED:
        SetConnectionState(0);
        pnlActivation->Clear();
        Faults->StopWaiting();
        ShowDisconnected();
        break;
    case WM_ANSWER_TICK:
        OnAnswerTick(uint32_t(wParam));
        break;
    case WM_PARAM_UPDATED:
        if (CurrentList)
            CurrentList->UpdateParam(int(wParam));
        LogTools->ValueUpdated(CurrentList.get(), int(wParam));
        if (CurrentList && CurrentIsGraph)
            RedrawGraph();
        if (!CurrentList && pg->currentIndex() == PageComputer)
            TripTab->CountUpdate();
        break;
    case WM_FAULTS:
        Faults->HandleFaultMessage(wParam);
        break;
    case WM_ACTIVATION_READY:
        pnlActivation->Build(Connection.Ident().IsNewestGeneration());
        break;
    case WM_ACTUATOR_VALUE:
        pnlActivation->ShowValue(uint8_t(wParam >> 8), uint8_t(wParam));
        break;
    case WM_CODING_VISIBLE:
        mnuCoding->setVisible(true);
        break;
    case WM_PARAMS_LOADED:
        ShowUnitFunctions();
        break;
    case WM_ENGINE_MODE:
        OnEngineMode(int(wParam), int(lParam));
        break;
    case CM_SHOW_MESSAGE:
        OnShowMessage(int(wParam));
        break;
    case WM_RATE_SHOWN:
        RateShown = wParam > 0;
        break;
    case WM_SMOOTH_RESULT:
        SmoothTab->ShowResult(int(lParam), uint32_t(wParam));
        break;
    case WM_TRIP_UPDATE:
        TripTab->ShowTrip(Connection.TripSums(), ClientName);
        break;
    case WM_LH_CODE:
        ShowLhCodeBanner(pg->widget(PageScreens), wParam, lParam, Options.Language);
        break;
    default:
        break; // messages of functions this build does not have
    }
}

void TMainForm::OnEcuReady() {
    if (Connection.EcuConnected()) {
        pg->setEnabled(true);
        SetPageVisible(PageScreens, true);
        SetPageVisible(PageGraph, true);
        ShowDerivedPages();
    } else {
        if (pg->currentIndex() > PageError)
            pg->setCurrentIndex(PageMemo);
        for (int page : {PageComputer, PageSmooth, PageGraph, PageScreens})
            SetPageVisible(page, false);
    }
    RedrawGraph();
    pgChange();
    SetConnectionState(2);
}

void TMainForm::ShowDisconnected() {
    labRate->clear();
    labRate->hide(); // its room goes to the mode text until there is a rate again
    // The screens and the graph keep the connection's last values for reading; the banner says so.
    if (!Screens->Built() && !Graph)
        return;
    labOffline->setText(QString::fromStdString(
        LastAnswerTime.isEmpty()
            ? Translate("Нет связи с блоком. Значений от блока не было.")
            : TranslateFormat("Нет связи с блоком. Показаны последние значения, прочитанные в %s.",
                              LastAnswerTime.toStdString().c_str())));
    labOffline->show();
}

void TMainForm::OnAnswerTick(uint32_t tick) {
    LastAnswerTime = QTime::currentTime().toString("HH:mm:ss");
    if (std::optional<int> rate = AnswerRate.OnAnswer(tick)) {
        // The rate stands in its own label, steadily, whatever the mode label shows.
        labRate->setText(QString::fromStdString(TranslateFormat("%d запр./с", *rate)));
        labRate->show();
        // Wide enough for the longest rate shown so far in the window's language: the figure never loses
        // a digit, and the label does not shrink back and forth with it.
        labRate->setMinimumWidth(std::max(labRate->minimumWidth(), labRate->sizeHint().width()));
        if (RateShown && EngineMode.RateVisible())
            labReaction->setText(QString::number(*rate));
        // At most every 300 ms: grey the values of the shown screen that are read slowly.
        if (pg->currentIndex() == PageScreens && Screens->CurrentViews())
            Screens->CurrentViews()->RefreshStale();
    }
    labIndicator->Toggle();
}

void TMainForm::OnEngineMode(int event, int modeCode) {
    for (const TModeLinesRow& row : ModeLines) {
        if (row.Event == event) {
            for (const char* line : row.Lines)
                AddMemo(Translate(line));
        }
    }
    std::optional<TReactionLook> look = EngineMode.Apply(event, modeCode);
    if (!look)
        return;
    QFont font = labReaction->font();
    font.setPointSize(look->PointSize);
    font.setBold(look->Bold);
    labReaction->setFont(font);
    QPalette palette = labReaction->palette();
    palette.setColor(QPalette::WindowText,
                     look->Red ? QColor(Qt::red) : QApplication::palette().color(QPalette::WindowText));
    labReaction->setPalette(palette);
    labReaction->setText(QString::fromStdString(look->Text));
}

void TMainForm::OnShowMessage(int which) {
    switch (which) {
    case ShowIgnitionNotice:
        Host().MessageBox(Translate("Необходимо выключить зажигание и выждать >10 секунд!") + "\n\r" +
                              Translate("После включить зажигание и нажать кнопку [Connect]!"),
                          TMsgKind::Information, TMsgButtons::Ok);
        break;
    case ShowSaveLog:
        PanelLogClick(true);
        break;
    case ShowLogName: {
        std::string name = Connection.LogFileName();
        labLogFile->setText(QString::fromStdString(name));
        AddMemo("Log: " + name);
        break;
    }
    default:
        Host().MessageBox(Translate("Вызов CM_SHOW_MESSAGE не определен!"), TMsgKind::Error, TMsgButtons::Ok);
        break;
    }
}

} // namespace velmora
