// The main window's construction and start-up (FormCreate).
#include "ui/window/main_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "links/line_lease.h"
#include "links/port_factory.h"
#include "links/wifi_port.h"
#include "platform/host.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "ui/common/blink_mark.h"
#include "ui/common/elided_label.h"
#include "ui/common/log_memo.h"
#include "ui/common/qt_translations.h"
#include "ui/common/translate_widgets.h"
#include "ui/common/widget_colors.h"
#include "ui/faults/fault_tab.h"
#include "ui/panels/activation_panel.h"
#include "ui/panels/line_functions.h"
#include "ui/panels/module_panel.h"
#include "ui/screens/screen_pages.h"
#include "ui/screens/screen_params.h"
#include "ui/smoothness/smooth_tab.h"
#include "ui/trip/trip_tab.h"
#include "ui/window/log_tools.h"
#include "ui/window/qt_host.h"
#include "ui/window/replay_bar.h"
#include "ui/window/replay_connection.h"

namespace velmora {

namespace {

constexpr int FormWidth = 820, FormHeight = 625;
// Below this width (logical pixels) the top bar keeps to what the user must read.
constexpr int CompactWidth = 800;
constexpr int PortCheckBaud = 9600;
// Wake-up break (ms) the "Подключение к LH" box sets when the user checks or clears it.
constexpr int LhBreakMs = 130, OtherBreakMs = 160;
const QColor ColorOfflineBanner(0xFF, 0xE0, 0x82); // amber: look, but these values are not live

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

TMainForm::TMainForm(TConnectionControl& connection, std::string firstRunPort, QWidget* parent)
    : QMainWindow(parent), Switch(std::make_unique<TSwitchConnection>(connection)), Connection(*Switch) {
    setObjectName("MainForm");
    setWindowTitle("Velmora");
    resize(FormWidth, FormHeight);
    BuildLayout();
    BuildMenus();
    qApp->installEventFilter(this); // key preview: the form sees every key first
    FormCreate(firstRunPort);
    // Centred on the screen and never larger than it: at 2× scale a 1280 × 900 screen has room for
    // 640 × 450 of the window's own pixels, less than its usual size.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect available = screen->availableGeometry();
        resize(size().boundedTo(available.size()));
        QRect frame(QPoint(), size());
        frame.moveCenter(available.center());
        move(std::max(frame.left(), available.left()), std::max(frame.top(), available.top()));
    }
}

TMainForm::~TMainForm() {
    qApp->removeEventFilter(this);
    // The pages hold the window's connection (Switch), which goes with this object's members, before
    // QWidget frees the children: they go first, the replay with them.
    if (auto* qtHost = dynamic_cast<TQtHost*>(&Host()))
        qtHost->SetMessageHandler({});
    Switch->Use(nullptr);
    ReplayConn.reset();
    delete takeCentralWidget();
}

void TMainForm::BuildLayout() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(BuildTopPanel());
    ReplayBar = new TReplayBar;
    ReplayBar->OnClose = [this] { CloseRecording(); };
    ReplayBar->OnCompare = [this] { CompareClick(); };
    ReplayBar->OnOffset = [this](int32_t ms) { SetCompareOffset(ms); };
    layout->addWidget(ReplayBar);
    labOffline = Named(new QLabel, "labOffline");
    labOffline->setWordWrap(true);
    SetBackground(labOffline, ColorOfflineBanner);
    labOffline->hide();
    layout->addWidget(labOffline);

    pg = Named(new QTabWidget(central), "pg");
    pg->setTabPosition(QTabWidget::West);
    // A short window scrolls the side tabs rather than cutting their captions to a few letters.
    pg->tabBar()->setElideMode(Qt::ElideNone);
    pg->tabBar()->setUsesScrollButtons(true);
    pg->addTab(BuildMemoPage(), "Данные");
    pg->addTab(BuildErrorPage(), "Ошибки");
    auto* tsScreens = Named(new QWidget, "tsScreens");
    Screens = new TScreenPages(tsScreens);
    (new QVBoxLayout(tsScreens))->addWidget(Screens);
    Screens->OnScreenChange = [this](std::shared_ptr<TScreenParams> views) {
        if (pg->currentIndex() != PageScreens)
            return;
        CurrentList = views;
        CurrentIsGraph = false;
        if (Connection.IsAlive())
            Connection.RequestViewList(views, false);
    };
    pg->addTab(tsScreens, "Параметры");
    tsGraph = Named(new QWidget, "tsGraph");
    new QVBoxLayout(tsGraph);
    pg->addTab(tsGraph, "Графики");
    auto* tsSmooth = Named(new QWidget, "tsSmooth");
    SmoothTab = new TSmoothTab;
    SmoothTab->OnCylinder = [this](int cylinder) { Connection.SetSelectedCylinder(cylinder); };
    SmoothTab->Client = [this] { return ClientName; };
    (new QVBoxLayout(tsSmooth))->addWidget(SmoothTab);
    pg->addTab(tsSmooth, "Равномерность");
    auto* tsComputer = Named(new QWidget, "tsComputer");
    TripTab = new TTripTab;
    (new QVBoxLayout(tsComputer))->addWidget(TripTab);
    pg->addTab(tsComputer, "Маршрутник");
    connect(pg, &QTabWidget::currentChanged, this, [this] { pgChange(); });
    layout->addWidget(pg, 1);
    pnlActivation = new TActivationPanel([this]() -> TActuatorState* { return &Connection.Actuators(); });
    layout->addWidget(pnlActivation);
    setCentralWidget(central);
}

QWidget* TMainForm::BuildTopPanel() {
    Panel1 = Named(new QFrame, "Panel1");
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(2, 2, 2, 2);

    pnlStatus = Named(new QFrame, "pnlStatus");
    pnlStatus->setAutoFillBackground(true);
    auto* statusLayout = new QHBoxLayout(pnlStatus);
    statusLayout->setContentsMargins(4, 4, 4, 4);
    btnConnect = Named(new QPushButton("Connect"), "btnConnect");
    statusLayout->addWidget(btnConnect);
    connect(btnConnect, &QPushButton::clicked, this, [this] { btnConnectClick(); });
    row->addWidget(pnlStatus);

    Stop = Named(new QPushButton("Stop"), "Stop");
    connect(Stop, &QPushButton::clicked, this, [this] { StopClick(); });
    row->addWidget(Stop);

    btnClient = Named(new QPushButton("Клиент"), "btnClient");
    connect(btnClient, &QPushButton::clicked, this, [this] { btnClientClick(); });
    row->addWidget(btnClient);
    labClient = Named(new QLabel, "labClient");
    MarkAsDataField(labClient);
    row->addWidget(labClient);

    pnlPortWarning = Named(new QFrame, "pnlPortWarning");
    pnlPortWarning->setAutoFillBackground(true);
    auto* portLayout = new QHBoxLayout(pnlPortWarning);
    portLayout->setContentsMargins(3, 3, 3, 3);
    btnPort = Named(new QPushButton(NoPortName), "btnPort");
    MarkAsDataField(btnPort);
    connect(btnPort, &QPushButton::clicked, this, [this] { btnPortClick(); });
    portLayout->addWidget(btnPort);
    row->addWidget(pnlPortWarning);

    labLogFile = Named(new TElidedLabel, "labLogFile");
    MarkAsDataField(labLogFile);
    // The log's name gives way first when the bar is short of room (2× scale): the mode text and the
    // rate beside it stay whole instead of being drawn over it.
    labLogFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(labLogFile, 1);
    labReaction = Named(new TElidedLabel("0"), "labReaction");
    MarkAsDataField(labReaction);
    labReaction->setMinimumWidth(60);
    labReaction->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labReaction->installEventFilter(this);
    pnlStatus->installEventFilter(this);
    row->addWidget(labReaction);
    labRate = Named(new QLabel, "labRate");
    MarkAsDataField(labRate);
    labRate->setMinimumWidth(labRate->fontMetrics().horizontalAdvance("0000 req/s"));
    labRate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labRate->hide(); // shown with the first rate
    row->addWidget(labRate);
    labIndicator = Named(new TBlinkMark("*"), "labIndicator");
    row->addWidget(labIndicator);
    btnScreenShot = Named(new QToolButton, "btnScreenShot");
    btnScreenShot->setIcon(style()->standardIcon(QStyle::SP_DesktopIcon));
    // A bare icon tells a newcomer nothing: the button says what it does, the hint where it goes.
    btnScreenShot->setText("Снимок");
    // Its caption never widens the window: the button may shrink to its icon.
    btnScreenShot->setToolButtonStyle(Qt::ToolButtonIconOnly);
    btnScreenShot->setMinimumWidth(btnScreenShot->sizeHint().width());
    btnScreenShot->setToolTip("Снимок экрана в папку IMAGES");
    btnScreenShot->setAutoRaise(true);
    connect(btnScreenShot, &QToolButton::clicked, this, [this] { btnScreenShotClick(); });
    row->addWidget(btnScreenShot);
    return Panel1;
}

QWidget* TMainForm::BuildMemoPage() {
    auto* page = Named(new QWidget, "tsMemo");
    auto* layout = new QHBoxLayout(page);
    Memo1 = Named(new TLogMemo, "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono("Courier New");
    mono.setStyleHint(QFont::Monospace);
    Memo1->setFont(mono);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(Memo1, 1);

    auto* side = Named(new QFrame, "PanelLog");
    auto* sideLayout = new QVBoxLayout(side);
    auto* clear = Named(new QPushButton("Очистить"), "btnClearLog");
    connect(clear, &QPushButton::clicked, this, [this] { PanelLogClick(false); });
    auto* save = Named(new QPushButton("Сохранить текст"), "btnSaveLog");
    connect(save, &QPushButton::clicked, this, [this] { PanelLogClick(true); });
    cbUseAsStandartKKL =
        Named(new QCheckBox("использовать ELM327 как обычный адаптер  KKL"), "cbUseAsStandartKKL");
    cbLH = Named(new QCheckBox("Подключение к LH"), "cbLH");
    connect(cbLH, &QCheckBox::clicked, this,
            [this](bool checked) { KLineBreakMs = checked ? LhBreakMs : OtherBreakMs; });
    for (QWidget* w : {static_cast<QWidget*>(clear), static_cast<QWidget*>(save),
                       static_cast<QWidget*>(cbUseAsStandartKKL), static_cast<QWidget*>(cbLH)})
        sideLayout->addWidget(w);
    const TModulePanelHost moduleHost{[this] { return PortName(); }, [this] { return Options.Adapter; },
                                      [this] { return ClientName; },
                                      [this] { return Connection.IsAlive() || Connection.InConnection(); },
                                      [this](bool) { RefreshLineButtons(); }};
    pnlEGas = new TModulePanel(TModulePanel::TModule::EGas, moduleHost);
    pnlSRS = new TModulePanel(TModulePanel::TModule::Srs, moduleHost);
    sideLayout->addWidget(pnlEGas);
    sideLayout->addWidget(pnlSRS);
    sideLayout->addStretch(1);
    layout->addWidget(side);
    LineFunctions =
        new TLineFunctions({[this] { return PortName(); }, [this] { return Options.Adapter; },
                            [this] { return Connection.IsAlive() || Connection.InConnection(); },
                            [this](bool) { RefreshLineButtons(); }, [this](bool) { RefreshLineButtons(); },
                            [this] { PanelLogClick(true); },
                            [this] {
                                pnlEGas->HidePanel();
                                pnlSRS->HidePanel();
                                ShowMemoPage();
                            },
                            [this] { return Connection.Ident().UnitType; }},
                           this);
    LineFunctions->AddToMemoPage(layout, sideLayout);
    return page;
}

QWidget* TMainForm::BuildErrorPage() {
    auto* page = Named(new QWidget, "tsError");
    Faults = new TFaultTab(
        Connection, [this] { return Options.Language; }, [this] { return ClientName; }, page);
    (new QVBoxLayout(page))->addWidget(Faults);
    cbErrRus = Faults->RussianTexts();
    return page;
}

void TMainForm::BuildMenus() {
    // Only the functions this build has are offered; the others come with the engine connection.
    QMenu* file = menuBar()->addMenu("Файл");
    file->setObjectName("mnuFile");
    LogTools = new TLogTools(this, file);
    QAction* openRecording = file->addAction("Открыть запись…");
    openRecording->setObjectName("mnuOpenRecording");
    connect(openRecording, &QAction::triggered, this, [this] { OpenRecordingClick(); });
    QAction* customerReport = file->addAction("Отчёт для клиента…");
    customerReport->setObjectName("mnuCustomerReport");
    connect(customerReport, &QAction::triggered, this, [this] { CustomerReportClick(); });
    QAction* history = file->addAction("История автомобиля…");
    history->setObjectName("mnuHistory");
    connect(history, &QAction::triggered, this, [this] { HistoryClick(); });
    QMenu* view = menuBar()->addMenu("Вид");
    view->setObjectName("mnuView");
    QAction* settings = view->addAction("Настройки");
    settings->setObjectName("N4");
    connect(settings, &QAction::triggered, this, [this] { N4Click(); });

    QMenu* hfm = menuBar()->addMenu("HFM");
    hfm->setObjectName("mnuHFM");
    mnuHFM = hfm;
    // The unit functions wait for a connection that has loaded the unit's parameters (WM_USER+16).
    mnuActivation = hfm->addAction("Activation - управление исполнительными элементами");
    mnuActivation->setObjectName("mnuActivation");
    mnuActivation->setCheckable(true);
    connect(mnuActivation, &QAction::triggered, this, [this] { ActivationClick(); });
    mnuAdaptReset = hfm->addAction("Сброс адаптации");
    mnuAdaptReset->setObjectName("mnuAdaptReset");
    connect(mnuAdaptReset, &QAction::triggered, this, [this] { AdaptResetClick(); });
    mnuCoding = hfm->addAction("Coding HFM");
    mnuCoding->setObjectName("mnuCoding");
    connect(mnuCoding, &QAction::triggered, this, [this] { CodingClick(); });
    for (QAction* action : {mnuActivation, mnuAdaptReset, mnuCoding})
        action->setEnabled(false);
    mnuWordCorrection = hfm->addAction("Коррекция при приеме значений типа word");
    mnuWordCorrection->setObjectName("mnuWordCorrection");
    mnuWordCorrection->setCheckable(true);
    connect(mnuWordCorrection, &QAction::triggered, this, [this] { WordCorrectionClick(); });

    mnu_ver = menuBar()->addAction("Версия");
    mnu_ver->setObjectName("mnu_ver");
    connect(mnu_ver, &QAction::triggered, this, [this] { mnu_verClick(); });
    // The line functions make the menu "Функции"; the module dialogues join it.
    LineFunctions->AddMenus(menuBar(), hfm->menuAction(), mnu_ver);
    AddModuleMenus(menuBar(), pnlEGas, pnlSRS, [this] {
        LineFunctions->ShowAnalogPanel(false);
        ShowMemoPage();
    });
}

void TMainForm::FormCreate(const std::string& firstRunPort) {
    for (int page : {PageComputer, PageSmooth, PageGraph, PageScreens})
        SetPageVisible(page, false);
    labLogFile->clear();
    PlaceTopRight();
    pg->setCurrentIndex(PageMemo);

    bool firstRun = !std::filesystem::exists(SettingsFile());
    TIniFile settingsFile(SettingsFile());
    Options = ReadProgramSettings(settingsFile);
    // A settings file without a port (the first run, or one written by hand) starts on the simulated car
    // rather than on "Port ?": Connect then shows what the program does.
    if (Options.Port.empty())
        Options.Port = firstRunPort;
    SetDefaultFontSize(Options.FontSize);
    TWiFiSettings wifi = WiFiSettings();
    wifi.WiFiAddress = Options.WiFiAddress;
    wifi.WiFiPortNumber = Options.WiFiPort;
    SetWiFiSettings(wifi);
    ClientName = Options.Client;
    WordCorrection = Options.CheckWord;
    mnuWordCorrection->setChecked(WordCorrection);
    cbErrRus->setChecked(Options.RusTextErr);

    // The client dialog makes the CLIENTS folder with the first client, so the button is always there.
    if (!ClientName.empty() && !DirectoryExists(BuildPath("", "CLIENTS", ClientName, false)))
        ClientName.clear();
    labClient->setText(QString::fromStdString(ClientName));

    // Russian is the default only on a Russian system; a language the user chose in the settings dialog
    // is kept on any system (the program is UTF-8 throughout, so no code page stands in the way).
    if (!settingsFile.KeyExists("OPTIONS", "LANGUAGE") && !SystemLocaleIsRussian())
        Options.Language = 'E';
    SetLanguage(Options.Language);
    const bool qtTranslated = InstallQtTranslations(Options.Language);

    // The shared log routine writes to this memo from now on; posted messages reach this window.
    if (auto* qtHost = dynamic_cast<TQtHost*>(&Host())) {
        qtHost->SetLogMemo(Memo1);
        qtHost->SetDialogParent(this);
        qtHost->SetMessageHandler([this](uint32_t msg, intptr_t w, intptr_t l) { HandleMessage(msg, w, l); });
    }
    CheckPort();
    mnu_ver->setText(QString("Version ") + ProgramVersion);

    // Russian fault texts are what a Russian window shows anyway: the box would change nothing there.
    cbErrRus->setVisible(false);
    if (Options.Language != 'R') {
        cbErrRus->setChecked(false);
        try {
            LoadDictionary();
        } catch (const DictionaryError& error) {
            Host().MessageBox(error.what(), TMsgKind::Error, TMsgButtons::Ok);
        }
        TranslateMenu(menuBar());
        TranslateControl(this);
    }
    // The two marks are data fields (their text is never translated); their hints are.
    labReaction->setToolTip(QString::fromStdString(
        Translate("Ответов блока в секунду; во время связи здесь же режим работы двигателя")));
    labIndicator->setToolTip(QString::fromStdString(Translate("Мигает при каждом ответе блока")));
    AddMemo(TranslateFormat("Версия %s", ProgramVersion));
    if (!qtTranslated)
        AddMemo(Translate("Переводы Qt не найдены: кнопки стандартных окон будут на английском."));
    ShowAdapterNotice();
    if (firstRun && PortNameToNumber(Options.Port) == SimPortNumber) {
        AddMemo(Translate("Порт SIM - автомобиль, смоделированный программой: на нём можно опробовать все "
                          "функции без машины."));
        AddMemo(
            Translate("Для работы с автомобилем нажмите кнопку порта и выберите тип адаптера и его порт."));
    }
    FitTopBarButtons();
    SetConnectionState(0);
    // The first run writes the settings file at once, so that Connect does not take the missing file
    // for a program started from an archive.
    if (firstRun)
        SaveSettings(false);
}

void TMainForm::CheckPort() {
    std::string name = Options.Port;
    bool usable = PortNameToNumber(name) > 0;
    if (usable && name != "WIFI") {
        // The remembered port must still open; the check leaves no port behind.
        if (!CreatePort(PortCheckBaud, name)) {
            name = NoPortName;
            if (const std::string cause = LastOpenProblem(); !cause.empty())
                AddMemo(cause); // no permission or held by another program: the cause and the fix
        }
        FreePort();
    }
    if (!usable)
        name = NoPortName;
    SetPortWarning(!usable);
    btnPort->setText(QString::fromStdString(name));
    ComLastNum = Options.ComLastNum;
}

void TMainForm::ShowAdapterNotice() {
    switch (Options.Adapter) {
    case 'C':
        AddMemo(Translate("Программа настроена для работы с адаптером Carsoft 7.4"));
        break;
    case 'E':
        AddMemo(Translate("Программа настроена для работы с адаптером ELM327"));
        break;
    default:
        AddMemo(Translate("Программа настроена для работы с обычным адаптером k-line"));
        break;
    }
    bool elm = Options.Adapter == 'E';
    cbLH->setVisible(!elm);
    cbUseAsStandartKKL->setVisible(elm);
    cbUseAsStandartKKL->setChecked(false);
}

void TMainForm::PlaceTopRight() {
    // A narrow window (2× scale) keeps the room for the mode text: the screenshot button drops its
    // caption there and keeps its hint.
    btnScreenShot->setToolButtonStyle(width() >= CompactWidth ? Qt::ToolButtonTextBesideIcon
                                                              : Qt::ToolButtonIconOnly);
    // The screenshot button sits in the top-right corner, the rate label and the blink mark left of it.
    // It takes the height of the status panel beside it: the top panel's own hint holds this button, so
    // sizing it from that hint would grow the bar on every call.
    btnScreenShot->setFixedHeight(std::max(pnlStatus->sizeHint().height(), 16));
}

void TMainForm::SetPortWarning(bool red) {
    SetBackground(pnlPortWarning, red ? ColorRed : palette().color(QPalette::Window));
}

void TMainForm::FitTopBarButtons() {
    // The style makes a button at least 80 pixels wide whatever its caption; in a narrow window (2×
    // scale) the buttons give up that margin first, so the mode text beside them stays whole.
    for (QPushButton* button : {btnConnect, Stop, btnClient})
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) +
                                2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin) + 4);
}

void TMainForm::ShowMemoPage() {
    if (pg->currentIndex() != PageMemo)
        pg->setCurrentIndex(PageMemo);
}

void TMainForm::SetPageVisible(int page, bool visible) {
    pg->setTabVisible(page, visible);
}

void TMainForm::AddMemo(const std::string& line) {
    Memo1->appendPlainText(QString::fromStdString(line));
}

void TMainForm::SetConnectionState(int state) {
    static const QColor colours[] = {ColorRed, ColorMaroon, ColorDarkGreen};
    state = std::clamp(state, 0, 2);
    ConnectionState = state;
    // The port belongs to the connection until it ends.
    RefreshLineButtons();
    cbUseAsStandartKKL->setEnabled(state == 0);
    SetBackground(pnlStatus, colours[state]);
    pnlStatus->repaint();
}

void TMainForm::RefreshLineButtons() {
    const bool moduleRuns = (pnlEGas && pnlEGas->Running()) || (pnlSRS && pnlSRS->Running());
    const bool lineFree = ConnectionState == 0 && !Switch->Replaying() && !moduleRuns &&
                          LineHolder().empty() && !(LineFunctions && LineFunctions->Busy());
    btnConnect->setEnabled(lineFree && !(LineFunctions && LineFunctions->HoldsConnect()));
    btnPort->setEnabled(lineFree);
    for (TModulePanel* panel : {pnlEGas, pnlSRS})
        if (panel)
            panel->SetLineFree(lineFree);
}

std::string TMainForm::PortName() const {
    return btnPort->text().toStdString();
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    PlaceTopRight();
}

} // namespace velmora
