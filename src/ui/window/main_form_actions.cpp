// The main window's commands: connect and stop, keys, tab change, the log memo buttons, the port,
// client and settings dialogs, the word-correction switch, the version box and closing.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "links/line_lease.h"
#include "links/port_factory.h"
#include "params/list_prm.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "platform/utf8_path.h"
#include "ui/common/saved_notice.h"
#include "ui/dialogs/clients_form.h"
#include "ui/dialogs/select_port_form.h"
#include "ui/dialogs/tune_form.h"
#include "ui/faults/fault_tab.h"
#include "ui/panels/line_functions.h"
#include "ui/panels/module_panel.h"
#include "ui/screens/screen_pages.h"
#include "ui/window/main_form.h"
#include "ui/window/screenshot.h"

namespace velmora {

namespace {

constexpr uint32_t CloseWaitMs = 1000;
constexpr int AllAdapterKinds = 1 | 2 | 4;

bool LooksLikeArchive(std::string path) {
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    // Folders where archive managers unpack a program they run. /tmp itself is no sign: on Linux people
    // keep and run programs there, and a warning on every Connect would teach them to ignore it.
    for (const char* mark : {"/temp/", "\\temp\\", "\\tmp\\", "rar$", "/.fr-", "/xarchiver-"}) {
        if (path.find(mark) != std::string::npos)
            return true;
    }
    return false;
}

// The command keys by their place on the keyboard: on the Russian layout the keys S, C, W and P give
// the letters Ы, С, Ц and З (Qt reports their upper-case code points), and a mechanic pressing S to stop
// an actuator test must not have to switch the layout first.
struct TLayoutKey {
    int Cyrillic;
    int Latin;
};
constexpr TLayoutKey RussianLayoutKeys[] = {
    {0x042B, Qt::Key_S}, // Ы
    {0x0421, Qt::Key_C}, // С
    {0x0426, Qt::Key_W}, // Ц
    {0x0417, Qt::Key_P}, // З
};

int PhysicalKey(int key) {
    for (const TLayoutKey& row : RussianLayoutKeys) {
        if (row.Cyrillic == key)
            return row.Latin;
    }
    return key;
}

} // namespace

TConnectOptions TMainForm::ConnectOptions() const {
    TConnectOptions options;
    options.CarSoft = Options.Adapter == 'C';
    options.Elm327 = Options.Adapter == 'E';
    options.ElmCommands = options.Elm327 && !cbUseAsStandartKKL->isChecked();
    options.ConnectLostTime = Options.ConnectLostTime;
    options.IdleTime = Options.IdleTime;
    options.IdleCmd = Options.IdleCmd;
    options.WordCorrection = WordCorrection;
    options.SmartEcuScan = Options.SmartEcuScan;
    options.Client = ClientName;
    options.KLineBreakMs = KLineBreakMs;
    options.ActivationVisible = mnuActivation->isChecked();
    return options;
}

void TMainForm::btnConnectClick() {
    PlaceTopRight();
    std::string folder = ProgramFolder().string() + "/";
    if (!std::filesystem::exists(SettingsFile()) || LooksLikeArchive(folder)) {
        Host().MessageBox(Translate("Возможно вы запустили программу из архива?!") + "\r" +
                              Translate("Закройте программу, распакуйте архив и запустите программу снова."),
                          TMsgKind::Error, TMsgButtons::Ok);
        AddMemo(ProgramFolder().string());
    }
    if (btnPort->text().contains('?')) {
        Host().MessageBox(Translate("Необходимо выбрать COM порт!"), TMsgKind::Error, TMsgButtons::Ok);
        return;
    }
    if (!LineHolder().empty()) {
        Host().MessageBox(LineBusyText(), TMsgKind::Warning, TMsgButtons::Ok);
        return;
    }
    FreeScreens();
    labOffline->hide();
    LastAnswerTime.clear();
    AbortRequested = false;
    Connection.Start(PortName(), Options.Adapter, ConnectOptions());
    // The worker holds the line from now until it reports the end (WM_DISCONNECTED): the start buttons
    // are held at once, not at its first message.
    if (Connection.InConnection())
        SetConnectionState(1);
}

void TMainForm::StopClick() {
    // Whatever job holds the line ends at its next wait.
    AbortRequested = true;
    Connection.Stop();
    LineFunctions->Stop();
    for (TModulePanel* panel : {pnlEGas, pnlSRS})
        panel->StopDialogue();
}

bool TMainForm::HandleKey(int key) {
    switch (PhysicalKey(key)) {
    case Qt::Key_S:
        StopClick();
        return true;
    case Qt::Key_C:
        if (btnConnect->isEnabled())
            btnConnectClick();
        return true;
    case Qt::Key_W:
        pgChange();
        return true;
    case Qt::Key_P:
        if (Connection.IsAlive())
            Connection.RequestPolling();
        return true;
    default:
        return false;
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    bool ours = widget && widget->window() == this;
    if (ours && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::ShiftModifier)
            return HandleKey(key->key());
    }
    if (ours && event->type() == QEvent::MouseButtonDblClick &&
        (watched == pnlStatus || watched == labReaction))
        Connection.DeferBackgroundReads(300, false);
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::pgChange() {
    if (InPageChange)
        return;
    InPageChange = true;
    AbortRequested = true;
    bool alive = Connection.IsAlive();
    int page = pg->currentIndex();
    // Without a connection the fault list, the screens and the graph still show what was read last
    // (marked as such); the tabs that measure live return to the log.
    bool lastValues =
        page == PageError || (page == PageScreens && Screens->Built()) || (page == PageGraph && Graph);
    if (!alive && lastValues) {
        CurrentList = nullptr;
        InPageChange = false;
        return;
    }
    if (!alive)
        pg->setCurrentIndex(PageMemo);
    page = pg->currentIndex();
    if (alive) {
        Connection.RequestPolling();
        Connection.SetBackgroundReading(page == PageScreens || page == PageGraph ? 0 : 1);
    }
    CurrentList = nullptr;
    CurrentIsGraph = page == PageGraph;
    if (page == PageGraph)
        CurrentList = ShowGraph();
    else if (page == PageScreens)
        CurrentList = ShowScreens();
    if (alive && CurrentList)
        Connection.RequestViewList(CurrentList, CurrentIsGraph);
    if (alive && page == PageError)
        Faults->StartView();
    if (alive)
        StartDerivedPage(page);
    InPageChange = false;
}

void TMainForm::PanelLogClick(bool save) {
    if (!save) {
        Memo1->clear();
        LogNumber = 0;
        return;
    }
    std::string folder = BuildPath("", "LOGS", ClientName, true);
    // The number belongs to the folder it was picked in: another client's folder has its own logs, and
    // the number kept from the last one would overwrite one of them.
    if (folder != LogFolder) {
        LogFolder = folder;
        LogNumber = 0;
    }
    auto fileOf = [&](int n) {
        char name[32];
        std::snprintf(name, sizeof name, "/log%.3d.txt", n);
        return folder + name;
    };
    if (LogNumber == 0) {
        LogNumber = 1;
        while (std::filesystem::exists(Utf8Path(fileOf(LogNumber))))
            ++LogNumber;
    }
    LastLogFile = fileOf(LogNumber);
    std::ofstream out(Utf8Path(LastLogFile), std::ios::binary | std::ios::trunc);
    out << Memo1->toPlainText().toStdString() << '\n';
    if (!out) {
        Host().MessageBox(Translate("Не удалось записать файл") + " " + LastLogFile, TMsgKind::Error,
                          TMsgButtons::Ok);
        return;
    }
    QApplication::beep();
    ShowNotice(this, Translate("Журнал сохранен в файл") + " " + LastLogFile);
}

void TMainForm::SaveSettings(bool closing) {
    TIniFile ini(SettingsFile());
    TSessionSettings session{PortName(), Options.Adapter, labLogFile->text().toStdString(), ClientName,
                             cbErrRus->isChecked()};
    if (!SaveSessionSettings(ini, session, closing))
        AddMemo(Translate("Не удалось записать файл") + " " + SettingsFile().string());
}

void TMainForm::btnPortClick() {
    if (Connection.InConnection())
        return; // the port in use stays until Stop
    std::string name = PortName();
    char adapter = Options.Adapter;
    if (!SelectPort(name, adapter, AllAdapterKinds, this))
        return;
    btnPort->setText(QString::fromStdString(name));
    if (PortNameToNumber(name) > 0)
        SetPortWarning(false);
    if (adapter != Options.Adapter) {
        Options.Adapter = adapter;
        ShowAdapterNotice();
    }
    SaveSettings(false);
}

void TMainForm::btnClientClick() {
    if (Connection.IsAlive())
        return;
    ClientName = SelectClient(ClientName, this);
    labClient->setText(QString::fromStdString(ClientName));
}

void TMainForm::N4Click() {
    char language = Options.Language;
    if (!ShowSettings(Options, language, this))
        return;
    TProgramSettings saved = Options;
    saved.Language = language;
    TIniFile ini(SettingsFile());
    if (!SaveDisplaySettings(ini, saved))
        AddMemo(Translate("Не удалось записать файл") + " " + SettingsFile().string());
}

void TMainForm::WordCorrectionClick() {
    std::string text = Translate("Некоторые параметры работы мотора передаются в виде 2-ух байт.") + "\n\r" +
                       Translate("Из-за особенностей протокола возможно искажение получаемых значений.") +
                       "\n\r" +
                       Translate("Включение коррекции приводит к минимизации ошибок, но приводит к снижению "
                                 "скорости обмена!") +
                       "\n\r" + Translate("Включить коррекцию ?");
    if (Host().MessageBox(text, TMsgKind::Confirmation, TMsgButtons::YesNoCancel) == TMsgResult::Yes) {
        WordCorrection = !WordCorrection;
        Connection.SetWordCorrection(WordCorrection);
    }
    mnuWordCorrection->setChecked(WordCorrection);
}

void TMainForm::mnu_verClick() {
    // Only what is true of this build: no web or mail address stands behind the program.
    Host().MessageBox(Translate("Программа диагностики систем впрыска HFM/PMS автомобилей Мерседес") +
                          "\n\r\n\r" + TranslateFormat("Версия %s", ProgramVersion) + "\n\r\n\r" +
                          Translate("Описание программы: файл README.md и папка docs её исходных текстов."),
                      TMsgKind::Information, TMsgButtons::Ok);
}

void TMainForm::btnScreenShotClick() {
    std::string error;
    std::filesystem::path file;
    if (!SaveScreenshot(*this, error, &file))
        Host().MessageBox(error, TMsgKind::Error, TMsgButtons::Ok);
    else
        ShowNotice(this, Translate("Снимок экрана сохранен в файл") + " " + file.string());
}

void TMainForm::closeEvent(QCloseEvent* event) {
    AbortRequested = true;
    SaveSettings(true);
    Connection.Stop();
    // Every job on the line ends at its next wait; the module panels wait for theirs as they go.
    for (TModulePanel* panel : {pnlEGas, pnlSRS})
        panel->StopDialogue();
    LineFunctions->StopAndWait();
    uint32_t start = Clock().TickCount();
    // A wake-up is no live link yet, but the worker is still at work: wait for it as well.
    while (Connection.InConnection() && TicksSince(start, Clock().TickCount()) < CloseWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        Clock().Sleep(10);
    }
    event->accept();
}

} // namespace velmora
